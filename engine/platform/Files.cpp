// File input and output on POSIX systems.
#include "platform/Files.h"

#include "faults/FaultInjection.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessarin::platform {

void FromStat(const struct stat& st, FileStatus& status);  // FileSystem.cpp

namespace {

// The codec's chunk: a file no larger is read in one go.
constexpr off_t SequentialHintMin = 147456;

} // namespace

NativeHandle OpenFile(const std::string& path, FileAccess access, std::int64_t* size, FileStatus* status)
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
    // O_CREAT | O_EXCL made a new, empty regular file or failed: there is
    // nothing to look at.
    if (access == FileAccess::CreateNew) {
        if (size != nullptr)
            *size = 0;
        return fd;
    }
    struct stat st {};
    const bool regularOnly = access == FileAccess::Read || access == FileAccess::WriteKeep;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || (regularOnly && !S_ISREG(st.st_mode))) {
        const int saved = S_ISDIR(st.st_mode) ? EISDIR : S_ISREG(st.st_mode) ? errno : EINVAL;
        ::close(fd);
        errno = saved;
        return InvalidHandle;
    }
    // A file read in one chunk gains nothing from a read-ahead hint.
    if (access == FileAccess::Read && st.st_size > SequentialHintMin)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    // O_NONBLOCK only kept the open itself from hanging on a FIFO; a regular
    // file's reads and writes never heed it, so only other kinds clear it.
    if ((access == FileAccess::WriteNoFollow || regularOnly) && !S_ISREG(st.st_mode)) {
        const int flagsNow = ::fcntl(fd, F_GETFL);
        if (flagsNow >= 0)
            ::fcntl(fd, F_SETFL, flagsNow & ~O_NONBLOCK);
    }
    if (size != nullptr)
        *size = st.st_size;
    if (status != nullptr && regularOnly)
        FromStat(st, *status);
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

std::int64_t ReadSome(NativeHandle handle, std::span<std::uint8_t> buffer)
{
    return ::read(handle, buffer.data(), buffer.size());
}

std::int64_t ReadSomeAt(NativeHandle handle, std::span<std::uint8_t> buffer, std::uint64_t offset)
{
    ssize_t n;
    do {
        n = ::pread(handle, buffer.data(), buffer.size(), static_cast<off_t>(offset));
    } while (n < 0 && errno == EINTR);
    return n;
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

int LastError()
{
    return errno;
}

std::string ErrorText(int error)
{
    return std::strerror(error);
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
