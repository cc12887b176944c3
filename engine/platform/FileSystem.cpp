// Names in the file system on POSIX systems.
#include "platform/FileSystem.h"

#include "faults/FaultInjection.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessarin::platform {

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

} // namespace

// Shared with the opening of files, which takes its look at a file once.
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
    // Every POSIX file system takes names this short.
    if (name.size() <= _POSIX_NAME_MAX)
        return true;
    // Asked once per folder in a row: the files of a batch come folder by
    // folder, and asking costs a look-up of the whole path each time.
    thread_local std::string asked;
    thread_local long answer = -1;
    if (answer <= 0 || folder != asked) {
        answer = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
        asked = folder;
    }
    return name.size() <= static_cast<std::size_t>(answer > 0 ? answer : NAME_MAX);
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

} // namespace tessarin::platform
