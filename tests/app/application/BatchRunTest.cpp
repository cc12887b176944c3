#include "BatchHarness.h"
#include "foundation/ErrorHandler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

namespace tessarin {
namespace {

using test::BatchHarness;
using Names = std::vector<std::string>;

std::vector<std::string> ListFiles(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            names.push_back(std::filesystem::relative(entry.path(), folder).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(BatchPassword, EmptyOrUnequalPasswordsTouchNothing)
{
    struct Case {
        const char* password;
        const char* confirmation;
    };
    const Case cases[] = {{"", ""}, {"secret", ""}, {"", "secret"}, {"secret", "secreT"}, {"secret", "secret "}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("'") + c.password + "' / '" + c.confirmation + "'");
        BatchHarness h;
        const auto bytes = h.Make("a.txt", 3000);
        const BatchReport report = h.Run({h.Data("a.txt")}, c.password, c.confirmation);
        EXPECT_EQ(report.outcome, BatchReport::Outcome::PasswordRejected);
        ASSERT_EQ(h.m_ui.m_boxes.size(), 1u);
        EXPECT_EQ(h.m_ui.m_boxes[0].text,
                  "Passwords are empty or don't match to each other!\nPlease re-type them...");
        EXPECT_EQ(h.m_ui.m_boxes[0].title, "ERROR MESSAGE");
        EXPECT_EQ(h.m_ui.m_boxes[0].icon, BoxIcon::Stop);
        // Not even the cursor changes: no list, no log, no display.
        EXPECT_EQ(h.m_ui.m_events.size(), 1u);
        EXPECT_FALSE(test::Exists(h.LogPath()));
        EXPECT_TRUE(test::ListFolder(h.RuntimeDir()).empty());
        EXPECT_EQ(test::ListFolder(h.DataFolder()), Names{"a.txt"});
        EXPECT_EQ(test::ReadBytes(h.Data("a.txt")), bytes);
    }
}

TEST(BatchSearch, NoNamesOnlyTurnsTheCursorOnAndOff)
{
    BatchHarness h;
    const BatchReport report = h.Run({});
    EXPECT_EQ(report.outcome, BatchReport::Outcome::NothingGiven);
    EXPECT_EQ(h.m_ui.m_events, (Names{"wait", "end wait"}));
    EXPECT_FALSE(test::Exists(h.LogPath()));
}

struct SearchCase {
    const char* what;
    std::vector<std::string> dropped;  // relative to the data folder
    int recursive;
    int sensitive;
    const char* pattern;
    std::set<std::string> encrypted;  // relative paths of the files that became containers
    std::uint32_t errors = 0;         // names that could not be processed: each is told and counted
    std::vector<std::string> fruitless = {};  // names that gave no file and no error
};

TEST(BatchSearch, DroppedNamesAreSearchedWithThePatternAndRecursion)
{
    const std::set<std::string> all = {"d/a.txt", "d/b.dat", "d/sub/c.txt", "d/sub/deeper/D.TXT"};
    const SearchCase cases[] = {
        {"a folder without recursion lists nothing, with a notice", {"d"}, 0, 1, "*", {}, 0, {"d"}},
        {"a folder with recursion lists its whole tree", {"d"}, 1, 1, "*", all},
        {"the pattern applies to the names of the tree", {"d"}, 1, 1, "*.txt", {"d/a.txt", "d/sub/c.txt"}},
        {"case folding when not case-sensitive", {"d"}, 1, 0, "*.txt", {"d/a.txt", "d/sub/c.txt", "d/sub/deeper/D.TXT"}},
        {"the entries of a folder without recursion", {"d/*"}, 0, 1, "*", {"d/a.txt", "d/b.dat"}},
        {"a dropped file that matches", {"d/b.dat"}, 0, 1, "*.dat", {"d/b.dat"}},
        {"a dropped file that does not match", {"d/b.dat"}, 1, 1, "*.txt", {}, 0, {"d/b.dat"}},
        {"a name that names nothing", {"d/missing"}, 1, 1, "*", {}, 1},
        {"a missing name beside a good one", {"d/missing", "d/b.dat"}, 0, 1, "*", {"d/b.dat"}, 1},
        {"names in drop order, one after another", {"d/sub/c.txt", "d/a.txt"}, 0, 1, "*", {"d/a.txt", "d/sub/c.txt"}},
    };
    for (const SearchCase& c : cases) {
        SCOPED_TRACE(c.what);
        BatchHarness h;
        std::size_t size = 0;
        std::uint32_t seed = 1;
        for (const std::string& name : all)
            size = h.Make(name, 1000 + seed * 10, seed).size(), ++seed;
        (void)size;
        h.m_settings.checkRecursive = c.recursive;
        h.m_settings.checkSensive = c.sensitive;
        h.m_settings.editPattern = c.pattern;
        Names dropped;
        for (const std::string& name : c.dropped)
            dropped.push_back(h.Data(name));
        const BatchReport report = h.Run(dropped);

        std::set<std::string> expectedFiles;
        std::uint32_t original = 0;
        seed = 1;
        for (const std::string& name : all) {
            const bool hit = c.encrypted.count(name) != 0;
            expectedFiles.insert(hit ? name + ".aes" : name);
            if (hit)
                original += 1000 + seed * 10;
            ++seed;
        }
        const auto files = ListFiles(h.DataFolder());
        EXPECT_EQ(std::set<std::string>(files.begin(), files.end() - 1), expectedFiles);  // the log sorts last
        EXPECT_EQ(files.back(), "log.txt");
        EXPECT_EQ(report.summary.files, c.encrypted.size());
        EXPECT_EQ(report.summary.errors, c.errors);
        Names fruitless;
        for (const std::string& name : c.fruitless)
            fruitless.push_back(h.Data(name));
        EXPECT_EQ(report.fruitless, fruitless);
        EXPECT_EQ(h.Log().find("Passing over: folder '" + h.Data("d") + "'") != std::string::npos,
                  c.fruitless == std::vector<std::string>{"d"})
            << h.Log();
        EXPECT_EQ(report.summary.originalSize, original);
        EXPECT_EQ(h.Boxes("STATUS REPORT").size(), 1u);
    }
}

struct RoundTripCase {
    const char* what;
    std::function<void(AppSettings&)> settings;
};

TEST(BatchRoundTrip, EncryptThenDecryptGivesEveryFileBack)
{
    const RoundTripCase cases[] = {
        {"CBC without compression", [](AppSettings&) {}},
        {"CFB with gzip, 128-bit blocks",
         [](AppSettings& s) { s.comboOperMode = 1, s.checkFilterCompress = 1, s.comprFamily = 0, s.comboBlockSize = 0; }},
        {"ECB with bzip2, 192-bit keys",
         [](AppSettings& s) { s.comboOperMode = 2, s.checkFilterCompress = 1, s.comprFamily = 1, s.comboKeyLen = 1; }},
        {"mangled names", [](AppSettings& s) { s.checkMangling = 1; }},
        {"own names", [](AppSettings& s) { s.checkChangeExt = 0; }},
        {"wiping", [](AppSettings& s) { s.checkWiping = 1; }},
        {"automatic direction", [](AppSettings& s) { s.encrypt = 2; }},
    };
    const std::vector<std::pair<std::string, std::size_t>> tree = {
        {"t/empty", 0}, {"t/one", 1}, {"t/small.txt", 1000}, {"t/sub/chunks.bin", 300000}, {"t/sub/x y.z", 147456}};
    for (const RoundTripCase& c : cases) {
        SCOPED_TRACE(c.what);
        BatchHarness h;
        std::map<std::string, std::vector<std::uint8_t>> before;
        std::uint32_t seed = 7, total = 0;
        for (const auto& [name, length] : tree) {
            before[name] = h.Make(name, length, seed++);
            total += static_cast<std::uint32_t>(length);
        }
        c.settings(h.m_settings);
        const BatchReport encrypted = h.Run({h.Data("t")});
        EXPECT_EQ(encrypted.summary.files, tree.size());
        EXPECT_EQ(encrypted.summary.errors, 0u);
        EXPECT_EQ(encrypted.summary.originalSize, total);
        for (const auto& [name, bytes] : before) {
            if (test::Exists(h.Data(name)) && !bytes.empty()) {
                EXPECT_NE(test::ReadBytes(h.Data(name)), bytes) << name << " is still plain";
            }
        }

        if (h.m_settings.encrypt == 0)
            h.m_settings.encrypt = 1;
        const BatchReport decrypted = h.Run({h.Data("t")});
        EXPECT_EQ(decrypted.summary.files, tree.size());
        EXPECT_EQ(decrypted.summary.errors, 0u);
        auto files = ListFiles(h.Data("t"));
        std::vector<std::string> expected;
        for (const auto& [name, bytes] : before) {
            expected.push_back(name.substr(2));
            ASSERT_TRUE(test::Exists(h.Data(name))) << name;
            EXPECT_EQ(test::ReadBytes(h.Data(name)), bytes) << name;
        }
        EXPECT_EQ(files, expected);
    }
}

TEST(BatchRoundTrip, KeyLengthIndexOutOfRangeGivesTheLongestKey)
{
    BatchHarness h;
    const auto bytes = h.Make("k.bin", 5000);
    h.m_settings.comboKeyLen = 7;
    ASSERT_EQ(h.Run({h.Data("k.bin")}).summary.files, 1u);

    h.m_settings.encrypt = 1;
    h.m_settings.comboKeyLen = 0;  // 128-bit keys do not open it
    BatchReport report = h.Run({h.Data("k.bin.aes")});
    EXPECT_EQ(report.summary.errors, 1u);
    EXPECT_FALSE(test::Exists(h.Data("k.bin")));
    h.m_settings.comboKeyLen = 2;  // 256-bit keys do
    report = h.Run({h.Data("k.bin.aes")});
    EXPECT_EQ(report.summary.files, 1u);
    EXPECT_EQ(test::ReadBytes(h.Data("k.bin")), bytes);
}

TEST(BatchProgress, RangeIsTheListedSizeInKiB)
{
    struct Case {
        std::vector<std::size_t> sizes;
        int upper;
    };
    const Case cases[] = {{{}, 0}, {{0}, 0}, {{1023}, 0}, {{1024}, 1}, {{600, 600}, 1}, {{5000}, 4}, {{400000, 400000, 400000}, 1171}};
    for (const Case& c : cases) {
        BatchHarness h;
        Names dropped;
        for (std::size_t i = 0; i < c.sizes.size(); ++i) {
            h.Make("f" + std::to_string(i), c.sizes[i]);
            dropped.push_back(h.Data("f" + std::to_string(i)));
        }
        if (dropped.empty())
            dropped.push_back(h.Data("nothing"));
        h.Run(dropped);
        EXPECT_EQ(h.m_ui.m_display.m_meter.GetLower(), 0);
        EXPECT_EQ(h.m_ui.m_display.m_meter.GetUpper(), c.upper);
        EXPECT_EQ(h.m_ui.m_display.m_meter.GetStep(), 1);
        ASSERT_FALSE(h.m_ui.m_display.m_statusTexts.empty());
        EXPECT_EQ(h.m_ui.m_display.m_statusTexts.front(), "Starting...");
        ASSERT_EQ(h.m_ui.m_requests.size(), 1u);
        EXPECT_EQ(h.m_ui.m_requests[0].caption, "Progress Status");
        EXPECT_EQ(h.m_ui.m_requests[0].lines, 4);
        EXPECT_EQ(h.m_ui.m_requests[0].width, 300);
        EXPECT_TRUE(h.m_ui.m_requests[0].centred);
    }
}

TEST(BatchProgress, BreakShowsItsBoxThenTheReportOfTheFilesBefore)
{
    // The cancel comes with the first progress report of the second file;
    // the engine sees it before its next chunk. How many reports a file
    // makes is counted on a batch of the same size first.
    int reportsPerFile = 0;
    {
        BatchHarness count;
        count.Make("a", 400000, 1);
        count.Run({count.Data("a")});
        reportsPerFile = static_cast<int>(count.m_ui.m_display.m_pumps.size());
        ASSERT_GE(reportsPerFile, 2);
    }
    BatchHarness h;
    h.Make("a", 400000, 1);
    const auto b = h.Make("b", 400000, 2);
    const auto c = h.Make("c", 400000, 3);
    h.m_ui.m_display = test::FakeDisplay(reportsPerFile + 1);
    const BatchReport report = h.Run({h.Data("a"), h.Data("b"), h.Data("c")});

    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(report.stopCode, errc::BreakByUser);
    EXPECT_EQ(report.summary.files, 1u);
    const auto container = static_cast<std::uint32_t>(std::filesystem::file_size(h.Data("a.aes")));
    EXPECT_EQ(report.summary.bytes, container);
    EXPECT_EQ(report.summary.errors, 0u);  // the file under way counts as neither
    EXPECT_EQ(test::ListFolder(h.DataFolder()), (Names{"a.aes", "b", "c", "log.txt"}));
    EXPECT_EQ(test::ReadBytes(h.Data("b")), b);
    EXPECT_EQ(test::ReadBytes(h.Data("c")), c);

    const auto& events = h.m_ui.m_events;
    const auto breakBox = std::find(events.begin(), events.end(), "box ERROR MESSAGE: Break by user!");
    const auto dismiss = std::find(events.begin(), events.end(), "dismiss");
    ASSERT_NE(breakBox, events.end());
    ASSERT_NE(dismiss, events.end());
    EXPECT_LT(breakBox, dismiss);
    ASSERT_EQ(events.size() - static_cast<std::size_t>(dismiss - events.begin()), 3u);
    const std::string status = "box STATUS REPORT: 1 file(s) processed (" + std::to_string(container) +
                               " bytes), 0 error(s)\r\nOriginal size = 1200000 bytes, Ratio = 33%\r\nTime = ";
    EXPECT_EQ(events[events.size() - 2].rfind(status, 0), 0u) << events[events.size() - 2];
    EXPECT_EQ(events.back(), "end wait");
    // The file done before the break is committed after it, and the log
    // still reads file by file.
    EXPECT_NE(h.Log().find("Deleting " + h.Data("a") + " [OK]\nEncrypting " + h.Data("b") + " to b.aes \nRollback: " +
                           "Deleting " + h.Data("~aes.tmp") + " [OK]\nERROR(-28): Break by user!\n;\n; 1 file(s) processed"),
              std::string::npos)
        << h.Log();
}

TEST(BatchLibraries, AMissingLibraryEndsTheBatchAtLoading)
{
    struct Case {
        const char* module;
        int block;
        std::string message;
    };
    const Case cases[] = {
        {"aes32.dll", 2, "libaes32.so not found!"},
        {"aes16.dll", 0, "libaes16.so not found!"},
        {"zlib.dll", 2, "Unable to load 'libz.so.1'"},
        {"bzip2.dll", 0, "Unable to load 'libbz2.so.1.0'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.module);
        BatchHarness h;
        test::ModuleFolder modules;
        modules.Remove(c.module);
        const auto bytes = h.Make("a", 3000);
        h.m_settings.comboBlockSize = c.block;  // compression stays off: all three are loaded anyway
        const BatchReport report = h.Run({h.Data("a")});

        EXPECT_EQ(report.outcome, BatchReport::Outcome::LibraryFailed);
        ASSERT_EQ(h.m_ui.m_boxes.size(), 1u);
        EXPECT_EQ(h.m_ui.m_boxes[0].text, c.message + ". Unable to crypt/decrypt data(s)!");
        EXPECT_EQ(h.m_ui.m_boxes[0].title, "ERROR MESSAGE");
        EXPECT_EQ(h.m_ui.m_boxes[0].icon, BoxIcon::Stop);
        EXPECT_EQ(h.m_ui.m_events, (Names{"wait", "progress", "box ERROR MESSAGE: " + h.m_ui.m_boxes[0].text, "dismiss",
                                          "end wait"}));
        EXPECT_EQ(test::ReadBytes(h.Data("a")), bytes);
        EXPECT_TRUE(test::ListFolder(h.RuntimeDir()).empty());
        // The header alone: no message, no summary.
        const auto lines = test::LogLines(h.Log());
        ASSERT_EQ(lines.size(), 5u) << h.Log();
        EXPECT_EQ(lines.back(), ";");
    }
}

} // namespace
} // namespace tessarin
