#pragma once
// The report of the versions of the engine and of every outside library the
// program loads, so that a user sees at once which are present and which
// are missing. Shown by the About box and by the command line's --version.
#include <string>

namespace tessarin {

class ErrorHandler;

class VersionReport {
public:
    // The whole report, lines ended by "\r\n": the engine, the cipher
    // modules of the family the engine names, zlib and bzip2. A missing
    // 16- or 24-byte cipher module leaves an error paragraph in its place;
    // any other failure ends the report with its error paragraph.
    static std::string Build();

    // "Loading 'M'", the version with the private build in parentheses, the
    // description in quotes and the copyright, then an empty line. Throws
    // ErrorHandler (codes -30 to -34) when the module or an entry is missing.
    static std::string Paragraph(const std::string& module);

    // "ERROR(code): message", then an empty line.
    static std::string ErrorParagraph(const ErrorHandler& error);

    // One line per component, ended by "\n": the program with its version,
    // then each module the full report names, with its version (and build,
    // when it has one), or what is wrong with it.
    static std::string Lines(const std::string& program, const std::string& version);
};

} // namespace tessarin
