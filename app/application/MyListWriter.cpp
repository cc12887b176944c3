#include "application/MyListWriter.h"

#include "foundation/ShownName.h"

#include <algorithm>

namespace tessarin {

namespace {

// One write for a few hundred lines instead of one for each.
constexpr std::size_t FlushAt = 64 * 1024;

} // namespace

void MyListWriter::PassOver(const std::string& path, const std::string& what)
{
    PassOver(platform::IdentifyFile(path), what);
}

void MyListWriter::PassOver(const platform::FileIdentity& identity, const std::string& what)
{
    if (identity.valid)
        m_passedOver.emplace_back(identity, what);
}

const std::string* MyListWriter::OwnUse(const platform::FileIdentity& identity) const
{
    if (!identity.valid)
        return nullptr;
    const auto own = std::ranges::find(m_passedOver, identity, [](const auto& entry) { return entry.first; });
    return own == m_passedOver.end() ? nullptr : &own->second;
}

void MyListWriter::Skip(const ErrorHandler& why, bool named)
{
    (named ? m_refused : m_notes).push_back(why);
}

void MyListWriter::Flush()
{
    if (m_pending.empty())
        return;
    m_list->WriteLine(m_pending);
    m_pending.clear();
}

void MyListWriter::Run(const CFileFind& found)
{
    const std::string path = found.GetFilePath();
    m_size = 0;
    m_ok = false;
    if (OwnUse(found.GetIdentity()) != nullptr) {
        // Neither a file of the batch nor an error: its size stays out of
        // the total, and the finder's error count is not reported.
        return;
    }
    if (path.size() > MaxPath) {
        m_refused.emplace_back(errc::PathTooLong, "Unable to list '" + ShownName(path) + "': its path is longer than " +
                                                      std::to_string(MaxPath) + " bytes");
        return;
    }
    if (path.find('\n') != std::string::npos) {
        m_refused.emplace_back(errc::PathTooLong, "Unable to list '" + ShownName(path) + "': its name holds a line break");
        return;
    }
    m_pending += path;
    m_pending += '\n';
    if (m_pending.size() >= FlushAt)
        Flush();
    m_size = static_cast<std::uint32_t>(found.GetLength());
    m_ok = true;
}

} // namespace tessarin
