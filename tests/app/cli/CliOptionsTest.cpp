#include "CliOptions.h"

#include <gtest/gtest.h>

#include <functional>

namespace tessarin {
namespace {

using Args = std::vector<std::string_view>;

struct ParseCase {
    ParseCase(Args a, std::function<bool(const CliOptions&, const AppSettings&)> e, std::string message = {},
              std::string h = {})
        : args(std::move(a)), expect(std::move(e)), error(std::move(message)), hint(std::move(h))
    {
    }

    Args args;
    // For a valid command line: what it must give over the defaults.
    std::function<bool(const CliOptions&, const AppSettings&)> expect;
    // For an invalid one: the error and hint.
    std::string error;
    std::string hint;
};

std::string Joined(const Args& args)
{
    std::string text;
    for (const std::string_view arg : args)
        text += std::string(text.empty() ? "" : " ") + "'" + std::string(arg) + "'";
    return text;
}

TEST(CliOptions, ParsingTable)
{
    using O = CliOptions;
    using S = AppSettings;
    const ParseCase cases[] = {
        // Direction; the last one given wins.
        {{"-e", "x"}, [](const O& o, const S& s) { return s.encrypt == 0 && o.paths == std::vector<std::string>{"x"}; }},
        {{"-d", "x"}, [](const O&, const S& s) { return s.encrypt == 1; }},
        {{"--auto", "x"}, [](const O&, const S& s) { return s.encrypt == 2; }},
        {{"-e", "--decrypt", "x"}, [](const O&, const S& s) { return s.encrypt == 1; }},
        // Cipher.
        {{"-k", "128", "x"}, [](const O&, const S& s) { return s.comboKeyLen == 0; }},
        {{"--key-bits=192", "x"}, [](const O&, const S& s) { return s.comboKeyLen == 1; }},
        {{"-k256", "x"}, [](const O&, const S& s) { return s.comboKeyLen == 2; }},
        {{"-b", "128", "x"}, [](const O&, const S& s) { return s.comboBlockSize == 0; }},
        {{"--block-bits", "192", "x"}, [](const O&, const S& s) { return s.comboBlockSize == 1; }},
        {{"-m", "cfb", "x"}, [](const O&, const S& s) { return s.comboOperMode == 1; }},
        {{"--mode", "ECB", "x"}, [](const O&, const S& s) { return s.comboOperMode == 2; }},
        {{"--mode=cbc", "x"}, [](const O&, const S& s) { return s.comboOperMode == 0; }},
        {{"-k", "512", "x"}, {}, "invalid value '512' for --key-bits", "choose 128, 192 or 256"},
        {{"-m", "xts", "x"}, {}, "invalid value 'xts' for --mode", "choose cbc, cfb or ecb"},
        // Compression.
        {{"-z", "gzip", "x"}, [](const O&, const S& s) { return s.checkFilterCompress == 1 && s.comprFamily == 0; }},
        {{"--compress", "bzip2", "x"}, [](const O&, const S& s) { return s.checkFilterCompress == 1 && s.comprFamily == 1; }},
        {{"-z", "bzip2", "-z", "none", "x"}, [](const O&, const S& s) { return s.checkFilterCompress == 0; }},
        {{"-z", "zip", "x"}, {}, "invalid value 'zip' for --compress", "choose none, gzip or bzip2"},
        {{"-l", "fastest", "x"}, [](const O&, const S& s) { return s.comprLevel == 0; }},
        {{"--level", "best", "x"}, [](const O&, const S& s) { return s.comprLevel == 4; }},
        {{"-l", "9", "x"}, {}, "invalid value '9' for --level", "choose fastest, fast, normal, good or best"},
        {{"--exclude", "*.iso *.7z", "x"}, [](const O&, const S& s) { return s.editFilterExclusionList == "*.iso *.7z"; }},
        {{"--exclude=", "x"}, [](const O&, const S& s) { return s.editFilterExclusionList.isEmpty(); }},
        {{"--exclude-case-sensitive", "x"}, [](const O&, const S& s) { return s.checkFilterExclusion == 1; }},
        // Selection.
        {{"-p", "*.txt", "x"}, [](const O&, const S& s) { return s.editPattern == "*.txt"; }},
        {{"--pattern=", "x"}, {}, "the pattern is empty", "give '*' for every file"},
        {{"--no-recursive", "x"}, [](const O&, const S& s) { return s.checkRecursive == 0; }},
        {{"--no-recursive", "-r", "x"}, [](const O&, const S& s) { return s.checkRecursive == 1; }},
        {{"--ignore-case", "x"}, [](const O&, const S& s) { return s.checkSensive == 0; }},
        {{"--ignore-case", "--case-sensitive", "x"}, [](const O&, const S& s) { return s.checkSensive == 1; }},
        // Output.
        {{"--no-aes-ext", "--mangle", "--keep", "--wipe", "x"},
         [](const O&, const S& s) {
             return s.checkChangeExt == 0 && s.checkMangling == 1 && s.checkKeepOriginal == 1 && s.checkWiping == 1;
         }},
        {{"--no-aes-ext", "--aes-ext", "--mangle", "--no-mangle", "--keep", "--no-keep", "--wipe", "--no-wipe", "x"},
         [](const O&, const S& s) {
             return s.checkChangeExt == 1 && s.checkMangling == 0 && s.checkKeepOriginal == 0 && s.checkWiping == 0;
         }},
        // Log.
        {{"--log", "/x/l.txt", "x"},
         [](const O&, const S& s) { return s.checkLogging == 1 && s.editLogFilename == "/x/l.txt"; }},
        {{"--log", "/x/l.txt", "--no-log", "x"}, [](const O&, const S& s) { return s.checkLogging == 0; }},
        {{"--log", "", "x"}, {}, "the log file name is empty", "give a file name, or --no-log"},
        // Password.
        {{"--password-file", "pw", "x"},
         [](const O& o, const S&) { return o.passwordSource == O::PasswordSource::File && o.passwordFile == "pw"; }},
        {{"--password-stdin", "x"}, [](const O& o, const S&) { return o.passwordSource == O::PasswordSource::Stdin; }},
        {{"x"}, [](const O& o, const S&) { return o.passwordSource == O::PasswordSource::Terminal; }},
        {{"--password-stdin", "--password-file", "pw", "x"}, {}, "--password-file and --password-stdin exclude each other", ""},
        {{"--password", "secret", "x"},
         {},
         "unknown option --password",
         "a password is never taken from the command line: use --password-file FILE or --password-stdin, or type it "
         "when asked"},
        // Other options.
        {{"--defaults", "x"}, [](const O& o, const S&) { return o.defaults; }},
        {{"x"}, [](const O& o, const S&) { return !o.defaults && o.verbosity == O::Verbosity::Normal; }},
        {{"-q", "x"}, [](const O& o, const S&) { return o.verbosity == O::Verbosity::Quiet; }},
        {{"--quiet", "--verbose", "x"}, [](const O& o, const S&) { return o.verbosity == O::Verbosity::Verbose; }},
        {{"-h"}, [](const O& o, const S&) { return o.action == O::Action::Help; }},
        {{"--version"}, [](const O& o, const S&) { return o.action == O::Action::Version; }},
        {{"--version", "--help"}, [](const O& o, const S&) { return o.action == O::Action::Help; }},
        // Spelling.
        {{"-dr", "x"}, [](const O&, const S& s) { return s.encrypt == 1 && s.checkRecursive == 1; }},
        {{"-rk", "128", "x"}, [](const O&, const S& s) { return s.comboKeyLen == 0; }},
        {{"--", "-e", "--keep"},
         [](const O& o, const S& s) {
             return s.encrypt == 0 && s.checkKeepOriginal == 0 && o.paths == std::vector<std::string>{"-e", "--keep"};
         }},
        {{"a", "-d", "b"}, [](const O& o, const S& s) { return s.encrypt == 1 && o.paths == std::vector<std::string>{"a", "b"}; }},
        {{"-", "x"}, [](const O& o, const S&) { return o.paths == std::vector<std::string>{"-", "x"}; }},
        // Checking, listing and pipes.
        {{"-t", "x"}, [](const O& o, const S&) { return o.work == O::Work::Test && !o.PipeMode(); }},
        {{"--info", "--json", "-d", "x"}, [](const O& o, const S&) { return o.work == O::Work::Info && o.json; }},
        {{"-e", "-"}, [](const O& o, const S& s) { return o.PipeMode() && s.encrypt == 0 && o.storedName == "stdin"; }},
        {{"-e", "--", "-"}, [](const O& o, const S&) { return !o.PipeMode() && o.paths == std::vector<std::string>{"-"}; }},
        {{"-e", "--name", "data.tar", "-"}, [](const O& o, const S&) { return o.storedName == "data.tar"; }},
        {{"--password-fd", "3", "x"},
         [](const O& o, const S&) { return o.passwordSource == O::PasswordSource::Descriptor && o.passwordFd == 3; }},
        {{"--log", "l", "-t", "x"}, [](const O& o, const S&) { return o.logGiven; }},
        {{"-t", "-e", "x"}, {}, "--test reads containers: it takes no --encrypt or --auto", ""},
        {{"--info", "-a", "x"}, {}, "--info reads containers: it takes no --encrypt or --auto", ""},
        {{"-t", "--info", "x"}, {}, "--info and --test exclude each other", ""},
        {{"--json", "x"}, {}, "--json goes with --info", ""},
        {{"--name", "n", "x"}, {}, "--name goes with '-', the container made from standard input", ""},
        {{"-e", "--name", "a/b", "-"}, {}, "invalid name 'a/b' for --name",
         "give a file name without a folder, shorter than 1024 bytes"},
        {{"-e", "--name", "..", "-"}, {}, "invalid name '..' for --name",
         "give a file name without a folder, shorter than 1024 bytes"},
        {{"--password-fd", "x", "y"}, {}, "invalid value 'x' for --password-fd",
         "give the number of an open file descriptor, as in --password-fd 3"},
        {{"--password-fd", "-1", "y"}, {}, "invalid value '-1' for --password-fd",
         "give the number of an open file descriptor, as in --password-fd 3"},
        {{"--password-fd", "3", "--password-file", "pw", "x"}, {},
         "--password-fd excludes --password-file and --password-stdin", ""},
        {{"-d", "--password-stdin", "-"}, {}, "standard input carries the data with '-', not the password",
         "use --password-file FILE or --password-fd N"},
        {{"-d", "--password-fd", "0", "-"}, {}, "standard input carries the data with '-', not the password",
         "use --password-file FILE or another --password-fd"},
        {{"x"}, [](const O& o, const S&) { return o.jobs == 0; }},
        {{"-j", "3", "x"}, [](const O& o, const S&) { return o.jobs == 3; }},
        {{"--jobs=99999999999", "x"}, [](const O& o, const S&) { return o.jobs == 8; }},
        {{"-j", "0", "x"}, {}, "invalid value '0' for --jobs", "give how many files to work on at once, from 1 to 8"},
        {{"--jobs", "2x", "x"}, {}, "invalid value '2x' for --jobs", "give how many files to work on at once, from 1 to 8"},
        // Errors.
        {{}, {}, "no files or folders given", "usage: tessarin [OPTIONS] PATH...; see 'tessarin --help'"},
        {{"-e"}, {}, "no files or folders given", "usage: tessarin [OPTIONS] PATH...; see 'tessarin --help'"},
        {{"-x", "a"}, {}, "unknown option -x", "see 'tessarin --help'"},
        {{"--bogus", "a"}, {}, "unknown option --bogus", "see 'tessarin --help'"},
        {{"a", "-k"}, {}, "-k needs a value", ""},
        {{"a", "--mode"}, {}, "--mode needs a value", ""},
        {{"--encrypt=yes", "a"}, {}, "--encrypt takes no value", ""},
        {{""}, {}, "an empty path was given", ""},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(Joined(c.args));
        const CliParse parsed = ParseCli(c.args);
        if (!c.error.empty()) {
            ASSERT_TRUE(parsed.error.has_value());
            EXPECT_EQ(parsed.error->message, c.error);
            EXPECT_EQ(parsed.error->hint, c.hint);
            continue;
        }
        ASSERT_FALSE(parsed.error.has_value()) << parsed.error->message;
        AppSettings settings;
        parsed.options.ApplyTo(settings);
        EXPECT_TRUE(c.expect(parsed.options, settings));
    }
}

TEST(CliOptions, OptionsOverOtherSettingsChangeOnlyWhatTheyName)
{
    AppSettings saved;
    saved.comboOperMode = 2;
    saved.checkChangeExt = 0;
    saved.editPattern = "*.doc";
    const CliParse parsed = ParseCli(Args{"-m", "cbc", "x"});
    ASSERT_FALSE(parsed.error);
    parsed.options.ApplyTo(saved);
    EXPECT_EQ(saved.comboOperMode, 0);
    EXPECT_EQ(saved.checkChangeExt, 0);
    EXPECT_EQ(saved.editPattern, "*.doc");
}

TEST(CliOptions, HelpNamesEveryOption)
{
    const std::string help = CliHelpText();
    for (const char* option :
         {"--encrypt", "--decrypt", "--auto", "--key-bits", "--block-bits", "--mode", "--compress", "--level", "--exclude",
          "--exclude-case-sensitive", "--pattern", "--recursive", "--no-recursive", "--case-sensitive", "--ignore-case",
          "--aes-ext", "--no-aes-ext", "--mangle", "--no-mangle", "--keep", "--no-keep", "--wipe", "--no-wipe", "--log",
          "--no-log", "--password-file", "--password-stdin", "--defaults", "--quiet", "--verbose", "--help", "--version"})
        EXPECT_TRUE(help.find(std::string(option) + " ") != std::string::npos ||
                    help.find(std::string(option) + ",") != std::string::npos ||
                    help.find(std::string(option) + "\n") != std::string::npos)
            << option;
}

} // namespace
} // namespace tessarin
