#include "ContextHelp.h"

#include "HelpPopup.h"

#include <QAction>
#include <QCursor>
#include <QHelpEvent>
#include <QWhatsThis>
#include <QWidget>

namespace tessarin {

ContextHelp::ContextHelp(QWidget* window) : QObject(window), m_window(window)
{
    Watch(window);
    for (QWidget* child : window->findChildren<QWidget*>()) Watch(child);

    // Where the window manager draws no "?" button, Shift+F1 enters the
    // same mode; F1 answers for the control under the mouse directly.
    QAction* whatsThis = QWhatsThis::createAction(window);
    whatsThis->setShortcutContext(Qt::WindowShortcut);
    window->addAction(whatsThis);
    auto* direct = new QAction(window);
    direct->setShortcut(QKeySequence(Qt::Key_F1));
    direct->setShortcutContext(Qt::WindowShortcut);
    connect(direct, &QAction::triggered, this, [this] {
        const QPoint at = QCursor::pos();
        QWidget* under = m_window->childAt(m_window->mapFromGlobal(at));
        ShowHelp(under ? under : m_window, at);
    });
    window->addAction(direct);
}

void ContextHelp::Watch(QWidget* widget)
{
    widget->installEventFilter(this);
}

HelpPopup* ContextHelp::VisiblePopup() const
{
    return (m_popup && m_popup->isVisible()) ? m_popup.data() : nullptr;
}

bool ContextHelp::ShowHelp(QWidget* control, QPoint globalPos)
{
    QString text;
    for (QWidget* widget = control; widget; widget = widget->parentWidget()) {
        text = widget->whatsThis();
        bool isId = false;
        widget->objectName().toInt(&isId);
        if (!text.isEmpty() || isId || widget == m_window) break;
    }
    if (text.isEmpty()) {
        if (m_popup) m_popup->hide();
        return true;
    }
    if (!m_popup) m_popup = new HelpPopup(m_window);
    m_popup->ShowAt(text, globalPos);
    return true;
}

bool ContextHelp::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WhatsThis) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget != m_popup) {
            // One click answers one request, with or without a text.
            if (QWhatsThis::inWhatsThisMode()) QWhatsThis::leaveWhatsThisMode();
            ShowHelp(widget, static_cast<QHelpEvent*>(event)->globalPos());
            event->accept();
            return true;
        }
    } else if (event->type() == QEvent::QueryWhatsThis) {
        // Every control answers, so the What's-This cursor never refuses a
        // click; controls without a text then show nothing.
        event->accept();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tessarin
