#include "CliOptions.h"

#include "application/BatchRun.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <functional>

namespace tessarin {

namespace {

using Int = std::int32_t AppSettings::*;
using Text = SettingsText AppSettings::*;

// A named choice of an option's value and the index the settings keep.
struct Choice {
    const char* name;
    std::int32_t index;
};

constexpr std::array<Choice, 3> Bits{{{"128", 0}, {"192", 1}, {"256", 2}}};
constexpr std::array<Choice, 3> Modes{{{"cbc", 0}, {"cfb", 1}, {"ecb", 2}}};
constexpr std::array<Choice, 3> Families{{{"none", -1}, {"gzip", 0}, {"bzip2", 1}}};
constexpr std::array<Choice, 5> Levels{{{"fastest", 0}, {"fast", 1}, {"normal", 2}, {"good", 3}, {"best", 4}}};

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

template <std::size_t N>
std::optional<std::int32_t> Pick(const std::array<Choice, N>& choices, std::string_view value)
{
    const std::string wanted = Lower(value);
    for (const Choice& c : choices) {
        if (wanted == c.name)
            return c.index;
    }
    return std::nullopt;
}

template <std::size_t N>
std::string Names(const std::array<Choice, N>& choices)
{
    std::string names;
    for (std::size_t i = 0; i < N; ++i)
        names += (i == 0 ? "" : i + 1 == N ? " or " : ", ") + std::string(choices[i].name);
    return names;
}

SettingsText Decoded(std::string_view bytes)
{
    return SettingsTextFromBytes(std::string(bytes));
}

class Parser {
public:
    explicit Parser(std::span<const std::string_view> args) : m_args(args) {}

    CliParse Run();

private:
    struct Option {
        char shortName;  // 0: none
        const char* longName;
        bool takesValue;
        std::function<void(Parser&, std::string_view)> apply;
    };
    static const std::vector<Option>& Options();

    void Fail(std::string message, std::string hint = {})
    {
        if (!m_result.error)
            m_result.error = CliError{std::move(message), std::move(hint)};
    }
    void SetInt(Int field, std::int32_t value) { m_result.options.integers.push_back({field, value}); }
    void SetText(Int flag, Text field, std::string_view value)
    {
        if (flag)
            SetInt(flag, 1);
        m_result.options.strings.push_back({field, Decoded(value)});
    }
    template <std::size_t N>
    void SetChoice(Int field, const std::array<Choice, N>& choices, const char* option, std::string_view value)
    {
        if (const auto index = Pick(choices, value))
            SetInt(field, *index);
        else
            Fail("invalid value '" + std::string(value) + "' for " + option, std::string("choose ") + Names(choices));
    }
    void SetPasswordSource(CliOptions::PasswordSource source, std::string_view file)
    {
        CliOptions& o = m_result.options;
        if (o.passwordSource != CliOptions::PasswordSource::Terminal && o.passwordSource != source)
            Fail(source == CliOptions::PasswordSource::Descriptor ||
                         o.passwordSource == CliOptions::PasswordSource::Descriptor
                     ? "--password-fd excludes --password-file and --password-stdin"
                     : "--password-file and --password-stdin exclude each other");
        o.passwordSource = source;
        o.passwordFile = std::string(file);
    }
    void SetWork(CliOptions::Work work, const char* option)
    {
        CliOptions& o = m_result.options;
        if (o.work != CliOptions::Work::Process && o.work != work)
            Fail(std::string(option) + " and " + (work == CliOptions::Work::Test ? "--info" : "--test") +
                 " exclude each other");
        o.work = work;
    }
    // Checks of the whole command line once every option is known.
    void CheckCombinations();
    const Option* FindLong(std::string_view name) const;
    const Option* FindShort(char name) const;
    // The value of an option: attached, or the next argument.
    std::optional<std::string_view> Value(std::optional<std::string_view> attached, std::size_t& index,
                                          const std::string& spelled);

