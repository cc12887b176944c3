// The status box after a batch on a real X11 screen with no window
// manager (run by on-xvfb.sh): the box is as large as its text needs, the
// X server's window is the size Qt laid the box out for, and both lie on
// the screen. A picture of each box goes to $TESSARIN_SHOT_DIR (the
// current folder when unset), taken with ImageMagick's import.
#include "WindowTestSupport.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using tessarin::test::PrivateSettings;
using tessarin::test::RunThroughWindow;
using tessarin::test::SeenBox;

namespace {

void Write(const QString& path, int size)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(size, 'x'));
}

// The X server's idea of a window: its absolute place and size, from
// xwininfo; an empty rectangle when that cannot be had.
QRect ServerGeometry(WId window)
{
    QProcess info;
    info.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    if (!info.waitForFinished(10000) || info.exitCode() != 0) return {};
    const QString out = QString::fromLocal8Bit(info.readAllStandardOutput());
    auto number = [&out](const char* label) {
        const QRegularExpression line(QStringLiteral("%1:\\s*(-?\\d+)").arg(QLatin1String(label)));
        return line.match(out).captured(1).toInt();
    };
    return {number("Absolute upper-left X"), number("Absolute upper-left Y"), number("Width"), number("Height")};
}

QString Slug(const char* row)
{
    return QString::fromLatin1(row).toLower().replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")),
                                                      QStringLiteral("-"));
}

} // namespace

class StatusBoxOnScreen : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
                 "run on an X11 server (on-xvfb.sh), not on the offscreen platform");
        m_shots = qEnvironmentVariable("TESSARIN_SHOT_DIR", QDir::currentPath());
        QDir().mkpath(m_shots);
        m_xwininfo = !QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty();
        // ImageMagick's own, where some machines put a stand-in first on PATH.
        m_import = QStandardPaths::findExecutable(QStringLiteral("import"), {QStringLiteral("/usr/bin")});
        if (m_import.isEmpty()) m_import = QStandardPaths::findExecutable(QStringLiteral("import"));
        if (!m_xwininfo) qWarning("xwininfo (Debian package x11-utils) is missing: the X server's sizes go unchecked");
        if (m_import.isEmpty()) qWarning("import (Debian package imagemagick) is missing: no pictures are taken");
    }

    void init() { m_settings.Clear(); }

    void BoxFitsOnScreen_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("direction");
        QTest::addColumn<bool>("inCorner");  // the window in the bottom right corner of the screen
        QTest::addColumn<bool>("failed");

        const QString wide = QStringLiteral("QuarterlyReportOfTheFinanceDepartment").repeated(5) + QStringLiteral(".odt");
        QStringList twelve;
        for (int i = 0; i < 12; ++i) twelve << QStringLiteral("Documents/scan %1.pdf").arg(i + 1, 2, 10, QLatin1Char('0'));
        QTest::newRow("plain file forced to decryption")
            << QStringList{"Documents/Quarterly report 2024.odt"} << 1 << false << true;
        QTest::newRow("a name wider than the screen") << QStringList{wide} << 1 << false << true;
        QTest::newRow("twelve files failing") << twelve << 1 << false << true;
        QTest::newRow("window in the bottom right corner") << QStringList{"letter.txt"} << 1 << true << true;
        QTest::newRow("good batch") << QStringList{"one.txt", "two.txt"} << 0 << false << false;
    }
    void BoxFitsOnScreen()
    {
        QFETCH(QStringList, files);
        QFETCH(int, direction);
        QFETCH(bool, inCorner);
        QFETCH(bool, failed);

        QTemporaryDir folder;
        QStringList names;
        for (const QString& file : files) {
            names << folder.filePath(file);
            Write(names.back(), 3000);
        }
        const QString shot = m_shots + QStringLiteral("/status-box-") + Slug(QTest::currentDataTag()) +
                             QStringLiteral(".png");
        QFile::remove(shot);
        const QString detailsShot = QString(shot).replace(QStringLiteral(".png"), QStringLiteral("-details.png"));
        QFile::remove(detailsShot);
        QRect laidOut;
        QRect onServer;
        QRect screen;
        QRect expanded;          // with "Show Details..." clicked
        QRect expandedOnServer;
        auto look = [&](QMessageBox& box) {
            laidOut = box.geometry();
            screen = box.screen()->geometry();
            if (m_xwininfo) onServer = ServerGeometry(box.winId());
            Picture(box, shot);
            for (QAbstractButton* button : box.buttons()) {
                if (!button->text().startsWith(QStringLiteral("Show Details"))) continue;
                button->click();
                QTest::qWait(200);
                expanded = box.geometry();
                if (m_xwininfo) expandedOnServer = ServerGeometry(box.winId());
                Picture(box, detailsShot);
            }
        };
        auto corner = [&](QWidget& window) {
            if (!inCorner) return;
            const QRect area = window.screen()->availableGeometry();
            window.move(area.right() + 1 - window.frameGeometry().width(),
                        area.bottom() + 1 - window.frameGeometry().height());
            QTest::qWait(100);
        };

        const std::vector<SeenBox> boxes = RunThroughWindow(names, direction, QStringLiteral("secret"), look, corner);
        QCOMPARE(boxes.size(), std::size_t{1});
        const SeenBox& box = boxes.front();
        QCOMPARE(box.title, QStringLiteral("STATUS REPORT"));
        QCOMPARE(box.icon, QMessageBox::Information);
        QVERIFY2(box.problems.isEmpty(), qPrintable(box.problems.join(QLatin1Char('\n'))));
        if (failed) {
            bool named = false;
            for (const QString& name : names) named = named || box.details.contains(name);
            QVERIFY2(named, qPrintable(box.details));
        }

        // The details open below the text, still on the screen.
        QCOMPARE(expanded.isValid(), failed);
        if (failed) {
            QVERIFY(expanded.height() > laidOut.height());
            QVERIFY(screen.contains(expanded));
        }
        if (m_xwininfo) {
            QVERIFY2(onServer == laidOut, qPrintable(Compared(onServer, laidOut)));
            QVERIFY(screen.contains(onServer));
            if (failed) QVERIFY2(expandedOnServer == expanded, qPrintable(Compared(expandedOnServer, expanded)));
        }
        if (!m_import.isEmpty()) {
            const QImage picture(shot);
            QVERIFY2(!picture.isNull(), qPrintable(shot));
            QCOMPARE(picture.size(), laidOut.size());
        }
    }

private:
    // A picture of the box's window, where ImageMagick is installed.
    void Picture(const QMessageBox& box, const QString& file) const
    {
        if (m_import.isEmpty()) return;
        QProcess::execute(m_import, {QStringLiteral("-silent"), QStringLiteral("-window"),
                                     QString::number(box.winId()), file});
    }

    static QString Compared(const QRect& server, const QRect& qt)
    {
        return QStringLiteral("X server %1,%2 %3x%4, Qt %5,%6 %7x%8")
            .arg(server.x()).arg(server.y()).arg(server.width()).arg(server.height())
            .arg(qt.x()).arg(qt.y()).arg(qt.width()).arg(qt.height());
    }

    PrivateSettings m_settings;
    QString m_shots;
    bool m_xwininfo = false;
    QString m_import;
};

QTEST_MAIN(StatusBoxOnScreen)
#include "StatusBoxOnScreen.moc"
