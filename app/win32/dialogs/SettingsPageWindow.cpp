// A settings page bound to AppSettings through the shared table.
#include "SettingsPageWindow.h"

#include "Dialogs.h"
#include "WideText.h"

#include <commdlg.h>
#include <shellapi.h>

#include <vector>

namespace tessarin::win32 {
namespace {

constexpr int kBrowseId = 1000;
constexpr int kReadLogId = 1001;
constexpr int kLogNameId = 1502;

} // namespace

HWND SettingsPageWindow::Create(HWND tabs)
{
    m_window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_info.id), tabs, &Proc,
                                  reinterpret_cast<LPARAM>(this));
    if (!m_window) return nullptr;
    for (const SettingsControl& control : SettingsTable::Controls()) {
        if (control.page != m_info.id || control.items.empty()) continue;
        const HWND list = GetDlgItem(m_window, control.id);
        for (std::string_view item : control.items)
            SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideText::FromUtf8(item).c_str()));
    }
    return m_window;
}

void SettingsPageWindow::Load(const AppSettings& settings)
{
    for (const SettingsControl& control : SettingsTable::Controls()) {
        if (control.page != m_info.id) continue;
        const HWND item = GetDlgItem(m_window, control.id);
        if (control.intField) {
            const std::int32_t value = settings.*control.intField;
            if (control.kind == SettingsControlKind::Check)
                SendMessageW(item, BM_SETCHECK, value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
            else  // an index outside the list selects nothing
                SendMessageW(item, CB_SETCURSEL, static_cast<WPARAM>(value), 0);
        } else if (control.textField) {
            SetWindowTextW(item, WideText::FromUtf8(SettingsTextBytes(settings.*control.textField)).c_str());
        }
    }
    if (m_info.id == 103) m_logFile = WideText::FromUtf8(SettingsTextBytes(settings.editLogFilename));
    ApplyExchangeGreying();
}

void SettingsPageWindow::Store(AppSettings& settings)
{
    for (const SettingsControl& control : SettingsTable::Controls()) {
        if (control.page != m_info.id) continue;
        const HWND item = GetDlgItem(m_window, control.id);
        if (control.intField) {
            // A check box holds 0 or 1; a list without a choice gives -1,
            // which every user of the value reads as its default.
            settings.*control.intField = control.kind == SettingsControlKind::Check
                                             ? (SendMessageW(item, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0)
                                             : static_cast<std::int32_t>(SendMessageW(item, CB_GETCURSEL, 0, 0));
        } else if (control.textField) {
            settings.*control.textField = SettingsTextFromBytes(WideText::ToUtf8(WideText::OfWindow(item)));
        }
    }
    ApplyExchangeGreying();
}

void SettingsPageWindow::Grey(std::span<const int> ids, bool on) const
{
    for (const int id : ids) EnableWindow(GetDlgItem(m_window, id), on ? TRUE : FALSE);
}

void SettingsPageWindow::ApplyExchangeGreying() const
{
    if (const SettingsGreying* rule = SettingsTable::GreyingOf(m_info.id))
        Grey(rule->onExchange, IsDlgButtonChecked(m_window, rule->switchId) == BST_CHECKED);
}

void SettingsPageWindow::OnCommand(int id, int code)
{
    if (code != BN_CLICKED) return;
    if (const SettingsGreying* rule = SettingsTable::GreyingOf(m_info.id); rule && rule->switchId == id) {
        // The check box has flipped itself already: grey by its new state.
        Grey(rule->onClick, IsDlgButtonChecked(m_window, id) == BST_CHECKED);
    } else if (m_info.id == 103 && id == kBrowseId) {
        BrowseLogFile();
    } else if (m_info.id == 103 && id == kReadLogId) {
        ReadLogFile();
    }
}

void SettingsPageWindow::BrowseLogFile()
{
    std::vector<wchar_t> name(32768, L'\0');
    m_logFile.copy(name.data(), std::min(m_logFile.size(), name.size() - 1));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = GetAncestor(m_window, GA_ROOT);
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrTitle = L"Set Log Filename";
    // A log that does not exist yet must be choosable: only its folder has
    // to exist. Its content is appended to, so no overwrite question.
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!GetSaveFileNameW(&dialog)) return;  // cancelled: nothing changes
    m_logFile = name.data();
    SetDlgItemTextW(m_window, kLogNameId, m_logFile.c_str());
}

void SettingsPageWindow::ReadLogFile() const
{
    // The shell's viewer for the file; a log that cannot be opened is not
    // reported, as the viewer is only a convenience.
    SHELLEXECUTEINFOW open{};
    open.cbSize = sizeof(open);
    open.fMask = SEE_MASK_FLAG_NO_UI;
    open.lpVerb = L"open";
    open.lpFile = m_logFile.c_str();
    open.nShow = SW_SHOWNORMAL;
    ShellExecuteExW(&open);
}

INT_PTR CALLBACK SettingsPageWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        return FALSE;
    }
    auto* page = reinterpret_cast<SettingsPageWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!page) return FALSE;
    switch (message) {
    case WM_COMMAND:
        page->OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_HELP:
        return ShowContextHelp(window, reinterpret_cast<const HELPINFO*>(lParam)) ? TRUE : FALSE;
    default:
        return FALSE;
    }
}

} // namespace tessarin::win32
