#pragma once
// The name under which a decrypted file is written. A stored name comes from
// the system the file was encrypted on and may be longer than the folder's
// file system takes (255 bytes on most Linux file systems, where NTFS takes
// 255 UTF-16 units, up to 765 bytes of UTF-8). Such a file is written under
// a shortened name rather than not at all: cut on a character boundary,
// keeping its last extension, and when that name is taken, "~1", "~2", ...
// before the extension until one is free.
#include "EngineApi.h"

#include <cstddef>
#include <functional>
#include <string>

namespace tessarin {

class ENGINE_API OutputName {
public:
    using Fits = std::function<bool(const std::string& name)>;
    // A longer "extension" is taken as part of the name.
    static constexpr std::size_t MaxExtension = 32;
    static constexpr unsigned MaxNumber = 100000;

    // The name to write in folder (ending with the separator) for name:
    // name itself when the file system takes it, else the first free
    // shortened one (shortened tells which). Name itself when not even a
    // shortened one can be had: its creation then fails with the reason.
    static std::string In(const std::string& folder, const std::string& name, bool& shortened);

    // The longest cut of name with number (0: none) that fits; empty when
    // not even one character and the extension fit.
    static std::string Shortened(const std::string& name, unsigned number, const Fits& fits);
};

} // namespace tessarin
