#include "PipeMode.h"

#include "foundation/ErrorHandler.h"
#include "foundation/MyFile.h"
#include "foundation/RunJournal.h"
#include "platform/Console.h"
#include "platform/Files.h"
#include "platform/FolderEntries.h"
#include "platform/TempDir.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tessarin {

namespace {

constexpr std::size_t ChunkSize = 1u << 20;
constexpr unsigned WipeRounds = 3;

constexpr int MaxAttempts = 64;

std::string RandomSuffix()
{
    static constexpr char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::array<std::uint8_t, 6> bytes{};
    platform::FillRandom(bytes);
    std::string suffix;
    for (const std::uint8_t b : bytes)
        suffix += Letters[b % (sizeof(Letters) - 1)];
    return suffix;
}

} // namespace

PipeSpool::PipeSpool(bool wipe) : m_wipe(wipe)
{
    std::string problem;
    if (!platform::EnsureUserTempFolder(problem))
        throw ErrorHandler(errc::OpenFailed, problem);
    RunJournal& journal = RunJournal::Current();
    for (int attempt = 1;; ++attempt) {
        const std::string folder = platform::UserTempFolder() + Prefix + RandomSuffix();
        // Recorded before it is made: a killed run's folder is cleared away
        // by that record, never because of its name.
        const std::uint64_t entry = journal.Intend(RunJournal::Kind::Folder, wipe, folder);
        if (!platform::CreatePrivateFolder(folder)) {
            const int error = errno;
            journal.Forget(entry);
            if (error == EEXIST && attempt < MaxAttempts)
                continue;
            throw ErrorHandler(errc::OpenFailed, "Unable to create a spool folder in '" + platform::UserTempFolder() +
                                                     "' (" + platform::ErrorText(error) + ")");
        }
        m_folder = folder + "/";
        m_entry = entry;
        // On the disk before standard input is copied into it.
        try {
            journal.Made(entry, platform::StatEntry(folder).identity);
        } catch (const ErrorHandler&) {
            Clear();
            throw;
        }
        return;
    }
}

PipeSpool::~PipeSpool()
{
    Clear();
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
    for (const std::string& name : platform::FolderNames(m_folder)) {
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
    for (const std::string& name : platform::FolderNames(m_folder)) {
        const std::string path = m_folder + name;
        if (m_wipe && platform::IsRegularFile(path)) {
            try {
                // Only a file with this one name: overwriting through a
                // hard link would destroy a file outside the folder.
                MyFile file(path, MyFile::OpenWipe);
                platform::FileStatus status;
                if (platform::StatHandle(file.GetHandle(), status) && status.links == 1)
                    file.Wipe(WipeRounds);
            } catch (const ErrorHandler&) {
                // Removed all the same: the folder is private to the user.
            }
        }
        ::unlink(path.c_str());
    }
    if (::rmdir(m_folder.c_str()) == 0)
        RunJournal::Current().Forget(m_entry);
    m_folder.clear();
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
