// aes.exe driven from another process as a user's hand would: the settings
// dialog opened from the main window's menu, every control of the shared
// table read back by id and changed, Cancel then OK, and after Exit the
// registry as the program stored it.
#include "WideText.h"
#include "application/AppSettings.h"
#include "application/MainMenu.h"
#include "application/SettingsTable.h"

#include <gtest/gtest.h>

#include <variant>

using namespace tessarin;
using namespace tessarin::win32;

namespace {

using Value = std::variant<std::int32_t, std::string>;
constexpr wchar_t kKey[] = L"Software\\Quenby Software\\Tessarin\\v1.1";

template <class Find>
HWND WaitFor(Find find)
{
    for (int tries = 0; tries < 400; ++tries, Sleep(50)) {
        if (const HWND window = find(); window && IsWindowVisible(window)) return window;
    }
    return nullptr;
}

// The control of an id on whichever page holds it, shown or not.
HWND Control(HWND dialog, int id)
{
    HWND page = nullptr;
    while ((page = FindWindowExW(GetDlgItem(dialog, SettingsTable::TabControlId), page, L"#32770", nullptr))) {
        if (const HWND item = GetDlgItem(page, id)) return item;
    }
    return nullptr;
}

Value Read(HWND item, const SettingsControl& control)
{
    if (control.kind == SettingsControlKind::Check)
        return static_cast<std::int32_t>(SendMessageW(item, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
    if (control.intField) return static_cast<std::int32_t>(SendMessageW(item, CB_GETCURSEL, 0, 0));
    // Another process's edit box tells its text only when asked by message.
    std::wstring text(static_cast<std::size_t>(SendMessageW(item, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        SendMessageW(item, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return WideText::ToUtf8(text);
}

// What the walk sets: every box flipped, the next item of every list, a
// text of its own in every edit box.
Value Walked(const SettingsControl& control)
{
    const AppSettings defaults;
    if (control.kind == SettingsControlKind::Check) return defaults.*control.intField ? 0 : 1;
    if (control.intField) return static_cast<std::int32_t>((defaults.*control.intField + 1) % control.items.size());
    return std::string("walk ") + control.field + " \xc3\xbc";
}

Value Default(const SettingsControl& control)
{
    const AppSettings defaults;
    if (control.intField) return defaults.*control.intField;
    return SettingsTextBytes(defaults.*control.textField);
}

// Opens the dialog from the menu, checks that every control shows expected,
// optionally sets the walked values, and ends it with button.
void Walk(HWND main, Value (*expected)(const SettingsControl&), bool set, int button)
{
    PostMessageW(main, WM_COMMAND, MainMenu::SettingsCommand, 0);
    const HWND dialog = WaitFor([] { return FindWindowW(L"#32770", L"AES Main Configuration"); });
    ASSERT_TRUE(dialog);
    for (const SettingsControl& control : SettingsTable::Controls()) {
        const HWND item = Control(dialog, control.id);
        if (control.id != -1) {
            ASSERT_TRUE(item) << control.id;
        }
        if (!control.field) continue;
        EXPECT_EQ(Read(item, control), expected(control)) << control.id;
        if (!set) continue;
        const Value value = Walked(control);
        if (control.kind == SettingsControlKind::Check)
            SendMessageW(item, BM_SETCHECK, std::get<std::int32_t>(value) ? BST_CHECKED : BST_UNCHECKED, 0);
        else if (control.intField)
            SendMessageW(item, CB_SETCURSEL, static_cast<WPARAM>(std::get<std::int32_t>(value)), 0);
        else
            SendMessageW(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WideText::FromUtf8(std::get<std::string>(value)).c_str()));
        EXPECT_EQ(Read(item, control), value) << control.id;
    }
    PostMessageW(dialog, WM_COMMAND, static_cast<WPARAM>(button), 0);
    for (int tries = 0; tries < 400 && IsWindow(dialog); ++tries) Sleep(50);
    EXPECT_FALSE(IsWindow(dialog));
}

} // namespace

TEST(SettingsWalk, CancelKeepsOkAppliesExitStores)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    std::wstring program(MAX_PATH, L'\0');
    program.resize(GetModuleFileNameW(nullptr, program.data(), MAX_PATH));
    program = program.substr(0, program.find_last_of(L'\\') + 1) + L"aes.exe";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    const HWND main = WaitFor([] { return FindWindowW(L"#32770", L"Tessarin"); });
    ASSERT_TRUE(main);

    Walk(main, &Default, true, IDCANCEL);
    Walk(main, &Default, true, IDOK);
    Walk(main, &Walked, false, IDCANCEL);
    PostMessageW(main, WM_COMMAND, MainMenu::ExitCommand, 0);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    // Integers as 4 binary bytes, strings as text, under the names of the store.
    for (const SettingsControl& control : SettingsTable::Controls()) {
        if (!control.field) continue;
        const std::wstring name = WideText::FromUtf8(control.field);
        std::wstring text(1024, L'\0');
        DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (control.intField) {
            std::int32_t stored = -99;
            size = sizeof(stored);
            EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kKey, name.c_str(), RRF_RT_REG_BINARY, nullptr, &stored, &size),
                      ERROR_SUCCESS) << control.field;
            EXPECT_EQ(Value(stored), Walked(control)) << control.field;
        } else {
            EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kKey, name.c_str(), RRF_RT_REG_SZ, nullptr, text.data(), &size),
                      ERROR_SUCCESS) << control.field;
            EXPECT_EQ(Value(WideText::ToUtf8(text.c_str())), Walked(control)) << control.field;
        }
    }
}
