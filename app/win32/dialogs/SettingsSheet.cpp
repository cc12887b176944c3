// The settings dialog: its tab control, page switching, OK and Cancel.
#include "SettingsSheet.h"

#include "Dialogs.h"
#include "WideText.h"

#include <commctrl.h>

namespace tessarin::win32 {

bool SettingsSheet::Run(HWND owner)
{
    m_result = false;
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(SettingsTable::DialogId), owner, &Proc,
                    reinterpret_cast<LPARAM>(this));
    return m_result;
}

void SettingsSheet::OnInit(HWND dialog)
{
    m_dialog = dialog;
    m_tabs = GetDlgItem(dialog, SettingsTable::TabControlId);
    // Tab and arrow keys reach into the pages.
    SetWindowLongPtrW(m_tabs, GWL_EXSTYLE, GetWindowLongPtrW(m_tabs, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    const auto pages = SettingsTable::Pages();
    for (std::size_t i = 0; i < pages.size() && i < m_pages.size(); ++i) {
        std::wstring title = WideText::FromUtf8(pages[i].title);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = title.data();
        SendMessageW(m_tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    for (std::size_t i = 0; i < pages.size() && i < m_pages.size(); ++i) {
        m_pages[i] = std::make_unique<SettingsPageWindow>(pages[i]);
        m_pages[i]->Create(m_tabs);
        m_pages[i]->Load(m_values);
    }
    PlacePages();
    ShowPage(0);
}

void SettingsSheet::PlacePages() const
{
    // Every page fills the tab control's area below the strip of tabs: the
    // strip ends at the bottom of the selected tab's row, which with tab 0
    // selected is tab 0's own.
    RECT client{};
    RECT tab{};
    GetClientRect(m_tabs, &client);
    SendMessageW(m_tabs, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&tab));
    for (const auto& page : m_pages) {
        if (!page || !page->Window()) continue;
        SetWindowPos(page->Window(), HWND_TOP, tab.left, tab.bottom + 1, client.right - tab.left - 1,
                     client.bottom - tab.bottom - 2, SWP_NOACTIVATE);
    }
}

void SettingsSheet::ShowPage(int index)
{
    if (index < 0 || index >= PageCount) return;
    for (int i = 0; i < PageCount; ++i) {
        if (m_pages[i] && m_pages[i]->Window()) ShowWindow(m_pages[i]->Window(), i == index ? SW_SHOW : SW_HIDE);
    }
    m_shown = index;
}

void SettingsSheet::End(bool ok)
{
    if (ok) {
        for (const auto& page : m_pages) {
            if (page && page->Window()) page->Store(m_values);
        }
    }
    m_result = ok;
    EndDialog(m_dialog, ok ? IDOK : IDCANCEL);
}

INT_PTR CALLBACK SettingsSheet::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<SettingsSheet*>(lParam)->OnInit(window);
        return TRUE;
    }
    auto* sheet = reinterpret_cast<SettingsSheet*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!sheet) return FALSE;
    switch (message) {
    case WM_NOTIFY: {
        // The pages follow the selected tab, whether the mouse or the
        // keyboard selected it.
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == SettingsTable::TabControlId && header->code == TCN_SELCHANGE) {
            const int index = static_cast<int>(SendMessageW(sheet->m_tabs, TCM_GETCURSEL, 0, 0));
            // The focus stays on the tab strip, so the arrow keys go on
            // choosing tabs.
            if (index != sheet->m_shown) sheet->ShowPage(index);
            return TRUE;
        }
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            sheet->End(LOWORD(wParam) == IDOK);
            return TRUE;
        }
        return FALSE;
    case WM_HELP:
        return ShowContextHelp(window, reinterpret_cast<const HELPINFO*>(lParam)) ? TRUE : FALSE;
    default:
        return FALSE;
    }
}

} // namespace tessarin::win32
