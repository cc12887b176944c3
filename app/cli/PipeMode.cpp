// The spool of a pipe run: standard input into a private folder, the one
// output back to standard output (see PipeMode.h).
#include "PipeMode.h"

#include "foundation/ErrorHandler.h"
#include "platform/Console.h"
#include "platform/FolderEntries.h"
#include "platform/PrivateFolders.h"

#include <cerrno>
#include <cstdint>
#include <vector>

namespace tessarin {

namespace {

constexpr std::size_t ChunkSize = 1u << 20;

std::string Because(const std::string& what)
{
    return what + ": " + platform::ErrorText(platform::LastError());
}

std::string FolderFor()
{
    std::string problem;
    if (!platform::EnsureUserTempFolder(problem))
        throw ErrorHandler(errc::OpenFailed, problem);
    return platform::UserTempFolder();
}

// Writes what standard output takes; false (with the reason) when it fails.
bool Put(std::ostream& out, const std::uint8_t* bytes, std::size_t size, std::string& problem)
{
    errno = 0;
    if (size > 0)
        out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    else
        out.flush();
    if (out)
        return true;
    problem = std::string("cannot write standard output") +
              (errno != 0 ? ": " + platform::ErrorText(errno) : std::string());
    return false;
}

} // namespace

PipeSpool::PipeSpool(bool wipe) : m_folder(FolderFor(), {Prefix, ScratchName::Alphabet::Letters, 6, {}}, wipe) {}

bool PipeSpool::Spool(platform::NativeHandle input, const std::string& name, std::uint64_t limit,
                      std::string& problem, bool& stopped)
{
    stopped = false;
    m_spool = Folder() + name;
    // Exclusive and private, in a folder open to the user alone.
    const platform::NativeHandle file = platform::OpenFile(m_spool, platform::FileAccess::CreateNew);
    if (file == platform::InvalidHandle) {
        problem = Because("cannot create the spool file '" + m_spool + "'");
        return false;
    }
    platform::FileStatus status;
    if (platform::StatHandle(file, status))
        m_spooled = status.identity;

    std::vector<std::uint8_t> buffer(ChunkSize);
    std::uint64_t total = 0;
    bool ok = true;
    for (;;) {
        if (platform::InterruptRequested()) {
            stopped = true;
            ok = false;
            break;
        }
        const std::int64_t n = platform::ReadSome(input, buffer);
        if (n < 0) {
            if (platform::LastError() == EINTR)
                continue;  // a stop request is seen at the top
            problem = Because("cannot read standard input");
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
        if (!platform::WriteFile(file, {buffer.data(), static_cast<std::size_t>(n)})) {
            problem = Because("cannot write the spool file '" + m_spool + "'");
            ok = false;
            break;
        }
    }
    platform::CloseFile(file);
    return ok;
}

std::string PipeSpool::Output() const
{
    std::string found;
    int count = 0;
    for (const std::string& name : platform::FolderNames(Folder())) {
        const std::string path = Folder() + name;
        const platform::EntryStatus entry = platform::StatEntry(path);
        if (entry.kind != platform::EntryKind::Regular || entry.identity == m_spooled)
            continue;
        found = path;
        ++count;
    }
    return count == 1 ? found : std::string();
}

bool CopyOut(const std::string& path, std::ostream& out, std::string& problem, bool& stopped)
{
    stopped = false;
    const platform::NativeHandle file = platform::OpenFile(path, platform::FileAccess::Read);
    if (file == platform::InvalidHandle) {
        problem = Because("cannot read '" + path + "'");
        return false;
    }
    std::vector<std::uint8_t> buffer(ChunkSize);
    bool ok = true;
    for (;;) {
        if (platform::InterruptRequested()) {
            stopped = true;
            ok = false;
            break;
        }
        const std::int64_t n = platform::ReadSome(file, buffer);
        if (n < 0 && platform::LastError() == EINTR)
            continue;
        if (n < 0) {
            problem = Because("cannot read '" + path + "'");
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (!Put(out, buffer.data(), static_cast<std::size_t>(n), problem)) {
            ok = false;
            break;
        }
    }
    platform::CloseFile(file);
    return ok && Put(out, nullptr, 0, problem);
}

} // namespace tessarin
