// The byte rule on the main window's password fields.
#include "PasswordField.h"

#include "application/PasswordBytes.h"

#include <commctrl.h>

#include <vector>

namespace tessarin::win32 {

bool PasswordField::Fit(std::wstring& text, std::size_t& cursor)
{
    // Characters as the system has them: a surrogate pair is one, and four
    // bytes of UTF-8.
    std::vector<std::size_t> starts;
    std::vector<std::size_t> sizes;
    std::size_t cursorCharacters = 0;
    for (std::size_t i = 0; i < text.size();) {
        const wchar_t unit = text[i];
        const bool pair = unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                          text[i + 1] < 0xE000;
        starts.push_back(i);
        sizes.push_back(pair ? 4 : unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3);
        i += pair ? 2 : 1;
        if (i <= cursor) cursorCharacters = sizes.size();
    }
    starts.push_back(text.size());
    const PasswordBytes::Cut cut = PasswordBytes::Fit(sizes, cursorCharacters);
    if (!cut.cut) return false;
    const std::size_t after = starts[cursorCharacters];
    text = text.substr(0, starts[cut.keptBefore]) + text.substr(after, starts[cursorCharacters + cut.keptAfter] - after);
    cursor = starts[cut.keptBefore];
    return true;
}

std::string PasswordField::Update(HWND field)
{
    std::wstring text = WideText::OfWindow(field);
    DWORD end = 0;
    ::SendMessageW(field, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&end));
    std::size_t cursor = end;
    if (Fit(text, cursor)) {
        ::SetWindowTextW(field, text.c_str());
        ::SendMessageW(field, EM_SETSEL, cursor, cursor);
        const std::wstring note = WideText::FromUtf8(PasswordBytes::Note);
        EDITBALLOONTIP tip{sizeof(tip), L"", note.c_str(), TTI_INFO};
        ::SendMessageW(field, EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&tip));
    }
    return WideText::ToUtf8(text);
}

} // namespace tessarin::win32
