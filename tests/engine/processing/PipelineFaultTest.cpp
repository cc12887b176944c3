#include "engine/processing/PipelineHarness.h"
#include "foundation/ErrorHandler.h"
#include "faults/FaultInjection.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <map>

namespace tessarin {
namespace {

using namespace test;
using Snapshot = std::map<std::string, std::vector<std::uint8_t>>;

struct Scenario {
    const char* label;
    PipelineOptions options;
    bool decrypt;  // run on the container the options make of the file
};

PipelineOptions Make(bool changeExt, int family, bool wiping)
{
    PipelineOptions o;
    o.changeExtension = changeExt;
    o.family = family;
    o.wiping = wiping;
    return o;
}

const Scenario Scenarios[] = {
    {"encrypt_own_name", Make(false, MyObjectAes::FamilyNone, false), false},
    {"encrypt_gzip_aes", Make(true, MyObjectAes::FamilyGzip, false), false},
    {"encrypt_bzip2_own_name_wiping", Make(false, MyObjectAes::FamilyBzip2, true), false},
    {"decrypt_gzip_aes", Make(true, MyObjectAes::FamilyGzip, false), true},
    {"decrypt_gzip_own_name", Make(false, MyObjectAes::FamilyGzip, false), true},
    {"decrypt_own_name_wiping", Make(false, MyObjectAes::FamilyNone, true), true},
};

// Half seeded noise, half a repeated motif: both the file and its
// compressed form span more than one chunk.
std::vector<std::uint8_t> Content()
{
    auto bytes = SeededBytes(160000, 21);
    const auto motif = SeededBytes(300, 22);
    for (std::size_t i = 0; i < 60000; ++i)
        bytes.push_back(motif[i % motif.size()]);
    return bytes;
}

// Lays out the scenario's input and returns its path.
std::string Prepare(const TempFolder& folder, const Scenario& s)
{
    WriteBytes(folder / "a.txt", Content());
    if (!s.decrypt)
        return folder / "a.txt";
    Pipeline(s.options).Run(folder / "a.txt");
    const auto names = ListFolder(folder.Path());
    EXPECT_EQ(names.size(), 1u);
    return folder / names.front();
}

Snapshot Take(const TempFolder& folder)
{
    Snapshot snapshot;
    for (const std::string& name : ListFolder(folder.Path()))
        snapshot[name] = ReadBytes(folder / name);
    return snapshot;
}

// After any failure: every file holds the original bytes or a complete
// container of them, at least one does, and nothing else is left.
void ExpectNothingLost(const TempFolder& folder, const Scenario& s)
{
    const auto names = ListFolder(folder.Path());
    EXPECT_FALSE(names.empty());
    EXPECT_FALSE(HasTemporary(folder.Path()));
    for (const std::string& name : names)
        EXPECT_EQ(PlainOf(folder / name, s.options), Content()) << name;
}

class PipelineFault : public ::testing::TestWithParam<Scenario> {};

TEST_P(PipelineFault, BreakAfterAnyReportLeavesTheFolderAsItWas)
{
    const Scenario& s = GetParam();
    int reports = 0;
    {
        TempFolder folder;
        Pipeline whole(s.options);
        ASSERT_TRUE(whole.Run(Prepare(folder, s)).ok);
        reports = whole.Sink().Reports();
    }
    ASSERT_GT(reports, 2);
    for (int after = 0; after < reports; ++after) {
        SCOPED_TRACE("break after " + std::to_string(after));
        TempFolder folder;
        const std::string path = Prepare(folder, s);
        const Snapshot before = Take(folder);
        Pipeline p(s.options, after);
        const RunResult r = p.Run(path);
        EXPECT_TRUE(r.broke);
        EXPECT_EQ(r.errorLine, "ERROR(-28): Break by user!\r\n");
        EXPECT_EQ(Take(folder), before);
    }
}

TEST_P(PipelineFault, FailingWritesSyncsAndRenamesLoseNothing)
{
    const Scenario& s = GetParam();
    struct Fault {
        FaultInjection::Operation operation;
        int error;
    };
    for (const Fault fault : {Fault{FaultInjection::Operation::Write, ENOSPC},
                              Fault{FaultInjection::Operation::Sync, EIO},
                              Fault{FaultInjection::Operation::Rename, EXDEV}}) {
        int calls = 0;
        {
            TempFolder folder;
            const std::string path = Prepare(folder, s);
            Pipeline whole(s.options);
            FaultInjection::FailAt(fault.operation, 0, 0);  // count only
            whole.Run(path);
            calls = FaultInjection::CallsSince(fault.operation);
            FaultInjection::Reset();
        }
        ASSERT_GT(calls, 0);
        // Every call for the short lists; a spread of them, the last one
        // included, for the wipes' many writes.
        const int step = calls > 12 ? calls / 12 : 1;
        for (int call = 1; call <= calls; call = call == calls ? calls + 1 : std::min(call + step, calls)) {
            SCOPED_TRACE("operation " + std::to_string(static_cast<int>(fault.operation)) + " call " + std::to_string(call) + " of " +
                         std::to_string(calls));
            TempFolder folder;
            const std::string path = Prepare(folder, s);
            Pipeline p(s.options);
            // A full disk and a failing device, taking turns.
            const int error = fault.error == ENOSPC && call % 2 == 0 ? EIO : fault.error;
            FaultInjection::FailAt(fault.operation, call, error);
            const RunResult r = p.Run(path);
            FaultInjection::Reset();
            EXPECT_FALSE(r.broke);
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.errorLine.rfind("ERROR(", 0), 0u);
            ExpectNothingLost(folder, s);
        }
    }
}

// The original cannot be deleted after its container is complete: the new
// container goes again, so the user is left with the file as it was.
TEST(OriginalDeletion, AFailureRemovesTheNewOutput)
{
    struct Case {
        const char* label;
        bool wiping;
        int family;
    };
    for (const Case c : {Case{"deleting", false, MyObjectAes::FamilyNone}, Case{"wiping", true, MyObjectAes::FamilyNone},
                         Case{"compressed", false, MyObjectAes::FamilyGzip}}) {
        SCOPED_TRACE(c.label);
        TempFolder folder;
        WriteBytes(folder / "a.txt", Content());
        PipelineOptions o = Make(true, c.family, c.wiping);
        Pipeline p(o);
        // The compressed content's temporary file is removed first.
        FaultInjection::FailAt(FaultInjection::Operation::Remove, c.family == MyObjectAes::FamilyNone ? 1 : 2, EACCES);
        const RunResult r = p.Run(folder / "a.txt");
        FaultInjection::Reset();
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.errorLine, "ERROR(-4): Unable to delete '" + (folder / "a.txt") + "' (Read only file?)\r\n");
        EXPECT_EQ(ListFolder(folder.Path()), std::vector<std::string>{"a.txt"});
        EXPECT_EQ(ReadBytes(folder / "a.txt"), Content());
        const std::string t = p.Sink().Transcript();
        EXPECT_NE(t.find("Rollback: " + std::string(c.wiping ? "Wiping " : "Deleting ") + (folder / "a.txt") +
                         (c.family == MyObjectAes::FamilyNone ? ".aes" : ".gz.aes") + " [OK]"),
                  std::string::npos)
            << t;
    }
}

