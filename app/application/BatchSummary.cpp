#include "application/BatchSummary.h"

#include <array>
#include <charconv>
#include <cmath>

namespace tessarin {

std::string BatchSummary::Fixed(double value, int decimals)
{
    if (!std::isfinite(value))
        return "n/a";
    std::array<char, 512> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc{})
        return "n/a";
    return std::string(text.data(), result.ptr);
}

std::string BatchSummary::FilesLine() const
{
    // The counters are unsigned: a byte total of 2 GiB or more is written
    // as it is, never as a negative number.
    return std::to_string(files) + " file(s) processed (" + std::to_string(bytes) + " bytes), " +
           std::to_string(errors) + " error(s)\r\n";
}

std::string BatchSummary::Ratio() const
{
    if (originalSize == 0)
        return "n/a";  // no size to compare with: every listed file was empty
    const float ratio = static_cast<float>(bytes) / static_cast<float>(originalSize) * 100.0f;
    return Fixed(ratio, 0);
}

std::string BatchSummary::OriginalSizeLine() const
{
    const std::string ratio = Ratio();
    return "Original size = " + std::to_string(originalSize) + " bytes, Ratio = " + ratio +
           (ratio == "n/a" ? "" : "%") + "\r\n";
}

std::string BatchSummary::Throughput() const
{
    if (bytes == 0)
        return Fixed(0.0, 2);
    if (!(seconds > 0.0f))
        return "n/a";  // too fast for the clock: no speed worth printing
    const float megabytes = static_cast<float>(bytes) / seconds / 1024.0f / 1024.0f;
    return Fixed(megabytes, 2);
}

std::string BatchSummary::TimeLine() const
{
    return "Time = " + Fixed(seconds, 2) + " sec, " + Throughput() + " Mbyte/sec\r\n";
}

std::vector<std::string> BatchSummary::Lines() const
{
    std::vector<std::string> lines{FilesLine()};
    if (HasOriginalSizeLine())
        lines.push_back(OriginalSizeLine());
    lines.push_back(TimeLine());
    return lines;
}

std::string BatchSummary::StatusText() const
{
    std::string text;
    for (const std::string& line : Lines())
        text += line;
    return text;
}

} // namespace tessarin
