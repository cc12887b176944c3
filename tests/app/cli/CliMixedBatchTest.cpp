// A batch in which some files succeed and others fail: the exit status, the
// counts of the status report, and the files themselves (the succeeded ones
// really processed, the failed ones untouched).
#include "CliFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace tessarin {
namespace {

using test::Cli;
using test::CliResult;

struct Input {
    const char* name;
    std::size_t length;
    enum Kind { Plain, Container, Foreign } kind;  // Foreign: a container under another password
    const char* error;  // "" when the file must succeed, otherwise the error it must fail with
};

struct MixedCase {
    const char* what;
    const char* direction;  // "-d", "-e" or "-a"
    std::vector<Input> inputs;
    int status;
};

const char* const NotOurs = "ERROR(-20): Not AES file or wrong passwd!";
const char* const Already = "ERROR(-25): Already encrypted!";

const MixedCase MixedCases[] = {
    {"decrypting containers beside plain files",
     "-d",
     {{"c1", 3000, Input::Container, ""},
      {"p1", 2000, Input::Plain, NotOurs},
      {"c2", 70000, Input::Container, ""},
      {"p2", 10, Input::Plain, NotOurs},
      // Names that read like error lines are names: each line goes where
      // its level sends it.
      {"ERROR(x).txt", 500, Input::Container, ""},
      {"ERROR(-28): y.txt", 700, Input::Plain, NotOurs}},
     1},
    {"decrypting containers beside containers of another password",
     "-d",
     {{"c1", 4000, Input::Container, ""}, {"f1", 5000, Input::Foreign, NotOurs}, {"f2", 100, Input::Foreign, NotOurs}},
     1},
    {"encrypting plain files beside containers",
     "-e",
     {{"p1", 6000, Input::Plain, ""}, {"c1", 1500, Input::Container, Already}, {"p2", 1, Input::Plain, ""}},
     1},
    {"decrypting containers only", "-d", {{"c1", 3000, Input::Container, ""}, {"c2", 0, Input::Container, ""}}, 0},
    {"encrypting plain files only", "-e", {{"p1", 3000, Input::Plain, ""}, {"p2", 40000, Input::Plain, ""}}, 0},
    {"deciding per file", "-a", {{"c1", 3000, Input::Container, ""}, {"p1", 2500, Input::Plain, ""}}, 0},
    {"decrypting plain files only",
     "-d",
     {{"p1", 3000, Input::Plain, NotOurs}, {"p2", 20, Input::Plain, NotOurs}, {"f1", 900, Input::Foreign, NotOurs}},
     1},
    {"encrypting containers only", "-e", {{"c1", 3000, Input::Container, Already}}, 1},
};

class CliMixedBatch : public Cli, public ::testing::WithParamInterface<MixedCase> {
protected:
    // The options every run of this test uses: no compression, ".aes"
    // appended, originals deleted, no log.
    std::vector<std::string> Options(const std::string& direction) const
    {
        return {direction, "-z", "none", "--aes-ext", "--no-mangle", "--no-keep", "--no-wipe", "--no-log"};
    }
};

void PrintTo(const MixedCase& c, std::ostream* os)
{
    *os << c.what;
}

// The line of the error output that reports the file, empty when none does.
std::string LineAbout(const std::string& err, const std::string& path)
{
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(path + " ") != std::string::npos)
            return line;
    }
    return {};
}

// The name an input has in the batch's folder: containers carry ".aes".
std::string OnDisk(const Input& input)
{
    return std::string("t/") + input.name + (input.kind == Input::Plain ? "" : ".aes");
}

TEST_P(CliMixedBatch, StatusCountsAndFilesMatchWhatSucceeded)
{
    const MixedCase& c = GetParam();
    const std::string other = m_secrets / "other";
    test::WriteBytes(other, Bytes("another secret\n"));

    // Containers are made in a folder of their own and moved in.
    std::map<std::string, std::vector<std::uint8_t>> plains;  // by input name
    std::uint32_t seed = 1;
    for (const Input& input : c.inputs) {
        const std::string made = std::string("m/") + input.name;
        plains[input.name] = Make(made, input.length, seed++);
        if (input.kind != Input::Plain) {
            std::vector<std::string> args = Options("-e");
            args.insert(args.begin(), {"--password-file", input.kind == Input::Foreign ? other : PasswordFile()});
            args.push_back(Data(made));
            const CliResult r = Run(args);
            ASSERT_EQ(r.status, 0) << r.err;
        }
        std::filesystem::create_directories(Data("t"));
        std::filesystem::rename(Data(made + (input.kind == Input::Plain ? "" : ".aes")), Data(OnDisk(input)));
    }
    ASSERT_TRUE(std::filesystem::remove(Data("m")));  // empty by now
    const auto before = Snapshot();

    std::vector<std::string> args = Options(c.direction);
    args.push_back("-r");
    args.push_back(Data("t"));
    const CliResult r = Batch(args);
    EXPECT_EQ(r.status, c.status) << r.out << r.err;

    // What each input must have become, and the report's figures from that.
    std::uint64_t bytes = 0;
    int processed = 0;
    int errors = 0;
    std::set<std::string> expectedNames;
    const auto after = Snapshot();
    for (const Input& input : c.inputs) {
        SCOPED_TRACE(input.name);
        const std::string name = OnDisk(input);
        const std::string plainName = std::string("t/") + input.name;
        if (*input.error != '\0') {
            ++errors;
            expectedNames.insert(name);
            ASSERT_EQ(after.count(name), 1u);
            EXPECT_EQ(after.at(name), before.at(name));  // untouched
            EXPECT_TRUE(LineAbout(r.err, Data(name)).ends_with(std::string(" ") + input.error)) << r.err;
            continue;
        }
        ++processed;
        EXPECT_EQ(LineAbout(r.err, Data(name)), "") << r.err;
        if (input.kind == Input::Container) {
            // Back under its own name, the container gone.
            expectedNames.insert(plainName);
            ASSERT_EQ(after.count(plainName), 1u);
            EXPECT_EQ(after.at(plainName), plains.at(input.name));
            bytes += input.length;
        } else {
            expectedNames.insert(name + ".aes");
            ASSERT_EQ(after.count(name + ".aes"), 1u);
            EXPECT_NE(after.at(name + ".aes"), before.at(name));
            bytes += after.at(name + ".aes").size();
        }
    }
    std::set<std::string> names;
    for (const auto& [name, content] : after)
        names.insert(name);
    EXPECT_EQ(names, expectedNames);
    const std::string counts = std::to_string(processed) + " file(s) processed (" + std::to_string(bytes) +
                               " bytes), " + std::to_string(errors) + " error(s)\n";
    EXPECT_NE(r.out.find(counts), std::string::npos) << r.out;
}

INSTANTIATE_TEST_SUITE_P(Batches, CliMixedBatch, ::testing::ValuesIn(MixedCases),
                         [](const auto& p) { return test::CaseName(p.param.what); });

} // namespace
} // namespace tessarin
