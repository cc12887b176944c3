// The entries of the main window's pop-up menu.
#include "application/MainMenu.h"

namespace tessarin {
namespace {

constexpr MainMenu::Entry kEntries[] = {
    {MainMenu::OpenLogCommand, "&Open Log File"},
    {MainMenu::SettingsCommand, "&Settings..."},
    {0, nullptr},
    {MainMenu::ZoomCommand, "&Zoom in/out"},
    {MainMenu::MinimizeCommand, "&Minimize"},
    {0, nullptr},
    {MainMenu::AboutCommand, "&About..."},
    {0, nullptr},
    {MainMenu::ExitCommand, "&Exit"},
};

} // namespace

std::span<const MainMenu::Entry> MainMenu::Entries()
{
    return kEntries;
}

} // namespace tessarin
