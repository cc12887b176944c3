// Crash test of the command line: batches over a tree of a user's files are
// killed with SIGKILL at random moments, the same batch is run once more,
// and then every original must still be recoverable byte for byte from what
// is on disk, with no temporary, intermediate or list file left anywhere.
//
//   crash_test [--seed N] [--trials N] [--aimed N] [--keep]
//
// It works in "crash-work" under its build folder, or under the folder that
// TESSARIN_CRASH_DIR names, and removes it at the end unless --keep is given.
// Every trial's settings come from a cycle over direction, compression,
// wiping and naming; its moment of the kill is drawn from the seed, evenly
// within the time an undisturbed batch of the same settings takes. Aimed
// trials go round the settings without compression and kill once a folder
// holds a drawn number of outputs waiting for its shared commit, or, every
// other pair of them, once the first of those is renamed after the shared
// flush.
#include "CrashProcess.h"
#include "CrashScan.h"
#include "CrashSettings.h"
#include "CrashTree.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tessarin::crash;

namespace {

constexpr std::uint64_t DefaultSeed = 20240607;
constexpr unsigned DefaultTrials = 100;
constexpr unsigned DefaultAimed = 16;
constexpr unsigned MostWaiting = 8;  // the aimed kills wait for 2 to this many temporary files
constexpr std::size_t ShownPerTrial = 4;  // findings listed per trial; all are counted

struct Totals {
    unsigned trials = 0;
    unsigned landed = 0;
    unsigned aimed = 0, aimedLanded = 0;
    std::uint64_t checked = 0;
    std::uint64_t lost = 0;
    std::uint64_t left = 0;
    unsigned abnormal = 0;  // runs after the kill that crashed, hung or refused to start
};

// One trial's findings.
struct Findings {
    std::map<std::string, std::string> lost;
    Leftovers left;
    std::vector<std::string> abnormal;
    std::vector<std::string> errors;  // the program's own error lines, for the reader
};

class CrashTest {
public:
    CrashTest(std::uint64_t seed, unsigned trials, unsigned aimed, const fs::path& base);
    int Run();
    void Clean() { fs::remove_all(m_work); }

private:
    void SetUpUser();
    std::vector<std::string> Args(bool encrypt, const Settings& settings) const
    {
        return settings.Args(encrypt, m_password.string(), m_root.string());
    }
    // phase: what the run is for, to account for the time it took.
    RunResult Batch(const char* phase, bool encrypt, const Settings& settings, double limit,
                    std::optional<double> killAfter = std::nullopt, const Aim* aim = nullptr);
    // An undisturbed run that must succeed on every file; its time.
    double Baseline(bool encrypt, const Settings& settings, Findings& findings);
    // The runs after the kill may fail files (exit 1), never crash.
    void Undisturbed(bool encrypt, const Settings& settings, const char* what, double limit, Findings& findings);
    // waiting: 0 for a kill at a moment drawn within duration; else the
    // number of temporary files in one folder at which the kill is aimed.
    void Trial(unsigned index, bool encrypt, const Settings& settings, double duration, const Tree& start,
               unsigned waiting = 0);
    void Report(const std::string& heading, const Findings& findings);
    void ClearListFolder();

