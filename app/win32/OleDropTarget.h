#pragma once
// The main window's OLE drop target. Some sources deliver files only
// through OLE (a DoDragDrop source never falls back to WM_DROPFILES), others
// only as WM_DROPFILES, so the window takes both. A drop of files (CF_HDROP)
// is accepted as Copy; anything else is refused. The names are handed on
// after the source has been answered, so that a long batch never holds the
// source's drag loop.
#include "WideText.h"

#include <ole2.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

namespace tessarin::win32 {

class OleDropTarget : public IDropTarget {
public:
    using Receiver = std::function<void(std::vector<std::string>)>;

    explicit OleDropTarget(Receiver receiver) : m_receiver(std::move(receiver)) {}
    virtual ~OleDropTarget() = default;
    OleDropTarget(const OleDropTarget&) = delete;
    OleDropTarget& operator=(const OleDropTarget&) = delete;

    // The full names of the files and folders in a drop, as UTF-8.
    static std::vector<std::string> Names(HDROP drop);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL at, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL at, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL at, DWORD* effect) override;

private:
    static bool HasFiles(IDataObject* data);

    Receiver m_receiver;
    LONG m_references = 1;
    bool m_accepting = false;
};

} // namespace tessarin::win32
