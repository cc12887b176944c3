#pragma once
// The log of one batch: a plain text file with the platform's line ends (LF
// here, CR LF on Windows), replaced by
// every batch that logs. The batch's own header and summary lines begin
// with ";"; between them the program's sink writes every engine message as
// it arrives. While the file is not open every write does nothing.
#include "application/BatchSummary.h"
#include "foundation/MyFile.h"

#include <ctime>
#include <string>

namespace tessarin {

class LogFile {
public:
    // Creates the file or empties it. A symbolic link at the name is
    // refused rather than followed: the default log lives in a well-known
    // place, and the file a planted link points to must not be emptied.
    // Throws ErrorHandler (-5) when it cannot be opened.
    void Open(const std::string& name);

    // The five header lines: the title, the time of the batch, the engine's
    // version and build, its copyright, and ";" alone. The engine's entries
    // are read before the third line is written, so a missing one leaves
    // the first two lines only. Throws ErrorHandler (-2 for a failed write,
    // -30 to -34 for the engine's version block).
    void WriteHeader(std::time_t now);

    // ";" alone, then the summary lines, each after "; ". Throws
    // ErrorHandler (-2) at the first write that fails.
    void WriteSummary(const BatchSummary& summary);

    void Close() { m_file.Close(); }
    bool IsOpen() const { return m_file.IsOpen(); }
    // The file the sink writes the engine's messages to.
    MyFile& File() { return m_file; }

    // Text as the log holds it: the engine's CR LF line ends become the
    // platform's.
    static std::string ForLog(const std::string& text);

    // The date and time in the long form of the user's locale (the C
    // locale's when the user's cannot be had).
    static std::string Timestamp(std::time_t time);

private:
    void Write(const std::string& text);

    MyFile m_file;
};

} // namespace tessarin
