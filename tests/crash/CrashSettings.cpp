#include "CrashSettings.h"

#include <string>

namespace tessarin::crash {

std::string Settings::Suffix() const
{
    switch (compression) {
    case Compression::Gzip:
        return ".gz";
    case Compression::Bzip2:
        return ".bz";
    case Compression::None:
        break;
    }
    return {};
}

std::string Settings::Label() const
{
    std::string label = compression == Compression::None ? "none " : compression == Compression::Gzip ? "gzip " : "bzip2";
    label += wipe ? " wipe   " : " no-wipe";
    label += jobs > 1 ? " -j" + std::to_string(jobs) : "    ";
    switch (naming) {
    case Naming::Own:
        return label + " own-name";
    case Naming::AesExt:
        return label + " .aes    ";
    case Naming::Mangled:
        return label + " mangled ";
    case Naming::MangledAesExt:
        return label + " mangled+.aes";
    }
    return label;
}

std::vector<std::string> Settings::Args(bool encrypt, const std::string& passwordFile, const std::string& root) const
{
    std::vector<std::string> args{"--defaults", "--password-file", passwordFile, "--no-log", "-q",
                                  encrypt ? "-e" : "-d", "-r", "--no-keep", "-z"};
    args.push_back(compression == Compression::None ? "none" : compression == Compression::Gzip ? "gzip" : "bzip2");
    args.push_back(wipe ? "--wipe" : "--no-wipe");
    const bool ext = naming == Naming::AesExt || naming == Naming::MangledAesExt;
    const bool mangle = naming == Naming::Mangled || naming == Naming::MangledAesExt;
    args.push_back(ext ? "--aes-ext" : "--no-aes-ext");
    args.push_back(mangle ? "--mangle" : "--no-mangle");
    args.push_back("--jobs");
    args.push_back(std::to_string(jobs));
    args.push_back("--");
    args.push_back(root);
    return args;
}

std::vector<Settings> AllSettings()
{
    std::vector<Settings> all;
    for (const bool wipe : {false, true}) {
        for (const Compression compression : {Compression::None, Compression::Gzip, Compression::Bzip2}) {
            for (const Naming naming : {Naming::Own, Naming::AesExt, Naming::Mangled, Naming::MangledAesExt}) {
                const int parity = static_cast<int>(wipe) + static_cast<int>(compression) + static_cast<int>(naming);
                all.push_back({compression, wipe, naming, parity % 2 == 1 ? 4u : 1u});
            }
        }
    }
    return all;
}

} // namespace tessarin::crash
