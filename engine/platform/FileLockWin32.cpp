// Locks on open files on Windows: LockFileEx on a handle of the lock's own.
#include "platform/FileLock.h"

#include "platform/SupportWin32.h"

namespace tessarin::platform {

namespace {

using win32::FromHandle;
using win32::ToHandle;

// The lock of a file lies far beyond any data it can hold: Windows locks are
// mandatory, so a lock over the content would refuse our own writes through
// the other handles.
constexpr DWORD LockOffsetHigh = 0x7FFFFFFFu;

bool LockRange(HANDLE handle)
{
    OVERLAPPED where{};
    where.OffsetHigh = LockOffsetHigh;
    return ::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &where) != 0;
}

void UnlockRange(HANDLE handle)
{
    OVERLAPPED where{};
    where.OffsetHigh = LockOffsetHigh;
    ::UnlockFileEx(handle, 0, 1, 0, &where);
}

} // namespace

FileLock::FileLock(NativeHandle handle)
{
    // A handle of our own on the same open file: the lock stays while the
    // caller's handle is closed and the file opened again.
    HANDLE own = nullptr;
    const HANDLE process = ::GetCurrentProcess();
    if (!::DuplicateHandle(process, ToHandle(handle), process, &own, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return;
    if (!LockRange(own)) {
        ::CloseHandle(own);
        return;
    }
    m_handle = FromHandle(own);
}

FileLock& FileLock::operator=(FileLock&& other) noexcept
{
    if (this != &other) {
        Release();
        m_handle = other.m_handle;
        other.m_handle = InvalidHandle;
    }
    return *this;
}

bool LockedByOthers(NativeHandle)
{
    // Byte-range locks here bind every other handle, the wiping one
    // included: no probe may be left on a user's file.
    return false;
}

void FileLock::Release()
{
    if (m_handle != InvalidHandle) {
        // Unlocked first: the caller's handle may keep the open file alive,
        // and with it a lock that only the last close would drop.
        UnlockRange(ToHandle(m_handle));
        ::CloseHandle(ToHandle(m_handle));
        m_handle = InvalidHandle;
    }
}

} // namespace tessarin::platform
