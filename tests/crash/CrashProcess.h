#pragma once
// Runs the built tessarin as a separate process, undisturbed or killed with
// SIGKILL after a given delay, and tells how it ended.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tessarin::crash {

struct RunResult {
    bool exited = false;   // ended by exit(), status in code
    int code = -1;         // exit status, or the signal that ended it
    bool killSent = false; // the delay ran out while it was still running
    bool hung = false;     // still running at the time limit; killed then
    double seconds = 0;    // from the start to the end, as the parent saw it
    std::string output;    // standard output and error, merged

    bool KilledBySigkill() const;
    std::string Describe() const;  // "exit 1", "signal 11", ...
};

// A kill aimed at a state rather than a moment: once a folder under tree
// holds `temporaries` "~aes-" files at once, outputs waiting for their
// folder's shared commit, where a kill finds the most at stake; or, with
// atRename, once the first of them is renamed onto its name: the shared
// flush is done then and the renames and deletions are under way.
struct Aim {
    std::filesystem::path tree;
    unsigned temporaries = 2;
    bool atRename = false;
};

// program: the executable; args exclude argv[0]. Standard input reads from
// /dev/null; the output goes to outputFile and is read back into the result.
// killAfter: seconds after the start at which SIGKILL is sent, if it is still
// running. aim: SIGKILL as soon as that state is seen instead. limit:
// seconds after which a run is deemed hung and killed.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::filesystem::path& outputFile, std::optional<double> killAfter, double limit,
                     const Aim* aim = nullptr);

} // namespace tessarin::crash
