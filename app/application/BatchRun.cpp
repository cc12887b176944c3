#include "application/BatchRun.h"

#include "application/BatchList.h"
#include "application/BatchOptions.h"
#include "application/LogFile.h"
#include "application/MyListWriter.h"
#include "application/MyProgressStream.h"
#include "foundation/CHiResTimer.h"
#include "foundation/ErrorHandler.h"
#include "foundation/ShownName.h"
#include "processing/ContainerCheck.h"
#include "processing/MyObjectAes.h"
#include "processing/ParallelRun.h"
#include "selection/MyFinder.h"

#include <algorithm>
#include <ctime>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace tessarin {

namespace {

// The busy cursor from the password check to the very end, on every way
// out.
class WaitCursor {
public:
    explicit WaitCursor(BatchUi& ui) : m_ui(ui) { m_ui.BeginWaitCursor(); }
    ~WaitCursor() { m_ui.EndWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    BatchUi& m_ui;
};

// The box that says the log is off: the fixed text, the reason as details.
void ShowLoggingOff(BatchUi& ui, const ErrorHandler& e, BoxIcon icon)
{
    ui.ShowDetailedMessage(MyStream::ErrorText(e) + ". Logging on file is turned off!", ErrorTitle, icon,
                           e.GetReason());
}

// Disposes of the list; a failure is shown, and the batch goes on: the
// list is gone either way.
void DisposeList(BatchList& list, BatchUi& ui)
{
    try {
        list.Dispose();
    } catch (const ErrorHandler& e) {
        ui.ShowMessage(e.GetErrString(), ErrorTitle, BoxIcon::Stop);
    }
}

struct SearchResult {
    std::uint32_t files = 0;
    std::uint32_t originalSize = 0;
    std::vector<ErrorHandler> refused;
    std::vector<ErrorHandler> notes;
    std::vector<std::string> fruitless;
};

// First pass: every file under the names onto the list. The run's own
// files are passed over where the search meets them; one named as it is
// (by any of its names) is an error of that name, so that nothing the user
// named goes without a word.
SearchResult Search(std::span<const std::string> names, const BatchOptions& options, BatchList& list,
                    const std::vector<OwnFile>& ownFiles)
{
    SearchResult result;
    MyListWriter writer(&list.File());
    writer.PassOver(list.Path(), "file list");
    if (options.logging)
        writer.PassOver(options.logFilename, "log file");
    for (const OwnFile& own : ownFiles)
        writer.PassOver(own.identity, own.what);
    MyFinder search(&writer, options.recursive, options.sensitive);
    for (const std::string& name : names) {
        if (const std::string* what = writer.OwnUse(platform::IdentifyFile(name))) {
            writer.Skip(ErrorHandler(errc::OpenFailed, "Unable to open file '" + ShownName(name) + "' (it is the " +
                                                           *what + " of this run, which is never processed)"),
                        true);
            continue;
        }
        // A name is searched as it stands, never cut to fit a buffer: a
        // shortened path could name another file.
        const std::size_t refusedBefore = writer.GetRefused().size();
        search.ForEach(name, options.pattern);
        if (search.GetTotalFiles() == 0 && writer.GetRefused().size() == refusedBefore)
            result.fruitless.push_back(name);
        result.originalSize += search.GetTotalBytes();
        result.files += search.GetTotalFiles();
        search.ResetAllCouters();
    }
    result.refused = writer.GetRefused();
    result.notes = writer.GetNotes();
    writer.Flush();
    list.Close();
    return result;
}

} // namespace

int DefaultJobs()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(static_cast<int>(std::min(cores, 64u)), 1, MostJobs);
}

std::string ErrorHint(const std::vector<ErrorLine>& errorLines)
{
    for (const ErrorLine& line : errorLines) {
        if (line.code == errc::NotAesFile)
            return "The password and the key length, block size and mode used to encrypt must all match.";
    }
    return {};
}

void BatchUi::ShowDetailedMessage(const std::string& text, const std::string& title, BoxIcon icon,
                                  const std::string& details)
{
    ShowMessage(details.empty() ? text : text + "\r\n" + details, title, icon);
}

void BatchUi::ShowStatusReport(const std::string& text, const std::vector<ErrorLine>& errorLines)
{
    std::string details;
    for (const ErrorLine& line : errorLines)
        details += line.Shown() + "\r\n";
    if (const std::string hint = ErrorHint(errorLines); !hint.empty())
        details += hint + "\r\n";
    ShowDetailedMessage(text, StatusTitle, BoxIcon::Information, details);
}