// Every failure reads as it always has: the fixed text naming the file the
// user knows (never a temporary one), with nothing appended to it; the
// system's reason follows on a line of its own. A rollback tells the
// folder's temporary file by the name the log knows it under.
TEST(QuotedTexts, ErrorLinesAreTheFixedTexts)
{
    struct Case {
        const char* what;
        int family;
        bool decrypt;
        FaultInjection::Operation operation;
        int call;
        int error;
        std::string line;  // '@' stands for the folder
        std::string told;  // what the log shows before it, if anything
    };
    using Op = FaultInjection::Operation;
    const int none = MyObjectAes::FamilyNone, gzip = MyObjectAes::FamilyGzip, bzip2 = MyObjectAes::FamilyBzip2;
    const Case cases[] = {
        {"no file can be made", none, false, Op::Create, 1, EACCES, "ERROR(-5): Unable to open file '@a.txt.aes'",
         "a.txt to a.txt.aes "},
        {"the disk is full", none, false, Op::Write, 2, ENOSPC, "ERROR(-2): Unable to write file '@a.txt.aes'",
         "a.txt to a.txt.aes \r\nRollback: Deleting @~aes.tmp [OK]\r\n"},
        {"the rename is refused", none, true, Op::Rename, 1, EROFS, "ERROR(-3): Unable to copy '@~aes.tmp' to '@a.txt'",
         "a.txt.aes \r\nRollback: Deleting @~aes.tmp [OK]\r\n"},
        {"no compressed file can be made", gzip, false, Op::Create, 1, EACCES, "ERROR(-6): Unable to open '@a.txt.gz'", ""},
        {"gzip's disk is full", gzip, false, Op::Write, 1, ENOSPC, "ERROR(-2): Unable to gzwrite on '@a.txt.gz'", ""},
        {"bzip2's disk is full", bzip2, false, Op::Write, 1, ENOSPC, "ERROR(-2): Unable to write on '@a.txt.bz'", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        WriteBytes(folder / "a.txt", Content());
        PipelineOptions o = Make(true, c.family, false);
        std::string path = folder / "a.txt";
        if (c.decrypt) {
            ASSERT_TRUE(Pipeline(o).Run(path).ok);
            path += ".aes";
        }
        Pipeline p(o);
        FaultInjection::FailAt(c.operation, c.call, c.error);
        const RunResult r = p.Run(path);
        FaultInjection::Reset();
        EXPECT_FALSE(r.ok);
        const auto inFolder = [&](std::string text) {
            for (auto at = text.find('@'); at != std::string::npos; at = text.find('@'))
                text.replace(at, 1, folder.Path() + "/");
            return text;
        };
        const std::string line = inFolder(c.line + "\r\n");
        EXPECT_EQ(r.errorLine, line);
        const std::string t = p.Sink().Transcript();
        if (!c.told.empty()) {
            EXPECT_NE(t.find(inFolder(c.told) + line + MyStream::ReasonLine(std::strerror(c.error))),
                      std::string::npos)
                << t;
        }
        EXPECT_EQ(t.find("~aes-"), std::string::npos) << t;
        EXPECT_FALSE(HasTemporary(folder.Path()));
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, PipelineFault, ::testing::ValuesIn(Scenarios),
                         [](const ::testing::TestParamInfo<Scenario>& p) { return std::string(p.param.label); });

} // namespace
} // namespace tessarin
