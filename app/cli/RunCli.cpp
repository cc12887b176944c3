#include "RunCli.h"

#include "CliOptions.h"
#include "InfoCommand.h"
#include "PipeMode.h"
#include "TerminalOutput.h"
#include "TerminalUi.h"
#include "application/BatchOptions.h"
#include "application/BatchRun.h"
#include "application/VersionReport.h"
#include "foundation/ErrorHandler.h"
#include "foundation/ShownName.h"
#include "platform/Console.h"
#include "platform/Files.h"

#include <unistd.h>
#if defined(_WIN32)
#include <io.h>
#endif
#include <csignal>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

namespace tessarin {

namespace {

constexpr std::size_t MaxPassword = 32;

struct Failure {
    int status;
    std::string message;
    std::string hint;
};

void Report(std::ostream& err, const Failure& failure)
{
    if (!failure.message.empty())
        err << "tessarin: error: " << failure.message << '\n';
    if (!failure.hint.empty())
        err << "tessarin: hint: " << failure.hint << '\n';
    err.flush();
}

std::string FirstLine(std::istream& in)
{
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

// 128 and the number of the signal that stopped us, as a shell reports a
// program ended by it: Ctrl-C gives 130.
int StoppedStatus()
{
    const int signal = platform::InterruptSignal();
    return signal > 0 ? 128 + signal : ExitStopped;
}

// A password that makes containers is asked twice, so that a typing slip
// does not lock the files away; one that opens them is tried as typed.
std::optional<Failure> Ask(TerminalOutput& output, std::string& password, bool confirm)
{
    const auto ask = [&](const char* prompt, std::string& line) -> std::optional<Failure> {
        output.Err() << prompt;
        output.Err().flush();
        const platform::SecretRead read = platform::ReadSecretLine(line);
        output.Err() << '\n';
        output.Err().flush();
        switch (read) {
        case platform::SecretRead::Line: return std::nullopt;
        case platform::SecretRead::Interrupted: return Failure{StoppedStatus(), "stopped by the user", {}};
        case platform::SecretRead::End: return Failure{ExitUsage, "no password given", {}};
        case platform::SecretRead::Failed: break;
        }
        return Failure{ExitUsage, "cannot read the password from the terminal",
                       "use --password-file FILE or --password-stdin"};
    };
    std::string confirmation;
    if (auto failure = ask("Password: ", password))
        return failure;
    if (!confirm)
        return std::nullopt;
    if (auto failure = ask("Confirm password: ", confirmation))
        return failure;
    if (password != confirmation)
        return Failure{ExitUsage, "the passwords do not match", "type the same password twice"};
    return std::nullopt;
}

// Names are UTF-8 bytes; a path takes them as such on every system (a
// narrow path would go through the ANSI code page on Windows).
std::filesystem::path FsPath(const std::string& bytes)
{
    return std::filesystem::path(std::u8string(bytes.begin(), bytes.end()));
}

std::string Bytes(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::optional<Failure> ObtainPassword(const CliOptions& options, TerminalOutput& output, std::string& password,
                                      bool confirm)
{
    switch (options.passwordSource) {
    case CliOptions::PasswordSource::File: {
        std::ifstream file(FsPath(options.passwordFile), std::ios::binary);
        if (!file)
            return Failure{ExitUsage,
                           "cannot read the password file '" + options.passwordFile + "': " + std::strerror(errno),
                           {}};
        password = FirstLine(file);
        break;
    }
    case CliOptions::PasswordSource::Stdin: password = FirstLine(std::cin); break;
    case CliOptions::PasswordSource::Descriptor: {
        // One byte at a time: whatever follows the line stays in the
        // descriptor for its owner.
        password.clear();
        for (;;) {
            char c = 0;
            const ssize_t n = ::read(options.passwordFd, &c, 1);
            if (n < 0 && errno == EINTR) {
                if (platform::InterruptRequested())
                    return Failure{StoppedStatus(), "stopped by the user", {}};
                continue;
            }
            if (n < 0)
                return Failure{ExitUsage,
                               "cannot read the password from descriptor " + std::to_string(options.passwordFd) +
                                   ": " + std::strerror(errno),
                               {}};
            if (n == 0 || c == '\n')
                break;
            password += c;
        }
        if (!password.empty() && password.back() == '\r')
            password.pop_back();
        break;
    }
    case CliOptions::PasswordSource::Terminal:
        if (!platform::IsTerminal(platform::StandardStream::Input))
            return Failure{ExitUsage, "no password given",
                           "use --password-file FILE or --password-stdin, or run tessarin on a terminal"};
        if (auto failure = Ask(output, password, confirm))
            return failure;
        break;
    }
    if (password.empty())
        return Failure{ExitUsage, "the password is empty", {}};
    if (password.size() > MaxPassword)
        return Failure{ExitUsage, "the password is longer than 32 characters",
                       "Tessarin passwords have at most 32 characters"};
    return std::nullopt;
}

platform::FileIdentity DescriptorIdentity(int fd)
{
#if defined(_WIN32)
    const auto handle = static_cast<platform::NativeHandle>(::_get_osfhandle(fd));
#else
    const platform::NativeHandle handle = fd;
#endif
    platform::FileStatus status;
    return platform::StatHandle(handle, status) ? status.identity : platform::FileIdentity{};
}

// The file the password came from is the user's key, not data: the batch
// must not lock it away, however the paths given reach it (another
// spelling, a hard link, a folder around it).
std::vector<OwnFile> OwnFiles(const CliOptions& options)
{
    platform::FileIdentity identity;
    switch (options.passwordSource) {
    case CliOptions::PasswordSource::File: {
        // Links followed, as the file was read.
        std::error_code error;
        const std::filesystem::path read = std::filesystem::canonical(FsPath(options.passwordFile), error);
        if (!error)
            identity = platform::IdentifyFile(Bytes(read));
        break;
    }
    case CliOptions::PasswordSource::Stdin: identity = DescriptorIdentity(0); break;
    case CliOptions::PasswordSource::Descriptor: identity = DescriptorIdentity(options.passwordFd); break;
    case CliOptions::PasswordSource::Terminal: break;
    }
    if (!identity.valid)
        return {};
    return {OwnFile{identity, "password file"}};
}

// Paths as a drop names them: full paths. A path that names nothing, or
// nothing that can be processed, is an error of that path alone, told by
// the batch with its reason; the others are processed all the same.
std::vector<std::string> FullPaths(const std::vector<std::string>& given)
{
    std::vector<std::string> paths;
    for (const std::string& path : given) {
        std::error_code error;
        std::filesystem::path full = std::filesystem::absolute(FsPath(path), error);
        paths.push_back(error ? path : Bytes(full));
    }
    return paths;
}

int ExitStatus(const BatchReport& report)
{
    switch (report.outcome) {
    case BatchReport::Outcome::PasswordRejected:
    case BatchReport::Outcome::NothingGiven: return ExitUsage;
    case BatchReport::Outcome::ListFailed:
    case BatchReport::Outcome::LibraryFailed: return ExitFailed;
    case BatchReport::Outcome::Completed: break;
    }
    if (report.stopped)
        return report.stopCode == errc::BreakByUser ? StoppedStatus() : ExitFailed;
    // A path that gave nothing to do did not get done either.
    return report.summary.errors > 0 || !report.fruitless.empty() ? ExitFailed : ExitDone;
}

// Why a path on the command line gave no file, told where errors go.
void HintFruitless(const BatchReport& report, bool recursive, TerminalOutput& output)
{
    for (const std::string& name : report.fruitless) {
        std::error_code error;
        const bool folder = std::filesystem::is_directory(FsPath(name), error);
        const char* why = !folder   ? "its name does not match the pattern"
                          : recursive ? "no file in it matches the pattern"
                                      : "folders are searched only with --recursive; 'folder/*' gives the files of a folder";
        output.Lines(output.Err(), "tessarin: hint: ", "'" + ShownName(name) + "' gave no file: " + why);
    }
}

// Settings for a batch over one spooled file: the file alone, its output in
// its place (a container keeps the spooled name, a content takes its stored
// one), and the plain input removed by the pipeline itself, wiped when
// wiping is on.
AppSettings SpoolSettings(AppSettings settings)
{
    settings.editPattern = "*";
    settings.checkRecursive = 0;
    settings.checkChangeExt = 0;
    settings.checkMangling = 0;
    settings.checkKeepOriginal = 0;
    return settings;
}

int RunPipe(const CliOptions& options, const AppSettings& settings, const std::string& password,
            TerminalOutput& output, std::ostream& data)
{
    const bool encrypting = options.work == CliOptions::Work::Process && settings.encrypt == 0;
    // The data passes as bytes. A reader that goes away is an error of the
    // write: the interrupt guard keeps its signal from ending the process
    // before it has cleaned up.
    platform::UseBinaryStandardStreams();
    std::optional<PipeSpool> spool;
    try {
        spool.emplace(settings.checkWiping != 0);
    } catch (const ErrorHandler& e) {
        Report(output.Err(), {ExitFailed, e.GetErrString(), {}});
        return ExitFailed;
    }
    // The rule of files: a container is read back only up to its limit, and
    // a content encrypted as it is only while its container fits; a
    // compressed one is judged by the pipeline once it is compressed.
    const BatchOptions batch = BatchOptions::From(settings);
    const std::uint64_t limit = encrypting && CompressionFamily::NumberOf(batch.filter) == CompressionFamily::None ? MyAesFiles::MaxPlainLength(batch.blockSize)
                                                                       : MyAesFiles::MaxContainerLength;
    std::string problem;
    bool stopped = false;
    const platform::NativeHandle input = platform::StandardHandle(platform::StandardStream::Input);
    if (!spool->Spool(input, encrypting ? options.storedName : "stdin.aes", limit, problem, stopped)) {
        if (stopped) {
            Report(output.Err(), {0, "stopped by the user", {}});
            return StoppedStatus();
        }
        Report(output.Err(), {ExitFailed, problem, {}});
        return ExitFailed;
    }
    const std::vector<std::string> spooled{spool->SpoolPath()};
    if (options.work == CliOptions::Work::Info) {
        const int errors = ListContainers(spooled, "-", SpoolSettings(settings), password, options.json, output);
        return errors == 0 ? ExitDone : ExitFailed;
    }

    TerminalUi ui(output, options.verbosity);
    RunChoices choices;
    choices.testOnly = options.work == CliOptions::Work::Test;
    const BatchReport report = RunBatch(spooled, password, password, SpoolSettings(settings), ui, choices);
    const int status = ExitStatus(report);
    if (status != ExitDone || choices.testOnly)
        return status;
    // Nothing reaches standard output before the whole of it has checked
    // out: the content's CRC (and its decompression), or the container
    // complete.
    const std::string result = spool->Output();
    if (result.empty()) {
        Report(output.Err(), {ExitFailed, "the batch left no single output in the spool folder", {}});
        return ExitFailed;
    }
    if (!CopyOut(result, data, problem, stopped)) {
        if (stopped) {
            Report(output.Err(), {0, "stopped by the user", {}});
            return StoppedStatus();
        }
        Report(output.Err(), {ExitFailed, problem, {}});
        return ExitFailed;
    }
    return ExitDone;
}

std::string WithoutCarriageReturns(std::string text)
{
    std::erase(text, '\r');
    return text;
}

} // namespace

std::vector<std::string_view> CliArguments(int argc, char** argv)
{
    std::vector<std::string_view> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    return args;
}

int RunCli(std::span<const std::string_view> args, std::ostream& out, std::ostream& err)
{
    const CliParse parsed = ParseCli(args);
    if (parsed.error) {
        Report(err, {ExitUsage, parsed.error->message, parsed.error->hint});
        return ExitUsage;
    }
    const CliOptions& options = parsed.options;
    if (options.action == CliOptions::Action::Help) {
        out << CliHelpText();
        out.flush();
        return ExitDone;
    }
    if (options.action == CliOptions::Action::Version) {
        // A line per component; the whole report for whoever asks for more.
        out << (options.verbosity == CliOptions::Verbosity::Verbose ? WithoutCarriageReturns(VersionReport::Build())
                                                                      : VersionReport::Lines("tessarin", TESSARIN_VERSION));
        out.flush();
        return ExitDone;
    }

    // The window's settings are read, never written: this run's options
    // stay with this run.
    AppSettings settings;
    if (!options.defaults)
        settings.LoadSettings();
    options.ApplyTo(settings);

    // Checking reads containers as a decryption does, and writes nothing:
    // not even a log, unless one is asked for on the command line.
    if (options.work != CliOptions::Work::Process) {
        settings.encrypt = 1;
        if (!options.logGiven || options.work == CliOptions::Work::Info)
            settings.checkLogging = 0;
    }
    const bool pipe = options.PipeMode();
    const bool pipeEncrypt = pipe && options.work == CliOptions::Work::Process && settings.encrypt == 0;
    if (pipe && options.work == CliOptions::Work::Process && settings.encrypt != 0 && settings.encrypt != 1) {
        Report(err, {ExitUsage, "'-' needs a direction", "give -e to encrypt standard input or -d to decrypt it"});
        return ExitUsage;
    }
    if (pipeEncrypt && &out == &std::cout && platform::IsTerminal(platform::StandardStream::Output)) {
        Report(err, {ExitUsage, "refusing to write a container to a terminal",
                     "redirect standard output to a file or a pipe"});
        return ExitUsage;
    }
    if (pipe && !pipeEncrypt && platform::IsTerminal(platform::StandardStream::Input)) {
        Report(err, {ExitUsage, "refusing to read a container from a terminal",
                     "redirect standard input from a file or a pipe"});
        return ExitUsage;
    }

    const std::vector<std::string> paths = pipe ? options.paths : FullPaths(options.paths);

    // The progress line only where a person watches it. In pipe mode
    // standard output carries the data: every message goes to standard
    // error.
    const bool terminal = &err == &std::cerr && platform::IsTerminal(platform::StandardStream::Error);
    TerminalOutput output(pipe && options.work != CliOptions::Work::Info ? err : out, err, terminal,
                          terminal ? platform::TerminalColumns() : 80);
    const platform::InterruptGuard interrupts;
    std::string password;
    // Decrypting only opens containers; encrypting (or deciding per file)
    // may make them.
    const bool decrypting = settings.encrypt == 1;
    if (const auto failure = ObtainPassword(options, output, password, !decrypting)) {
        Report(err, *failure);
        return failure->status;
    }

    if (pipe)
        return RunPipe(options, settings, password, output, out);
    if (options.work == CliOptions::Work::Info) {
        const int errors = ListContainers(paths, {}, settings, password, options.json, output);
        // A reader of the lines that went away stops the listing as Ctrl-C.
        if (platform::InterruptRequested())
            return StoppedStatus();
        return errors == 0 ? ExitDone : ExitFailed;
    }

    TerminalUi ui(output, options.verbosity);
    RunChoices choices;
    choices.replaceExisting = options.force;
    choices.testOnly = options.work == CliOptions::Work::Test;
    choices.jobs = options.jobs;
    choices.ownFiles = OwnFiles(options);
    const BatchReport report = RunBatch(paths, password, password, settings, ui, choices);
    HintFruitless(report, settings.checkRecursive != 0, output);
    // Where to read the whole story, for whoever asked to be told more.
    if (options.verbosity == CliOptions::Verbosity::Verbose && settings.checkLogging != 0 &&
        report.outcome != BatchReport::Outcome::PasswordRejected && report.outcome != BatchReport::Outcome::NothingGiven) {
        out << "Log: " << SettingsTextBytes(settings.editLogFilename) << '\n';
        out.flush();
    }
    return ExitStatus(report);
}

} // namespace tessarin
