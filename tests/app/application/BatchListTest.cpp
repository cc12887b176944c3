#include "BatchHarness.h"
#include "application/BatchList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessarin {
namespace {

using test::BatchHarness;

TEST(BatchList, IsPrivateWhileTheBatchRunsAndGoneAfterwards)
{
    struct Case {
        const char* what;
        std::function<void(BatchHarness&)> prepare;
    };
    std::vector<Case> cases = {
        {"a batch that processes files", [](BatchHarness&) {}},
        {"a batch that finds nothing", [](BatchHarness& h) { h.m_settings.editPattern = "*.none"; }},
        {"a broken batch", [](BatchHarness& h) { h.m_ui.m_display = test::FakeDisplay(1); }},
        {"a batch whose log cannot be opened",
         [](BatchHarness& h) { h.m_settings.editLogFilename = QString::fromStdString(h.Data("no/log.txt")); }},
        {"a batch with failing files", [](BatchHarness& h) { h.m_settings.encrypt = 1; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BatchHarness h;
        h.Make("x/one", 200000, 1);
        h.Make("x/two", 3000, 2);
        c.prepare(h);
        std::vector<std::string> during;
        std::string listed;
        h.m_ui.m_onProgress = [&] {
            during = test::ListFolder(h.RuntimeDir());
            if (during.size() == 1) {
                const std::string path = h.RuntimeDir() + "/" + during[0];
                struct stat info {};
                ASSERT_EQ(::lstat(path.c_str(), &info), 0);
                EXPECT_EQ(info.st_mode & 0777, 0600u);
                const auto bytes = test::ReadBytes(path);
                listed.assign(bytes.begin(), bytes.end());
            }
        };
        h.Run({h.Data("x")});
        ASSERT_EQ(during.size(), 1u);
        EXPECT_EQ(during[0].rfind("~files.tmp", 0), 0u) << during[0];
        EXPECT_EQ(during[0].size(), std::string("~files.tmp").size() + 6);
        if (h.m_settings.editPattern == "*") {
            // Full paths, each ended by LF alone, in the order of the walk.
            const std::string one = h.Data("x/one") + "\n", two = h.Data("x/two") + "\n";
            EXPECT_TRUE(listed == one + two || listed == two + one) << listed;
        }
        EXPECT_TRUE(test::ListFolder(h.RuntimeDir()).empty());
        EXPECT_EQ(h.m_ui.m_cursorDepth, 0);
        EXPECT_EQ(h.m_ui.m_events.front(), "wait");
        EXPECT_EQ(h.m_ui.m_events.back(), "end wait");
        EXPECT_FALSE(h.m_ui.m_displayAlive);
        EXPECT_TRUE(h.m_ui.m_display.m_dismissed);
    }
}

TEST(BatchList, PathsTheListCannotHoldAreErrorsOfTheirFiles)
{
    BatchHarness h;
    // Paths around the limit of a line: folders of 200 bytes each.
    std::string deep = "deep";
    while (h.Data(deep).size() + 201 <= 990)
        deep += "/" + std::string(200, 'f');
    const std::string longName = deep + "/" + std::string(1040 - h.Data(deep).size(), 'n');
    const std::string exact = deep + "/" + std::string(1023 - h.Data(deep).size() - 1, 'e');
    h.Make(longName, 100, 1);
    h.Make(exact, 100, 2);
    h.Make("deep/line\nbreak", 100, 3);
    h.Make("deep/plain", 100, 4);
    ASSERT_GT(h.Data(longName).size(), 1023u);
    ASSERT_EQ(h.Data(exact).size(), 1023u);

    const BatchReport report = h.Run({h.Data("deep")});
    EXPECT_FALSE(report.stopped);
    EXPECT_EQ(report.summary.files + report.summary.errors, 4u);
    EXPECT_GE(report.summary.errors, 2u);
    EXPECT_EQ(report.summary.originalSize, 200u);  // the two files that were listed
    EXPECT_TRUE(test::Exists(h.Data("deep/plain.aes")));
    EXPECT_TRUE(test::Exists(h.Data("deep/line\nbreak")));
    EXPECT_TRUE(test::Exists(h.Data(longName)));

    const std::string log = h.Log();
    const std::string refusedLong =
        "ERROR(-27): Unable to list '" + h.Data(longName) + "': its path is longer than 1023 bytes\n";
    // Shown with the line break escaped: the log keeps one line per message.
    const std::string refusedBreak =
        "ERROR(-27): Unable to list '" + h.Data("deep/line\\nbreak") + "': its name holds a line break\n";
    EXPECT_NE(log.find(refusedLong), std::string::npos) << log;
    EXPECT_NE(log.find(refusedBreak), std::string::npos) << log;
    // A path of exactly 1023 bytes fits: the engine gets it.
    EXPECT_NE(log.find("Encrypting " + h.Data(exact) + " "), std::string::npos) << log;
    // The refusals are shown as errors, and there is no "Original size" line.
    const auto& shown = h.m_ui.m_display.m_statusTexts;
    EXPECT_EQ(std::count_if(shown.begin(), shown.end(), [](const std::string& t) { return t.rfind("ERROR(-27)", 0) == 0; }),
              2);
    ASSERT_EQ(h.Boxes("STATUS REPORT").size(), 1u);
    EXPECT_EQ(h.Boxes("STATUS REPORT")[0].find("Original size"), std::string::npos);
}

// A killed batch's list, known by its journal, is overwritten and deleted by
// the next batch; a user's file named like a list is left alone.
TEST(BatchList, ListsOfKilledBatchesAreWipedAndDeleted)
{
    BatchHarness h;
    h.Make("x/one", 100, 1);
    const std::vector<std::uint8_t> names(5000, 'n');
    if (const pid_t child = ::fork(); child == 0) {
        BatchList list;  // gone without a word, as a killed batch's
        test::WriteBytes(list.Path(), names);
        ::_exit(0);
    } else {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
    }
    const std::vector<std::string> left = test::ListFolder(h.RuntimeDir());
    ASSERT_EQ(left.size(), 1u);
    const std::string killed = h.RuntimeDir() + "/" + left.front();
    const std::string users = h.RuntimeDir() + "/~files.tmpAbC123";
    test::WriteBytes(users, names);
    const int witness = ::open(killed.c_str(), O_RDONLY | O_CLOEXEC);

    h.Run({h.Data("x")});
    std::vector<std::uint8_t> seen(names.size());
    EXPECT_EQ(::pread(witness, seen.data(), seen.size(), 0), static_cast<ssize_t>(seen.size()));
    ::close(witness);
    EXPECT_NE(seen, names);
    EXPECT_EQ(test::ListFolder(h.RuntimeDir()), std::vector<std::string>{"~files.tmpAbC123"});
    EXPECT_EQ(test::ReadBytes(users), names);
}

} // namespace
} // namespace tessarin