    std::span<const std::string_view> m_args;
    CliParse m_result;
};

const std::vector<Parser::Option>& Parser::Options()
{
    using P = Parser;
    using S = CliOptions::PasswordSource;
    using V = CliOptions::Verbosity;
    static const std::vector<Option> options{
        {'e', "encrypt", false, [](P& p, auto) { p.SetInt(&AppSettings::encrypt, 0); }},
        {'d', "decrypt", false, [](P& p, auto) { p.SetInt(&AppSettings::encrypt, 1); }},
        {'a', "auto", false, [](P& p, auto) { p.SetInt(&AppSettings::encrypt, 2); }},
        {'k', "key-bits", true, [](P& p, auto v) { p.SetChoice(&AppSettings::comboKeyLen, Bits, "--key-bits", v); }},
        {'b', "block-bits", true,
         [](P& p, auto v) { p.SetChoice(&AppSettings::comboBlockSize, Bits, "--block-bits", v); }},
        {'m', "mode", true, [](P& p, auto v) { p.SetChoice(&AppSettings::comboOperMode, Modes, "--mode", v); }},
        {'z', "compress", true,
         [](P& p, auto v) {
             const auto family = Pick(Families, v);
             if (!family) {
                 p.Fail("invalid value '" + std::string(v) + "' for --compress", "choose " + Names(Families));
             } else if (*family < 0) {
                 p.SetInt(&AppSettings::checkFilterCompress, 0);
             } else {
                 p.SetInt(&AppSettings::checkFilterCompress, 1);
                 p.SetInt(&AppSettings::comprFamily, *family);
             }
         }},
        {'l', "level", true, [](P& p, auto v) { p.SetChoice(&AppSettings::comprLevel, Levels, "--level", v); }},
        {0, "exclude", true, [](P& p, auto v) { p.SetText(nullptr, &AppSettings::editFilterExclusionList, v); }},
        {0, "exclude-case-sensitive", false, [](P& p, auto) { p.SetInt(&AppSettings::checkFilterExclusion, 1); }},
        {'p', "pattern", true,
         [](P& p, auto v) {
             if (v.empty())
                 p.Fail("the pattern is empty", "give '*' for every file");
             p.SetText(nullptr, &AppSettings::editPattern, v);
         }},
        {'r', "recursive", false, [](P& p, auto) { p.SetInt(&AppSettings::checkRecursive, 1); }},
        {0, "no-recursive", false, [](P& p, auto) { p.SetInt(&AppSettings::checkRecursive, 0); }},
        {0, "case-sensitive", false, [](P& p, auto) { p.SetInt(&AppSettings::checkSensive, 1); }},
        {0, "ignore-case", false, [](P& p, auto) { p.SetInt(&AppSettings::checkSensive, 0); }},
        {0, "aes-ext", false, [](P& p, auto) { p.SetInt(&AppSettings::checkChangeExt, 1); }},
        {0, "no-aes-ext", false, [](P& p, auto) { p.SetInt(&AppSettings::checkChangeExt, 0); }},
        {0, "mangle", false, [](P& p, auto) { p.SetInt(&AppSettings::checkMangling, 1); }},
        {0, "no-mangle", false, [](P& p, auto) { p.SetInt(&AppSettings::checkMangling, 0); }},
        {0, "keep", false, [](P& p, auto) { p.SetInt(&AppSettings::checkKeepOriginal, 1); }},
        {0, "no-keep", false, [](P& p, auto) { p.SetInt(&AppSettings::checkKeepOriginal, 0); }},
        {0, "wipe", false, [](P& p, auto) { p.SetInt(&AppSettings::checkWiping, 1); }},
        {0, "no-wipe", false, [](P& p, auto) { p.SetInt(&AppSettings::checkWiping, 0); }},
        {0, "log", true,
         [](P& p, auto v) {
             if (v.empty())
                 p.Fail("the log file name is empty", "give a file name, or --no-log");
             p.SetText(&AppSettings::checkLogging, &AppSettings::editLogFilename, v);
             p.m_result.options.logGiven = true;
         }},
        {0, "no-log", false,
         [](P& p, auto) {
             p.SetInt(&AppSettings::checkLogging, 0);
             p.m_result.options.logGiven = true;
         }},
        {0, "password-file", true, [](P& p, auto v) { p.SetPasswordSource(S::File, v); }},
        {0, "password-stdin", false, [](P& p, auto) { p.SetPasswordSource(S::Stdin, {}); }},
        {0, "password-fd", true,
         [](P& p, auto v) {
             int fd = -1;
             const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), fd);
             if (error != std::errc() || end != v.data() + v.size() || fd < 0)
                 p.Fail("invalid value '" + std::string(v) + "' for --password-fd",
                        "give the number of an open file descriptor, as in --password-fd 3");
             p.SetPasswordSource(S::Descriptor, {});
             p.m_result.options.passwordFd = fd;
         }},
        {'t', "test", false, [](P& p, auto) { p.SetWork(CliOptions::Work::Test, "--test"); }},
        {0, "info", false, [](P& p, auto) { p.SetWork(CliOptions::Work::Info, "--info"); }},
        {0, "json", false, [](P& p, auto) { p.m_result.options.json = true; }},
        {0, "name", true,
         [](P& p, auto v) {
             if (v.empty() || v == "." || v == ".." || v.find('/') != std::string_view::npos ||
                 v.size() >= 1024)
                 p.Fail("invalid name '" + std::string(v) + "' for --name",
                        "give a file name without a folder, shorter than 1024 bytes");
             p.m_result.options.storedName = std::string(v);
             p.m_result.options.storedNameGiven = true;
         }},
        {0, "defaults", false, [](P& p, auto) { p.m_result.options.defaults = true; }},
        {'f', "force", false, [](P& p, auto) { p.m_result.options.force = true; }},
        {'j', "jobs", true,
         [](P& p, auto v) {
             int jobs = 0;
             const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), jobs);
             if (error == std::errc::result_out_of_range && end == v.data() + v.size() && !v.starts_with('-'))
                 jobs = MostJobs;  // a huge count asks for as many as there may be
             else if (error != std::errc() || end != v.data() + v.size() || jobs < 1)
                 p.Fail("invalid value '" + std::string(v) + "' for --jobs",
                        "give how many files to work on at once, from 1 to " + std::to_string(MostJobs));
             p.m_result.options.jobs = std::min(jobs, MostJobs);
         }},
        {'q', "quiet", false, [](P& p, auto) { p.m_result.options.verbosity = V::Quiet; }},
        {'v', "verbose", false, [](P& p, auto) { p.m_result.options.verbosity = V::Verbose; }},
        {'h', "help", false, [](P& p, auto) { p.m_result.options.action = CliOptions::Action::Help; }},
        {0, "version", false,
         [](P& p, auto) {
             if (p.m_result.options.action != CliOptions::Action::Help)
                 p.m_result.options.action = CliOptions::Action::Version;
         }},
    };
    return options;
}