BatchReport RunBatch(std::span<const std::string> names, const std::string& password,
                     const std::string& confirmation, const AppSettings& settings, BatchUi& ui,
                     const RunChoices& choices)
{
    BatchReport report;
    if (password.empty() || password != confirmation) {
        ui.ShowMessage(PasswordMessage, ErrorTitle, BoxIcon::Stop);
        report.outcome = BatchReport::Outcome::PasswordRejected;
        return report;
    }
    WaitCursor waitCursor(ui);
    if (names.empty()) {
        report.outcome = BatchReport::Outcome::NothingGiven;
        return report;
    }
    BatchOptions options = BatchOptions::From(settings);
    options.replaceExisting = choices.replaceExisting;

    // The list, filled by the search. A list that cannot be made or written
    // ends the batch before anything else exists.
    std::optional<BatchList> list;
    SearchResult found;
    try {
        list.emplace();
        found = Search(names, options, *list, choices.ownFiles);
        report.fruitless = found.fruitless;
    } catch (const ErrorHandler& e) {
        ui.ShowMessage(e.GetErrString(), ErrorTitle, BoxIcon::Stop);
        report.outcome = BatchReport::Outcome::ListFailed;
        return report;  // the list disposes of itself
    }

    LogFile log;
    if (options.logging) {
        try {
            log.Open(options.logFilename);
            log.WriteHeader(std::time(nullptr));
        } catch (const ErrorHandler& e) {
            ShowLoggingOff(ui, e, BoxIcon::Exclamation);
            log.Close();
        }
    }

    // The display, the sink and the action live in this order and go in the
    // reverse one: each holds on to the one before it.
    const std::unique_ptr<ProgressDisplay> display = ui.OpenProgress(ProgressRequest{});
    display->SetRange(0, static_cast<int>(found.originalSize / 1024u), 1);
    display->SetStatusText(StartingText);
    MyProgressStream sink(*display, &log.File(), ui.MessageThreshold());
    MyObjectAes action(&sink);
    // A test run reads the containers as a decryption would and keeps
    // nothing of them.
    std::optional<ContainerCheck> check;
    if (choices.testOnly)
        check.emplace(&sink);
    const auto closeLibraries = [&] {
        action.CloseLibrary();
        if (check)
            check->CloseLibrary();
    };

    try {
        // All three, whether this batch compresses or not: any file may turn
        // out to be a compressed container.
        if (check) {
            options.Apply(check->Session(), password);
            check->LoadLibraryA(static_cast<unsigned>(options.blockSize));
            check->LoadBzip2Library();
            check->LoadGzipLibrary();
        } else {
            options.Apply(action, password);
            action.LoadLibraryA(static_cast<unsigned>(options.blockSize));
            action.LoadBzip2Library();
            action.LoadGzipLibrary();
        }
    } catch (const ErrorHandler& e) {
        ui.ShowMessage(e.GetErrString() + ". Unable to crypt/decrypt data(s)!", ErrorTitle, BoxIcon::Stop);
        log.Close();
        DisposeList(*list, ui);
        closeLibraries();
        display->Dismiss();
        report.outcome = BatchReport::Outcome::LibraryFailed;
        return report;
    }

    // Files the list could not hold are errors of this run, reported where
    // the user looks for them: on the display and in the log.
    for (const ErrorHandler& refusal : found.refused)
        sink.Fail(refusal);
    for (const ErrorHandler& note : found.notes)
        sink.Show("Passing over: " + note.GetErrString() + "\r\n", MyStream::LevelDetail);

    MyObject& worker = check ? static_cast<MyObject&>(*check) : action;
    MyFinder run(&worker, options.recursive, options.sensitive);
    // Checking stays one file at a time: it writes nothing, and a test run
    // reads its containers at the pace of the disk anyway.
    const int jobs = choices.jobs > 0 ? std::min(choices.jobs, MostJobs) : DefaultJobs();
    std::optional<ParallelRun> parallel;
    // A single file gains nothing, and its lines come as its steps do.
    if (jobs > 1 && !check && found.files > 1)
        parallel.emplace(action, &sink, jobs);
    CHiResTimer stopwatch;
    try {
        list->OpenRead();
        stopwatch.Start();
        if (parallel)
            parallel->ForEach(list->File());
        else
            run.ForEach(list->File());
        stopwatch.Stop();
    } catch (const ErrorHandler& e) {
        // Timed before the box: the time is the run's, not the user's
        // reading of the message.
        stopwatch.Stop();
        report.stopped = true;
        report.stopCode = e.GetErrCode();
        ui.ShowMessage(e.GetErrString(), ErrorTitle, BoxIcon::Stop);
    }
    BatchSummary& summary = report.summary;
    summary.files = parallel ? parallel->GetTotalFiles() : run.GetTotalFiles();
    summary.bytes = parallel ? parallel->GetTotalBytes() : run.GetTotalBytes();
    summary.errors = (parallel ? parallel->GetTotalErrors() : run.GetTotalErrors()) +
                     static_cast<std::uint32_t>(found.refused.size());
    summary.originalSize = found.originalSize;
    summary.seconds = stopwatch.GetTime();

    DisposeList(*list, ui);

    try {
        log.WriteSummary(summary);
    } catch (const ErrorHandler& e) {
        ShowLoggingOff(ui, e, BoxIcon::Stop);
    }
    log.Close();
    display->Dismiss();
    // The files the list refused, then those the engine failed on; a break
    // is no failure of its file and has had its own box.
    for (const ErrorLine& line : sink.GetErrorLines()) {
        if (line.code != errc::BreakByUser)
            report.errorLines.push_back(line);
    }
    ui.ShowStatusReport(summary.StatusText(), report.errorLines);
    closeLibraries();
    return report;
}

} // namespace tessarin
