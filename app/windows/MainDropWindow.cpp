#include "MainDropWindow.h"

#include "AboutBox.h"
#include "ContextHelp.h"
#include "DropBatch.h"
#include "platform/Console.h"
#include "HelpTexts.h"
#include "PasswordLimit.h"
#include "ProgramIcon.h"
#include "SettingsDialog.h"
#include "ShellServices.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <cstdlib>

namespace tessarin {
namespace {

constexpr int kIconSide = 32;

// A Wayland client cannot place its window nor learn where it is: the
// compositor decides, and Qt reports a made-up position there.
bool PlacesItself()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

AppSettings LoadedSettings()
{
    AppSettings settings;
    settings.LoadSettings();
    return settings;
}

QStringList LocalFiles(const QMimeData* data)
{
    QStringList names;
    if (!data || !data->hasUrls()) return names;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) names.append(url.toLocalFile());
    }
    return names;
}

} // namespace

MainDropWindow::MainDropWindow(DropBatch& batch, ShellServices& shell, QWidget* parent)
    : QDialog(parent), m_batch(batch), m_shell(shell), m_settings(LoadedSettings())
{
    setObjectName(QStringLiteral("501"));
    setWindowTitle(QStringLiteral("Tessarin"));
    setWindowIcon(ProgramIcon::Icon());
    setAcceptDrops(true);
    setMouseTracking(true);
    BuildControls();
    m_fullSize = m_content->size();
    HelpTexts::Apply(this);
    m_help = new ContextHelp(this);

    m_settle = new QTimer(this);
    m_settle->setInterval(25);
    connect(m_settle, &QTimer::timeout, this, &MainDropWindow::HoldFrame);
    // A move the window system makes for the user (a drag that started
    // over any control, by the window manager's own move) ends without a
    // mouse event reaching the window: the snap follows once the window
    // has stood still for a moment.
    m_snapAfterMove = new QTimer(this);
    m_snapAfterMove->setSingleShot(true);
    m_snapAfterMove->setInterval(150);
    connect(m_snapAfterMove, &QTimer::timeout, this, [this] {
        if (!m_frameTarget) SnapToEdges();
    });

    // The stored zoom state is reached by toggling from its opposite.
    m_settings.zoomedIn = m_settings.zoomedIn != 0 ? 0 : 1;
    ToggleZoom();
    PlaceAtStoredRect();
    if (m_settings.checkMinimized != 0) setWindowState(windowState() | Qt::WindowMinimized);

    // Told to quit (SIGTERM, SIGHUP, Ctrl-C in the terminal that started
    // us, the session ending): a batch under way is cancelled like by its
    // Cancel button, so the file at hand is rolled back; then the window
    // closes as by Exit and the settings are saved.
    auto* quitWatch = new QTimer(this);
    quitWatch->setInterval(100);
    connect(quitWatch, &QTimer::timeout, this, [this] {
        if (!platform::InterruptRequested()) return;
        // A box waiting for an answer (the status report, the About box,
        // the settings) is answered as by Escape: nobody is there to do it.
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget()); box && box != this) {
            box->reject();
            return;
        }
        if (!m_batchRunning && m_pendingDrop.isEmpty()) reject();
    });
    quitWatch->start();
}

MainDropWindow::~MainDropWindow()
{
    SaveSettings();
}

int MainDropWindow::RunUntilClosed()
{
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::exit);
    show();
    return loop.exec();
}

