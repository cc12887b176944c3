#include "application/BatchList.h"

#include "foundation/ErrorHandler.h"
#include "foundation/RunJournal.h"
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

} // namespace

BatchList::BatchList()
{
    std::string problem;
    if (!platform::EnsureUserTempFolder(problem))
        throw ErrorHandler(errc::OpenFailed, problem);
    const std::string folder = platform::UserTempFolder();
    RunJournal& journal = RunJournal::Current();
    for (int attempt = 1;; ++attempt) {
        const std::string candidate = folder + Prefix + RandomSuffix();
        // In the journal before it is made: a killed batch's list is found
        // by that record, and wiped, by the next run. Never by its name.
        const std::uint64_t entry = journal.Intend(RunJournal::Kind::File, true, candidate);
        try {
            m_file.Open(candidate, MyFile::OpenCreateNew);
        } catch (const ErrorHandler&) {
            const int error = platform::LastError();
            journal.Forget(entry);
            if (error == EEXIST && attempt < MaxAttempts)
                continue;
            throw;
        }
        m_path = candidate;
        m_entry = entry;
        platform::FileStatus made;
        try {
            if (platform::StatHandle(m_file.GetHandle(), made))
                journal.Made(entry, made.identity);
        } catch (const ErrorHandler&) {
            Dispose();
            throw;
        }
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
    if (platform::RemoveFile(m_path))
        RunJournal::Current().Forget(m_entry);
    else if (!failure)
        failure = ErrorHandler(errc::DeleteFailed, "Unable to delete '" + m_path + "' (Read only file?)");
    m_lock.Release();
    if (failure)
        throw *failure;
}

} // namespace tessarin
