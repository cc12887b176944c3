#include "selection/MyFileFound.h"

namespace tessarin {

MyFileFound::MyFileFound(const CFileFind& found)
    : m_size(static_cast<std::uint32_t>(found.GetLength())),
      m_size64(found.GetLength()),
      m_name(found.GetFileName()),
      m_path(found.GetFilePath()),
      m_identity(found.GetIdentity())
{
    // The folder is the full path less the name, so it keeps its final
    // separator and the name can be appended to it as it is.
    const std::size_t keep = m_path.size() >= m_name.size() ? m_path.size() - m_name.size() : 0;
    m_folder = m_path.substr(0, keep);
}

} // namespace tessarin
