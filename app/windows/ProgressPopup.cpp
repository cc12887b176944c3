#include "ProgressPopup.h"

#include "platform/Console.h"

#include "ProgramIcon.h"
#include "ShellServices.h"
#include "application/CSettingsKey.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <limits>

namespace tessarin {
namespace {

constexpr int kMargin = 10;
// Where the popup keeps its place between batches, beside the settings.
constexpr char kProfileSection[] = "Settings";

// Each line of the status text is shortened in its middle to fit the width,
// so both ends of a long path stay readable.
QString FitLines(const QString& text, const QFontMetrics& metrics, int width)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) line = metrics.elidedText(line, Qt::ElideMiddle, width);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

ProgressPopup::ProgressPopup(QWidget* owner, ShellServices& shell, const QString& title, bool smooth)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      m_owner(owner), m_shell(shell)
{
    setObjectName(QStringLiteral("progressPopup"));
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    m_title = title;
    Create(title, smooth);
}

ProgressPopup::~ProgressPopup()
{
    Dismiss();
}

bool ProgressPopup::Create(const QString& title, bool smooth)
{
    setWindowTitle(title);
    setWindowIcon(ProgramIcon::Icon());
    setCursor(Qt::BusyCursor);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("11"));
    m_status->setTextFormat(Qt::PlainText);  // "%" and "&" are shown as they are
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("12"));
    m_bar->setTextVisible(false);
    if (!smooth) m_bar->setProperty("segmented", true);
    m_cancel = new QPushButton(m_cancelLabel, this);
    m_cancel->setObjectName(QStringLiteral("10"));
    m_cancel->setAutoDefault(false);
    m_cancel->setCursor(Qt::ArrowCursor);
    connect(m_cancel, &QPushButton::clicked, this, &ProgressPopup::RequestCancel);

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    m_layout->setSpacing(kMargin);
    m_layout->addWidget(m_status);
    auto* row = new QHBoxLayout;
    row->setSpacing(kMargin);
    row->addWidget(m_bar, 1);
    row->addWidget(m_cancel);
    m_layout->addLayout(row);
    m_layout->setSizeConstraint(QLayout::SetFixedSize);

    m_alive = true;
    LayoutControls(m_lines, DefaultWidth);
    RestorePosition();
    ShowPopup();
    return true;
}

bool ProgressPopup::BeginModal(const QString& title, bool smooth)
{
    if (!m_alive && !Create(title, smooth)) return false;
    // The owner alone is disabled: the popup is not its child, so it stays
    // usable while the owner ignores input and drops.
    if (m_owner) m_owner->setEnabled(false);
    setEnabled(true);
    // Over the batch's wait cursor: the arrow with the hourglass says that
    // Cancel can still be clicked.
    if (!m_modal) QApplication::setOverrideCursor(Qt::BusyCursor);
    m_modal = true;
    return true;
}

void ProgressPopup::SetRange(int lower, int upper, int step)
{
    if (!m_alive) return;
    m_meter.SetRange(lower, upper, step);
    // An empty range would turn the bar into a busy indicator; it stays
    // empty instead.
    if (upper > lower) {
        m_bar->setRange(lower, upper);
    } else {
        m_bar->setRange(0, 1);
    }
    m_bar->setValue(m_bar->minimum());
}

void ProgressPopup::SetStatusText(const std::string& text)
{
    SetStatusText(QFile::decodeName(QByteArray::fromStdString(text)));
}

void ProgressPopup::SetStatusText(const QString& text)
{
    if (!m_alive) return;
    QString shown = text.left(MaxStatusText);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_fullText = shown;
    m_status->setText(FitLines(shown, m_status->fontMetrics(), m_status->width()));
    m_status->setToolTip(shown);
}

QString ProgressPopup::StatusText() const
{
    return m_fullText;
}

void ProgressPopup::LayoutControls(int lines, int width)
{
    m_lines = std::max(1, lines);
    if (!m_alive) return;
    const QFontMetrics metrics = m_status->fontMetrics();
    m_status->setFixedSize(width, metrics.lineSpacing() * m_lines);
    const QSize button = m_cancel->sizeHint();
    m_cancel->setFixedSize(button);
    const int edge = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    m_bar->setFixedHeight(std::max(4, button.height() - 2 * edge));
    const QPoint topLeft = pos();
    m_layout->activate();
    adjustSize();
    move(topLeft);
    if (!m_fullText.isEmpty()) SetStatusText(m_fullText);
}