void MainDropWindow::BuildControls()
{
    // The controls live on a panel of their own size: the zoomed window
    // shows its top-left corner, the icon, instead of squeezing it.
    m_content = new QWidget(this);
    m_content->setMouseTracking(true);

    auto* icon = new QLabel(m_content);
    icon->setObjectName(QStringLiteral("700"));
    icon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    icon->setPixmap(ProgramIcon::Pixmap(kIconSide, devicePixelRatioF()));
    icon->setFixedSize(kIconSide + 2 * icon->frameWidth(), kIconSide + 2 * icon->frameWidth());
    auto* hint = new QLabel(QStringLiteral("Click '?' then here for help!"), m_content);
    hint->setObjectName(QStringLiteral("1606"));
    hint->setWordWrap(true);
    auto* top = new QHBoxLayout;
    top->setSpacing(8);  // the hint starts right of the zoomed square
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(hint, 1);

    auto* commands = new QGroupBox(QStringLiteral("Commands:"), m_content);
    auto* commandsLayout = new QVBoxLayout(commands);
    m_direction = new QButtonGroup(this);
    const std::pair<int, const char*> radios[] = {{1200, "&Encrypting"}, {1201, "&Decrypting"}, {1202, "&Auto Mode"}};
    for (int index = 0; index < 3; ++index) {
        auto* radio = new QRadioButton(QString::fromUtf8(radios[index].second), commands);
        radio->setObjectName(QString::number(radios[index].first));
        m_direction->addButton(radio, index);
        commandsLayout->addWidget(radio);
    }
    if (QAbstractButton* chosen = m_direction->button(m_settings.encrypt)) chosen->setChecked(true);
    connect(m_direction, &QButtonGroup::idClicked, this, [this](int id) { m_settings.encrypt = id; });

    auto* password = new QGroupBox(QStringLiteral("Set password:"), m_content);
    auto* passwordLayout = new QVBoxLayout(password);
    passwordLayout->setSpacing(2);
    m_passwordEdit = new QLineEdit(password);
    m_passwordEdit->setObjectName(QStringLiteral("1500"));
    m_confirmationEdit = new QLineEdit(password);
    m_confirmationEdit->setObjectName(QStringLiteral("1501"));
    for (QLineEdit* edit : {m_passwordEdit, m_confirmationEdit}) {
        edit->setEchoMode(QLineEdit::Password);
        new PasswordLimit(edit);  // 32 bytes, as the engine counts
    }
    auto* passwordLabel = new QLabel(QStringLiteral("Passwd (max 32):"), password);
    auto* confirmationLabel = new QLabel(QStringLiteral("Re-type passwd:"), password);
    passwordLayout->addWidget(passwordLabel);
    passwordLayout->addWidget(m_passwordEdit);
    passwordLayout->addSpacing(4);
    passwordLayout->addWidget(confirmationLabel);
    passwordLayout->addWidget(m_confirmationEdit);
    connect(m_passwordEdit, &QLineEdit::textChanged, this, [this](const QString& text) { m_password = text; });
    connect(m_confirmationEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_confirmation = text; });

    auto* layout = new QVBoxLayout(m_content);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->setSpacing(6);
    layout->addLayout(top);
    layout->addWidget(commands);
    layout->addWidget(password);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_content->adjustSize();
    m_content->move(0, 0);
}

void MainDropWindow::ApplyWindowFlags()
{
    // The zoomed form has no caption and so none of its buttons either (Qt
    // drops "frameless" when caption buttons are asked for too).
    Qt::WindowFlags flags = Qt::Window;
    if (m_settings.zoomedIn != 0) {
        flags |= Qt::FramelessWindowHint;
    } else {
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint;
    }
    if (m_settings.checkWinOnTop != 0) flags |= Qt::WindowStaysOnTopHint;
    if (flags == windowFlags()) return;
    // New flags re-create the native window: keep its place and visibility.
    const bool shown = isVisible();
    if (!PlacesItself()) {
        setWindowFlags(flags);
        if (shown) show();
        return;
    }
    const QPoint at = m_frameTarget.value_or(VisibleFrame().topLeft());
    setWindowFlags(flags);
    MoveFrameTo(at);
    m_frameTarget = at;
    if (shown) show();  // the frame is held at its place once shown
}

void MainDropWindow::ToggleZoom()
{
    m_settings.zoomedIn = m_settings.zoomedIn == 0 ? 1 : 0;
    // The size first: the window keeps its place when it is shown anew.
    const WindowGeometry::Size zoomed =
        WindowGeometry::ZoomSize(m_settings.zoomedIn != 0, {m_fullSize.width(), m_fullSize.height()});
    const QSize size(zoomed.width, zoomed.height);
    if (!PlacesItself()) {  // the desktop places the window
        setFixedSize(size);
        ApplyWindowFlags();
        return;
    }
    // A frame still settling from the last toggle counts where it is meant
    // to be, so quick toggles do not creep.
    const QPoint at = m_frameTarget.value_or(VisibleFrame().topLeft());
    setFixedSize(size);
    MoveFrameTo(at);
    ApplyWindowFlags();
    KeepFrameAt(at);
}

QRect MainDropWindow::VisibleFrame() const
{
    // The zoomed form has no frame, whatever frame extents the window
    // manager left on the window from its framed form (mutter leaves them,
    // and Qt would count them).
    return (windowFlags() & Qt::FramelessWindowHint) ? geometry() : frameGeometry();
}

