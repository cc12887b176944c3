#pragma once
// The program's pop-up menu on the main window, as one table for every
// window system: the command numbers and labels in menu order, a null
// label standing for a separator.
#include <span>

namespace tessarin {

class MainMenu {
public:
    enum Command {
        OpenLogCommand = 32778,
        SettingsCommand = 32779,
        ZoomCommand = 32780,
        MinimizeCommand = 32781,
        AboutCommand = 32782,
        ExitCommand = 32783,
    };
    static constexpr int MenuId = 601;
    static constexpr char Title[] = "Menu";

    struct Entry {
        int command;       // 0 for a separator
        const char* text;  // with "&" before the access key; null for a separator
    };
    static std::span<const Entry> Entries();
};

} // namespace tessarin