void ProgressPopup::CenterOverOwner()
{
    if (!m_alive) return;
    QRect area;
    if (m_owner && m_owner->isVisible()) {
        area = m_owner->frameGeometry();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    if (!area.isValid()) return;
    QRect frame = frameGeometry();
    frame.moveCenter(area.center());
    if (const QScreen* screen = QGuiApplication::screenAt(area.center())) {
        const QRect avail = screen->availableGeometry();
        frame.moveLeft(std::clamp(frame.left(), avail.left(), std::max(avail.left(), avail.right() - frame.width())));
        frame.moveTop(std::clamp(frame.top(), avail.top(), std::max(avail.top(), avail.bottom() - frame.height())));
    }
    move(frame.topLeft());
}

int ProgressPopup::SetPos(int position)
{
    if (!m_alive) return m_meter.GetPos();
    ShowPopup();
    if (m_meter.SetPos(position)) setWindowTitle(QString::fromStdString(m_meter.Caption(m_title.toStdString())));
    // The bar stops at its ends; an empty range keeps it empty.
    const bool empty = m_meter.GetUpper() <= m_meter.GetLower();
    m_bar->setValue(empty ? 0 : std::clamp(position, m_bar->minimum(), m_bar->maximum()));
    return m_meter.GetPos();
}

int ProgressPopup::OffsetPos(int amount)
{
    if (!m_alive) return m_meter.GetPos();
    const long long moved = static_cast<long long>(m_meter.GetPos()) + amount;
    return SetPos(static_cast<int>(std::clamp<long long>(moved, std::numeric_limits<int>::min(),
                                                         std::numeric_limits<int>::max())));
}

void ProgressPopup::ShowPopup()
{
    if (!m_alive || isVisible()) return;
    if (m_owner && m_owner->window()->windowHandle()) {
        winId();
        windowHandle()->setTransientParent(m_owner->window()->windowHandle());
    }
    show();
    repaint();
}

void ProgressPopup::HidePopup()
{
    if (m_alive && isVisible()) hide();
}

void ProgressPopup::PumpMessages(bool escapeCancels)
{
    m_escapeCancels = escapeCancels;
    if (!m_alive || m_cancelled) return;
    // Our own windows only: the focus is never taken from another program.
    if (m_modal && QApplication::activeWindow() && QApplication::activeWindow() != this) activateWindow();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool ProgressPopup::IsCancelled() const
{
    return m_cancelled || platform::InterruptRequested();
}

void ProgressPopup::RequestCancel()
{
    m_cancelled = true;
    HidePopup();
    if (m_modal) Destroy();
    if (m_owner) {
        m_owner->window()->raise();
        m_owner->window()->activateWindow();
    }
}

void ProgressPopup::RestorePosition()
{
    if (!m_alive) return;
    std::int32_t x = -1;
    std::int32_t y = -1;
    CSettingsKey profile;
    if (profile.OpenKey(QString::fromLatin1(kProfileSection))) {
        profile.ReadInt(QStringLiteral("X"), x);
        profile.ReadInt(QStringLiteral("Y"), y);
        profile.CloseKey();
    }
    // A place off every screen (a screen removed since) centres instead.
    bool onScreen = false;
    for (const QScreen* screen : QGuiApplication::screens()) onScreen = onScreen || screen->geometry().contains(x, y);
    if (x < 0 || y < 0 || !onScreen) {
        CenterOverOwner();
        return;
    }
    move(x, y);
}

void ProgressPopup::SavePosition()
{
    if (!m_alive) return;
    const QPoint at = frameGeometry().topLeft();
    CSettingsKey profile;
    if (!profile.CreateKey(QString::fromLatin1(kProfileSection))) return;
    profile.WriteInt(QStringLiteral("X"), at.x());
    profile.WriteInt(QStringLiteral("Y"), at.y());
    profile.CloseKey();
}

void ProgressPopup::ShowMessage(const std::string& text, const std::string& title, BoxIcon icon)
{
    ShowDetailedMessage(text, title, icon, std::string());
}

void ProgressPopup::ShowDetailedMessage(const std::string& text, const std::string& title, BoxIcon icon,
                                        const std::string& details)
{
    ShellServices::Icon shown = ShellServices::Icon::Information;
    switch (icon) {
    case BoxIcon::Stop: shown = ShellServices::Icon::Stop; break;
    case BoxIcon::Exclamation: shown = ShellServices::Icon::Exclamation; break;
    case BoxIcon::Information: shown = ShellServices::Icon::Information; break;
    }
    QWidget* boxOwner = m_alive ? static_cast<QWidget*>(this) : m_owner.data();
    m_shell.ShowDetailedMessage(boxOwner, shown, QFile::decodeName(QByteArray::fromStdString(title)),
                                QFile::decodeName(QByteArray::fromStdString(text)),
                                QFile::decodeName(QByteArray::fromStdString(details)));
}

void ProgressPopup::Dismiss()
{
    if (m_persistent) SavePosition();
    if (m_modal) {
        m_modal = false;
        QApplication::restoreOverrideCursor();
        if (m_owner) m_owner->setEnabled(true);
    }
    Destroy();
}

void ProgressPopup::Destroy()
{
    if (!m_alive) return;
    m_alive = false;
    hide();
}

void ProgressPopup::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        if (m_escapeCancels) RequestCancel();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ProgressPopup::closeEvent(QCloseEvent* event)
{
    // Closing the window by other means than Cancel is a cancel too; the
    // window stays until the batch dismisses it when it is not modal.
    if (m_alive && !m_cancelled) RequestCancel();
    event->accept();
    if (m_alive) event->ignore();
}

} // namespace tessarin
