#pragma once
// Names as they are shown: in the log, on the terminal and in boxes. A file
// name may hold any byte but '/' and NUL; a line feed or an escape sequence
// in one must not break a log line or drive the terminal, so control bytes
// are written as escapes.
#include <string>
#include <string_view>

namespace tessarin {

inline std::string ShownName(std::string_view name)
{
    static constexpr char Hex[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            shown += c;
            continue;
        }
        switch (c) {
        case '\n': shown += "\\n"; break;
        case '\r': shown += "\\r"; break;
        case '\t': shown += "\\t"; break;
        default:
            shown += "\\x";
            shown += Hex[byte >> 4];
            shown += Hex[byte & 0x0F];
        }
    }
    return shown;
}

} // namespace tessarin
