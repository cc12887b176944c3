#include "platform/Files.h"

#include "platform/FaultInjection.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tessarin::platform {

NativeHandle OpenFile(const std::string& path, FileAccess access)
{
    int flags = O_CLOEXEC;
    switch (access) {
    case FileAccess::Read: flags |= O_RDONLY | O_NOFOLLOW | O_NONBLOCK; break;
    case FileAccess::Write: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
    case FileAccess::WriteKeep: flags |= O_WRONLY | O_NOFOLLOW | O_NONBLOCK; break;
    case FileAccess::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    // A link planted at a well-known name (the log in a shared folder) must
    // not make us empty the file it points to; O_NONBLOCK keeps a FIFO
    // without a reader from blocking the open for ever.
    case FileAccess::WriteNoFollow: flags |= O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK; break;
    }
    if (access == FileAccess::CreateNew && FaultInjection::ShouldFail(FaultInjection::Operation::Create))
        return InvalidHandle;
    if (access != FileAccess::CreateNew && FaultInjection::ShouldFail(FaultInjection::Operation::Open))
        return InvalidHandle;
    // A file that must be new is one of ours (a temporary file, a list):
    // private from the first instant, never narrowed after others could
    // have opened it.
    const mode_t created = access == FileAccess::CreateNew ? 0600 : 0666;
    int fd;
    do {
        fd = ::open(path.c_str(), flags, created);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return InvalidHandle;
    struct stat st {};
    const bool regularOnly = access == FileAccess::Read || access == FileAccess::WriteKeep;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || (regularOnly && !S_ISREG(st.st_mode))) {
        const int saved = S_ISDIR(st.st_mode) ? EISDIR : S_ISREG(st.st_mode) ? errno : EINVAL;
        ::close(fd);
        errno = saved;
        return InvalidHandle;
    }
    if (access == FileAccess::Read)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    if (access == FileAccess::WriteNoFollow || regularOnly) {
        const int status = ::fcntl(fd, F_GETFL);
        if (status >= 0)
            ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    }
    return fd;
}

void CloseFile(NativeHandle handle)
{
    if (handle != InvalidHandle)
        ::close(handle);
}