    std::uint64_t m_seed;
    unsigned m_trials;
    unsigned m_aimed;
    fs::path m_work;
    fs::path m_root;
    fs::path m_listFolder;
    fs::path m_password;
    fs::path m_output;
    Tree m_originals;
    Totals m_totals;
    std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> m_byConfiguration;  // lost, left
    std::map<std::string, double> m_seconds;  // time spent in the program, by phase
};

CrashTest::CrashTest(std::uint64_t seed, unsigned trials, unsigned aimed, const fs::path& base)
    : m_seed(seed),
      m_trials(trials),
      m_aimed(aimed),
      m_work(base / "crash-work"),
      m_root(m_work / "tree"),
      m_listFolder(m_work / "runtime"),
      m_password(m_work / "password"),
      m_output(m_work / "output.txt"),
      m_originals(MakeTree(seed, CRASH_TREE_DIVISOR))
{
    SetUpUser();
}

void CrashTest::SetUpUser()
{
    fs::remove_all(m_work);
    fs::create_directories(m_work / "home" / ".config");
    fs::create_directories(m_work / "home" / ".local" / "state");
    // The list folder must be private, or the program refuses it.
    fs::create_directories(m_listFolder);
    fs::permissions(m_listFolder, fs::perms::owner_all, fs::perm_options::replace);
    // Everything the program and its libraries may read or write of a
    // user's lands in the test's own folder.
    ::setenv("HOME", (m_work / "home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (m_work / "home" / ".config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (m_work / "home" / ".local" / "state").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", m_listFolder.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (m_work / "home" / ".local" / "share").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (m_work / "home" / ".cache").c_str(), 1);
    std::FILE* file = std::fopen(m_password.c_str(), "w");
    if (file == nullptr || std::fputs("crash trial password\n", file) < 0 || std::fclose(file) != 0)
        throw std::runtime_error("cannot write the password file");
}

RunResult CrashTest::Batch(const char* phase, bool encrypt, const Settings& settings, double limit,
                           std::optional<double> killAfter, const Aim* aim)
{
    RunResult run = RunProgram(TESSARIN_CLI, Args(encrypt, settings), m_output, killAfter, limit, aim);
    m_seconds[phase] += run.seconds;
    return run;
}

void CollectErrors(const std::string& output, const char* what, std::vector<std::string>& errors)
{
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        // Files a rerun finds done already fail as they should.
        if (line.find("ERROR") == std::string::npos || line.find("Already encrypted") != std::string::npos ||
            line.find("Not AES file") != std::string::npos)
            continue;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        errors.push_back(std::string(what) + ": " + line);
    }
}

double CrashTest::Baseline(bool encrypt, const Settings& settings, Findings& findings)
{
    const RunResult run = Batch("undisturbed", encrypt, settings, 600);
    if (!run.exited || run.code != 0)
        findings.abnormal.push_back(std::string(encrypt ? "encryption" : "decryption") + " undisturbed: " +
                                    run.Describe());
    CollectErrors(run.output, "undisturbed", findings.errors);
    return run.seconds;
}

void CrashTest::Undisturbed(bool encrypt, const Settings& settings, const char* what, double limit,
                            Findings& findings)
{
    const RunResult run = Batch(what, encrypt, settings, limit);
    if (!run.exited || (run.code != 0 && run.code != 1))
        findings.abnormal.push_back(std::string(what) + ": " + run.Describe());
    CollectErrors(run.output, what, findings.errors);
}

void CrashTest::ClearListFolder()
{
    for (const auto& entry : fs::directory_iterator(m_listFolder))
        fs::remove_all(entry.path());
}

void CrashTest::Report(const std::string& heading, const Findings& findings)
{
    std::cout << heading << "  lost " << findings.lost.size() << "  left " << findings.left.size()
              << (findings.abnormal.empty() ? "" : "  ABNORMAL EXIT") << "\n";
    std::size_t shown = 0;
    for (const std::string& line : findings.abnormal)
        std::cout << "    abnormal  " << line << "\n";
    for (const auto& [path, why] : findings.lost) {
        if (shown++ < ShownPerTrial)
            std::cout << "    lost  " << path << ": " << why << "\n";
    }
    shown = 0;
    for (const auto& [path, why] : findings.left) {
        if (shown++ < ShownPerTrial)
            std::cout << "    left  " << path << ": " << why << "\n";
    }
    if (findings.lost.size() + findings.left.size() > 2 * ShownPerTrial)
        std::cout << "    ...\n";
    if (!findings.lost.empty() || !findings.left.empty() || !findings.abnormal.empty()) {
        for (std::size_t i = 0; i < findings.errors.size() && i < 2; ++i)
            std::cout << "    says  " << findings.errors[i] << "\n";
    }
    std::cout.flush();
}

void CrashTest::Trial(unsigned index, bool encrypt, const Settings& settings, double duration, const Tree& start,
                      unsigned waiting)
{
    Random random(m_seed ^ (0xA5A5A5A5ull << 20) ^ (static_cast<std::uint64_t>(index) + 1) * 0x9E3779B97F4A7C15ull);
    const double delay = random.Unit() * duration;
    // Aimed trials in pairs (one each way): at the wait, then at the renames.
    const bool atRename = waiting > 0 && (index - m_trials) % 4 >= 2;
    const Aim aim{m_root, waiting, atRename};
    // A run after the kill is deemed hung long after any undisturbed one
    // would have ended.
    const double limit = 60 + 20 * duration;

    LayTree(m_root, start);
    ClearListFolder();
    Findings findings;
    const RunResult killed = waiting > 0 ? Batch("killed", encrypt, settings, limit, std::nullopt, &aim)
                                         : Batch("killed", encrypt, settings, limit, delay);
    const bool landed = killed.killSent && killed.KilledBySigkill();
    if (!killed.killSent && (!killed.exited || killed.code != 0))
        findings.abnormal.push_back("run before the kill: " + killed.Describe());

    // The same batch once more: it must finish what was broken off and
    // clean up after it.
    Undisturbed(encrypt, settings, "rerun", limit, findings);
    FindLeftovers(m_root, m_listFolder, settings, m_originals, findings.left);
    if (encrypt) {
        // Whatever the two batches made of the files is decrypted again.
        Undisturbed(false, settings, "recovery", limit, findings);
        FindLeftovers(m_root, m_listFolder, settings, m_originals, findings.left);
    }
    findings.lost = FindLosses(m_root, m_originals);

    ++m_totals.trials;
    m_totals.landed += landed ? 1 : 0;
    m_totals.aimed += waiting > 0 ? 1 : 0;
    m_totals.aimedLanded += waiting > 0 && landed ? 1 : 0;
    m_totals.checked += m_originals.size();
    m_totals.lost += findings.lost.size();
    m_totals.left += findings.left.size();
    m_totals.abnormal += static_cast<unsigned>(findings.abnormal.size());
    auto& tally = m_byConfiguration[std::string(encrypt ? "encrypt " : "decrypt ") + settings.Label()];
    tally.first += findings.lost.size();
    tally.second += findings.left.size();

    char moment[64];
    if (atRename)
        std::snprintf(moment, sizeof moment, "kill at the renames after %u waited", waiting);
    else if (waiting > 0)
        std::snprintf(moment, sizeof moment, "kill at %u waiting in a folder", waiting);
    else
        std::snprintf(moment, sizeof moment, "kill at %6.3f of %6.3f s", delay, duration);
    char heading[200];
    std::snprintf(heading, sizeof heading, "trial %3u  %s %-28s %s  %s", index, encrypt ? "encrypt" : "decrypt",
                  settings.Label().c_str(), moment, landed ? "landed " : "too late");
    Report(heading, findings);
}

int CrashTest::Run()
{
    const std::vector<Settings> all = AllSettings();
    const unsigned cycle = static_cast<unsigned>(2 * all.size());
    std::vector<std::size_t> sharing;  // settings whose outputs wait for a shared commit
    for (std::size_t s = 0; s < all.size(); ++s)
        if (all[s].compression == Compression::None)
            sharing.push_back(s);
    std::cout << "crash test: seed " << m_seed << ", " << m_trials << " trials and " << m_aimed << " aimed, tree of "
              << m_originals.size() << " files, " << TotalBytes(m_originals) / 1024 << " KiB, in "
              << m_root.string() << "\n";

    const auto started = std::chrono::steady_clock::now();
    bool baselineFailed = false;
    for (std::size_t s = 0; s < all.size(); ++s) {
        // Trial t runs combination t % cycle: encryption and decryption
        // alternate, and the settings go round.
        std::vector<unsigned> encrypting, decrypting;
        for (unsigned t = 0; t < m_trials; ++t) {
            if (t % cycle == 2 * s)
                encrypting.push_back(t);
            else if (t % cycle == 2 * s + 1)
                decrypting.push_back(t);
        }
        for (unsigned a = 0; a < m_aimed; ++a)
            if (sharing[a / 2 % sharing.size()] == s)
                (a % 2 == 0 ? encrypting : decrypting).push_back(m_trials + a);
        if (encrypting.empty() && decrypting.empty())
            continue;
        const Settings& settings = all[s];

        // Undisturbed runs of these settings: their times bound the moments
        // of the kills, and the encrypted tree is where decryption trials
        // start from. They must round-trip on their own.
        Findings baseline;
        LayTree(m_root, m_originals);
        ClearListFolder();
        const double encryptTime = Baseline(true, settings, baseline);
        FindLeftovers(m_root, m_listFolder, settings, m_originals, baseline.left);
        const Tree encrypted = ReadTree(m_root);
        const double decryptTime = Baseline(false, settings, baseline);
        FindLeftovers(m_root, m_listFolder, settings, m_originals, baseline.left);
        baseline.lost = FindLosses(m_root, m_originals);
        if (!baseline.lost.empty() || !baseline.left.empty() || !baseline.abnormal.empty()) {
            baselineFailed = true;
            Report("undisturbed round trip " + settings.Label() + " FAILED:", baseline);
        }

        const auto waiting = [&](unsigned t) {  // trials from m_trials on are aimed
            Random random(m_seed ^ (static_cast<std::uint64_t>(t) + 1) * 0xD1B54A32D192ED03ull);
            return t < m_trials ? 0u : static_cast<unsigned>(2 + random.Below(MostWaiting - 1));
        };
        for (const unsigned t : encrypting)
            Trial(t, true, settings, encryptTime, m_originals, waiting(t));
        for (const unsigned t : decrypting)
            Trial(t, false, settings, decryptTime, encrypted, waiting(t));
    }

    std::cout << "\n";
    for (const auto& [label, tally] : m_byConfiguration) {
        if (tally.first + tally.second > 0)
            std::cout << "  " << label << ": lost " << tally.first << ", left behind " << tally.second << "\n";
    }
    std::cout << "crash test: trials " << m_totals.trials << ", kills landed mid-batch " << m_totals.landed
              << " (aimed at a shared commit, its wait or its renames, " << m_totals.aimedLanded << " of "
              << m_totals.aimed << ")"
              << ", files checked " << m_totals.checked << ", files lost " << m_totals.lost
              << ", files left behind " << m_totals.left << ", abnormal exits " << m_totals.abnormal
              << (baselineFailed ? ", undisturbed round trip FAILED" : "") << "\n";
    const double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    double inProgram = 0;
    std::cout << "crash test: " << static_cast<int>(total) << " s in all;";
    for (const auto& [phase, seconds] : m_seconds) {
        std::cout << " " << phase << " runs " << static_cast<int>(seconds) << " s,";
        inProgram += seconds;
    }
    std::cout << " laying out and checking the tree " << static_cast<int>(total - inProgram) << " s\n";
    const bool ok = m_totals.lost == 0 && m_totals.left == 0 && m_totals.abnormal == 0 && !baselineFailed;
    std::cout << (ok ? "crash test: nothing lost, nothing left behind\n" : "crash test: FAILED\n");
    return ok ? 0 : 1;
}

std::uint64_t Number(const char* text, const char* option)
{
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 0);
    if (end == text || *end != '\0')
        throw std::invalid_argument(std::string("not a number for ") + option + ": " + text);
    return value;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        std::uint64_t seed = DefaultSeed;
        unsigned trials = DefaultTrials;
        unsigned aimed = DefaultAimed;
        bool keep = false;
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            if (arg == "--seed" && i + 1 < argc)
                seed = Number(argv[++i], "--seed");
            else if (arg == "--trials" && i + 1 < argc)
                trials = static_cast<unsigned>(Number(argv[++i], "--trials"));
            else if (arg == "--aimed" && i + 1 < argc)
                aimed = static_cast<unsigned>(Number(argv[++i], "--aimed"));
            else if (arg == "--keep")
                keep = true;
            else
                throw std::invalid_argument("usage: crash_test [--seed N] [--trials N] [--aimed N] [--keep]");
        }
        const char* base = std::getenv("TESSARIN_CRASH_DIR");
        CrashTest test(seed, trials, aimed, base && *base ? fs::path(base) : fs::path(CRASH_WORK_BASE));
        int status = 2;
        try {
            status = test.Run();
        } catch (...) {
            if (!keep)
                test.Clean();
            throw;
        }
        if (!keep)
            test.Clean();
        return status;
    } catch (const std::exception& e) {
        std::cerr << "crash test: " << e.what() << "\n";
        return 2;
    }
}
