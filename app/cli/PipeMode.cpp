#include "PipeMode.h"

#include "foundation/ErrorHandler.h"
#include "foundation/MyFile.h"
#include "platform/Console.h"
#include "platform/Files.h"
#include "platform/TempDir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tessarin {

namespace {

constexpr std::size_t ChunkSize = 1u << 20;
constexpr unsigned WipeRounds = 3;

// The regular files of a folder, by name.
std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    return names;
}

} // namespace

PipeSpool::PipeSpool(bool wipe) : m_wipe(wipe)
{
    std::string problem;
    if (!platform::EnsureUserTempFolder(problem))
        throw ErrorHandler(errc::OpenFailed, problem);
    std::string pattern = platform::UserTempFolder() + Prefix + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw ErrorHandler(errc::OpenFailed, "Unable to create a spool folder in '" + platform::UserTempFolder() +
                                                 "' (" + platform::ErrorText(errno) + ")");
    m_folder = pattern + "/";
    // Held until the folder is gone; the system drops it when the process
    // ends in any way, which tells a later run that the folder was left.
    m_lock = ::open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (m_lock >= 0)
        ::flock(m_lock, LOCK_EX | LOCK_NB);
}

PipeSpool::~PipeSpool()
{
    Clear();
}

unsigned PipeSpool::SweepAbandoned(bool wipe)
{
    const std::string base = platform::UserTempFolder();
    unsigned removed = 0;
    for (const std::string& name : FilesIn(base)) {
        if (name.rfind(Prefix, 0) != 0)
            continue;
        const std::string folder = base + name;
        struct stat status {};
        if (::lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::getuid())
            continue;
        // A run locks its folder just after making it: one made a moment
        // ago may not be locked yet.
        if (status.st_mtime > std::time(nullptr) - 5)
            continue;
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            PipeSpool left(wipe, folder + "/", fd);
            left.Clear();
            ++removed;
        } else {
            ::close(fd);
        }
    }
    return removed;
}

PipeSpool::PipeSpool(bool wipe, std::string folder, int lock) : m_folder(std::move(folder)), m_lock(lock), m_wipe(wipe)
{
}

bool PipeSpool::Spool(int input, const std::string& name, std::uint64_t limit, std::string& problem, bool& stopped)
{
    stopped = false;
    m_spool = m_folder + name;
    const int fd = ::open(m_spool.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        problem = "cannot create the spool file '" + m_spool + "': " + std::strerror(errno);
        return false;
    }
    struct stat status {};
    ::fstat(fd, &status);
    m_spoolDevice = status.st_dev;
    m_spoolInode = status.st_ino;

    std::vector<char> buffer(ChunkSize);
    std::uint64_t total = 0;
    bool ok = true;
    for (;;) {
        if (platform::InterruptRequested()) {
            stopped = true;
            ok = false;
            break;
        }
        const ssize_t n = ::read(input, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;  // a stop request is seen at the top
            problem = std::string("cannot read standard input: ") + std::strerror(errno);
            ok = false;
            break;
        }
        if (n == 0)
            break;
        total += static_cast<std::uint64_t>(n);
        if (total > limit) {
            problem = "standard input is too large: more than " + std::to_string(limit) +
                      " bytes (a container holds less than 4 GiB)";
            ok = false;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(fd, buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                problem = "cannot write the spool file '" + m_spool + "': " + std::strerror(errno);
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok)
            break;
    }
    if (::close(fd) != 0 && ok) {
        problem = "cannot write the spool file '" + m_spool + "': " + std::strerror(errno);
        ok = false;
    }
    return ok;
}

std::string PipeSpool::Output() const
{
    std::string found;
    int count = 0;
    for (const std::string& name : FilesIn(m_folder)) {
        struct stat status {};
        const std::string path = m_folder + name;
        if (::lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        if (status.st_dev == m_spoolDevice && status.st_ino == m_spoolInode)
            continue;
        found = path;
        ++count;
    }
    return count == 1 ? found : std::string();
}

void PipeSpool::Clear() noexcept
{
    if (m_folder.empty())
        return;
    for (const std::string& name : FilesIn(m_folder)) {
        const std::string path = m_folder + name;
        if (m_wipe && platform::IsRegularFile(path)) {
            try {
                MyFile file(path, MyFile::OpenWipe);
                file.Wipe(WipeRounds);
            } catch (const ErrorHandler&) {
                // Removed all the same: the folder is private to the user.
            }
        }
        ::unlink(path.c_str());
    }
    ::rmdir(m_folder.c_str());
    m_folder.clear();
    if (m_lock >= 0)
        ::close(m_lock);
    m_lock = -1;
}

bool CopyOut(const std::string& path, std::ostream& out, std::string& problem, bool& stopped)
{
    stopped = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        problem = "cannot read '" + path + "': " + std::strerror(errno);
        return false;
    }
    std::vector<char> buffer(ChunkSize);
    bool ok = true;
    for (;;) {
        if (platform::InterruptRequested()) {
            stopped = true;
            ok = false;
            break;
        }
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            problem = "cannot read '" + path + "': " + std::strerror(errno);
            ok = false;
            break;
        }
        if (n == 0)
            break;
        errno = 0;
        out.write(buffer.data(), n);
        if (!out) {
            problem = std::string("cannot write standard output") + (errno != 0 ? ": " + std::string(std::strerror(errno)) : "");
            ok = false;
            break;
        }
    }
    ::close(fd);
    if (ok) {
        errno = 0;
        out.flush();
        if (!out) {
            problem = std::string("cannot write standard output") + (errno != 0 ? ": " + std::string(std::strerror(errno)) : "");
            ok = false;
        }
    }
    return ok;
}

} // namespace tessarin