void MainDropWindow::MoveFrameTo(const QPoint& at)
{
    if (windowFlags() & Qt::FramelessWindowHint)
        setGeometry(QRect(at, size()));  // the client area is the whole window
    else
        move(at);
}

void MainDropWindow::KeepFrameAt(const QPoint& at)
{
    m_frameTarget = at;
    if (VisibleFrame().topLeft() != at) MoveFrameTo(at);
    if (!isVisible()) return;  // showEvent starts the watch
    // Only an X11 window manager frames a window after it is shown; other
    // platforms place it at once.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        m_frameTarget.reset();
        return;
    }
    m_settling.start();
    m_settledChecks = 0;
    m_settle->start();
}

void MainDropWindow::HoldFrame()
{
    if (!m_frameTarget) {
        m_settle->stop();
        return;
    }
    // The window manager reparents a new window into its frame and reports
    // the frame's extents a little later; until then Qt places the client
    // area where the frame belongs. Checked until the frame has stayed in
    // place for a while, at most for a second.
    if (VisibleFrame().topLeft() != *m_frameTarget) {
        m_settledChecks = 0;
        MoveFrameTo(*m_frameTarget);
    } else {
        ++m_settledChecks;
    }
    if (m_settledChecks >= 8 || m_settling.elapsed() > 1000) {
        m_settle->stop();
        m_frameTarget.reset();
    }
}

void MainDropWindow::PlaceAtStoredRect()
{
    if (!PlacesItself()) return;  // the desktop places the window
    // Where the window would open without a stored place: centred on the mouse.
    const QPoint mouse = QCursor::pos();
    QRect frame = VisibleFrame();
    frame.moveCenter(mouse);
    if (const QScreen* screen = QGuiApplication::screenAt(mouse)) {
        const QRect area = screen->availableGeometry();
        frame.moveLeft(std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() + 1 - frame.width())));
        frame.moveTop(std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() + 1 - frame.height())));
    }
    KeepFrameAt(frame.topLeft());

    SettingsRect stored{frame.left(), frame.top(), frame.left() + frame.width(), frame.top() + frame.height()};
    AppSettings::LoadWindowRect(stored);
    if (stored.left <= 0 && stored.top <= 0 && stored.right <= 0 && stored.bottom <= 0) return;
    // A place on a screen that is no longer there would hide the window.
    const QRect placed(QPoint(stored.left, stored.top), frame.size());
    bool visible = false;
    for (const QScreen* screen : QGuiApplication::screens()) visible = visible || screen->geometry().intersects(placed);
    if (visible) KeepFrameAt(placed.topLeft());
}

void MainDropWindow::SaveSettings()
{
    // Where the window is cannot be known on Wayland: the place an X11 run
    // stored stays as it was (the empty rectangle when there is none).
    SettingsRect rect{};
    if (PlacesItself()) {
        const QRect frame = VisibleFrame();
        rect = {frame.left(), frame.top(), frame.left() + frame.width(), frame.top() + frame.height()};
    } else {
        AppSettings::LoadWindowRect(rect);
    }
    m_settings.SaveSettings(rect);
}

void MainDropWindow::SnapToEdges()
{
    if (!PlacesItself()) return;
    const QScreen* shown = screen();
    if (!shown) return;
    const QRect area = shown->geometry();
    const QRect frame = VisibleFrame();
    const std::optional<WindowGeometry::Point> snapped =
        WindowGeometry::Snap({frame.left(), frame.top(), frame.width(), frame.height()},
                             {area.left(), area.top(), area.width(), area.height()});
    if (snapped) move(snapped->x, snapped->y);
}

std::unique_ptr<QMenu> MainDropWindow::CreatePopupMenu()
{
    auto menu = std::make_unique<QMenu>(QString::fromLatin1(MainMenu::Title), this);
    menu->setObjectName(QString::number(MainMenu::MenuId));
    for (const MainMenu::Entry& entry : MainMenu::Entries()) {
        if (entry.text == nullptr) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromUtf8(entry.text));
        action->setObjectName(QString::number(entry.command));
        action->setData(entry.command);
    }
    return menu;
}

