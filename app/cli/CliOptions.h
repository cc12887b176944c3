#pragma once
// The command line of tessarin: options that set the batch's settings for
// this run only, where the password comes from, how much is printed, and
// the paths. Parsing never touches the settings store or the files.
#include "application/AppSettings.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessarin {

struct CliOptions {
    enum class Action { Run, Help, Version };
    enum class PasswordSource { Terminal, File, Stdin, Descriptor };
    // Process: encrypt or decrypt in place; Test: check containers and
    // write nothing; Info: print what containers' headers tell.
    enum class Work { Process, Test, Info };
    enum class Verbosity { Quiet, Normal, Verbose };

    Action action = Action::Run;
    bool defaults = false;  // ignore the saved settings
    bool force = false;     // outputs replace existing files of their names
    int jobs = 0;           // files at work at once; 0: the batch's default
    PasswordSource passwordSource = PasswordSource::Terminal;
    std::string passwordFile;
    int passwordFd = -1;
    Work work = Work::Process;
    bool json = false;  // --info prints JSON lines
    // Pipe mode ("-" as the only path): the name stored in a container made
    // from standard input.
    std::string storedName = "stdin";
    bool storedNameGiven = false;
    bool logGiven = false;  // --log or --no-log on the command line
    Verbosity verbosity = Verbosity::Normal;
    std::vector<std::string> paths;
    // "-" came before any "--": it may stand for the standard streams.
    // After "--" every argument is a name, "-" a file called so.
    bool dashAsStreams = false;

    // What the options set, in the order given; a later one wins.
    struct IntegerSetting {
        std::int32_t AppSettings::*field;
        std::int32_t value;
    };
    struct StringSetting {
        SettingsText AppSettings::*field;
        SettingsText value;
    };
    std::vector<IntegerSetting> integers;
    std::vector<StringSetting> strings;

    // "-" as the only path: standard input and output instead of files.
    bool PipeMode() const { return dashAsStreams && paths.size() == 1 && paths.front() == "-"; }

    // Puts the options over settings (the saved ones, or the defaults).
    void ApplyTo(AppSettings& settings) const;
};

struct CliError {
    std::string message;  // what is wrong
    std::string hint;     // how to put it right; may be empty
};

struct CliParse {
    CliOptions options;
    std::optional<CliError> error;
};

// args: the arguments after the program's name.
CliParse ParseCli(std::span<const std::string_view> args);

// The text of --help.
std::string CliHelpText();

} // namespace tessarin
