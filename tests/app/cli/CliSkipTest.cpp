// Nothing named is passed over in silence: every name that is not
// processed gets a line that says why and counts as an error, and the rest
// of the batch goes on.
#include "CliFixture.h"
#include "faults/FaultInjection.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <tuple>
#include <unistd.h>
#include <sys/stat.h>

namespace tessarin {
namespace {

using test::Cli;
using test::CliResult;

TEST_F(Cli, NamesThatAreNotProcessedAreErrorsWithTheirReason)
{
    Make("t/good", 2000, 1);
    Make("t/target", 100, 2);
    Make("t/sub/deep", 300, 3);
    std::filesystem::create_symlink(Data("t/target"), Data("link"));
    std::filesystem::create_hard_link(PasswordFile(), Data("key"));
    Make("run.log", 10, 4);
    ASSERT_EQ(::mkfifo(Data("fifo").c_str(), 0600), 0);
    struct Case {
        const char* what;
        std::vector<std::string> names;
        bool recursive;
        std::vector<std::string> lines;  // "@" stands for the data folder
        int errors;
        const char* log = nullptr;
    };
    const Case cases[] = {
        {"a missing name", {"@missing", "@t/good"}, false,
         {"ERROR(-5): Unable to open file '@missing' (No such file or directory)"}, 1},
        {"a symbolic link", {"@link", "@t/good"}, false,
         {"ERROR(-5): Unable to open file '@link' (it is a symbolic link, not a regular file)"}, 1},
        {"a FIFO", {"@fifo", "@t/good"}, false, {"ERROR(-5): Unable to open file '@fifo' (it is a FIFO, not a regular file)"},
         1},
        {"a folder without recursion lists nothing", {"@t", "@t/good"}, false,
         {"tessarin: hint: '@t' gave no file: folders are searched only with --recursive"}, 0},
        {"the password file by another name", {"@key", "@t/good"}, false,
         {"ERROR(-5): Unable to open file '@key' (it is the password file of this run, which is never processed)"}, 1},
        {"the log", {"@run.log", "@t/good"}, false,
         {"ERROR(-5): Unable to open file '@run.log' (it is the log file of this run, which is never processed)"}, 1,
         "@run.log"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(Data("t/good.aes"));
        const auto place = [&](std::string text) {
            if (const auto at = text.find('@'); at != std::string::npos)
                text.replace(at, 1, Data(""));
            return text;
        };
        std::vector<std::string> args{"-e", "--aes-ext", "--keep", c.recursive ? "-r" : "--no-recursive",
                                      c.log ? "--log=" + place(c.log) : "--no-log"};
        for (const std::string& name : c.names)
            args.push_back(place(name));
        const CliResult r = Batch(args);
        EXPECT_EQ(r.status, 1) << r.err;
        for (const std::string& line : c.lines)
            EXPECT_NE(r.err.find(place(line)), std::string::npos) << r.err;
        EXPECT_NE(r.out.find("1 file(s) processed"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(std::to_string(c.errors) + " error(s)"), std::string::npos) << r.out;
        EXPECT_TRUE(test::Exists(Data("t/good.aes")));
    }
}

// The files a run uses for itself are passed over where a search meets
// them, whatever their name: a password that encrypted itself is gone.
TEST_F(Cli, TheRunsOwnFilesAreNeverProcessed)
{
    std::filesystem::create_directories(Data("d"));
    test::WriteBytes(Data("d/key"), Bytes("secret\n"));
    std::filesystem::create_directories(Data("f"));
    std::filesystem::create_hard_link(PasswordFile(), Data("f/pw"));
    const int fd = ::open(Data("d/key").c_str(), O_RDONLY | O_CLOEXEC);
    for (const auto& [source, folder, own] : {std::tuple{"--password-file=" + PasswordFile(), "f", "pw"},
                                              std::tuple{"--password-fd=" + std::to_string(fd), "d", "key"}}) {
        SCOPED_TRACE(source);
        Make(std::string(folder) + "/doc", 300, 2);
        const CliResult r = Run({source, "-e", "--aes-ext", "--no-keep", "--no-log", "-r", Data(folder)});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(test::ListFolder(Data(folder)), (std::vector<std::string>{"doc.aes", own}));
        EXPECT_EQ(test::ReadBytes(Data(std::string(folder) + "/" + own)), Bytes("secret\n"));
    }
    ::close(fd);
}

// A folder that cannot be read, met on the way down, is an error too; the
// rest of the tree is processed.
TEST_F(Cli, AnUnreadableFolderMetWhileRecursingIsAnError)
{
    Make("u/a", 100, 1);
    Make("u/sub/b", 100, 2);
    FaultInjection::FailAt(FaultInjection::Operation::List, 2, EACCES);  // the second folder listed
    const CliResult r = Batch({"-e", "--aes-ext", "--no-log", "-r", Data("u")});
    FaultInjection::Reset();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ERROR(-5): Unable to open folder '" + Data("u/sub") + "' (Permission denied)"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(test::Exists(Data("u/a.aes")));
    EXPECT_NE(r.out.find("1 file(s) processed"), std::string::npos) << r.out;
}

} // namespace
} // namespace tessarin
