// Output names: encrypted, mangled, claimed, and shortened where the file
// system does not take them.
#include "processing/OutputName.h"

#include "platform/Files.h"
#include "scratch/TempFile.h"
#include "selection/MyCString.h"

#include <vector>

namespace tessarin {

std::string OutputName::NameOf(const std::string& path)
{
    const auto slash = path.rfind(platform::PathSeparator);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string OutputName::FolderOf(const std::string& path)
{
    const auto slash = path.rfind(platform::PathSeparator);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string OutputName::Encrypted(const std::string& path, bool mangling, bool changeExtension)
{
    const std::string name = NameOf(path);
    if (!mangling)
        return changeExtension ? name + ".aes" : name;
    MyCString mangled(path);
    mangled.Mangling();
    const std::string digits = mangled.GetString();
    const auto dot = name.rfind('.');
    return changeExtension ? digits + ".aes" : digits + "." + (dot == std::string::npos ? "" : name.substr(dot + 1));
}

std::string OutputName::NextMangled(const std::string& path)
{
    const std::size_t start = FolderOf(path).size();
    std::size_t end = start;
    while (end < path.size() && path[end] >= '0' && path[end] <= '9')
        ++end;
    const std::uint32_t number =
        end > start ? static_cast<std::uint32_t>(std::stoull(path.substr(start, end - start)) & 0xFFFFFFFFu) : 0;
    return path.substr(0, start) + std::to_string(static_cast<std::uint32_t>(number + 1u)) + path.substr(end);
}

void OutputName::Claim(std::string& target, const std::string& madeFrom, bool mangled, const Exists& exists)
{
    for (int tries = 0; target != madeFrom && exists(target); ++tries) {
        if (!mangled || tries == MaxMangledTries)
            throw NameTakenError(target);
        target = NextMangled(target);
    }
}

std::string OutputName::Shortened(const std::string& name, unsigned number, const Fits& fits)
{
    // A leading dot starts a hidden name, not an extension.
    const auto dot = name.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0 && name.size() - dot <= MaxExtension + 1;
    const std::string stem = hasExtension ? name.substr(0, dot) : name;
    const std::string tail = (number > 0 ? "~" + std::to_string(number) : std::string()) +
                             (hasExtension ? name.substr(dot) : std::string());
    // Where a character may end: never inside a UTF-8 sequence.
    std::vector<std::size_t> ends;
    for (std::size_t i = 1; i <= stem.size(); ++i) {
        if (i == stem.size() || (static_cast<unsigned char>(stem[i]) & 0xC0) != 0x80)
            ends.push_back(i);
    }
    // The longest cut that fits: a longer one fits only if a shorter does.
    std::size_t low = 0, high = ends.size();
    while (low < high) {
        const std::size_t middle = (low + high + 1) / 2;
        if (fits(stem.substr(0, ends[middle - 1]) + tail))
            low = middle;
        else
            high = middle - 1;
    }
    return low == 0 ? std::string() : stem.substr(0, ends[low - 1]) + tail;
}

std::string OutputName::In(const std::string& folder, const std::string& name, bool& shortened)
{
    const Fits fits = [&folder](const std::string& candidate) { return platform::NameFitsIn(folder, candidate); };
    shortened = false;
    if (fits(name))
        return name;
    for (unsigned number = 0; number <= MaxNumber; ++number) {
        const std::string candidate = Shortened(name, number, fits);
        if (candidate.empty())
            break;
        if (!platform::PathExists(folder + candidate)) {
            shortened = true;
            return candidate;
        }
    }
    return name;
}

bool OutputName::Fit(std::string& path)
{
    const std::string folder = FolderOf(path);
    bool shortened = false;
    path = folder + In(folder, path.substr(folder.size()), shortened);
    return shortened;
}

} // namespace tessarin
