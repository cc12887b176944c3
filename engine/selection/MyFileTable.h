#pragma once
#include "EngineApi.h"
#include "foundation/MyFile.h"

#include <cstddef>
#include <span>
#include <string>

namespace tessarin {

// The file list of a batch: one full path per line, each line ended by one
// LF (the last one too), no CR, no header. A line's text is at most 1023
// bytes, so that the line with its LF fits into the 1024-byte read.
class ENGINE_API MyFileTable : public MyFile {
public:
    static constexpr std::size_t LineLimit = 1024;  // text plus LF

    MyFileTable() = default;
    MyFileTable(const std::string& name, OpenMode mode) : MyFile(name, mode) {}

    // Write the bytes exactly; the caller puts the LF in the text.
    std::size_t WriteLine(const std::string& line);
    std::size_t WriteLine(const char* line);

    // Reads the next line into line (its LF cut off unless keepLineEnd; a CR
    // before it stays) and returns the bytes consumed, 0 at the end of the
    // file. Throws the EOL error when no LF lies within LineLimit bytes.
    std::size_t ReadLine(std::string& line, bool keepLineEnd = false);

protected:
    // Index of the first c in buffer, or npos.
    static std::size_t StrnChr(std::span<const char> buffer, char c);
};

} // namespace tessarin
