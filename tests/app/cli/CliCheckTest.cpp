// Checking containers without touching them (-t) and listing what their
// headers tell (--info): nothing under the paths changes, not a byte and
// not a time, whatever the containers hold.
#include "CliFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <map>
#include <sstream>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>

namespace tessarin {
namespace {

using test::Cli;
using test::CliResult;

struct Times {
    timespec access{}, modify{};
};

// Every entry under the folder (files and folders) with its times.
std::map<std::string, Times> TimesUnder(const std::string& folder)
{
    std::map<std::string, Times> times;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        struct stat status {};
        if (::lstat(entry.path().c_str(), &status) == 0 && S_ISREG(status.st_mode))
            times[entry.path().string()] = Times{status.st_atim, status.st_mtim};
    }
    return times;
}

// Puts every file's access time before its modification time: any plain
// read would then move it (as relatime and strictatime both do).
void AgeAccessTimes(const std::string& folder)
{
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        struct stat status {};
        if (::lstat(entry.path().c_str(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        timespec times[2] = {status.st_mtim, status.st_mtim};
        times[0].tv_sec -= 3600;
        ::utimensat(AT_FDCWD, entry.path().c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
}

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t count = 0;
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size())
        ++count;
    return count;
}

// The pipe spools and lists that a run may leave in the private folder.
std::vector<std::string> LeftInRuntime()
{
    std::vector<std::string> left;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || !std::filesystem::exists(runtime))
        return left;
    for (const std::string& name : test::ListFolder(runtime)) {
        if (name.rfind("~pipe-", 0) == 0 || name.rfind("~files.tmp", 0) == 0)
            left.push_back(name);
    }
    return left;
}

class CliCheck : public Cli {
protected:
    // A tree of containers: one per compression family, in folders.
    void MakeTree()
    {
        Make("t/plain.bin", 70000, 11);
        m_plainTotal = 70000 + WriteText("t/gz/text.txt", 3000) + WriteText("t/deep/er/log.txt", 5000);
        ASSERT_EQ(Batch({"--defaults", "-q", "--no-log", "-e", "--aes-ext", Data("t/plain.bin")}).status, 0);
        ASSERT_EQ(Batch({"--defaults", "-q", "--no-log", "-e", "--aes-ext", "-z", "gzip", "-r", Data("t/gz")}).status, 0);
        ASSERT_EQ(
            Batch({"--defaults", "-q", "--no-log", "-e", "--aes-ext", "-z", "bzip2", "-r", Data("t/deep")}).status, 0);
    }
    std::size_t WriteText(const std::string& name, int lines)
    {
        std::string text;
        for (int i = 0; i < lines; ++i)
            text += "line " + std::to_string(i * 7919 % 1000) + " of a text that compresses\n";
        std::filesystem::create_directories(std::filesystem::path(Data(name)).parent_path());
        test::WriteBytes(Data(name), Bytes(text));
        return text.size();
    }
    std::size_t m_plainTotal = 0;
    // The test must leave the tree as it found it: bytes, names and times.
    void ExpectUntouched(const std::map<std::string, std::vector<std::uint8_t>>& bytes,
                         const std::map<std::string, Times>& times)
    {
        // Times first: reading the bytes back moves the access times.
        const auto now = TimesUnder(Data("t"));
        EXPECT_EQ(Snapshot(), bytes);
        ASSERT_EQ(now.size(), times.size());
        for (const auto& [path, before] : times) {
            SCOPED_TRACE(path);
            ASSERT_TRUE(now.contains(path));
            EXPECT_EQ(now.at(path).modify.tv_sec, before.modify.tv_sec);
            EXPECT_EQ(now.at(path).modify.tv_nsec, before.modify.tv_nsec);
            // The owner reads without moving the access time.
            EXPECT_EQ(now.at(path).access.tv_sec, before.access.tv_sec);
            EXPECT_EQ(now.at(path).access.tv_nsec, before.access.tv_nsec);
        }
        EXPECT_TRUE(LeftInRuntime().empty());
    }
};

TEST_F(CliCheck, TestPassesAGoodTreeAndWritesNothing)
{
    MakeTree();
    const auto bytes = Snapshot();
    AgeAccessTimes(Data("t"));
    const auto times = TimesUnder(Data("t"));
    // Saved settings that would delete and log are not used by a check.
    const CliResult r = Batch({"--defaults", "-t", "-r", "--no-keep", "--wipe", Data("t")});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(Count(r.out, "[OK]"), 3u) << r.out;
    // The bytes counted are those of the contents restored.
    EXPECT_NE(r.out.find("3 file(s) processed (" + std::to_string(m_plainTotal) + " bytes), 0 error(s)"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.err, "");
    ExpectUntouched(bytes, times);
    // With no log asked for on the command line, none is written.
    const char* state = std::getenv("XDG_STATE_HOME");
    ASSERT_NE(state, nullptr);
    EXPECT_FALSE(std::filesystem::exists(std::string(state) + "/tessarin/log.txt"));
}

// Each kind of damage is reported with its code against its file; the good
// containers beside it still pass, and nothing changes.
TEST_F(CliCheck, TestReportsEachDamageWithItsCodeAndWritesNothing)
{
    struct Case {
        const char* what;
        const char* victim;  // under t/, a container
        std::function<void(const std::string& path)> damage;
        std::vector<std::string> extra;  // options of the check
        int code;
    };
    const auto flip = [](std::size_t at) {
        return [at](const std::string& path) {
            auto bytes = test::ReadBytes(path);
            bytes.at(at) ^= 0x20;
            test::WriteBytes(path, bytes);
        };
    };
    const auto cut = [](const std::string& path) {
        auto bytes = test::ReadBytes(path);
        bytes.resize(bytes.size() / 2 + 5);
        test::WriteBytes(path, bytes);
    };
    const Case cases[] = {
        {"flipped byte in plain data", "t/plain.bin.aes", flip(40000), {}, -23},
        {"flipped byte in gzip data", "t/gz/text.txt.gz.aes", flip(1300), {}, -23},
        {"flipped byte in the header", "t/deep/er/log.txt.bz.aes", flip(20), {}, -20},
        {"cut container", "t/plain.bin.aes", cut, {}, -23},
        {"cut bzip2 container", "t/deep/er/log.txt.bz.aes", cut, {}, -23},
        {"wrong password", nullptr, nullptr, {"--password-file", "WRONG"}, -20},
        {"wrong mode", nullptr, nullptr, {"-m", "cfb"}, -20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(Data("t"));
        MakeTree();
        if (c.damage)
            c.damage(Data(c.victim));
        std::vector<std::string> args{"--defaults", "-t", "-r", Data("t")};
        std::string password = PasswordFile();
        if (!c.extra.empty() && c.extra[0] == "--password-file") {
            password = Data("../wrong-pw");
            test::WriteBytes(password, Bytes("not the secret\n"));
        } else {
            args.insert(args.begin(), c.extra.begin(), c.extra.end());
        }
        args.insert(args.begin(), {"--password-file", password});
        const auto bytes = Snapshot();
        AgeAccessTimes(Data("t"));
    const auto times = TimesUnder(Data("t"));
        const CliResult r = Run(args);
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        const std::string all = r.out + r.err;
        const std::string error = "ERROR(" + std::to_string(c.code) + "): ";
        if (c.victim) {
            // The error stands on its file's line; the others are OK.
            EXPECT_NE(all.find("Testing " + Data(c.victim) + " " + error), std::string::npos) << all;
            EXPECT_EQ(Count(all, error), 1u) << all;
            EXPECT_EQ(Count(all, "[OK]"), 2u) << all;
            EXPECT_NE(all.find("2 file(s) processed"), std::string::npos) << all;
            EXPECT_NE(all.find("1 error(s)"), std::string::npos) << all;
        } else {
            EXPECT_EQ(Count(all, error), 3u) << all;
            EXPECT_EQ(Count(all, "[OK]"), 0u) << all;
            EXPECT_NE(all.find("3 error(s)"), std::string::npos) << all;
        }
        ExpectUntouched(bytes, times);
    }
}

// A plain file is no container: -t says so, as -d would, and still passes
// the containers beside it.
TEST_F(CliCheck, TestCountsAPlainFileAsNotAContainer)
{
    MakeTree();
    Make("t/notes.txt", 2500, 9);
    const auto bytes = Snapshot();
    AgeAccessTimes(Data("t"));
    const auto times = TimesUnder(Data("t"));
    const CliResult r = Batch({"--defaults", "-t", "-r", Data("t")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE((r.out + r.err).find("ERROR(-20): Not AES file or wrong passwd!"), std::string::npos);
    EXPECT_EQ(Count(r.out + r.err, "[OK]"), 3u);
    ExpectUntouched(bytes, times);
}

// The value of a JSON field in one line of --info --json (numbers and
// strings without escapes).
std::string Field(const std::string& line, const std::string& key)
{
    const std::string tag = "\"" + key + "\":";
    const auto at = line.find(tag);
    if (at == std::string::npos)
        return "<missing " + key + ">";
    auto start = at + tag.size();
    if (line[start] == '"') {
        ++start;
        return line.substr(start, line.find('"', start) - start);
    }
    return line.substr(start, line.find_first_of(",}", start) - start);
}

// Every setting a container can be written with, and each compression
// family at its own level: --info reads the header back under the same
// settings, and under other settings tells that it is no container.
TEST_F(CliCheck, InfoReadsEveryFamilyUnderAllTwentySevenSettings)
{
    const char* bits[] = {"128", "192", "256"};
    const char* modes[] = {"ecb", "cbc", "cfb"};
    struct Family {
        const char* option;
        const char* level;
        const char* name;
        int levelNumber;
        const char* suffix;
    };
    const Family families[] = {
        {"none", "best", "none", 0, ""},
        {"gzip", "fast", "gzip", 3, ".gz"},
        {"bzip2", "best", "bzip2", 9, ".bz"},
    };
    std::size_t settingsSeen = 0;
    for (const char* mode : modes) {
        for (const char* key : bits) {
            for (const char* block : bits) {
                const std::string setting = std::string(mode) + " k" + key + " b" + block;
                SCOPED_TRACE(setting);
                const std::string folder = "i/" + std::string(mode) + key + block;
                const std::time_t before = std::time(nullptr);
                for (const Family& f : families) {
                    std::string text;
                    for (int i = 0; i < 300; ++i)
                        text += f.name + std::to_string(i % 17) + " compressible line\n";
                    std::filesystem::create_directories(Data(folder));
                    test::WriteBytes(Data(folder + "/" + f.name), Bytes(text));
                    const CliResult made = Batch({"--defaults", "-q", "--no-log", "-e", "--aes-ext", "-m", mode, "-k",
                                                  key, "-b", block, "-z", f.option, "-l", f.level,
                                                  Data(folder + "/" + f.name)});
                    ASSERT_EQ(made.status, 0) << made.err;
                }
                const std::time_t after = std::time(nullptr);
                const auto bytes = Snapshot();
                const CliResult r =
                    Batch({"--defaults", "--info", "--json", "-m", mode, "-k", key, "-b", block, "-r", Data(folder)});
                EXPECT_EQ(r.status, 0) << r.err;
                EXPECT_EQ(Snapshot(), bytes);
                std::map<std::string, std::string> lines;
                std::istringstream in(r.out);
                for (std::string line; std::getline(in, line);)
                    lines[Field(line, "path")] = line;
                ASSERT_EQ(lines.size(), 3u) << r.out;
                for (const Family& f : families) {
                    SCOPED_TRACE(f.name);
                    const std::string path = Data(folder + "/" + f.name + f.suffix + ".aes");
                    ASSERT_TRUE(lines.contains(path)) << r.out;
                    const std::string& line = lines[path];
                    EXPECT_EQ(Field(line, "name"), std::string(f.name) + f.suffix);
                    EXPECT_EQ(Field(line, "format"), "current");
                    EXPECT_EQ(Field(line, "compression"), f.name);
                    EXPECT_EQ(Field(line, "level"), std::to_string(f.levelNumber));
                    const auto containerSize = test::ReadBytes(Data(folder + "/" + f.name + f.suffix + ".aes")).size();
                    const auto size = std::stoull(Field(line, "size"));
                    const auto stored = std::stoull(Field(line, "stored_size"));
                    std::size_t expected = 0;
                    for (int i = 0; i < 300; ++i)
                        expected += std::string(f.name).size() + std::to_string(i % 17).size() + 19;
                    EXPECT_EQ(size, expected);
                    if (f.levelNumber == 0)
                        EXPECT_EQ(stored, size);
                    else
                        EXPECT_LT(stored, size / 4);  // the lines repeat: they compress well
                    EXPECT_LT(stored, containerSize);
                    const auto written = static_cast<std::time_t>(std::stoll(Field(line, "time")));
                    EXPECT_GE(written, before);
                    EXPECT_LE(written, after);
                }
                // The header does not open under other settings.
                const CliResult other = Batch({"--defaults", "--info", "-m", std::string(mode) == "cbc" ? "cfb" : "cbc",
                                               "-k", key, "-b", block, "-r", Data(folder)});
                EXPECT_EQ(other.status, 1);
                EXPECT_EQ(Count(other.err, "ERROR(-20): Not AES file or wrong passwd!"), 3u) << other.err;
                EXPECT_EQ(other.out, "");
                ++settingsSeen;
            }
        }
    }
    EXPECT_EQ(settingsSeen, 27u);
}

// The line for people: stored name, sizes, compression and time, and the
// error of a file that is no container, on standard error.
TEST_F(CliCheck, InfoTextLine)
{
    std::string text;
    for (int i = 0; i < 400; ++i)
        text += "row " + std::to_string(i % 5) + "\n";
    std::filesystem::create_directories(Data("h"));
    test::WriteBytes(Data("h/r.csv"), Bytes(text));
    ASSERT_EQ(Batch({"--defaults", "-q", "--no-log", "-e", "--aes-ext", "-z", "gzip", "-l", "best", Data("h/r.csv")})
                  .status,
              0);
    Make("h/other", 100, 3);
    const CliResult r = Batch({"--defaults", "--info", "-r", Data("h")});
    EXPECT_EQ(r.status, 1);
    const std::string prefix = Data("h/r.csv.gz.aes") + ": name 'r.csv.gz', " + std::to_string(text.size()) +
                               " bytes (gzip level 9, ";
    EXPECT_EQ(r.out.rfind(prefix, 0), 0u) << r.out;
    EXPECT_NE(r.out.find(" bytes compressed), written 20"), std::string::npos) << r.out;
    EXPECT_EQ(Count(r.out, "\n"), 1u);
    EXPECT_EQ(r.err, "tessarin: error: " + Data("h/other") + ": ERROR(-20): Not AES file or wrong passwd!\n");
}

} // namespace
} // namespace tessarin
