#pragma once
// One batch: the names a user dropped (or gave on the command line) are
// searched into a temporary file list, the per-file action of the engine
// runs over the list while a progress display shows what happens, the list
// is overwritten and deleted, the log gets its header, every engine message
// and a summary, and a status report ends it. Everything the batch creates
// is released before it returns; only the files and the log stay.
#include "application/AppSettings.h"
#include "application/BatchSummary.h"
#include "application/BatchUi.h"
#include "platform/Files.h"

#include <span>
#include <string>
#include <vector>

namespace tessarin {

// How a batch ended, for a caller that acts on it (the command line's exit
// status); the user has been told everything already.
struct BatchReport {
    enum class Outcome {
        PasswordRejected,  // empty, or not equal to its confirmation: nothing was touched
        NothingGiven,      // no names
        ListFailed,        // the file list could not be made: no file was processed
        LibraryFailed,     // a library could not be loaded: no file was processed
        Completed,         // the list was run, perhaps not to its end (see stopped)
    };
    Outcome outcome = Outcome::Completed;
    // The run of the list ended early; stopCode tells why (errc::BreakByUser
    // when the user stopped it).
    bool stopped = false;
    int stopCode = 0;
    BatchSummary summary;
    // The error line of every file that failed, in order.
    std::vector<ErrorLine> errorLines;
    // The names given that listed no file and were not refused either (a
    // folder searched without recursion, a pattern that matched nothing).
    std::vector<std::string> fruitless;
};

// What the user should check as well after these errors (a line of text, or
// empty): a container that does not open under the password may just as
// well have been made with another key length, block size or mode.
std::string ErrorHint(const std::vector<ErrorLine>& errorLines);

inline constexpr char ErrorTitle[] = "ERROR MESSAGE";
inline constexpr char StatusTitle[] = "STATUS REPORT";
inline constexpr char StartingText[] = "Starting...";
inline constexpr char PasswordMessage[] = "Passwords are empty or don't match to each other!\nPlease re-type them...";

// A file the user named for the run's own use, such as the file the
// password was read from: never listed, whatever name it is met under.
struct OwnFile {
    platform::FileIdentity identity;
    std::string what;  // what it is to the run: "password file"
};

// What one run asks for beyond the saved settings.
struct RunChoices {
    // Outputs replace existing files of their names; otherwise such a file
    // fails with an error naming the file in the way.
    bool replaceExisting = false;
    // Check the containers instead of processing them: each is deciphered,
    // decompressed and its CRC and sizes compared as a decryption would,
    // and nothing is written or deleted.
    bool testOnly = false;
    // Besides the batch's list and log, which are never listed either.
    std::vector<OwnFile> ownFiles;
    // Files at work at once (0: DefaultJobs()). However many, the log, the
    // display and the report read as with one, and each file's output is
    // committed only after every earlier file's of the list.
    int jobs = 0;
};

// More workers than this gain nothing on the disks a batch meets and cost
// memory and handles.
inline constexpr int MostJobs = 8;
// One worker per processor, at least one, at most MostJobs.
int DefaultJobs();

// names: full paths of files and folders in the order given, as the file
// system spells them. password and confirmation: as typed (bytes).
BatchReport RunBatch(std::span<const std::string> names, const std::string& password,
                     const std::string& confirmation, const AppSettings& settings, BatchUi& ui,
                     const RunChoices& choices = {});

} // namespace tessarin