std::int64_t ReadFile(NativeHandle handle, std::span<std::uint8_t> buffer)
{
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::read(handle, buffer.data() + done, buffer.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

bool WriteFile(NativeHandle handle, std::span<const std::uint8_t> buffer)
{
    if (FaultInjection::ShouldFail(FaultInjection::Operation::Write))
        return false;
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::write(handle, buffer.data() + done, buffer.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::int64_t SeekFile(NativeHandle handle, std::int64_t distance, int origin)
{
    static constexpr int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (origin < 0 || origin > 2) {
        errno = EINVAL;
        return -1;
    }
    return ::lseek(handle, distance, whence[origin]);
}

std::int64_t FileSize(NativeHandle handle)
{
    struct stat st {};
    if (::fstat(handle, &st) != 0)
        return -1;
    return st.st_size;
}

bool SyncFile(NativeHandle handle)
{
    if (FaultInjection::ShouldFail(FaultInjection::Operation::Sync))
        return false;
    return ::fsync(handle) == 0;
}


bool SyncFolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

bool RemoveFile(const std::string& path)
{
    if (FaultInjection::ShouldFail(FaultInjection::Operation::Remove))
        return false;
    return ::unlink(path.c_str()) == 0;
}

bool RenameFile(const std::string& from, const std::string& to)
{
    if (FaultInjection::ShouldFail(FaultInjection::Operation::Rename))
        return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool RenameFileNoReplace(const std::string& from, const std::string& to)
{
    if (FaultInjection::ShouldFail(FaultInjection::Operation::Rename))
        return false;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without the flag: a hard link fails on an existing name
    // just as well, and the old name is dropped once the new one exists.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    ::unlink(from.c_str());
    return true;
}

bool SetPermissions(NativeHandle handle, unsigned mode)
{
    return ::fchmod(handle, static_cast<mode_t>(mode & 07777)) == 0;
}

bool MakeWritable(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return false;
    if (!S_ISREG(st.st_mode) || (st.st_mode & S_IWUSR))
        return true;
    return ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

bool IsRegularFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PathExists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

FileIdentity IdentifyFile(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return {};
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), true};
}

namespace {

std::int64_t Seconds(const struct timespec& t)
{
    return static_cast<std::int64_t>(t.tv_sec);
}

std::int64_t Nanos(const struct timespec& t)
{
    return static_cast<std::int64_t>(t.tv_nsec);
}

void FromStat(const struct stat& st, FileStatus& status)
{
    status.identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), true};
    status.size = static_cast<std::uint64_t>(st.st_size);
    status.links = static_cast<std::uint64_t>(st.st_nlink);
    status.mode = static_cast<unsigned>(st.st_mode & 07777);
    status.owner = static_cast<std::uint32_t>(st.st_uid);
    status.group = static_cast<std::uint32_t>(st.st_gid);
    status.accessSeconds = Seconds(st.st_atim);
    status.accessNanos = Nanos(st.st_atim);
    status.modifySeconds = Seconds(st.st_mtim);
    status.modifyNanos = Nanos(st.st_mtim);
    status.changeSeconds = Seconds(st.st_ctim);
    status.changeNanos = Nanos(st.st_ctim);
}

} // namespace

bool StatHandle(NativeHandle handle, FileStatus& status)
{
    struct stat st {};
    if (::fstat(handle, &st) != 0)
        return false;
    FromStat(st, status);
    return true;
}

bool StatPath(const std::string& path, FileStatus& status)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return false;
    FromStat(st, status);
    return true;
}

bool NameFitsIn(const std::string& folder, const std::string& name)
{
    const long most = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return name.size() <= static_cast<std::size_t>(most > 0 ? most : NAME_MAX);
}

bool SetFileTimes(NativeHandle handle, const FileStatus& status)
{
    struct timespec times[2] {};
    times[0].tv_sec = static_cast<time_t>(status.accessSeconds);
    times[0].tv_nsec = static_cast<long>(status.accessNanos);
    times[1].tv_sec = static_cast<time_t>(status.modifySeconds);
    times[1].tv_nsec = static_cast<long>(status.modifyNanos);
    return ::futimens(handle, times) == 0;
}

bool MakeWritable(NativeHandle handle)
{
    struct stat st {};
    if (::fstat(handle, &st) != 0)
        return false;
    if (st.st_mode & S_IWUSR)
        return true;
    return ::fchmod(handle, (st.st_mode & 07777) | S_IWUSR) == 0;
}

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

std::string NonRegularKind(const std::string& path)
{
    // Asked after a failure: the reason of that failure stays what it was.
    const int saved = errno;
    struct stat st {};
    const bool found = ::lstat(path.c_str(), &st) == 0;
    errno = saved;
    if (!found || S_ISREG(st.st_mode))
        return {};
    if (S_ISLNK(st.st_mode))
        return "a symbolic link";
    if (S_ISDIR(st.st_mode))
        return "a folder";
    if (S_ISFIFO(st.st_mode))
        return "a FIFO";
    if (S_ISSOCK(st.st_mode))
        return "a socket";
    return "a device";
}

int LastError()
{
    return errno;
}

std::string ErrorText(int error)
{
    return std::strerror(error);
}

void FillRandom(std::span<std::uint8_t> buffer)
{
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::getrandom(buffer.data() + done, buffer.size() - done, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (done < buffer.size()) {
        // Filler carries no secret, so a weaker source is acceptable here
        // rather than failing the whole operation.
        std::random_device device;
        for (; done < buffer.size(); ++done)
            buffer[done] = static_cast<std::uint8_t>(device());
    }
}

bool OpenPipe(NativeHandle& readEnd, NativeHandle& writeEnd)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return false;
    readEnd = ends[0];
    writeEnd = ends[1];
    return true;
}

void KeepAccessTime(NativeHandle handle)
{
    // O_NOATIME is granted to the file's owner only: for anyone else the
    // access time moves as the system's mount options say.
    const int flags = ::fcntl(handle, F_GETFL);
    if (flags >= 0) (void)::fcntl(handle, F_SETFL, flags | O_NOATIME);
}

} // namespace tessarin::platform
