#pragma once
// The context-help strings of the windows, numbered by the id of the
// control they describe, for both the Qt and the Win32 windows (which also
// carry them as string resources of the same numbers).
#include <span>

namespace tessarin {

struct HelpText {
    int id;
    const char* text;  // UTF-8, lines separated by "\n"
};

class HelpTextTable {
public:
    static std::span<const HelpText> All();
    // The help string of a control id, or null when it has none.
    static const char* ForId(int id);
};

} // namespace tessarin
