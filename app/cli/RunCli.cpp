#include "RunCli.h"

#include "CliOptions.h"
#include "TerminalOutput.h"
#include "TerminalUi.h"
#include "application/BatchRun.h"
#include "application/VersionReport.h"
#include "foundation/ErrorHandler.h"
#include "platform/Console.h"
#include "platform/Files.h"

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
    return report.summary.errors > 0 ? ExitFailed : ExitDone;
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

    const std::vector<std::string> paths = FullPaths(options.paths);

    // The progress line only where a person watches it.
    const bool terminal = &err == &std::cerr && platform::IsTerminal(platform::StandardStream::Error);
    TerminalOutput output(out, err, terminal, terminal ? platform::TerminalColumns() : 80);
    const platform::InterruptGuard interrupts;
    std::string password;
    // Decrypting only opens containers; encrypting (or deciding per file)
    // may make them.
    const bool decrypting = settings.encrypt == 1;
    if (const auto failure = ObtainPassword(options, output, password, !decrypting)) {
        Report(err, *failure);
        return failure->status;
    }

    TerminalUi ui(output, options.verbosity);
    RunChoices choices;
    choices.replaceExisting = options.force;
    const BatchReport report = RunBatch(paths, password, password, settings, ui, choices);
    // Where to read the whole story, for whoever asked to be told more.
    if (options.verbosity == CliOptions::Verbosity::Verbose && settings.checkLogging != 0 &&
        report.outcome != BatchReport::Outcome::PasswordRejected && report.outcome != BatchReport::Outcome::NothingGiven) {
        out << "Log: " << SettingsTextBytes(settings.editLogFilename) << '\n';
        out.flush();
    }
    return ExitStatus(report);
}

} // namespace tessarin
