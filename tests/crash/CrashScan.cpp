#include "CrashScan.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <system_error>

namespace tessarin::crash {

namespace fs = std::filesystem;

namespace {

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The first bytes of a file, enough to tell a plain stream from a
// container.
std::string Head(const fs::path& path)
{
    std::string head(16, '\0');
    std::ifstream in(path, std::ios::binary);
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return head;
}

// Whether a file named *.gz or *.bz is an output these settings give: the
// container of a file under the file's own name followed by the suffix of
// the compressed content, or under a number followed by that suffix. With
// ".aes" appended no output ends in either suffix.
bool IsOutputName(const std::string& relative, const std::string& name, const Settings& settings,
                  const std::set<std::string>& originals)
{
    const std::string suffix = settings.Suffix();
    if (suffix.empty() || !EndsWith(name, suffix))
        return false;
    switch (settings.naming) {
    case Naming::Own:
        return originals.count(relative.substr(0, relative.size() - suffix.size())) != 0;
    case Naming::Mangled: {
        const std::string stem = name.substr(0, name.size() - suffix.size());
        return !stem.empty() && std::all_of(stem.begin(), stem.end(), [](char c) { return c >= '0' && c <= '9'; });
    }
    case Naming::AesExt:
    case Naming::MangledAesExt:
        break;
    }
    return false;
}

} // namespace

bool IsPlainGzip(const std::string& bytes)
{
    // ID1 ID2, CM = 8 (deflate), FLG with its three reserved bits clear.
    return bytes.size() >= 4 && static_cast<unsigned char>(bytes[0]) == 0x1F &&
           static_cast<unsigned char>(bytes[1]) == 0x8B && bytes[2] == 8 &&
           (static_cast<unsigned char>(bytes[3]) & 0xE0) == 0;
}

bool IsPlainBzip2(const std::string& bytes)
{
    static const std::string Block("\x31\x41\x59\x26\x53\x59", 6);
    static const std::string End("\x17\x72\x45\x38\x50\x90", 6);
    if (bytes.size() < 10 || !StartsWith(bytes, "BZh") || bytes[3] < '1' || bytes[3] > '9')
        return false;
    const std::string magic = bytes.substr(4, 6);
    return magic == Block || magic == End;
}

void FindLeftovers(const fs::path& root, const fs::path& listFolder, const Settings& settings, const Tree& originals,
                   Leftovers& found)
{
    std::set<std::string> names;
    for (const TreeFile& file : originals)
        names.insert(file.path);

    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (!it->is_regular_file())
            continue;
        const std::string name = it->path().filename().string();
        const std::string relative = fs::relative(it->path(), root).generic_string();
        if (StartsWith(name, "~aes-")) {
            // A temporary file, or what a later batch made of one by taking
            // it for a user's file.
            found.emplace(relative, EndsWith(name, ".tmp") ? "temporary file" : "made from a temporary file");
            continue;
        }
        if (!EndsWith(name, ".gz") && !EndsWith(name, ".bz"))
            continue;
        const std::string head = Head(it->path());
        if (IsPlainGzip(head))
            found.emplace(relative, "plain gzip stream (compressed intermediate)");
        else if (IsPlainBzip2(head))
            found.emplace(relative, "plain bzip2 stream (compressed intermediate)");
        else if (!IsOutputName(relative, name, settings, names))
            found.emplace(relative, "container under a name that is no output of these settings");
    }
    if (error)
        found.emplace(root.string(), "cannot be searched: " + error.message());

    for (const auto& entry : fs::directory_iterator(listFolder, error)) {
        const std::string name = entry.path().filename().string();
        if (StartsWith(name, "~files.tmp"))
            found.emplace("<runtime folder>/" + name, "list file");
    }
}

std::map<std::string, std::string> FindLosses(const fs::path& root, const Tree& originals)
{
    std::map<std::string, std::string> lost;
    std::string bytes;
    for (const TreeFile& file : originals) {
        if (!ReadFile(root / file.path, bytes))
            lost.emplace(file.path, "missing");
        else if (bytes != file.bytes)
            lost.emplace(file.path, "differs: " + std::to_string(bytes.size()) + " bytes, " +
                                        std::to_string(file.bytes.size()) + " expected");
    }
    return lost;
}

} // namespace tessarin::crash
