// The Win32 dialogs driven in-process: every control of the shared settings
// table read back by id with its label, items and help string, edited and
// confirmed or cancelled; the greying rules; the About box.
#include "Dialogs.h"
#include "HelpBalloon.h"
#include "WideText.h"
#include "application/AboutGuide.h"
#include "application/HelpTextTable.h"
#include "application/SettingsTable.h"
#include "application/VersionReport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>

using namespace tessarin;
using namespace tessarin::win32;

namespace {

// Runs check on the dialog of caption once the modal loop that show starts
// has it up; check ends the dialog.
std::function<void(HWND)> g_check;
const wchar_t* g_caption = nullptr;
bool g_checked = false;

void CALLBACK FindDialog(HWND, UINT, UINT_PTR timer, DWORD)
{
    // A modal dialog is shown once its first messages are handled.
    const HWND dialog = FindWindowW(L"#32770", g_caption);
    if (!dialog || !IsWindowVisible(dialog)) return;
    KillTimer(nullptr, timer);
    g_checked = true;
    g_check(dialog);
}

void WhileShown(const wchar_t* caption, std::function<void(HWND)> check, const std::function<void()>& show)
{
    g_caption = caption;
    g_check = std::move(check);
    g_checked = false;
    SetTimer(nullptr, 0, 20, &FindDialog);
    show();
    EXPECT_TRUE(g_checked) << "the dialog was not shown";
}

// The control of an id wherever it is in the settings dialog, with the
// page holding it shown as a click on its tab shows it.
HWND ShowControl(HWND dialog, int id)
{
    const HWND tabs = GetDlgItem(dialog, SettingsTable::TabControlId);
    const SettingsControl& control = *SettingsTable::Find(id);
    SendMessageW(tabs, TCM_SETCURSEL, SettingsTable::PageIndex(control.page), 0);
    NMHDR change{tabs, static_cast<UINT_PTR>(SettingsTable::TabControlId), static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(dialog, WM_NOTIFY, SettingsTable::TabControlId, reinterpret_cast<LPARAM>(&change));
    HWND page = nullptr;
    while ((page = FindWindowExW(tabs, page, L"#32770", nullptr))) {
        if (const HWND item = GetDlgItem(page, id)) return item;
    }
    return nullptr;
}

AppSettings Varied()
{
    AppSettings settings;
    settings.checkFilterCompress = 1;  // nothing greyed
    settings.editLogFilename = "C:\\logs\\tessarin.txt";
    return settings;
}

std::vector<std::string> Differences(const AppSettings& a, const AppSettings& b)
{
    std::vector<std::string> names;
    for (const auto& value : AppSettings::IntegerValues)
        if (a.*value.field != b.*value.field) names.push_back(value.name);
    for (const auto& value : AppSettings::StringValues)
        if (a.*value.field != b.*value.field) names.push_back(value.name);
    return names;
}

} // namespace

// Every bound control in turn, through OK and through Cancel: shown with its
// table's text, items and help, edited, another page shown, then ended.
TEST(SettingsDialog, WalkOfTheSharedTable)
{
    bool readBack = false;
    for (const SettingsControl& control : SettingsTable::Controls()) {
        if (!control.field) continue;
        for (const int button : {IDOK, IDCANCEL}) {
            SCOPED_TRACE(std::to_string(control.id) + (button == IDOK ? " OK" : " Cancel"));
            const AppSettings before = Varied();
            AppSettings settings = before;
            WhileShown(L"AES Main Configuration", [&](HWND dialog) {
                // Every control read back once, with its help.
                for (const SettingsControl& shown : SettingsTable::Controls()) {
                    if (shown.id == -1 || readBack) continue;
                    const HWND item = ShowControl(dialog, shown.id);
                    ASSERT_TRUE(item) << shown.id;
                    EXPECT_TRUE(IsWindowVisible(item)) << shown.id;
                    if (shown.text) {
                        EXPECT_EQ(WideText::ToUtf8(WideText::OfWindow(item)), shown.text);
                    }
                    for (std::size_t i = 0; i < shown.items.size(); ++i) {
                        wchar_t text[32] = {};
                        SendMessageW(item, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                        EXPECT_EQ(WideText::ToUtf8(text), shown.items[i]);
                    }
                    HELPINFO help{sizeof(HELPINFO), HELPINFO_WINDOW, shown.id, item, 0, {40, 40}};
                    SendMessageW(GetParent(item), WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
                    const char* expected = HelpTextTable::ForId(shown.id);
                    EXPECT_EQ(HelpBalloon::Current() ? WideText::ToUtf8(WideText::OfWindow(HelpBalloon::Current())) : "",
                              expected ? expected : "");
                    if (HelpBalloon::Current()) SendMessageW(HelpBalloon::Current(), WM_KEYDOWN, VK_ESCAPE, 0);
                }
                readBack = true;
                const HWND item = ShowControl(dialog, control.id);
                if (control.kind == SettingsControlKind::Check)
                    SendMessageW(item, BM_CLICK, 0, 0);
                else if (control.intField)
                    SendMessageW(item, CB_SETCURSEL, (before.*control.intField + 1) % control.items.size(), 0);
                else
                    SetWindowTextW(item, L"edited \u00fc");
                ShowControl(dialog, SettingsTable::Controls().front().id);
                SendDlgItemMessageW(dialog, button, BM_CLICK, 0, 0);
            }, [&] { EXPECT_EQ(ShowSettingsDialog(nullptr, settings), button == IDOK); });
            if (button == IDCANCEL) {
                EXPECT_TRUE(Differences(before, settings).empty());
                continue;
            }
            EXPECT_EQ(Differences(before, settings), std::vector<std::string>{control.field});
            if (control.kind == SettingsControlKind::Check)
                EXPECT_EQ(settings.*control.intField, before.*control.intField ? 0 : 1);
            else if (control.intField)
                EXPECT_EQ(settings.*control.intField,
                          static_cast<int>((before.*control.intField + 1) % control.items.size()));
            else
                EXPECT_EQ(settings.*control.textField, "edited \xc3\xbc");
        }
    }
}

// Each switch greys its controls by its value when the dialog opens, and by
// its new value when it is clicked.
TEST(SettingsDialog, GreyingRules)
{
    for (const SettingsGreying& rule : SettingsTable::Greyings()) {
        for (const int on : {0, 1}) {
            SCOPED_TRACE(std::to_string(rule.switchId) + (on ? " on" : " off"));
            AppSettings settings = Varied();
            settings.*SettingsTable::Find(rule.switchId)->intField = on;
            WhileShown(L"AES Main Configuration", [&](HWND dialog) {
                for (const int id : rule.onExchange) EXPECT_EQ(IsWindowEnabled(ShowControl(dialog, id)) != 0, on != 0) << id;
                SendMessageW(ShowControl(dialog, rule.switchId), BM_CLICK, 0, 0);
                for (const int id : rule.onClick) EXPECT_EQ(IsWindowEnabled(ShowControl(dialog, id)) != 0, on == 0) << id;
                EXPECT_TRUE(IsWindowEnabled(ShowControl(dialog, rule.switchId)));
                SendDlgItemMessageW(dialog, IDCANCEL, BM_CLICK, 0, 0);
            }, [&] { ShowSettingsDialog(nullptr, settings); });
        }
    }
}

// The guide with the live version report, the styled labels and the links.
TEST(AboutBox, GuideAndLabels)
{
    WhileShown(L"About Tessarin", [](HWND dialog) {
        std::string guide = WideText::ToUtf8(WideText::OfWindow(GetDlgItem(dialog, 1504)));
        EXPECT_EQ(guide, AboutGuide::Text(VersionReport::Build()));
        EXPECT_NE(guide.find("Loading 'engine.dll'\r\nVersion "), std::string::npos);
        for (const auto& [id, weight, underline] : {std::tuple{1602, FW_BOLD, false}, {1603, FW_BOLD, false},
                                                    {1604, FW_BOLD, false}, {1600, FW_NORMAL, true}}) {
            LOGFONTW font{};
            GetObjectW(reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, id, WM_GETFONT, 0, 0)), sizeof(font), &font);
            EXPECT_EQ(font.lfWeight, weight) << id;
            EXPECT_EQ(font.lfUnderline != 0, underline) << id;
        }
        for (const int link : {1600, 1601})
            EXPECT_TRUE(GetWindowLongW(GetDlgItem(dialog, link), GWL_STYLE) & SS_NOTIFY) << link;
        EXPECT_EQ(WideText::ToUtf8(WideText::OfWindow(GetDlgItem(dialog, 1601))), AboutGuide::MirrorLink);
        SendDlgItemMessageW(dialog, IDOK, BM_CLICK, 0, 0);
    }, [] { ShowAboutBox(nullptr); });
}
