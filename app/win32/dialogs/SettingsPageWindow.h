#pragma once
// One page of the settings dialog: a child dialog of the tab control made
// from its page resource, whose controls the shared settings table binds
// to AppSettings fields. It shows values, collects them, applies its
// greying rule, and on the "File Logging" page chooses and opens the log.
#include "application/AppSettings.h"
#include "application/SettingsTable.h"

#include <windows.h>

#include <string>

namespace tessarin::win32 {

class SettingsPageWindow {
public:
    explicit SettingsPageWindow(const SettingsPageInfo& info) : m_info(info) {}
    SettingsPageWindow(const SettingsPageWindow&) = delete;
    SettingsPageWindow& operator=(const SettingsPageWindow&) = delete;

    // Creates the page, hidden, as a child of tabs; null when its resource
    // is missing.
    HWND Create(HWND tabs);
    HWND Window() const { return m_window; }
    const SettingsPageInfo& Info() const { return m_info; }

    // Controls from values, then the greying rule by the switch.
    void Load(const AppSettings& settings);
    // Values from controls, then the greying rule by the switch.
    void Store(AppSettings& settings);

private:
    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int code);
    // Enables the listed controls when on, greys them otherwise.
    void Grey(std::span<const int> ids, bool on) const;
    void ApplyExchangeGreying() const;
    void BrowseLogFile();
    void ReadLogFile() const;

    const SettingsPageInfo& m_info;
    HWND m_window = nullptr;
    // The log that "&Read Log File" opens: the one the page was shown with
    // or last chosen with "&..."; text typed into the name counts after OK.
    std::wstring m_logFile;
};

} // namespace tessarin::win32
