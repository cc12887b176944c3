// Nothing named is passed over in silence: every name that is not
// processed gets a line that says why and counts as an error, and the rest
// of the batch goes on.
#include "CliFixture.h"
#include "platform/FaultInjection.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

namespace tessarin {
namespace {

using test::Cli;
using test::CliResult;
using platform::FaultInjection;

TEST_F(Cli, NamesThatAreNotProcessedAreErrorsWithTheirReason)
{
    Make("t/good", 2000, 1);
    Make("t/target", 100, 2);
    Make("t/sub/deep", 300, 3);
    std::filesystem::create_symlink(Data("t/target"), Data("link"));
    ASSERT_EQ(::mkfifo(Data("fifo").c_str(), 0600), 0);
    struct Case {
        const char* what;
        std::vector<std::string> names;
        bool recursive;
        std::vector<std::string> lines;  // "@" stands for the data folder
        int errors;
    };
    const Case cases[] = {
        {"a missing name", {"@missing", "@t/good"}, false,
         {"ERROR(-5): Unable to open file '@missing' (No such file or directory)"}, 1},
        {"a symbolic link", {"@link", "@t/good"}, false,
         {"ERROR(-5): Unable to open file '@link' (it is a symbolic link, not a regular file)"}, 1},
        {"a FIFO", {"@fifo", "@t/good"}, false, {"ERROR(-5): Unable to open file '@fifo' (it is a FIFO, not a regular file)"},
         1},
        {"a folder without recursion", {"@t", "@t/good"}, false,
         {"ERROR(-5): Unable to open file '@t' (it is a folder: folders are searched only with recursion on)"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(Data("t/good.aes"));
        const auto place = [&](std::string text) {
            if (const auto at = text.find('@'); at != std::string::npos)
                text.replace(at, 1, Data(""));
            return text;
        };
        std::vector<std::string> args{"-e", "--aes-ext", "--keep", "--no-log", c.recursive ? "-r" : "--no-recursive"};
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