const Parser::Option* Parser::FindLong(std::string_view name) const
{
    for (const Option& o : Options()) {
        if (name == o.longName)
            return &o;
    }
    return nullptr;
}

const Parser::Option* Parser::FindShort(char name) const
{
    for (const Option& o : Options()) {
        if (o.shortName != 0 && o.shortName == name)
            return &o;
    }
    return nullptr;
}

std::optional<std::string_view> Parser::Value(std::optional<std::string_view> attached, std::size_t& index,
                                              const std::string& spelled)
{
    if (attached)
        return attached;
    if (index + 1 < m_args.size())
        return m_args[++index];
    Fail(spelled + " needs a value");
    return std::nullopt;
}

CliParse Parser::Run()
{
    bool onlyPaths = false;
    for (std::size_t i = 0; i < m_args.size() && !m_result.error; ++i) {
        const std::string_view arg = m_args[i];
        if (onlyPaths || arg.size() < 2 || arg[0] != '-') {
            if (arg.empty())
                Fail("an empty path was given");
            if (!onlyPaths && arg == "-")
                m_result.options.dashAsStreams = true;
            m_result.options.paths.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyPaths = true;
            continue;
        }
        if (arg.starts_with("--")) {
            const std::string_view body = arg.substr(2);
            const auto equals = body.find('=');
            const std::string_view name = body.substr(0, equals);
            const Option* option = FindLong(name);
            if (option == nullptr) {
                if (name.starts_with("pass"))
                    Fail("unknown option --" + std::string(name),
                         "a password is never taken from the command line: use --password-file FILE or "
                         "--password-stdin, or type it when asked");
                else
                    Fail("unknown option --" + std::string(name), "see 'tessarin --help'");
                break;
            }
            std::optional<std::string_view> attached;
            if (equals != std::string_view::npos)
                attached = body.substr(equals + 1);
            if (!option->takesValue) {
                if (attached)
                    Fail("--" + std::string(name) + " takes no value");
                else
                    option->apply(*this, {});
                continue;
            }
            if (const auto value = Value(attached, i, "--" + std::string(name)))
                option->apply(*this, *value);
            continue;
        }
        // One or more short options: "-er", "-k256", "-k 256".
        for (std::size_t at = 1; at < arg.size() && !m_result.error; ++at) {
            const Option* option = FindShort(arg[at]);
            if (option == nullptr) {
                Fail("unknown option -" + std::string(1, arg[at]), "see 'tessarin --help'");
                break;
            }
            if (!option->takesValue) {
                option->apply(*this, {});
                continue;
            }
            std::optional<std::string_view> attached;
            if (at + 1 < arg.size())
                attached = arg.substr(at + 1);
            if (const auto value = Value(attached, i, "-" + std::string(1, arg[at])))
                option->apply(*this, *value);
            break;
        }
    }
    if (!m_result.error && m_result.options.action == CliOptions::Action::Run && m_result.options.paths.empty())
        Fail("no files or folders given", "usage: tessarin [OPTIONS] PATH...; see 'tessarin --help'");
    if (!m_result.error && m_result.options.action == CliOptions::Action::Run)
        CheckCombinations();
    return std::move(m_result);
}

