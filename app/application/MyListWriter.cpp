#include "application/MyListWriter.h"

namespace tessarin {

void MyListWriter::Run(const CFileFind& found)
{
    const std::string path = found.GetFilePath();
    m_size = 0;
    m_ok = false;
    if (path.size() > MaxPath) {
        m_refused.emplace_back(errc::PathTooLong, "Unable to list '" + path + "': its path is longer than " +
                                                      std::to_string(MaxPath) + " bytes");
        return;
    }
    if (path.find('\n') != std::string::npos) {
        m_refused.emplace_back(errc::PathTooLong, "Unable to list '" + path + "': its name holds a line break");
        return;
    }
    m_list->WriteLine(path + "\n");
    m_size = static_cast<std::uint32_t>(found.GetLength());
    m_ok = true;
}

} // namespace tessarin
