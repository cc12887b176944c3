#pragma once
// The progress window of a batch in Win32: a top-most popup with the
// percentage in its caption, four lines of status text (child 11), a bar
// (child 12) and " Cancel " (child 10). The batch runs on the window
// thread, so the window lives by the messages it dispatches each time the
// engine reports progress (PumpEvents); while it is modal its owner, the
// main window, is disabled. Cancel, Escape or a release of the left button
// over Cancel set the break that the engine polls between chunks.
//
// Once cancelled or dismissed the window is gone and every operation does
// nothing (each checks IsWindow), so a batch may keep calling it.
#include "application/ProgressDisplay.h"
#include "application/ProgressMeter.h"
#include "WideText.h"

#include <string>

namespace tessarin::win32 {

class ProgressWindow : public ProgressDisplay {
public:
    enum ChildId { CancelId = 10, TextId = 11, BarId = 12 };
    static constexpr int Margin = 10;
    static constexpr int MaxStatusText = 511;
    static constexpr wchar_t ClassName[] = L"TessarinProgress";

    // Creates and shows the window, owned by owner (may be null).
    ProgressWindow(HWND owner, const std::string& title, bool smooth);
    ~ProgressWindow() override;
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    // Disables the owner and takes the focus; creates the window first
    // when it does not exist (once more after a failed creation).
    bool BeginModal(const std::string& title, bool smooth);
    void LayoutControls(int lines, int width);
    void CenterOverOwner();
    void RequestCancel();
    HWND Handle() const { return m_window; }
    std::wstring Caption() const;

    void SetRange(int lower, int upper, int step) override;
    void SetStatusText(const std::string& text) override;
    int OffsetPos(int amount) override;
    void PumpEvents(bool escapeCancels) override;
    bool IsCancelled() const override { return m_cancelled; }
    void ShowMessage(const std::string& text, const std::string& title, BoxIcon icon) override;
    void Dismiss() override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool Create(const std::string& title, bool smooth);
    bool Alive() const { return m_window != nullptr && ::IsWindow(m_window); }
    void Show();
    void RestorePosition();
    void SavePosition();

    HWND m_owner;
    HWND m_window = nullptr;
    HWND m_text = nullptr;
    HWND m_bar = nullptr;
    HWND m_cancel = nullptr;
    HFONT m_font = nullptr;
    ProgressMeter m_meter;
    std::string m_title;
    bool m_cancelled = false;
    bool m_modal = false;
    bool m_persistent = true;  // the place is restored at creation and kept at the end
};

} // namespace tessarin::win32
