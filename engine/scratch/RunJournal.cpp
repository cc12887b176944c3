// The run's journal: see RunJournal.h.
#include "scratch/RunJournal.h"

#include "foundation/ErrorHandler.h"
#include "platform/FolderEntries.h"
#include "platform/PrivateFolders.h"
#include "scratch/ScratchName.h"

#include <cstdlib>
#include <filesystem>
#include <utility>

namespace tessarin {

namespace {

bool IsAbsolute(const std::string& path)
{
#ifdef _WIN32
    return std::filesystem::path(std::u8string(path.begin(), path.end())).is_absolute();
#else
    return !path.empty() && path.front() == '/';
#endif
}

constexpr int MaxAttempts = 64;

// Reads an unsigned decimal number ended by end; false when there is none.
bool ReadNumber(const std::string& text, std::size_t& at, char end, std::uint64_t& value)
{
    const std::size_t start = at;
    value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9')
        value = value * 10 + static_cast<std::uint64_t>(text[at++] - '0');
    if (at == start || at >= text.size() || text[at] != end)
        return false;
    ++at;
    return true;
}

} // namespace

RunJournal::RunJournal(std::string folder) : m_folder(std::move(folder)) {}

RunJournal::~RunJournal()
{
    Close();
}

RunJournal& RunJournal::Current()
{
    static RunJournal journal({});
    return journal;
}

std::string RunJournal::DefaultFolder()
{
    return platform::UserStateFolder() + "journal/";
}

void RunJournal::Close() noexcept
{
    if (m_handle == platform::InvalidHandle)
        return;
    // Nothing left to clear: the journal goes while it is still locked, so
    // that no other run takes it up meanwhile.
    // A child made by fork that never wrote a record of its own holds its
    // parent's journal: that is the parent's to remove or finish.
    const bool ours = m_process == platform::ProcessId();
    if (m_live.empty() && ours) {
        platform::RemoveFile(m_path);
    } else if (ours && !m_gone.empty()) {
        try {
            Append({}, false);
        } catch (const ErrorHandler&) {
        }
    }
    platform::CloseFile(m_handle);
    m_lock.Release();
    m_handle = platform::InvalidHandle;
}

void RunJournal::OpenLocked()
{
    if (m_handle != platform::InvalidHandle && m_process == platform::ProcessId())
        return;
    if (m_handle != platform::InvalidHandle) {
        // A child made by fork shares its parent's journal and lock: it
        // keeps a journal of its own.
        platform::CloseFile(m_handle);
        m_handle = platform::InvalidHandle;
        m_lock = platform::FileLock();
        m_live.clear();
        m_gone.clear();
    }
    // The process's journal goes where the user's state folder is when the
    // first entry is made.
    const std::string folder = m_folder.empty() ? DefaultFolder() : m_folder;
    if (m_folder.empty())
        platform::EnsureUserStateFolder();
    if (!platform::CreatePrivateFolder(folder.substr(0, folder.size() - 1)) &&
        platform::StatEntry(folder.substr(0, folder.size() - 1)).kind != platform::EntryKind::Folder)
        throw ErrorHandler(errc::OpenFailed, "Unable to create the run's journal in '" + folder + "' (" +
                                                 platform::ErrorText(platform::LastError()) + ")");
    for (int attempt = 1;; ++attempt) {
        const std::string candidate = folder + ScratchName{{}, ScratchName::Alphabet::Hex, 16, Extension}.Draw();
        const platform::NativeHandle handle = platform::CreateJournalFile(candidate);
        if (handle == platform::InvalidHandle) {
            if (attempt < MaxAttempts && platform::PathExists(candidate))
                continue;
            throw ErrorHandler(errc::OpenFailed, "Unable to create the run's journal '" + candidate + "' (" +
                                                     platform::ErrorText(platform::LastError()) + ")");
        }
        platform::FileLock lock(handle);
        platform::FileStatus opened;
        // A run clearing dead journals may have taken this one, empty and not
        // locked yet, for one: then it is no longer there, or no longer ours.
        if (lock.IsHeld() && platform::StatHandle(handle, opened) &&
            platform::StatEntry(candidate).identity == opened.identity) {
            m_path = candidate;
            m_handle = handle;
            m_lock = std::move(lock);
            m_process = platform::ProcessId();
            return;
        }
        platform::CloseFile(handle);
        if (attempt >= MaxAttempts)
            throw ErrorHandler(errc::OpenFailed, "Unable to lock the run's journal '" + candidate + "'");
    }
}

void RunJournal::Append(const std::string& record, bool durable)
{
    // The entries gone since the last record go out with this one.
    const std::size_t carried = m_gone.size();
    const std::string& out = carried == 0 ? record : m_gone.append(record);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(out.data());
    if (!platform::AppendJournal(m_handle, {bytes, out.size()}, durable)) {
        m_gone.resize(carried);
        throw ErrorHandler(errc::OpenFailed, "Unable to write the run's journal '" + m_path + "' (" +
                                                 platform::ErrorText(platform::LastError()) + ")");
    }
    m_gone.clear();
}

std::uint64_t RunJournal::Intend(Kind kind, bool wipe, const std::string& path)
{
    // A later run may start in another folder: the record names the place.
    // Worked out before the lock: the workers of a batch record at once.
    std::string record = "N ";
    const std::size_t idAt = record.size();
    record.append(" ").append(1, static_cast<char>(kind)).append(wipe ? "w " : "k ");
    if (IsAbsolute(path)) {
        record.append(std::to_string(path.size())).append(" ").append(path);
    } else {
        std::error_code error;
        const std::u8string current = std::filesystem::current_path(error).u8string();
        const std::string where = std::string(current.begin(), current.end()) + "/" + path;
        record.append(std::to_string(where.size())).append(" ").append(where);
    }
    record.append("\n");
    const std::lock_guard<std::mutex> guard(m_mutex);
    OpenLocked();
    const std::uint64_t id = m_next++;
    record.insert(idAt, std::to_string(id));
    // A kill leaves what was written to the system; only a power cut can
    // lose this record, and with it no more than an empty file.
    Append(record, false);
    m_live.emplace(id, platform::FileIdentity{});
    return id;
}

void RunJournal::Made(std::uint64_t entry, const platform::FileIdentity& identity)
{
    const std::string record = "M " + std::to_string(entry) + " " + std::to_string(identity.device) + " " +
                               std::to_string(identity.inode) + "\n";
    const std::lock_guard<std::mutex> guard(m_mutex);
    Append(record, false);
    m_unflushed = true;
    m_live[entry] = identity;
}

void RunJournal::Flush()
{
    const std::lock_guard<std::mutex> guard(m_mutex);
    if (!m_unflushed || m_handle == platform::InvalidHandle)
        return;
    Append({}, true);
    m_unflushed = false;
}

void RunJournal::Forget(std::uint64_t entry) noexcept
{
    const std::lock_guard<std::mutex> guard(m_mutex);
    if (m_live.erase(entry) == 0 || m_handle == platform::InvalidHandle)
        return;
    // Need not reach the system at once, nor the disk: a later run finds
    // the path gone, or holding another file, and leaves it alone either
    // way. It goes out with the next record, which saves a write per file.
    try {
        m_gone.append("G ").append(std::to_string(entry)).append("\n");
    } catch (const std::exception&) {
    }
}

bool RunJournal::Holds(const platform::FileIdentity& identity) const
{
    const std::lock_guard<std::mutex> guard(m_mutex);
    if (!identity.valid)
        return false;
    for (const auto& [id, made] : m_live) {
        if (made == identity)
            return true;
    }
    return false;
}

std::vector<RunJournal::Entry> RunJournal::Parse(const std::string& text)
{
    std::vector<Entry> entries;
    std::map<std::uint64_t, std::size_t> index;
    std::size_t at = 0;
    while (at + 2 < text.size() && text[at + 1] == ' ') {
        const char type = text[at];
        at += 2;
        std::uint64_t id = 0;
        if (type == 'N') {
            std::uint64_t length = 0;
            if (!ReadNumber(text, at, ' ', id) || at + 3 > text.size() || (text[at] != 'f' && text[at] != 'd') ||
                (text[at + 1] != 'w' && text[at + 1] != 'k') || text[at + 2] != ' ')
                break;
            Entry entry;
            entry.id = id;
            entry.kind = static_cast<Kind>(text[at]);
            entry.wipe = text[at + 1] == 'w';
            at += 3;
            if (!ReadNumber(text, at, ' ', length) || length > text.size() - at || at + length >= text.size() ||
                text[at + length] != '\n')
                break;
            entry.path = text.substr(at, length);
            at += length + 1;
            index[id] = entries.size();
            entries.push_back(std::move(entry));
        } else if (type == 'M') {
            platform::FileIdentity identity{0, 0, true};
            if (!ReadNumber(text, at, ' ', id) || !ReadNumber(text, at, ' ', identity.device) ||
                !ReadNumber(text, at, '\n', identity.inode))
                break;
            if (const auto found = index.find(id); found != index.end())
                entries[found->second].identity = identity;
        } else if (type == 'G') {
            if (!ReadNumber(text, at, '\n', id))
                break;
            if (const auto found = index.find(id); found != index.end())
                entries[found->second].gone = true;
        } else {
            break;
        }
    }
    return entries;
}

} // namespace tessarin
