// The About box of the Windows program.
#include "AboutDialog.h"

#include "WideText.h"
#include "application/AboutGuide.h"
#include "application/VersionReport.h"

#include <shellapi.h>

namespace tessarin::win32 {
namespace {

constexpr int kPicture = 800;
constexpr int kHomeLink = 1600;
constexpr int kMirrorLink = 1601;
constexpr int kTitle = 1602;
constexpr int kHeading = 1603;
constexpr int kDisclaimer = 1604;
constexpr int kEdition = 1605;
constexpr int kGuide = 1504;
constexpr COLORREF kLinkColour = RGB(0, 0, 255);

// The program's own icon: the first icon group of its resources, as the
// shell shows it.
BOOL CALLBACK TakeFirstIcon(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found)
{
    *reinterpret_cast<LPWSTR*>(found) = name;
    return FALSE;
}

} // namespace

AboutDialog::AboutDialog() : m_report(VersionReport::Build()) {}

void AboutDialog::Run(HWND owner)
{
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(500), owner, &Proc, reinterpret_cast<LPARAM>(this));
    m_fonts.clear();
}

void AboutDialog::StyleLabel(int id, const wchar_t* face, int height, bool bold, bool underline)
{
    LOGFONTW description{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(m_dialog, WM_GETFONT, 0, 0)), sizeof(description), &description);
    if (face) lstrcpynW(description.lfFaceName, face, LF_FACESIZE);
    if (height != 0) description.lfHeight = -height;
    description.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    description.lfUnderline = underline ? TRUE : FALSE;
    m_fonts.emplace_back(CreateFontIndirectW(&description));
    SendDlgItemMessageW(m_dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(m_fonts.back().get()), TRUE);
}

bool AboutDialog::IsLink(int id)
{
    return id == kHomeLink || id == kMirrorLink;
}

void AboutDialog::OpenLink(int id) const
{
    // The shell decides what the text opens; a failure is not reported.
    const std::wstring target = WideText::OfWindow(GetDlgItem(m_dialog, id));
    ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void AboutDialog::OnInit(HWND dialog)
{
    m_dialog = dialog;
    SetDlgItemTextW(dialog, kTitle, WideText::FromUtf8(AboutGuide::Title).c_str());
    SetDlgItemTextW(dialog, kEdition, WideText::FromUtf8(AboutGuide::Edition).c_str());
    StyleLabel(kTitle, L"Arial", 13, true, false);
    StyleLabel(kHeading, nullptr, 0, true, false);
    StyleLabel(kDisclaimer, nullptr, 0, true, false);
    for (const int link : {kHomeLink, kMirrorLink}) StyleLabel(link, L"Arial", 0, false, true);

    LPWSTR iconName = nullptr;
    const HMODULE module = GetModuleHandleW(nullptr);
    EnumResourceNamesW(module, RT_GROUP_ICON, &TakeFirstIcon, reinterpret_cast<LONG_PTR>(&iconName));
    if (iconName) {
        // Shared: the system keeps it for the program's lifetime.
        const auto icon = static_cast<HICON>(LoadImageW(module, iconName, IMAGE_ICON, 48, 48, LR_SHARED));
        SendDlgItemMessageW(dialog, kPicture, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    }

    std::string guide = AboutGuide::Text(m_report);
    SetDlgItemTextW(dialog, kGuide, WideText::FromUtf8(guide).c_str());
    SetFocus(GetDlgItem(dialog, IDOK));
}

INT_PTR CALLBACK AboutDialog::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<AboutDialog*>(lParam)->OnInit(window);
        return FALSE;  // the focus is set
    }
    auto* box = reinterpret_cast<AboutDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!box) return FALSE;
    switch (message) {
    case WM_CTLCOLORSTATIC: {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        if (!IsLink(id)) return FALSE;
        const auto dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, kLinkColour);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR:
        if (IsLink(GetDlgCtrlID(reinterpret_cast<HWND>(wParam)))) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            SetWindowLongPtrW(window, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    case WM_COMMAND:
        if (IsLink(LOWORD(wParam)) && HIWORD(wParam) == STN_CLICKED) {
            box->OpenLink(LOWORD(wParam));
            return TRUE;
        }
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(window, IDOK);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace tessarin::win32
