#include "ScreenshotScene.h"

#include "ContextHelp.h"
#include "MainDropWindow.h"
#include "ProgressPopup.h"
#include "SettingsDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTabWidget>
#include <QTimer>

namespace tessarin {
namespace {
constexpr int kSettleMs = 300;

// $XDG_STATE_HOME/tessarin/log.txt, ~/.local/state when that is not set.
QString StateLogPath()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!state.startsWith(QLatin1Char('/'))) state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/tessarin/log.txt");
}

} // namespace

ScreenshotScene::ScreenshotScene(MainDropWindow& window, ShellServices& shell)
    : QObject(&window), m_window(window), m_shell(shell)
{
}

ScreenshotScene::~ScreenshotScene() = default;

void ScreenshotScene::Arrange(MainDropWindow& window, ShellServices& shell)
{
    const QString scene = qEnvironmentVariable("TESSARIN_SCREENSHOT");
    if (scene.isEmpty()) return;
    auto* arranger = new ScreenshotScene(window, shell);
    QTimer::singleShot(kSettleMs, arranger, [arranger, scene] { arranger->Open(scene); });
}

void ScreenshotScene::Open(const QString& scene)
{
    if (scene == QLatin1String("zoomed")) {
        if (!m_window.IsZoomed()) m_window.ToggleZoom();
    } else if (scene.startsWith(QLatin1String("settings"))) {
        const int page = scene.section(QLatin1Char(':'), 1, 1).toInt();
        QTimer::singleShot(kSettleMs, this, [page] {
            if (auto* dialog = qobject_cast<SettingsDialog*>(QApplication::activeModalWidget())) {
                dialog->Tabs()->setCurrentIndex(page);
                // The log where a user's log goes: in the user's state
                // folder, not in the script's temporary runtime folder.
                if (auto* log = dialog->findChild<QLineEdit*>(QStringLiteral("1502"))) log->setText(StateLogPath());
            }
        });
        m_window.RunCommand(MainDropWindow::SettingsCommand);
    } else if (scene == QLatin1String("about")) {
        // The report of the libraries at the top of the guide.
        QTimer::singleShot(kSettleMs, this, [] {
            QWidget* box = QApplication::activeModalWidget();
            auto* guide = box ? box->findChild<QPlainTextEdit*>(QStringLiteral("1504")) : nullptr;
            if (!guide) return;
            // From the end back up, so that the heading becomes the top line.
            guide->moveCursor(QTextCursor::End);
            guide->ensureCursorVisible();
            QTextCursor heading = guide->document()->find(QStringLiteral("3. LIBRARY VERSIONS"));
            heading.clearSelection();
            guide->setTextCursor(heading);
            guide->ensureCursorVisible();
        });
        m_window.RunCommand(MainDropWindow::AboutCommand);
    } else if (scene == QLatin1String("progress")) {
        // As a batch sets it up, half-way through its second file.
        m_popup = std::make_unique<ProgressPopup>(&m_window, m_shell, QStringLiteral("Progress Status"), false);
        m_popup->BeginModal(QStringLiteral("Progress"), false);
        m_popup->SetRange(0, 5120, 1);
        m_popup->LayoutControls(ProgressPopup::DefaultLines, 300);
        m_popup->CenterOverOwner();
        m_popup->SetStatusText(std::string("Encrypting '/home/user/Documents/Quarterly report 2024.odt'... "));
        m_popup->OffsetPos(2150);
    } else if (scene.startsWith(QLatin1String("status:"))) {
        // The status report of a real batch that fails: the plain file
        // named after "status:" dropped with the direction forced to
        // decrypting.
        const QString file = scene.mid(int(sizeof("status:")) - 1);
        if (auto* decrypting = m_window.findChild<QAbstractButton*>(QStringLiteral("1201"))) decrypting->click();
        for (const QString& id : {QStringLiteral("1500"), QStringLiteral("1501")}) {
            if (auto* field = m_window.findChild<QLineEdit*>(id)) field->setText(QStringLiteral("secret"));
        }
        m_window.RunBatch({file});
    } else if (scene == QLatin1String("help")) {
        auto* field = m_window.findChild<QLineEdit*>(QStringLiteral("1500"));
        if (field) m_window.Help()->ShowHelp(field, field->mapToGlobal(QPoint(field->width() / 2, field->height() / 2)));
    }
}

} // namespace tessarin
