#pragma once
// Which Qt platform plugin aes asks for. On a Wayland session Qt would
// take its wayland plugin whenever it is installed, and there a window may
// neither place itself, stay on top, start minimized nor learn where it
// is: the drop window relies on all of these. So aes asks for xcb
// (through XWayland) first and wayland second, which still starts on a
// desktop without XWayland. A QT_QPA_PLATFORM the user set always wins.
#include <string>
#include <vector>

namespace tessarin {

// The plugin list to ask for: empty when the environment already names
// one (QT_QPA_PLATFORM set and not empty, as Qt itself reads it), else
// "xcb;wayland". environment(name) returns the variable or nullptr.
std::string ChoosePlatform(const char* (*environment)(const char* name));

// The arguments to construct the QApplication with: the program's name
// and, when ChoosePlatform names a list, "-platform" and that list. An
// option rather than QT_QPA_PLATFORM, so that programs started from the
// window (the log file's viewer) keep their own default.
class QtArguments {
public:
    QtArguments(const char* programName, const char* (*environment)(const char* name));
    int& Count() { return m_count; }
    char** Values() { return m_pointers.data(); }

private:
    std::vector<std::string> m_values;
    std::vector<char*> m_pointers;
    int m_count = 0;
};

} // namespace tessarin
