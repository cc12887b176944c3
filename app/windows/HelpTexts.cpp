#include "HelpTexts.h"

#include "application/HelpTextTable.h"

#include <QGuiApplication>
#include <QWidget>

namespace tessarin {
namespace {

// Run natively on Wayland the compositor, not the program, decides whether
// a window stays on top or starts minimized; the two switches say so there.
QString PlatformNote(int id)
{
    if (id != 1405 && id != 1407) return {};
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return {};
    return QStringLiteral(" Where Tessarin runs as a native Wayland program (QT_QPA_PLATFORM=wayland), the desktop "
                          "decides.");
}

} // namespace

QString HelpTexts::ForId(int id)
{
    const char* text = HelpTextTable::ForId(id);
    if (!text) return {};
    return QString::fromUtf8(text) + PlatformNote(id);
}

void HelpTexts::Apply(QWidget* root)
{
    const auto widgets = root->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        bool isId = false;
        const int id = widget->objectName().toInt(&isId);
        if (!isId) continue;
        const QString text = ForId(id);
        if (!text.isEmpty()) widget->setWhatsThis(text);
    }
}

} // namespace tessarin
