// Drives a running aes.exe from another process, as a user would:
//   aes_driver.exe COMMAND [ARGUMENT] ...
//   password TEXT   types TEXT into both password fields
//   direction N     clicks radio 1200 + N (0 encrypt, 1 decrypt, 2 auto)
//   drop-ole NAME   drags the file or folder NAME onto the window by OLE
//   report          waits for the batch's closing box, prints its title
//                   and text, and presses OK
//   exit            chooses Exit, which ends the program
// Exits 1 at the first command that fails.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

HWND WaitForWindow(const wchar_t* title, int seconds)
{
    for (int i = 0; i < seconds * 10; ++i) {
        // Visible once initialised: typing before that would go unseen.
        HWND found = ::FindWindowW(L"#32770", title);
        if (found && ::IsWindowVisible(found)) return found;
        ::Sleep(100);
    }
    return nullptr;
}

// A CF_HDROP of one name, for DoDragDrop.
class FileData : public IDataObject {
public:
    explicit FileData(const std::wstring& name) : m_name(name) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDataObject)) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_references; }  // lives on main's stack
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
        const SIZE_T size = sizeof(DROPFILES) + (m_name.size() + 2) * sizeof(wchar_t);
        HGLOBAL memory = ::GlobalAlloc(GHND, size);
        auto* files = static_cast<DROPFILES*>(::GlobalLock(memory));
        files->pFiles = sizeof(DROPFILES);
        files->fWide = TRUE;
        std::memcpy(files + 1, m_name.c_str(), m_name.size() * sizeof(wchar_t));
        ::GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override
    {
        return format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override
    {
        if (direction != DATADIR_GET) return E_NOTIMPL;
        FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        return ::SHCreateStdEnumFmtEtc(1, &format, formats);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    std::wstring m_name;
    ULONG m_references = 1;
};

// Lets go over the target at once: the button is "released" on the first
// question.
class DropAtOnce : public IDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDropSource)) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override
    {
        return escape ? DRAGDROP_S_CANCEL : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

bool DropByOle(HWND window, const std::wstring& name)
{
    RECT box{};
    ::GetWindowRect(window, &box);
    ::SetCursorPos((box.left + box.right) / 2, (box.top + box.bottom) / 2);
    FileData data(name);
    DropAtOnce source;
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT result = ::DoDragDrop(&data, &source, DROPEFFECT_COPY, &effect);
    if (result != DRAGDROP_S_DROP || effect != DROPEFFECT_COPY) {
        std::fprintf(stderr, "DoDragDrop: result %08lx, effect %lu\n", static_cast<unsigned long>(result), effect);
        return false;
    }
    return true;
}

bool Report()
{
    for (int i = 0; i < 1200; ++i) {
        for (const wchar_t* title : {L"STATUS REPORT", L"ERROR MESSAGE"}) {
            HWND box = ::FindWindowW(L"#32770", title);
            if (!box) continue;
            wchar_t text[4096] = {};
            ::GetDlgItemTextW(box, 0xFFFF, text, 4096);
            std::printf("%ls\n%ls\n", title, text);
            std::fflush(stdout);
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            for (int j = 0; j < 50 && ::IsWindow(box); ++j) ::Sleep(100);
            return std::wcscmp(title, L"STATUS REPORT") == 0;
        }
        ::Sleep(100);
    }
    std::fprintf(stderr, "no closing box within two minutes\n");
    return false;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    ::OleInitialize(nullptr);
    HWND window = WaitForWindow(L"Tessarin", 30);
    if (!window) {
        std::fprintf(stderr, "no window \"Tessarin\"\n");
        return 1;
    }
    for (int i = 1; i < argc; ++i) {
        const std::wstring command = argv[i];
        const wchar_t* argument = i + 1 < argc ? argv[i + 1] : L"";
        bool ok = true;
        if (command == L"password") {
            ::SendDlgItemMessageW(window, 1500, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argument));
            ::SendDlgItemMessageW(window, 1501, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argument));
            ++i;
        } else if (command == L"direction") {
            ::SendDlgItemMessageW(window, 1200 + std::wcstol(argument, nullptr, 10), BM_CLICK, 0, 0);
            ++i;
        } else if (command == L"drop-ole") {
            ok = DropByOle(window, argument);
            ++i;
        } else if (command == L"report") {
            ok = Report();
        } else if (command == L"exit") {
            ::PostMessageW(window, WM_COMMAND, 32783, 0);
        } else {
            std::fprintf(stderr, "unknown command %ls\n", command.c_str());
            ok = false;
        }
        if (!ok) return 1;
    }
    ::OleUninitialize();
    return 0;
}
