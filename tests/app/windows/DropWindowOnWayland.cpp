// The drop window as a native Wayland client (QT_QPA_PLATFORM=wayland, a
// private headless weston started by on-weston.sh): it starts, a drop
// encrypts a file, and it neither applies nor saves a window place, which
// a Wayland client cannot know.
#include "DropBatch.h"
#include "GuiBatch.h"
#include "HelpTexts.h"
#include "MainDropWindow.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using tessarin::AppSettings;
using tessarin::MainDropWindow;
using tessarin::SettingsRect;
using tessarin::test::FakeShell;
using tessarin::test::PrivateSettings;

namespace {

void Drop(QWidget& target, const QString& path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    const QPointF at(target.width() / 2.0, target.height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
}

} // namespace

class DropWindowOnWayland : public QObject {
    Q_OBJECT
private slots:
    void init() { m_settings.Clear(); }

    void StartsAndEncryptsADrop()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
        QTemporaryDir folder;
        const QString name = folder.filePath(QStringLiteral("note.txt"));
        {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("dropped on a Wayland desktop\n");
        }
        tessarin::GuiBatch batch(m_shell);
        MainDropWindow window(batch, m_shell);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Set, not typed: a headless compositor has no keyboard, and Qt's
        // wayland plugin does not take key events without one.
        window.findChild<QLineEdit*>(QStringLiteral("1500"))->setText(QStringLiteral("correct horse"));
        window.findChild<QLineEdit*>(QStringLiteral("1501"))->setText(QStringLiteral("correct horse"));
        Drop(window, name);
        QTRY_VERIFY_WITH_TIMEOUT(!m_shell.Messages().empty(), 10000);
        QCOMPARE(m_shell.Messages().back().title, QStringLiteral("STATUS REPORT"));
        QVERIFY(!QFile::exists(name));
        QVERIFY(QFile::exists(name + QStringLiteral(".aes")));
    }

    void NoMadeUpPlaceIsSaved_data()
    {
        QTest::addColumn<bool>("storedBefore");
        QTest::newRow("nothing stored") << false;
        QTest::newRow("place stored by an X11 run") << true;
    }
    void NoMadeUpPlaceIsSaved()
    {
        QFETCH(bool, storedBefore);
        const SettingsRect x11Place{300, 200, 460, 492};
        if (storedBefore) {
            AppSettings settings;
            settings.SetDefaults();
            QVERIFY(settings.SaveSettings(x11Place));
        }
        {
            MainDropWindow window(m_batch, m_shell);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.ToggleZoom();
            QTest::qWait(100);
            window.ToggleZoom();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
        }
        SettingsRect stored;
        const bool found = AppSettings::LoadWindowRect(stored);
        if (storedBefore) {
            QVERIFY(found);
            QCOMPARE(stored, x11Place);  // left as the X11 run saved it
        } else {
            // Nothing, or the empty rectangle that means nothing.
            QVERIFY2(!found || stored == SettingsRect{}, qPrintable(QStringLiteral("%1,%2,%3,%4")
                                                                      .arg(stored.left)
                                                                      .arg(stored.top)
                                                                      .arg(stored.right)
                                                                      .arg(stored.bottom)));
        }
    }

    void HelpSaysTheDesktopDecides_data()
    {
        QTest::addColumn<int>("id");
        QTest::newRow("Always Stay on Top") << 1407;
        QTest::newRow("Start up Minimized") << 1405;
    }
    void HelpSaysTheDesktopDecides()
    {
        QFETCH(int, id);
        QVERIFY2(tessarin::HelpTexts::ForId(id).contains(QStringLiteral("Wayland")), qPrintable(tessarin::HelpTexts::ForId(id)));
    }

private:
    class NoBatch : public tessarin::DropBatch {
    public:
        void Run(const std::vector<std::string>&, const std::string&, const std::string&, const AppSettings&,
                 QWidget*) override
        {
        }
    };
    PrivateSettings m_settings;
    FakeShell m_shell;
    NoBatch m_batch;
};

QTEST_MAIN(DropWindowOnWayland)
#include "DropWindowOnWayland.moc"
