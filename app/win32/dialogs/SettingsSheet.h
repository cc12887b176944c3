#pragma once
// "AES Main Configuration" (dialog 108): a tab control whose six pages edit
// a copy of the settings. "&OK" collects every page, hidden ones included;
// "&Cancel", Escape or closing drops the edits.
#include "SettingsPageWindow.h"

#include <array>
#include <memory>

namespace tessarin::win32 {

class SettingsSheet {
public:
    static constexpr int PageCount = 6;

    explicit SettingsSheet(const AppSettings& settings) : m_values(settings) {}

    // Runs the dialog modally; true when it ended with "&OK".
    bool Run(HWND owner);

    // The settings given, with every page's values over them after "&OK".
    const AppSettings& Values() const { return m_values; }

private:
    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInit(HWND dialog);
    void PlacePages() const;
    void ShowPage(int index);
    void End(bool ok);

    AppSettings m_values;
    HWND m_dialog = nullptr;
    HWND m_tabs = nullptr;
    std::array<std::unique_ptr<SettingsPageWindow>, PageCount> m_pages;
    int m_shown = 0;
    bool m_result = false;
};

} // namespace tessarin::win32
