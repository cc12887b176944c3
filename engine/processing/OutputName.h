#pragma once
// Where an output goes. The encrypted name of a file (its own, with ".aes",
// or the decimal mangling of its path), the next number when a mangled name
// is taken, and the claim of a name before any work is done: an output
// replaces no file but the one it is made from, unless the caller asks for
// that.
//
// A stored name comes from the system the file was encrypted on and may be
// longer than the folder's file system takes (255 bytes on most Linux file
// systems, where NTFS takes 255 UTF-16 units, up to 765 bytes of UTF-8).
// Such a file is written under a shortened name rather than not at all: cut
// on a character boundary, keeping its last extension, and when that name is
// taken, "~1", "~2", ... before the extension until one is free.
#include "EngineApi.h"

#include <cstddef>
#include <functional>
#include <string>

namespace tessarin {

class ENGINE_API OutputName {
public:
    using Fits = std::function<bool(const std::string& name)>;
    using Exists = std::function<bool(const std::string& path)>;
    // A longer "extension" is taken as part of the name.
    static constexpr std::size_t MaxExtension = 32;
    static constexpr unsigned MaxNumber = 100000;
    static constexpr int MaxMangledTries = 100000;

    // The last component of path (path itself when it has no folder part).
    static std::string NameOf(const std::string& path);
    // The folder part of path, ending with the separator (empty when none).
    static std::string FolderOf(const std::string& path);

    // The name of the container made of the file at path: its own name, with
    // ".aes" when changeExtension; with mangling the decimal mangling of the
    // whole path, followed by ".aes" or by "." and the file's extension.
    static std::string Encrypted(const std::string& path, bool mangling, bool changeExtension);
    // The next name after a taken mangled one: the number counts on, the
    // rest of the name stays.
    static std::string NextMangled(const std::string& path);
    // Checks early that an output can take target: a name that exists (and
    // is not madeFrom itself) fails as taken, except a mangled one, which
    // moves on to the next free number.
    static void Claim(std::string& target, const std::string& madeFrom, bool mangled, const Exists& exists);

    // The name to write in folder (ending with the separator) for name:
    // name itself when the file system takes it, else the first free
    // shortened one (shortened tells which). Name itself when not even a
    // shortened one can be had: its creation then fails with the reason.
    static std::string In(const std::string& folder, const std::string& name, bool& shortened);
    // The same for a whole path, changed in place; true when shortened.
    static bool Fit(std::string& path);

    // The longest cut of name with number (0: none) that fits; empty when
    // not even one character and the extension fit.
    static std::string Shortened(const std::string& name, unsigned number, const Fits& fits);
};

} // namespace tessarin
