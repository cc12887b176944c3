#include "foundation/MyFile.h"

#include "foundation/CCrc32Dynamic.h"
#include "foundation/ErrorHandler.h"
#include "foundation/ShownName.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <utility>
#include <vector>

namespace tessarin {

namespace {

// The system's reason for the last failure, shown beside the fixed message.
std::string Because()
{
    const int error = platform::LastError();
    return error != 0 ? platform::ErrorText(error) : std::string();
}

} // namespace

MyFile::MyFile(const std::string& name, OpenMode mode)
{
    Open(name, mode);
}

MyFile::~MyFile()
{
    Close();
}

MyFile::MyFile(MyFile&& other) noexcept
    : m_handle(std::exchange(other.m_handle, platform::InvalidHandle)),
      m_path(std::move(other.m_path)),
      m_name(std::move(other.m_name)),
      m_fullName(std::move(other.m_fullName)),
      m_mode(other.m_mode),
      m_crc(std::exchange(other.m_crc, 0)),
      m_length(std::exchange(other.m_length, 0)),
      m_position(std::exchange(other.m_position, -1)),
      m_positional(std::exchange(other.m_positional, false)),
      m_statusAtOpen(std::exchange(other.m_statusAtOpen, {})),
      m_hasKept(std::exchange(other.m_hasKept, false)),
      m_kept(std::move(other.m_kept))
{
}

MyFile& MyFile::operator=(MyFile&& other) noexcept
{
    if (this != &other) {
        Close();
        m_handle = std::exchange(other.m_handle, platform::InvalidHandle);
        m_path = std::move(other.m_path);
        m_name = std::move(other.m_name);
        m_fullName = std::move(other.m_fullName);
        m_mode = other.m_mode;
        m_crc = std::exchange(other.m_crc, 0);
        m_length = std::exchange(other.m_length, 0);
        m_position = std::exchange(other.m_position, -1);
        m_positional = std::exchange(other.m_positional, false);
        m_statusAtOpen = std::exchange(other.m_statusAtOpen, {});
        m_hasKept = std::exchange(other.m_hasKept, false);
        m_kept = std::move(other.m_kept);
    }
    return *this;
}

void MyFile::Open(const std::string& name, OpenMode mode)
{
    if (IsOpen())
        throw ErrorHandler(errc::AlreadyOpened, "file '" + ShownName(name) + "' is already opened!");

    platform::FileAccess access;
    switch (mode) {
    case OpenRead: access = platform::FileAccess::Read; break;
    case OpenWrite: access = platform::FileAccess::Write; break;
    case OpenWipe: access = platform::FileAccess::WriteKeep; break;
    case OpenCreateNew: access = platform::FileAccess::CreateNew; break;
    case OpenWriteNoFollow: access = platform::FileAccess::WriteNoFollow; break;
    default: throw ErrorHandler(errc::OpenFailed, "Unable to open file '" + ShownName(name) + "'");
    }
    std::int64_t size = -1;
    platform::FileStatus status;
    const platform::NativeHandle handle = platform::OpenFile(name, access, &size, &status);
    if (handle == platform::InvalidHandle) {
        std::string reason = Because();
        // Links, FIFOs and devices are refused on purpose: say so rather
        // than how the system put it.
        if (const std::string kind = platform::NonRegularKind(name); !kind.empty())
            reason = "it is " + kind + ", not a regular file";
        throw ErrorHandler(errc::OpenFailed, "Unable to open file '" + ShownName(name) + "'", reason);
    }
    m_handle = handle;
    const auto slash = name.rfind(platform::PathSeparator);
    m_path = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
    m_name = slash == std::string::npos ? name : name.substr(slash + 1);
    m_fullName = m_path + m_name;
    m_length = size < 0 ? 0 : static_cast<std::uint64_t>(size);
    m_crc = 0;
    m_mode = mode;
    m_statusAtOpen = status;
    // Only a regular file is sure to be: a pipe or a device has no position.
    m_position = access == platform::FileAccess::Read || access == platform::FileAccess::WriteKeep ||
                         access == platform::FileAccess::CreateNew
                     ? 0
                     : -1;
    // Only these are sure to be regular files that this handle can read.
    m_positional = access == platform::FileAccess::Read || access == platform::FileAccess::CreateNew;
    DropKept();
}

void MyFile::Adopt(platform::NativeHandle handle, const std::string& name, OpenMode mode)
{
    Close();
    m_handle = handle;
    m_path.clear();
    m_name = name;
    m_fullName = name;
    m_length = 0;
    m_crc = 0;
    m_mode = mode;
    m_position = -1;
    m_positional = false;
    m_statusAtOpen = {};
    DropKept();
}

std::size_t MyFile::Read(std::span<std::uint8_t> buffer)
{
    if (!IsOpen())
        return 0;
    const std::int64_t n = platform::ReadFile(m_handle, buffer);
    if (n < 0)
        m_position = -1;
    else if (m_position >= 0)
        m_position += n;
    if (n < 0)
        throw ErrorHandler(errc::ReadFailed, "Unable to read from file '" + ShownName(m_fullName) + "'", Because());
    return static_cast<std::size_t>(n);
}

std::size_t MyFile::Write(std::span<const std::uint8_t> buffer)
{
    if (!IsOpen())
        return 0;
    DropKept();
    if (!platform::WriteFile(m_handle, buffer)) {
        m_position = -1;
        throw ErrorHandler(errc::WriteFailed, "Unable to write file '" + ShownName(m_fullName) + "'", Because());
    }
    if (m_position >= 0)
        m_position += static_cast<std::int64_t>(buffer.size());
    return buffer.size();
}

std::uint64_t MyFile::Seek(std::int64_t distance, SeekMode origin)
{
    if (origin == SeekBegin && distance == m_position && IsOpen())
        return static_cast<std::uint64_t>(m_position);
    const std::int64_t position = platform::SeekFile(m_handle, distance, origin);
    m_position = position;
    if (position < 0)
        throw ErrorHandler(platform::LastError(), "Unable to apply seeking to file '" + ShownName(m_fullName) + "'");
    return static_cast<std::uint64_t>(position);
}

void MyFile::Close()
{
    if (!IsOpen())
        return;
    platform::CloseFile(Detach());
}

platform::NativeHandle MyFile::Detach()
{
    const platform::NativeHandle handle = std::exchange(m_handle, platform::InvalidHandle);
    m_crc = 0;
    m_length = 0;
    m_position = -1;
    m_positional = false;
    m_statusAtOpen = {};
    DropKept();
    return handle;
}

void MyFile::Sync()
{
    if (IsOpen() && !platform::SyncFile(m_handle))
        throw ErrorHandler(errc::WriteFailed, "Unable to write file '" + ShownName(m_fullName) + "'", Because());
}

std::uint32_t MyFile::CalcCrc()
{
    // A file of our own that we write and read back counts as readable too.
    if (IsOpen() && (m_mode == OpenRead || m_mode == OpenCreateNew)) {
        if (m_hasKept) {
            CCrc32Dynamic crc;
            crc.InitStream();
            crc.CalcStream(m_kept);
            m_crc = crc.GetCrcStream();
            return m_crc;
        }
        Rewind();
        CCrc32Dynamic crc;
        m_crc = crc.CalcFile(m_handle);
        m_position = -1;
        Rewind();
    }
    return m_crc;
}

const std::vector<std::uint8_t>* MyFile::KeepWhole(std::size_t limit)
{
    if (m_hasKept)
        return &m_kept;
    // A file of our own that we wrote and now read back counts as read, as
    // for the CRC.
    if (!IsOpen() || !m_positional || (m_mode != OpenRead && m_mode != OpenCreateNew) || m_length > limit)
        return nullptr;
    // One byte more than the length the file had when opened: a file that
    // grew since shows it by the count, one that did not ends short.
    try {
        m_kept.resize(static_cast<std::size_t>(m_length) + 1);
    } catch (const std::bad_alloc&) {
        throw ErrorHandler(ENOMEM, "Out of memory!");
    }
    const std::int64_t first = platform::ReadSomeAt(m_handle, m_kept, 0);
    if (first < 0)
        throw ErrorHandler(errc::ReadFailed, "Unable to read from file '" + ShownName(m_fullName) + "'", Because());
    // A regular file ends where a read stops short: the usual case reads
    // the length it had in one call and asks no more.
    std::size_t got = static_cast<std::size_t>(first);
    if (got != m_length && got != 0)
        got += ReadAt(got, std::span(m_kept).subspan(got));
    m_kept.resize(got);
    m_hasKept = true;
    return &m_kept;
}

void MyFile::DropKept()
{
    m_hasKept = false;
    std::vector<std::uint8_t>().swap(m_kept);
}

std::size_t MyFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer)
{
    if (m_hasKept) {
        const std::size_t from = static_cast<std::size_t>(std::min<std::uint64_t>(offset, m_kept.size()));
        const std::size_t n = std::min(buffer.size(), m_kept.size() - from);
        std::copy_n(m_kept.begin() + static_cast<std::ptrdiff_t>(from), n, buffer.begin());
        return n;
    }
    // A pipe has no offsets: nothing is read from it so.
    if (!IsOpen() || !m_positional)
        return 0;
    std::size_t done = 0;
    while (done < buffer.size()) {
        const std::int64_t n = platform::ReadSomeAt(m_handle, buffer.subspan(done), offset + done);
        if (n < 0)
            throw ErrorHandler(errc::ReadFailed, "Unable to read from file '" + ShownName(m_fullName) + "'",
                               Because());
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void MyFile::Wipe(unsigned rounds)
{
    if (rounds == 0 || m_length == 0 || !IsOpen())
        return;
    // Written through the handle below, past this object's count.
    m_position = -1;
    constexpr std::size_t PatternSize = 65536;
    std::vector<std::uint8_t> zeros, ones, noise;
    try {
        zeros.assign(PatternSize, 0x00);
        ones.assign(PatternSize, 0xFF);
        noise.resize(PatternSize);
    } catch (const std::bad_alloc&) {
        throw ErrorHandler(ENOMEM, "Out of memory!");
    }
    platform::FillRandom(noise);
    const std::vector<std::uint8_t>* patterns[] = {&zeros, &ones, &noise};

    for (unsigned round = 0; round < rounds; ++round) {
        for (const auto* pattern : patterns) {
            if (platform::SeekFile(m_handle, 0, SeekBegin) < 0)
                throw ErrorHandler(platform::LastError(), "Writing on wiping!");
            for (std::uint64_t left = m_length; left > 0;) {
                const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, PatternSize));
                if (!platform::WriteFile(m_handle, std::span(pattern->data(), piece)))
                    throw ErrorHandler(platform::LastError(), "Writing on wiping!");
                left -= piece;
            }
            // Each pattern must reach the disk; otherwise the page cache
            // merges the passes and only the last one is ever written.
            if (!platform::SyncFile(m_handle))
                throw ErrorHandler(platform::LastError(), "Writing on wiping!");
        }
    }
}

void MyFile::SetFileName(const std::string& name)
{
    m_name = name;
    m_fullName = m_path + m_name;
}

std::string MyFile::GetFileNameExt() const
{
    const auto dot = m_name.rfind('.');
    return dot == std::string::npos ? std::string() : m_name.substr(dot + 1);
}

std::string MyFile::GetFileNameWithoutExt() const
{
    const auto dot = m_name.rfind('.');
    return dot == std::string::npos ? m_name : m_name.substr(0, dot);
}

} // namespace tessarin
