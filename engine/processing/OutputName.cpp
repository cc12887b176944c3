// Shortening of names that the file system does not take.
#include "processing/OutputName.h"

#include "platform/Files.h"

#include <vector>

namespace tessarin {

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

} // namespace tessarin
