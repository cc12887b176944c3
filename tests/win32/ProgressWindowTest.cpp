// The progress window's contract with the batch, on real windows: the
// caption's percentage, the status text as given, and the ways a user
// stops the batch; the owner is disabled until the end of the batch.
#include "ProgressWindow.h"

#include <gtest/gtest.h>

#include <commctrl.h>

namespace tessarin::win32 {
namespace {

TEST(ProgressWindow, CaptionCountsWholePercentOfTheRange)
{
    struct Case {
        int upper;
        int moved;
        const wchar_t* caption;
    } cases[] = {
        {0, 5, L"Progress Status"},  // under 1 KiB: an empty range, no percentage
        {200, 1, L"Progress Status"},
        {200, 99, L"Progress Status [49%]"},
        {200, 300, L"Progress Status [100%]"},  // never past the end
    };
    for (const Case& c : cases) {
        ProgressWindow window(nullptr, "Progress Status", false);
        window.SetRange(0, c.upper, 1);
        window.OffsetPos(c.moved);
        EXPECT_EQ(window.Caption(), c.caption) << c.upper << " " << c.moved;
        const auto bar = ::SendMessageW(::GetDlgItem(window.Handle(), ProgressWindow::BarId), PBM_GETPOS, 0, 0);
        EXPECT_EQ(bar, c.upper == 0 ? 0 : std::min(c.moved, c.upper));
    }
}

TEST(ProgressWindow, StatusTextIsShownAsGiven)
{
    ProgressWindow window(nullptr, "Progress Status", false);
    window.SetStatusText("Encrypting 'C:\\100% \xC3\xBC.txt' &more");
    wchar_t shown[128] = {};
    ::GetDlgItemTextW(window.Handle(), ProgressWindow::TextId, shown, 128);
    EXPECT_STREQ(shown, L"Encrypting 'C:\\100% \u00FC.txt' &more");
}

TEST(ProgressWindow, CancelEscapeAndDismissEndTheModalRun)
{
    enum class Action { ClickCancel, Escape, EscapeNotAllowed, Dismiss };
    for (Action action : {Action::ClickCancel, Action::Escape, Action::EscapeNotAllowed, Action::Dismiss}) {
        HWND owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
        ProgressWindow window(owner, "Progress Status", false);
        ASSERT_TRUE(window.BeginModal("Progress", false));
        EXPECT_FALSE(::IsWindowEnabled(owner));
        switch (action) {
        case Action::ClickCancel:
            ::SendDlgItemMessageW(window.Handle(), ProgressWindow::CancelId, BM_CLICK, 0, 0);
            break;
        case Action::Escape:
        case Action::EscapeNotAllowed:
            ::PostMessageW(window.Handle(), WM_CHAR, VK_ESCAPE, 0);
            window.PumpEvents(action == Action::Escape);
            break;
        case Action::Dismiss: window.Dismiss(); break;
        }
        const bool cancelled = action == Action::ClickCancel || action == Action::Escape;
        EXPECT_EQ(window.IsCancelled(), cancelled) << static_cast<int>(action);
        EXPECT_EQ(::IsWindow(window.Handle()) != FALSE, action == Action::EscapeNotAllowed);
        // Gone as a window, the display takes every call and does nothing.
        window.SetStatusText("after");
        window.OffsetPos(10);
        window.PumpEvents(true);
        EXPECT_EQ(::IsWindowEnabled(owner) != FALSE, action == Action::Dismiss);
        window.Dismiss();
        EXPECT_TRUE(::IsWindowEnabled(owner));
        ::DestroyWindow(owner);
    }
}

} // namespace
} // namespace tessarin::win32
