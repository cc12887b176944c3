#pragma once
// The operating-system seam for locks on open files.
#include "EngineApi.h"
#include "platform/NativeHandle.h"

namespace tessarin::platform {

// An exclusive advisory lock on an open file, held on a handle of its own,
// so that closing and reopening the file keeps it. The system drops it when
// the process ends in any way, which tells a later run that a file whose
// lock is free was left behind by a run that is gone.
class ENGINE_API FileLock {
public:
    FileLock() = default;
    // Locks the file of handle; IsHeld() tells whether it worked.
    explicit FileLock(NativeHandle handle);
    ~FileLock() { Release(); }
    FileLock(FileLock&& other) noexcept : m_handle(other.m_handle) { other.m_handle = InvalidHandle; }
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool IsHeld() const { return m_handle != InvalidHandle; }
    void Release();

private:
    NativeHandle m_handle = InvalidHandle;
};

// Whether another open file holds an exclusive lock on the file of handle,
// as a run holds one on each of its temporary files. Where the system can
// tell cheaply; else false. The probe may leave a shared lock on handle,
// which goes with it.
ENGINE_API bool LockedByOthers(NativeHandle handle);

} // namespace tessarin::platform
