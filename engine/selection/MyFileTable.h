#pragma once
#include "EngineApi.h"
#include "foundation/MyFile.h"

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace tessarin {

// The file list of a batch: one full path per line, each line ended by one
// LF (the last one too), no CR, no header. A line's text is at most 1023
// bytes, so that the line with its LF fits into the 1024-byte read.
class ENGINE_API MyFileTable : public MyFile {
public:
    static constexpr std::size_t LineLimit = 1024;  // text plus LF

    MyFileTable() = default;
    MyFileTable(const std::string& name, OpenMode mode) : MyFile(name, mode) {}

    // As MyFile's, and drop what ReadLine read ahead. Seek counts from the
    // end of the last line handed out, as if nothing had been read ahead.
    void Open(const std::string& name, OpenMode mode);
    void Close();
    std::uint64_t Seek(std::int64_t distance, SeekMode origin);

    // Write the bytes exactly; the caller puts the LF in the text.
    std::size_t WriteLine(const std::string& line);
    std::size_t WriteLine(const char* line);

    // Reads the next line into line (its LF cut off unless keepLineEnd; a CR
    // before it stays) and returns the bytes consumed, 0 at the end of the
    // file. Throws the EOL error when no LF lies within LineLimit bytes.
    // Reads ahead in blocks of many lines; this class's Seek knows it, a
    // caller that mixes in MyFile's Read or Rewind must Seek first.
    std::size_t ReadLine(std::string& line, bool keepLineEnd = false);

protected:
    // Index of the first c in buffer, or npos.
    static std::size_t StrnChr(std::span<const char> buffer, char c);

private:
    static constexpr std::size_t ReadBlock = 64 * LineLimit;
    // Read but not yet handed out: m_ahead[m_aheadStart, m_aheadEnd).
    std::vector<char> m_ahead;
    std::size_t m_aheadStart = 0;
    std::size_t m_aheadEnd = 0;
};

} // namespace tessarin
