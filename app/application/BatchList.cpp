#include "application/BatchList.h"

#include "foundation/ErrorHandler.h"
#include "platform/Files.h"
#include "platform/TempDir.h"

#include <array>
#include <cerrno>
#include <optional>

namespace tessarin {

namespace {

constexpr int MaxAttempts = 64;
constexpr std::size_t SuffixLength = 6;

std::string RandomSuffix()
{
    static constexpr char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::array<std::uint8_t, SuffixLength> bytes{};
    platform::FillRandom(bytes);
    std::string suffix;
    for (const std::uint8_t b : bytes)
        suffix += Letters[b % (sizeof(Letters) - 1)];
    return suffix;
}

// Overwrites and deletes a list that a killed batch left: it holds the
// names of the user's files.
void RemoveLeftover(const platform::Leftover& leftover, void*)
{
    try {
        platform::FileStatus found;
        platform::MakeWritable(leftover.handle);
        MyFile file(leftover.path, MyFile::OpenWipe);
        platform::FileStatus opened;
        if (platform::StatHandle(leftover.handle, found) && platform::StatHandle(file.GetHandle(), opened) &&
            found.identity == opened.identity && platform::RemoveFile(leftover.path))
            file.Wipe(BatchList::WipeRounds);
    } catch (const ErrorHandler&) {
        // Tried again by the next batch; this one goes on.
    }
}

} // namespace

bool BatchList::IsListName(const std::string& name)
{
    constexpr std::size_t prefix = sizeof Prefix - 1;
    if (name.size() != prefix + SuffixLength || name.compare(0, prefix, Prefix) != 0)
        return false;
    for (std::size_t i = prefix; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return false;
    }
    return true;
}

BatchList::BatchList()
{
    std::string problem;
    if (!platform::EnsureUserTempFolder(problem))
        throw ErrorHandler(errc::OpenFailed, problem);
    const std::string folder = platform::UserTempFolder();
    platform::ForEachLeftover(folder, [](const std::string& name) { return IsListName(name); }, RemoveLeftover,
                              nullptr);
    for (int attempt = 1;; ++attempt) {
        const std::string candidate = folder + Prefix + RandomSuffix();
        try {
            m_file.Open(candidate, MyFile::OpenCreateNew);
        } catch (const ErrorHandler&) {
            if (platform::LastError() == EEXIST && attempt < MaxAttempts)
                continue;
            throw;
        }
        m_path = candidate;
        platform::SetPermissions(m_file.GetHandle(), 0600);
        m_lock = platform::FileLock(m_file.GetHandle());
        return;
    }
}

BatchList::~BatchList()
{
    try {
        Dispose();
    } catch (const ErrorHandler&) {
        // Already on the way out of a failed batch: the file is gone, and
        // the failure that brought us here is the one the user sees.
    }
}

void BatchList::Dispose()
{
    if (m_disposed)
        return;
    m_disposed = true;
    m_file.Close();
    std::optional<ErrorHandler> failure;
    try {
        // Opened so that the bytes and the length stay: the whole content
        // is overwritten, not an emptied file.
        m_file.Open(m_path, MyFile::OpenWipe);
        m_file.Wipe(WipeRounds);
        m_file.Sync();
    } catch (const ErrorHandler& e) {
        failure = e;
    }
    m_file.Close();
    if (!platform::RemoveFile(m_path) && !failure)
        failure = ErrorHandler(errc::DeleteFailed, "Unable to delete '" + m_path + "' (Read only file?)");
    m_lock.Release();
    if (failure)
        throw *failure;
}

} // namespace tessarin
