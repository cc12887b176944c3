#pragma once
// "About Tessarin" (dialog 500): the title and headings in their own fonts,
// the two addresses as links that the shell opens, the program's picture,
// and the guide with the live report of the engine and library versions.
#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace tessarin::win32 {

class AboutDialog {
public:
    // The guide is built from the version report as the modules are now.
    AboutDialog();
    explicit AboutDialog(std::string versionReport) : m_report(std::move(versionReport)) {}

    void Run(HWND owner);

private:
    struct FontCloser {
        void operator()(HFONT font) const { DeleteObject(font); }
    };
    using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, FontCloser>;

    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInit(HWND dialog);
    // Gives a label a font of its own, built from the dialog's font.
    void StyleLabel(int id, const wchar_t* face, int height, bool bold, bool underline);
    static bool IsLink(int id);
    void OpenLink(int id) const;

    std::string m_report;
    HWND m_dialog = nullptr;
    std::vector<FontHandle> m_fonts;  // released with the dialog
};

} // namespace tessarin::win32
