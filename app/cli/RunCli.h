#pragma once
// tessarin, the command-line companion of the Tessarin window: one batch
// over the paths given, with the window's saved settings as defaults and
// the options on top, for this run only.
#include <ostream>
#include <span>
#include <string_view>
#include <vector>

namespace tessarin {

inline constexpr int ExitDone = 0;      // every file processed
inline constexpr int ExitFailed = 1;    // some files (or the batch) failed
inline constexpr int ExitUsage = 2;     // a usage or password error: nothing was touched
inline constexpr int ExitStopped = 130; // stopped by the user (Ctrl-C)

// args: the arguments after the program's name. Help, the version report,
// the steps and the status report go to out; errors, warnings and the
// progress line (when err is the process's standard error on a terminal)
// to err.
int RunCli(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);

// The arguments of main() after the program's name.
std::vector<std::string_view> CliArguments(int argc, char** argv);

} // namespace tessarin
