// The status box that ends a batch on the desktop: its summary lines with
// the information icon, and after errors every error line (each naming its
// file) and what else to check behind "Show Details..."; a good batch has
// no details. Every box shows its whole text, long file names included.
#include "BoxText.h"
#include "QtShellServices.h"
#include "WindowTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using tessarin::test::AnswerBoxes;
using tessarin::test::PrivateSettings;
using tessarin::test::RunThroughWindow;
using tessarin::test::SeenBox;

namespace {

const QString kHint = QStringLiteral("The password and the key length, block size and mode used to encrypt must all match.");

void Write(const QString& path, int size)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 37 + size) & 0xFF);
    file.write(bytes);
}

QStringList Lines(const QString& text)
{
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class StatusBoxTest : public QObject {
    Q_OBJECT
private slots:
    void init() { m_settings.Clear(); }

    void ReportsTheBatch_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("containers");  // encrypted by a batch first
        QTest::addColumn<int>("direction");    // 0 encrypting, 1 decrypting
        QTest::addColumn<int>("errors");
        QTest::addColumn<bool>("hint");

        const QString wide = QStringLiteral("QuarterlyReportOfTheFinanceDepartment").repeated(5) + QStringLiteral(".txt");
        QStringList deep;
        QString path;
        for (int i = 0; i < 14; ++i) path += QStringLiteral("folder%1/").arg(i);
        deep << path + QStringLiteral("notes.txt");

        QTest::newRow("good batch") << QStringList{"one.txt", "two.bin"} << false << 0 << 0 << false;
        QTest::newRow("plain file forced to decryption") << QStringList{"letter.txt"} << false << 1 << 1 << true;
        QTest::newRow("three plain files forced to decryption")
            << QStringList{"a.txt", "b.txt", "c.txt"} << false << 1 << 3 << true;
        QTest::newRow("containers forced to encryption") << QStringList{"letter.txt"} << true << 0 << 1 << false;
        QTest::newRow("a name wider than the screen") << QStringList{wide} << false << 1 << 1 << true;
        QTest::newRow("a deep path") << deep << false << 1 << 1 << true;
    }
    void ReportsTheBatch()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, containers);
        QFETCH(int, direction);
        QFETCH(int, errors);
        QFETCH(bool, hint);

        QTemporaryDir folder;
        QStringList names;
        for (int i = 0; i < files.size(); ++i) {
            names << folder.filePath(files[i]);
            Write(names.back(), 2000 + 300 * i);
        }
        if (containers) {
            RunThroughWindow(names, 0, QStringLiteral("secret"));
            for (QString& name : names) {
                name += QStringLiteral(".aes");
                QVERIFY2(QFile::exists(name), qPrintable(name));
            }
        }

        const std::vector<SeenBox> boxes = RunThroughWindow(names, direction, QStringLiteral("secret"));
        QCOMPARE(boxes.size(), std::size_t{1});
        const SeenBox& box = boxes.front();
        QCOMPARE(box.title, QStringLiteral("STATUS REPORT"));
        QVERIFY2(box.problems.isEmpty(), qPrintable(box.problems.join(QLatin1Char('\n'))));
        const int processed = errors == 0 ? int(names.size()) : 0;
        QVERIFY2(box.text.startsWith(QStringLiteral("%1 file(s) processed").arg(processed)), qPrintable(box.text));
        QVERIFY2(box.text.contains(QStringLiteral(", %1 error(s)").arg(errors)), qPrintable(box.text));
        QCOMPARE(box.details.contains(kHint), hint);
        QCOMPARE(box.detailsButton, errors > 0);
        QCOMPARE(box.icon, QMessageBox::Information);
        QVERIFY2(!box.text.contains(QStringLiteral("ERROR(")) && !box.text.contains(kHint), qPrintable(box.text));
        if (errors == 0) {
            QCOMPARE(box.details, QString());
            return;
        }
        // Every error line in the details, each naming its own file.
        const QStringList details = Lines(box.details).filter(QStringLiteral("ERROR("));
        QCOMPARE(details.size(), errors);
        for (const QString& name : names) {
            int naming = 0;
            for (const QString& line : details) naming += line.contains(name) && line.contains(QStringLiteral("ERROR("));
            QVERIFY2(naming == 1, qPrintable(name + QStringLiteral(" in:\n") + box.details));
        }
    }

    // Any box of the program, not only the status report, shows all of its
    // text: the lines it was given, whatever their ends, long words broken
    // where they would run out of the box.
    void BoxShowsItsWholeText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("details");
        const QString wide = QStringLiteral("/home/user/") + QStringLiteral("x").repeated(230);
        QTest::newRow("short") << QStringLiteral("Done.") << QString();
        QTest::newRow("terminal line ends") << QStringLiteral("2 file(s) processed (10 bytes), 0 error(s)\r\nTime = 0.01 sec\r\n")
                                            << QString();
        QTest::newRow("an unbroken name wider than the screen")
            << QStringLiteral("Unable to open file '") + wide + QStringLiteral("' (No such file or directory)") << QString();
        QTest::newRow("many wide words") << (QStringLiteral("W").repeated(120) + QLatin1Char(' ')).repeated(6)
                                         << QString();
        QTest::newRow("with details") << QStringLiteral("1 error(s)\r\nDecrypting ") + wide
                                      << QStringLiteral("Decrypting ") + wide + QStringLiteral(" ERROR(-20)\n");
    }
    void BoxShowsItsWholeText()
    {
        QFETCH(QString, text);
        QFETCH(QString, details);
        tessarin::QtShellServices shell;
        const std::vector<SeenBox> boxes = AnswerBoxes([&] {
            shell.ShowDetailedMessage(nullptr, tessarin::ShellServices::Icon::Exclamation, QStringLiteral("T"), text,
                                      details);
        });
        QCOMPARE(boxes.size(), std::size_t{1});
        QVERIFY2(boxes.front().problems.isEmpty(), qPrintable(boxes.front().problems.join(QLatin1Char('\n'))));
        QCOMPARE(boxes.front().text, tessarin::WithPlainLineEnds(text));
        QCOMPARE(boxes.front().details, tessarin::WithPlainLineEnds(details));
        QCOMPARE(boxes.front().detailsButton, !details.isEmpty());
    }

    // A log not written yet opens, without a box, in the editor the user's
    // defaults name for plain text.
    void AMissingLogOpensInTheTextEditor()
    {
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        const auto put = [](const QString& path, const QByteArray& text) {
            QDir().mkpath(QFileInfo(path).path());
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        };
        put(data.filePath("applications/editor.desktop"), "[Desktop Entry]\nType=Application\nExec=touch %f\n");
        put(m_settings.Folder() + "/mimeapps.list", "[Default Applications]\ntext/plain=editor.desktop;\n");
        const QString log = data.filePath(QStringLiteral("log.txt"));
        tessarin::QtShellServices shell;
        QVERIFY(AnswerBoxes([&] { shell.OpenLogFile(nullptr, log); }).empty());
        QTRY_VERIFY(QFileInfo::exists(log));  // the editor was started on the name
        qunsetenv("XDG_DATA_HOME");
    }

private:
    PrivateSettings m_settings;
};

QTEST_MAIN(StatusBoxTest)
#include "StatusBoxTest.moc"
