#include "platform/TempFile.h"

#include "foundation/ErrorHandler.h"
#include "platform/Files.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <utility>

namespace tessarin {

namespace {

constexpr int MaxAttempts = 64;

std::string FolderPrefix(const std::string& target)
{
    const auto slash = target.rfind(platform::PathSeparator);
    return slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
}

std::string RandomStem()
{
    static constexpr char Hex[] = "0123456789abcdef";
    std::array<std::uint8_t, 4> bytes{};
    platform::FillRandom(bytes);
    std::string stem;
    for (const std::uint8_t b : bytes) {
        stem += Hex[b >> 4];
        stem += Hex[b & 0x0F];
    }
    return stem;
}

} // namespace

TempFile TempFile::CreateBeside(const std::string& target)
{
    const std::string folder = FolderPrefix(target);
    TempFile temp;
    for (int attempt = 1;; ++attempt) {
        const std::string candidate = folder + "~aes-" + RandomStem() + ".tmp";
        try {
            temp.m_file.Open(candidate, MyFile::OpenCreateNew);
        } catch (const ErrorHandler&) {
            // Only a name that is taken is worth another try; any other
            // failure would repeat itself.
            if (platform::LastError() == EEXIST && attempt < MaxAttempts)
                continue;
            throw;
        }
        temp.m_path = candidate;
        temp.m_pending = true;
        // Partial plain text must not be readable by others while it is
        // written; the final permissions are given at the end.
        platform::SetPermissions(temp.m_file.GetHandle(), 0600);
        return temp;
    }
}

TempFile::TempFile(TempFile&& other) noexcept
    : m_file(std::move(other.m_file)),
      m_path(std::move(other.m_path)),
      m_pending(std::exchange(other.m_pending, false))
{
}

TempFile& TempFile::operator=(TempFile&& other) noexcept
{
    if (this != &other) {
        Discard();
        m_file = std::move(other.m_file);
        m_path = std::move(other.m_path);
        m_pending = std::exchange(other.m_pending, false);
    }
    return *this;
}

TempFile::~TempFile()
{
    Discard();
}

void TempFile::TakePermissionsOf(const std::string& path)
{
    if (m_file.IsOpen())
        platform::CopyPermissions(path, m_file.GetHandle());
}

void TempFile::CommitAs(const std::string& target)
{
    Commit(target, true);
}

void TempFile::CommitAsNew(const std::string& target)
{
    Commit(target, false);
}

void TempFile::Commit(const std::string& target, bool replace)
{
    if (!m_pending)
        throw ErrorHandler(errc::CopyFailed, "Unable to copy '" + m_path + "' to '" + target + "'");
    m_file.Sync();
    m_file.Close();
    const bool moved = replace ? platform::RenameFile(m_path, target) : platform::RenameFileNoReplace(m_path, target);
    if (!moved)
        throw ErrorHandler(errc::CopyFailed, "Unable to copy '" + m_path + "' to '" + target + "'");
    m_pending = false;
    // The rename itself must survive a crash as well. It has happened by
    // now, so a folder that cannot be flushed is not reported as a failure
    // of the move: the data is under its final name either way.
    platform::SyncFolderOf(target);
}

bool TempFile::Discard() noexcept
{
    m_file.Close();
    if (!m_pending)
        return true;
    m_pending = false;
    return platform::RemoveFile(m_path);
}

} // namespace tessarin
