#include "selection/MyFileTable.h"

#include "foundation/ErrorHandler.h"
#include "foundation/ShownName.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace tessarin {

std::size_t MyFileTable::WriteLine(const std::string& line)
{
    return Write(std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size()));
}

std::size_t MyFileTable::WriteLine(const char* line)
{
    if (line == nullptr)
        return 0;
    return Write(std::span(reinterpret_cast<const std::uint8_t*>(line), std::strlen(line)));
}

std::size_t MyFileTable::StrnChr(std::span<const char> buffer, char c)
{
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        if (buffer[i] == c)
            return i;
    }
    return std::string::npos;
}

void MyFileTable::Open(const std::string& name, OpenMode mode)
{
    m_aheadStart = m_aheadEnd = 0;
    MyFile::Open(name, mode);
}

void MyFileTable::Close()
{
    m_aheadStart = m_aheadEnd = 0;
    MyFile::Close();
}

std::uint64_t MyFileTable::Seek(std::int64_t distance, SeekMode origin)
{
    // The system's position is past the bytes read ahead.
    if (origin == SeekCurrent)
        distance -= static_cast<std::int64_t>(m_aheadEnd - m_aheadStart);
    m_aheadStart = m_aheadEnd = 0;
    return MyFile::Seek(distance, origin);
}

std::size_t MyFileTable::ReadLine(std::string& line, bool keepLineEnd)
{
    // One read serves many lines; a line is looked for within its first
    // LineLimit bytes only, as the list's format allows no longer one.
    auto window = [this] {
        return std::span<const char>(m_ahead.data() + m_aheadStart,
                                     std::min(m_aheadEnd - m_aheadStart, LineLimit));
    };
    std::size_t lf = StrnChr(window(), '\n');
    // A stale error number from some earlier call must not be reported as
    // the cause of a missing line end.
    int readError = 0;
    if (lf == std::string::npos && m_aheadEnd - m_aheadStart < LineLimit) {
        if (m_ahead.size() < ReadBlock)
            m_ahead.resize(ReadBlock);
        std::copy(m_ahead.begin() + static_cast<std::ptrdiff_t>(m_aheadStart),
                  m_ahead.begin() + static_cast<std::ptrdiff_t>(m_aheadEnd), m_ahead.begin());
        m_aheadEnd -= m_aheadStart;
        m_aheadStart = 0;
        errno = 0;
        // Reads until the block is full or the file ends.
        m_aheadEnd += Read(std::span(reinterpret_cast<std::uint8_t*>(m_ahead.data()) + m_aheadEnd,
                                     m_ahead.size() - m_aheadEnd));
        readError = errno;
        lf = StrnChr(window(), '\n');
    }
    if (m_aheadStart == m_aheadEnd) {
        line.clear();
        return 0;
    }
    if (lf == std::string::npos) {
        const int code = readError != 0 ? readError : EINVAL;
        throw ErrorHandler(code, "Unable to find EOL in file '" + ShownName(GetFullFilename()) + "'");
    }
    line.assign(m_ahead.data() + m_aheadStart, keepLineEnd ? lf + 1 : lf);
    m_aheadStart += lf + 1;
    return lf + 1;
}

} // namespace tessarin
