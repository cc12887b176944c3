#pragma once
// The figures of a finished batch and the lines that report them, the same
// in the log and in the status report: files, bytes and errors, the size
// the search found against the size processed, and the time and speed of
// the run. Numbers are written the same way whatever the user's locale.
#include <cstdint>
#include <string>
#include <vector>

namespace tessarin {

struct BatchSummary {
    std::uint32_t files = 0;         // processed
    std::uint32_t bytes = 0;         // processed, wrapping past 4 GiB as the counters do
    std::uint32_t errors = 0;
    std::uint32_t originalSize = 0;  // of every listed file, as the search found them
    float seconds = 0.0f;            // of the run of the list alone

    // The original-size line belongs only to a batch that processed files
    // without a single error.
    bool HasOriginalSizeLine() const { return errors == 0 && files > 0; }

    // Each ends with "\r\n".
    std::string FilesLine() const;         // "N file(s) processed (N bytes), N error(s)"
    std::string OriginalSizeLine() const;  // "Original size = N bytes, Ratio = N%"
    std::string TimeLine() const;          // "Time = N.NN sec, N.NN Mbyte/sec"

    // The lines in report order: files, original size when it belongs, time.
    std::vector<std::string> Lines() const;
    // The text of the status report: the lines one after another.
    std::string StatusText() const;

    // The ratio without its "%": bytes processed against the original size
    // in whole percent; "n/a" when the original size is 0.
    std::string Ratio() const;
    // Megabytes (2^20 bytes) per second with two decimals; "n/a" when bytes
    // were processed in no measurable time.
    std::string Throughput() const;

    // value with the given number of decimals, rounded, '.' as the point.
    static std::string Fixed(double value, int decimals);
};

} // namespace tessarin
