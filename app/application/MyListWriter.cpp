#include "application/MyListWriter.h"

#include "foundation/ShownName.h"

#include <algorithm>

namespace tessarin {

void MyListWriter::PassOver(const std::string& path)
{
    if (const platform::FileIdentity identity = platform::IdentifyFile(path); identity.valid)
        m_passedOver.push_back(identity);
}

void MyListWriter::Skip(const ErrorHandler& why, bool named)
{
    (named ? m_refused : m_notes).push_back(why);
}

void MyListWriter::Run(const CFileFind& found)
{
    const std::string path = found.GetFilePath();
    m_size = 0;
    m_ok = false;
    if (!m_passedOver.empty() &&
        std::ranges::find(m_passedOver, found.GetIdentity()) != m_passedOver.end()) {
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
    m_list->WriteLine(path + "\n");
    m_size = static_cast<std::uint32_t>(found.GetLength());
    m_ok = true;
}

} // namespace tessarin
