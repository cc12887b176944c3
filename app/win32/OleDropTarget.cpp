// Files dropped through OLE on the main window.
#include "OleDropTarget.h"

namespace tessarin::win32 {
namespace {

FORMATETC FileFormat()
{
    return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

} // namespace

std::vector<std::string> OleDropTarget::Names(HDROP drop)
{
    std::vector<std::string> names;
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring name(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        name.resize(::DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
        if (!name.empty()) names.push_back(WideText::ToUtf8(name));
    }
    return names;
}

HRESULT OleDropTarget::QueryInterface(REFIID id, void** object)
{
    if (!object) return E_POINTER;
    if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG OleDropTarget::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_references));
}

ULONG OleDropTarget::Release()
{
    const LONG left = ::InterlockedDecrement(&m_references);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

bool OleDropTarget::HasFiles(IDataObject* data)
{
    FORMATETC format = FileFormat();
    return data && data->QueryGetData(&format) == S_OK;
}

HRESULT OleDropTarget::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect)
{
    m_accepting = HasFiles(data);
    *effect = m_accepting ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT OleDropTarget::DragOver(DWORD, POINTL, DWORD* effect)
{
    *effect = m_accepting ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT OleDropTarget::DragLeave()
{
    m_accepting = false;
    return S_OK;
}

HRESULT OleDropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect)
{
    m_accepting = false;
    *effect = DROPEFFECT_NONE;
    FORMATETC format = FileFormat();
    STGMEDIUM medium{};
    if (!data || data->GetData(&format, &medium) != S_OK) return S_OK;
    std::vector<std::string> names = Names(static_cast<HDROP>(medium.hGlobal));
    ::ReleaseStgMedium(&medium);
    if (names.empty()) return S_OK;
    *effect = DROPEFFECT_COPY;
    m_receiver(std::move(names));
    return S_OK;
}

} // namespace tessarin::win32