void MainDropWindow::RunCommand(int command)
{
    switch (command) {
    case OpenLogCommand:
        // Opened whether logging is on or not: the last batch may have
        // written it.
        m_shell.OpenLogFile(this, m_settings.editLogFilename);
        break;
    case SettingsCommand: OpenSettings(); break;
    case ZoomCommand: ToggleZoom(); break;
    case MinimizeCommand: showMinimized(); break;
    case AboutCommand: OpenAbout(); break;
    case ExitCommand: reject(); break;
    default: break;
    }
}

void MainDropWindow::OpenSettings()
{
    SettingsDialog dialog(m_settings, m_shell, this);
    if (dialog.exec() != QDialog::Accepted) return;
    m_settings = dialog.Values();
    // "Always Stay on Top" takes effect at once; the window keeps its place.
    ApplyWindowFlags();
    show();
}

void MainDropWindow::OpenAbout()
{
    AboutBox box(this);
    box.exec();
}

void MainDropWindow::RunBatch(const QStringList& names)
{
    if (m_batchRunning || names.isEmpty()) return;
    m_batchRunning = true;
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(names.size()));
    for (const QString& name : names) paths.push_back(QFile::encodeName(name).toStdString());
    m_batch.Run(paths, m_password.toUtf8().toStdString(), m_confirmation.toUtf8().toStdString(), m_settings, this);
    m_batchRunning = false;
}

namespace {

// A drop is only ever taken as a copy: taken as a move, the program the
// files came from may delete the originals once the drop is over.
bool AcceptAsCopy(QDropEvent* event)
{
    if (!(event->possibleActions() & Qt::CopyAction)) return false;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

} // namespace

void MainDropWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!m_batchRunning && !LocalFiles(event->mimeData()).isEmpty()) AcceptAsCopy(event);
}

void MainDropWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (!m_batchRunning && !LocalFiles(event->mimeData()).isEmpty()) AcceptAsCopy(event);
}

void MainDropWindow::dropEvent(QDropEvent* event)
{
    const QStringList names = LocalFiles(event->mimeData());
    if (names.isEmpty() || m_batchRunning || !m_pendingDrop.isEmpty()) return;
    if (!AcceptAsCopy(event)) return;
    // The batch runs once the drop is over, so the program the files came
    // from is not kept waiting for it.
    m_pendingDrop = names;
    QTimer::singleShot(0, this, [this] {
        const QStringList pending = std::exchange(m_pendingDrop, {});
        RunBatch(pending);
    });
}

void MainDropWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        m_manualMove = false;
        m_pressOffset = event->globalPosition().toPoint() - VisibleFrame().topLeft();
        event->accept();
        return;
    }
    if (event->button() == Qt::RightButton) {
        event->accept();
        std::unique_ptr<QMenu> menu = CreatePopupMenu();
        if (QAction* chosen = menu->exec(QCursor::pos())) RunCommand(chosen->data().toInt());
        return;
    }
    QDialog::mousePressEvent(event);
}

void MainDropWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (m_pressed && (event->buttons() & Qt::LeftButton)) {
        const QPoint now = event->globalPosition().toPoint();
        if (m_manualMove) {
            MoveFrameTo(now - m_pressOffset);
        } else if ((now - VisibleFrame().topLeft() - m_pressOffset).manhattanLength() >=
                   QApplication::startDragDistance()) {
            // The window system moves the window as it moves any window by
            // its caption; where it cannot, the window follows the mouse.
            QWindow* native = windowHandle();
            if (native && native->startSystemMove()) {
                m_pressed = false;
            } else {
                m_manualMove = true;
                MoveFrameTo(now - m_pressOffset);
            }
        }
    }
    SnapToEdges();
    event->accept();
}

void MainDropWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = false;
        m_manualMove = false;
    }
    QDialog::mouseReleaseEvent(event);
}

void MainDropWindow::moveEvent(QMoveEvent* event)
{
    QDialog::moveEvent(event);
    // While a new frame settles, HoldFrame keeps it in place; no snap.
    if (!m_frameTarget) m_snapAfterMove->start();
}

void MainDropWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_frameTarget) KeepFrameAt(*m_frameTarget);
}

void MainDropWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = false;
        ToggleZoom();
        event->accept();
        return;
    }
    QDialog::mouseDoubleClickEvent(event);
}

void MainDropWindow::keyPressEvent(QKeyEvent* event)
{
    // Enter ends the program as Exit does; Escape as a dialog's Cancel.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace tessarin