void Parser::CheckCombinations()
{
    const CliOptions& o = m_result.options;
    bool encrypting = false;
    for (const CliOptions::IntegerSetting& s : o.integers) {
        if (s.field == &AppSettings::encrypt)
            encrypting = s.value != 1;
    }
    if (o.work != CliOptions::Work::Process && encrypting)
        return Fail(std::string(o.work == CliOptions::Work::Test ? "--test" : "--info") +
                        " reads containers: it takes no --encrypt or --auto");
    if (o.json && o.work != CliOptions::Work::Info)
        return Fail("--json goes with --info");
    // Only "-" alone means the standard streams; among other paths it is a
    // file of that name, as it always was.
    const bool dash = o.PipeMode();
    if (o.storedNameGiven && !dash)
        return Fail("--name goes with '-', the container made from standard input");
    if (dash && o.passwordSource == CliOptions::PasswordSource::Stdin)
        return Fail("standard input carries the data with '-', not the password",
                    "use --password-file FILE or --password-fd N");
    if (dash && o.passwordSource == CliOptions::PasswordSource::Descriptor && o.passwordFd == 0)
        return Fail("standard input carries the data with '-', not the password",
                    "use --password-file FILE or another --password-fd");
}

} // namespace

void CliOptions::ApplyTo(AppSettings& settings) const
{
    for (const IntegerSetting& s : integers)
        settings.*s.field = s.value;
    for (const StringSetting& s : strings)
        settings.*s.field = s.value;
}

CliParse ParseCli(std::span<const std::string_view> args)
{
    return Parser(args).Run();
}

std::string CliHelpText()
{
    return R"(Usage: tessarin [OPTIONS] PATH...
       tessarin -t|--info [OPTIONS] PATH...
       tessarin -e|-d [OPTIONS] - < INPUT > OUTPUT
Encrypts or decrypts in place every file found under the PATHs, as a drop
of those names on the Tessarin window does, and prints the status report.
Options not given take the settings saved by the window; none is saved.

Direction:
  -e, --encrypt              encrypt every file
  -d, --decrypt              decrypt every file
  -a, --auto                 decrypt containers, encrypt everything else
Checking (nothing is written or deleted):
  -t, --test                 decrypt every container found as -d would,
                             decompression and CRC included, and report
                             each one OK or with its error
      --info                 print what each container's header tells:
                             stored name, sizes, compression, time written
      --json                 with --info: one JSON object per line
Pipes ('-' as the only PATH):
  -e -                       encrypt standard input into one container on
                             standard output (never to a terminal)
  -d -                       decrypt one container from standard input;
                             the content is written only once it checked out
      --name NAME            the name stored for standard input ("stdin")
Cipher:
  -k, --key-bits BITS        key length: 128, 192 or 256
  -b, --block-bits BITS      block size: 128, 192 or 256
  -m, --mode MODE            chaining mode: cbc, cfb or ecb
Compression before encrypting:
  -z, --compress KIND        none, gzip or bzip2
  -l, --level LEVEL          fastest, fast, normal, good or best
      --exclude "LIST"       blank-separated patterns of files never compressed
      --exclude-case-sensitive
                             the exclusion patterns are case-sensitive
Selection:
  -p, --pattern PATTERN      only files whose names match ("*" and "?")
  -r, --recursive            search folders and all their subfolders
      --no-recursive         a folder lists nothing; give files or 'folder/*'
      --case-sensitive       the pattern is case-sensitive
      --ignore-case          the pattern ignores case
Output:
      --aes-ext, --no-aes-ext    append ".aes" to encrypted files, or not
      --mangle, --no-mangle      give encrypted files a mangled name, or not
      --keep, --no-keep          keep the original files, or delete them
      --wipe, --no-wipe          overwrite files before deleting them, or not
  -f, --force                replace existing files that outputs are named
                             after (otherwise such a file is an error)
  -j, --jobs N               work on up to N files at once (1 to 8; by
                             default one per processor, at most 8); the
                             log, the report and the order in which the
                             files are committed stay those of one at a time
Log:
      --log FILE             write the log of this batch to FILE
      --no-log               write no log
Password (never taken from the command line, never stored):
      --password-file FILE   the first line of FILE
      --password-stdin       the first line of standard input
      --password-fd N        the first line read from file descriptor N
                             otherwise it is asked twice on the terminal
Other:
      --defaults             ignore the settings saved by the window
  -q, --quiet                print errors only
  -v, --verbose              print every message, details too
  -h, --help                 show this help
      --version              show the versions of the engine and its libraries
  --                         ends the options: every argument after it is a
                             path, and '-' a file of that name

Ctrl-C, SIGTERM and SIGHUP stop the batch: the current file is rolled back
and the report shows what was done before. So does an output that is closed
(a reader that went away): 141, as for SIGPIPE.
Exit status: 0 every file processed (with -t: every container checked
out), 1 some failed, 2 usage or password error, 128 + the signal's number
when stopped (130 for Ctrl-C).
)";
}

} // namespace tessarin
