#pragma once
// The batch settings the crash trials go through: direction, compression,
// wiping and the naming of the outputs. Originals are always deleted
// (--no-keep), the case in which a break can cost a user's only copy.
#include <string>
#include <vector>

namespace tessarin::crash {

enum class Compression { None, Gzip, Bzip2 };

enum class Naming {
    Own,           // the container takes the file's own name
    AesExt,        // ".aes" is appended
    Mangled,       // a number for a name, the file's extension kept
    MangledAesExt, // a number for a name and ".aes"
};

struct Settings {
    Compression compression = Compression::None;
    bool wipe = false;
    Naming naming = Naming::Own;
    // Files worked on at once: the parallel batch commits in list order,
    // and a kill must find it as safe as one file at a time.
    unsigned jobs = 1;

    // The suffix of the compression's content inside a container: ".gz",
    // ".bz" or "" without compression.
    std::string Suffix() const;
    std::string Label() const;
    // The options of a batch with these settings over root, the password
    // read from passwordFile.
    std::vector<std::string> Args(bool encrypt, const std::string& passwordFile, const std::string& root) const;
};

// Every combination of compression, wiping and naming, in a fixed order,
// half of them with four files at once (alternating, so that each of the
// others meets both).
std::vector<Settings> AllSettings();

} // namespace tessarin::crash
