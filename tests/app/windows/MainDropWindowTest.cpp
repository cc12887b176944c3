#include "ContextHelp.h"
#include "DropBatch.h"
#include "HelpPopup.h"
#include "MainDropWindow.h"
#include "SettingsDialog.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDropEvent>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QUrl>

using tessarin::AppSettings;
using tessarin::MainDropWindow;
using tessarin::test::FakeShell;
using tessarin::test::OnNextModal;
using tessarin::test::PrivateSettings;

namespace {

// Records each batch a drop starts.
class RecordingBatch : public tessarin::DropBatch {
public:
    struct Call {
        std::vector<std::string> names;
        std::string password;
        std::string confirmation;
        AppSettings settings;
        bool windowEnabled;
    };
    void Run(const std::vector<std::string>& names, const std::string& password, const std::string& confirmation,
             const AppSettings& settings, QWidget* mainWindow) override
    {
        calls.push_back({names, password, confirmation, settings, mainWindow != nullptr});
    }
    std::vector<Call> calls;
};

template <class T = QWidget>
T* Control(const QWidget& window, int id)
{
    return window.findChild<T*>(QString::number(id));
}

void Drop(QWidget& target, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    const QPoint at(target.width() / 2, target.height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
}

} // namespace

class MainDropWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_settings.Clear();
        m_shell.Clear();
        m_batch.calls.clear();
    }

    void FirstStart()
    {
        MainDropWindow window(m_batch, m_shell);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Tessarin"));
        QVERIFY(!window.IsZoomed());
        QCOMPARE(window.size(), window.FullSize());
        QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(window.windowFlags() & Qt::FramelessWindowHint));
        QVERIFY(!window.isMinimized());
        QVERIFY(Control<QRadioButton>(window, 1200)->isChecked());
        QCOMPARE(Control<QRadioButton>(window, 1200)->text(), QStringLiteral("&Encrypting"));
        QCOMPARE(Control<QLineEdit>(window, 1500)->text(), QString());
        QCOMPARE(Control<QLineEdit>(window, 1501)->text(), QString());
        QCOMPARE(Control<QLineEdit>(window, 1500)->echoMode(), QLineEdit::Password);
    }

    void PasswordFieldsTakeAtMost32Characters_data()
    {
        QTest::addColumn<int>("id");
        QTest::newRow("password") << 1500;
        QTest::newRow("confirmation") << 1501;
    }
    void PasswordFieldsTakeAtMost32Characters()
    {
        QFETCH(int, id);
        MainDropWindow window(m_batch, m_shell);
        window.show();
        auto* field = Control<QLineEdit>(window, id);
        QTest::keyClicks(field, QStringLiteral("abcdefghijklmnopqrstuvwxyz012345"));
        QCOMPARE(field->text().size(), 32);
        QTest::keyClicks(field, QStringLiteral("6"));
        QCOMPARE(field->text(), QStringLiteral("abcdefghijklmnopqrstuvwxyz012345"));
    }

    void DropRunsTheBatchWithTheWindowsState()
    {
        MainDropWindow window(m_batch, m_shell);
        window.show();
        QTest::keyClicks(Control<QLineEdit>(window, 1500), QStringLiteral("s3cret"));
        QTest::keyClicks(Control<QLineEdit>(window, 1501), QStringLiteral("s3cret!"));
        QTest::mouseClick(Control<QRadioButton>(window, 1202), Qt::LeftButton);
        Drop(window, {QUrl::fromLocalFile(QStringLiteral("/tmp/a b.txt")),
                      QUrl::fromLocalFile(QStringLiteral("/tmp/folder")),
                      QUrl(QStringLiteral("https://example.org/not-a-file"))});
        QTRY_COMPARE(m_batch.calls.size(), std::size_t{1});
        const auto& call = m_batch.calls.front();
        QCOMPARE(call.names, (std::vector<std::string>{"/tmp/a b.txt", "/tmp/folder"}));
        // Unequal passwords are the batch's to refuse, with its own box.
        QCOMPARE(call.password, std::string("s3cret"));
        QCOMPARE(call.confirmation, std::string("s3cret!"));
        QCOMPARE(call.settings.encrypt, 2);
    }

    void DropOfNoLocalFileStartsNothing()
    {
        MainDropWindow window(m_batch, m_shell);
        window.show();
        Drop(window, {QUrl(QStringLiteral("https://example.org/file.txt"))});
        QTest::qWait(20);
        QVERIFY(m_batch.calls.empty());
    }

    void ZoomRoundTrip()
    {
        QPoint placed;
        {
            MainDropWindow window(m_batch, m_shell);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.move(120, 90);
            QTest::mouseDClick(&window, Qt::LeftButton, {}, QPoint(3, 3));
            QVERIFY(window.IsZoomed());
            QCOMPARE(window.size(), QSize(46, 46));
            QVERIFY(window.windowFlags() & Qt::FramelessWindowHint);
            // Frameless, the window is its own frame (Qt may still count
            // margins a platform left from the framed form).
            placed = window.geometry().topLeft();
        }
        MainDropWindow again(m_batch, m_shell);
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QVERIFY(again.IsZoomed());
        QCOMPARE(again.size(), QSize(46, 46));
        QCOMPARE(again.geometry().topLeft(), placed);
        QTest::mouseDClick(&again, Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(!again.IsZoomed());
        QCOMPARE(again.size(), again.FullSize());
        QVERIFY(!(again.windowFlags() & Qt::FramelessWindowHint));
        QCOMPARE(again.frameGeometry().topLeft(), placed);
    }

    void EdgeSnapping_data()
    {
        QTest::addColumn<QPoint>("from");   // offset of the frame from the screen's top-left
        QTest::addColumn<QPoint>("to");     // expected; (-1, -1) for the far edges
        QTest::newRow("10 from the left") << QPoint(10, 100) << QPoint(0, 100);
        QTest::newRow("15 from the top") << QPoint(100, 15) << QPoint(100, 0);
        QTest::newRow("16 away stays") << QPoint(16, 16) << QPoint(16, 16);
        QTest::newRow("past the left edge") << QPoint(-12, 100) << QPoint(0, 100);
        QTest::newRow("corner") << QPoint(3, 4) << QPoint(0, 0);
        QTest::newRow("near the right and bottom") << QPoint(-1000, -1000) << QPoint(-1, -1);
    }
    void EdgeSnapping()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        MainDropWindow window(m_batch, m_shell);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect screen = window.screen()->geometry();
        const QSize size = window.frameGeometry().size();
        const QPoint farEdge(screen.right() + 1 - size.width(), screen.bottom() + 1 - size.height());
        window.move(from == QPoint(-1000, -1000) ? farEdge - QPoint(9, 12) : screen.topLeft() + from);
        // A move of the mouse over the window, without a button.
        const QPointF inside(window.width() / 2, window.height() / 2);
        QMouseEvent move(QEvent::MouseMove, inside, window.mapToGlobal(inside), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&window, &move);
        QCOMPARE(window.frameGeometry().topLeft(), to == QPoint(-1, -1) ? farEdge : screen.topLeft() + to);
    }

    void MenuEntries()
    {
        MainDropWindow window(m_batch, m_shell);
        std::unique_ptr<QMenu> menu = window.CreatePopupMenu();
        QStringList texts;
        for (QAction* action : menu->actions()) texts.append(action->isSeparator() ? "-" : action->text());
        QCOMPARE(texts, (QStringList{"&Open Log File", "&Settings...", "-", "&Zoom in/out", "&Minimize", "-",
                                     "&About...", "-", "&Exit"}));
        QCOMPARE(menu->actions().front()->data().toInt(), 32778);
        QCOMPARE(menu->actions().back()->data().toInt(), 32783);
    }

    void OpenLogFileOpensTheConfiguredName()
    {
        MainDropWindow window(m_batch, m_shell);
        window.RunCommand(MainDropWindow::OpenLogCommand);
        QCOMPARE(m_shell.Opened(), QStringList{window.Settings().editLogFilename});
    }

    void SettingsOkAppliesAndReplaces_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("onTop");
        QTest::addColumn<int>("mangling");
        QTest::newRow("OK") << "1" << false << 1;
        QTest::newRow("Cancel") << "2" << true << 0;
    }
    void SettingsOkAppliesAndReplaces()
    {
        QFETCH(QString, button);
        QFETCH(bool, onTop);
        QFETCH(int, mangling);
        MainDropWindow window(m_batch, m_shell);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.move(200, 150);
        const QPoint placed = window.frameGeometry().topLeft();
        OnNextModal([button](QWidget* dialog) {
            dialog->findChild<QCheckBox*>(QStringLiteral("1407"))->click();
            dialog->findChild<QCheckBox*>(QStringLiteral("1400"))->click();
            dialog->findChild<QPushButton*>(button)->click();
        });
        window.RunCommand(MainDropWindow::SettingsCommand);
        QCOMPARE(bool(window.windowFlags() & Qt::WindowStaysOnTopHint), onTop);
        QCOMPARE(window.Settings().checkWinOnTop, onTop ? 1 : 0);
        QCOMPARE(window.Settings().checkMangling, mangling);
        QVERIFY(window.isVisible());
        QCOMPARE(window.frameGeometry().topLeft(), placed);
    }

    void DirectionAndSettingsAreSavedWhenTheWindowGoes()
    {
        {
            MainDropWindow window(m_batch, m_shell);
            window.show();
            QTest::mouseClick(Control<QRadioButton>(window, 1201), Qt::LeftButton);
            QCOMPARE(window.Settings().encrypt, 1);
            QTest::keyClicks(Control<QLineEdit>(window, 1500), QStringLiteral("never stored"));
        }
        MainDropWindow again(m_batch, m_shell);
        QVERIFY(Control<QRadioButton>(again, 1201)->isChecked());
        QCOMPARE(Control<QLineEdit>(again, 1500)->text(), QString());
    }

    void StartsMinimizedWhenAsked()
    {
        {
            AppSettings stored;
            stored.LoadSettings();
            stored.checkMinimized = 1;
            stored.SaveSettings({0, 0, 0, 0});
        }
        MainDropWindow window(m_batch, m_shell);
        window.show();
        QVERIFY(window.windowState() & Qt::WindowMinimized);
        QVERIFY(!window.windowIcon().isNull());
    }

    void PlaceOffEveryScreenIsNotUsed()
    {
        {
            AppSettings stored;
            stored.LoadSettings();
            stored.SaveSettings({50000, 50000, 50100, 50200});
        }
        MainDropWindow window(m_batch, m_shell);
        window.show();
        QVERIFY(window.screen()->geometry().intersects(window.frameGeometry()));
    }

    // The program's run survives every change of the window's frame and
    // ends with Exit only.
    void RunSurvivesZoomAndStayOnTop()
    {
        MainDropWindow window(m_batch, m_shell);
        QStringList seen;
        bool exitChosen = false;
        QTimer::singleShot(0, &window, [&] {
            window.ToggleZoom();
            seen.append(window.isVisible() ? "zoomed, shown" : "zoomed, gone");
            window.ToggleZoom();
            OnNextModal([](QWidget* dialog) {
                dialog->findChild<QCheckBox*>(QStringLiteral("1407"))->click();
                dialog->findChild<QPushButton*>(QStringLiteral("1"))->click();
            });
            window.RunCommand(MainDropWindow::SettingsCommand);
            seen.append(window.isVisible() ? "released, shown" : "released, gone");
            QTimer::singleShot(0, &window, [&] {
                exitChosen = true;
                window.RunCommand(MainDropWindow::ExitCommand);
            });
        });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, &window, [&] { window.done(99); });
        guard.start(10000);
        QCOMPARE(window.RunUntilClosed(), int(QDialog::Rejected));
        QVERIFY2(exitChosen, "the run ended before Exit was chosen");
        QCOMPARE(seen, (QStringList{"zoomed, shown", "released, shown"}));
    }

    void EnterEndsTheProgramAsExitDoes()
    {
        MainDropWindow window(m_batch, m_shell);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::keyClick(Control<QLineEdit>(window, 1500), Qt::Key_Return);
        QVERIFY(!window.isVisible());
        QCOMPARE(window.result(), int(QDialog::Accepted));
    }

    void ContextHelp_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("shown");
        QTest::newRow("password field") << "1500" << "Type your password (max 32 bytes: letters such as \u00FC count twice).";
        QTest::newRow("confirmation field") << "1501" << "Re-type your password again.";
        QTest::newRow("Auto Mode") << "1202"
                                   << "Tessarin will try to decrypt your files.\nIf they were not crypted before or "
                                      "your\npassword were wrong, it will crypt them.";
        QTest::newRow("group box") << "Commands:" << "";
        QTest::newRow("icon") << "700" << "";
    }
    void ContextHelp()
    {
        QFETCH(QString, target);
        QFETCH(QString, shown);
        MainDropWindow window(m_batch, m_shell);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWidget* control = window.findChild<QWidget*>(target);
        if (!control) {
            for (QGroupBox* box : window.findChildren<QGroupBox*>()) {
                if (box->title() == target) control = box;
            }
        }
        QVERIFY(control);
        const QPoint mouse = control->mapToGlobal(QPoint(5, 5));
        QHelpEvent request(QEvent::WhatsThis, QPoint(5, 5), mouse);
        QApplication::sendEvent(control, &request);
        QVERIFY(request.isAccepted());
        tessarin::HelpPopup* popup = window.Help()->VisiblePopup();
        QCOMPARE(popup ? popup->text() : QString(), shown);
        if (popup) {
            QCOMPARE(popup->palette().color(QPalette::Window).rgb() & 0xFFFFFF, QRgb(0xFFFFD0));
            QVERIFY((popup->pos() - mouse).manhattanLength() == 0 ||
                    !popup->screen()->availableGeometry().contains(QRect(mouse, popup->size())));
        }
    }

private:
    PrivateSettings m_settings;
    FakeShell m_shell;
    RecordingBatch m_batch;
};

QTEST_MAIN(MainDropWindowTest)
#include "MainDropWindowTest.moc"
