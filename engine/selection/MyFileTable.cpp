#include "selection/MyFileTable.h"

#include "foundation/ErrorHandler.h"
#include "foundation/ShownName.h"

#include <array>
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

std::size_t MyFileTable::ReadLine(std::string& line, bool keepLineEnd)
{
    // The position is taken before and set after every line, so the reader
    // never depends on where the read of a whole block left the file.
    const std::uint64_t start = Seek(0, SeekCurrent);
    std::array<char, LineLimit> buffer{};
    // A stale error number from some earlier call must not be reported as
    // the cause of a missing line end.
    errno = 0;
    const std::size_t got = Read(std::span(reinterpret_cast<std::uint8_t*>(buffer.data()), buffer.size()));
    if (got == 0) {
        line.clear();
        return 0;
    }
    const std::size_t lf = StrnChr(std::span<const char>(buffer.data(), got), '\n');
    if (lf == std::string::npos) {
        const int code = errno != 0 ? errno : EINVAL;
        throw ErrorHandler(code, "Unable to find EOL in file '" + ShownName(GetFullFilename()) + "'");
    }
    line.assign(buffer.data(), keepLineEnd ? lf + 1 : lf);
    Seek(static_cast<std::int64_t>(start + lf + 1), SeekBegin);
    return lf + 1;
}

} // namespace tessarin
