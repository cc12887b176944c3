#pragma once
// The main drop window of aes.exe (dialog 501, "Tessarin"): files and
// folders dropped on it, through OLE or WM_DROPFILES, run a batch with the
// direction and the password pair it holds. A left drag anywhere moves it,
// it snaps to the work area's edges, a double click shrinks it to a 46×46
// square without caption and back, a right click opens the program's menu.
// It carries the settings: loaded before it exists, saved with its
// rectangle and zoom state when it is destroyed.
#include "application/AppSettings.h"
#include "WideText.h"

#include <string>
#include <vector>

namespace tessarin::win32 {

class OleDropTarget;

class MainWindow {
public:
    // Posted to itself with the names of an OLE drop, so that the source
    // is answered before the batch runs.
    static constexpr UINT RunDropMessage = WM_APP + 1;

    MainWindow();
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Runs the dialog modally until it is closed; returns its result.
    INT_PTR RunModal();
    // Creates the dialog without running it (for a caller with its own
    // message loop); the window is shown as at a start.
    HWND CreateModeless();

    HWND Handle() const { return m_window; }
    const AppSettings& Settings() const { return m_settings; }
    SIZE FullSize() const { return m_fullSize; }

    void RunCommand(int command);
    void ToggleZoom();
    void SnapToEdges();
    void RunBatch(const std::vector<std::string>& names);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Initialise();
    void OnCommand(int id, int notification, HWND control);
    void ShowPopupMenu();
    void OpenLog();
    void OpenSettings();
    void OpenAbout();
    void ApplyOnTop();
    void PaintIcon();
    void SaveSettings();

    AppSettings m_settings;
    std::string m_password;
    std::string m_confirmation;
    HWND m_window = nullptr;
    HICON m_icon = nullptr;
    HICON m_smallIcon = nullptr;
    SIZE m_fullSize{};
    OleDropTarget* m_dropTarget = nullptr;
    std::vector<std::vector<std::string>> m_pendingDrops;
    bool m_batchRunning = false;
};

} // namespace tessarin::win32
