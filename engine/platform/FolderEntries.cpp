// The run journal's system calls on POSIX systems.
#include "platform/FolderEntries.h"

#include "platform/FileFindSystem.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessarin::platform {

EntryStatus StatEntry(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return {};
    EntryStatus status;
    status.kind = S_ISREG(st.st_mode) ? EntryKind::Regular : S_ISDIR(st.st_mode) ? EntryKind::Folder : EntryKind::Other;
    status.identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), true};
    status.links = static_cast<std::uint64_t>(st.st_nlink);
    status.size = static_cast<std::uint64_t>(st.st_size);
    return status;
}

std::vector<std::string> FolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    find::ListFolder(folder.empty() ? "." : folder, names);
    return names;
}

bool CreatePrivateFolder(const std::string& path)
{
    return ::mkdir(path.c_str(), 0700) == 0;
}

bool RemoveFolder(const std::string& path)
{
    return ::rmdir(path.c_str()) == 0;
}

NativeHandle CreateJournalFile(const std::string& path)
{
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_APPEND | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool AppendJournal(NativeHandle handle, std::span<const std::uint8_t> bytes, bool durable)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(handle, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    // The data alone is enough: a journal is read back by its content.
    return !durable || ::fdatasync(handle) == 0;
}

namespace {

// Asked for at every journal record: kept, and renewed in a child made by
// fork, which must tell itself from its parent.
std::atomic<std::uint64_t> g_processId{0};

void RenewProcessId()
{
    g_processId.store(static_cast<std::uint64_t>(::getpid()), std::memory_order_relaxed);
}

} // namespace

std::uint64_t ProcessId()
{
    static const bool renewed = [] {
        ::pthread_atfork(nullptr, nullptr, RenewProcessId);
        RenewProcessId();
        return true;
    }();
    (void)renewed;
    return g_processId.load(std::memory_order_relaxed);
}

} // namespace tessarin::platform
