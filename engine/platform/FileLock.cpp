// Locks on open files on POSIX systems: flock on a descriptor of the
// lock's own.
#include "platform/FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tessarin::platform {

FileLock::FileLock(NativeHandle handle)
{
    // A handle of our own: the lock belongs to it, not to the caller's,
    // which may be closed and opened again while the lock must stay.
    const int own = ::fcntl(handle, F_DUPFD_CLOEXEC, 0);
    if (own < 0)
        return;
    if (::flock(own, LOCK_EX | LOCK_NB) != 0) {
        ::close(own);
        return;
    }
    m_handle = own;
}

bool LockedByOthers(NativeHandle handle)
{
    // A shared lock is refused only while an exclusive one is held; kept,
    // it disturbs nobody but a run that would take this file as its own.
    return ::flock(handle, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
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

void FileLock::Release()
{
    if (m_handle != InvalidHandle) {
        ::close(m_handle);
        m_handle = InvalidHandle;
    }
}

} // namespace tessarin::platform
