// The main drop window in this process, driven with the messages a user's
// actions send: zoom, edge snapping, the password fields' byte rule, the
// direction, and the settings kept when the window is destroyed.
#include "MainWindow.h"
#include "PasswordField.h"
#include "application/WindowGeometry.h"

#include <gtest/gtest.h>

namespace tessarin::win32 {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quenby Software\\Tessarin"); }
    static RECT Box(HWND window)
    {
        RECT box{};
        ::GetWindowRect(window, &box);
        return box;
    }
};

TEST_F(MainWindowTest, DoubleClickZoomsToTheSquareAndBack)
{
    MainWindow main;
    HWND window = main.CreateModeless();
    const RECT full = Box(window);
    for (bool zoomed : {true, false}) {
        ::SendMessageW(window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
        const RECT now = Box(window);
        EXPECT_EQ(now.left, full.left);
        EXPECT_EQ(now.right - now.left, zoomed ? WindowGeometry::ZoomedSide : full.right - full.left);
        EXPECT_EQ(now.bottom - now.top, zoomed ? WindowGeometry::ZoomedSide : full.bottom - full.top);
        EXPECT_EQ((::GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) == 0, zoomed);
        EXPECT_EQ(main.Settings().zoomedIn, zoomed ? 1 : 0);
    }
}

TEST_F(MainWindowTest, MouseMoveSnapsToTheWorkAreaEdges)
{
    RECT area{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    MainWindow main;
    HWND window = main.CreateModeless();
    const RECT full = Box(window);
    const int w = full.right - full.left;
    const int h = full.bottom - full.top;
    struct Case {
        POINT at;
        POINT snapped;
    } cases[] = {
        {{area.left + 10, area.top + 300}, {area.left, area.top + 300}},
        {{area.left - 15, area.top + 300}, {area.left, area.top + 300}},
        {{area.right - w - 12, area.bottom - h + 3}, {area.right - w, area.bottom - h}},
        {{area.left + 300, area.top + 16}, {area.left + 300, area.top + 16}},  // 16 away: stays
    };
    for (const Case& c : cases) {
        ::SetWindowPos(window, nullptr, c.at.x, c.at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ::SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        const RECT now = Box(window);
        EXPECT_EQ(now.left, c.snapped.x) << c.at.x << "," << c.at.y;
        EXPECT_EQ(now.top, c.snapped.y) << c.at.x << "," << c.at.y;
    }
}

TEST_F(MainWindowTest, PasswordFieldsHoldThirtyTwoBytesOfWholeCharacters)
{
    struct Case {
        std::wstring typed;
        std::size_t cursor;
        std::wstring kept;
    } cases[] = {
        {std::wstring(32, L'a'), 32, std::wstring(32, L'a')},
        {std::wstring(31, L'a') + L"\u00FC", 32, std::wstring(31, L'a')},     // 33 bytes: the ü goes whole
        {std::wstring(20, L'\u00FC'), 20, std::wstring(16, L'\u00FC')},       // two bytes each
        {std::wstring(28, L'a') + L"\U0001F511", 30, std::wstring(28, L'a') + L"\U0001F511"},  // a pair is 4
        {L"\U0001F511" + std::wstring(30, L'b'), 2, std::wstring(30, L'b')},  // the pasted key goes first
    };
    MainWindow main;
    HWND window = main.CreateModeless();
    for (const Case& c : cases) {
        std::wstring text = c.typed;
        std::size_t cursor = c.cursor;
        PasswordField::Fit(text, cursor);
        EXPECT_EQ(text, c.kept);
        // The field on the window, typed at its end.
        ::SetDlgItemTextW(window, 1500, c.typed.c_str());
        wchar_t shown[64] = {};
        ::GetDlgItemTextW(window, 1500, shown, 64);
        if (c.cursor == c.typed.size()) {
            EXPECT_EQ(std::wstring(shown), c.kept);
        }
    }
}

TEST_F(MainWindowTest, DirectionAndZoomAreStoredWhenTheWindowIsDestroyed)
{
    RECT zoomedAt{};
    {
        MainWindow main;
        HWND window = main.CreateModeless();
        ::SendDlgItemMessageW(window, 1202, BM_CLICK, 0, 0);
        EXPECT_EQ(main.Settings().encrypt, 2);
        ::SetWindowPos(window, nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ::SendMessageW(window, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
        zoomedAt = Box(window);
        ::DestroyWindow(window);
    }
    MainWindow again;
    HWND window = again.CreateModeless();
    EXPECT_EQ(again.Settings().encrypt, 2);
    EXPECT_EQ(::IsDlgButtonChecked(window, 1202), BST_CHECKED);
    const RECT now = Box(window);
    EXPECT_EQ(now.left, zoomedAt.left);
    EXPECT_EQ(now.top, zoomedAt.top);
    EXPECT_EQ(now.right - now.left, WindowGeometry::ZoomedSide);
}

} // namespace
} // namespace tessarin::win32
