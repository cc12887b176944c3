// The whole pipeline over a file long enough for the codec's and the
// compressors' threads: a break at every report, or a write failing at
// every chunk, leaves the folder as it was. Nothing written after the break
// survives, nothing is left half-written, and the original stays intact.
#include "engine/processing/PipelineHarness.h"
#include "foundation/ErrorHandler.h"
#include "faults/FaultInjection.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>

namespace tessarin {
namespace {

using namespace test;
using Snapshot = std::map<std::string, std::vector<std::uint8_t>>;

struct Scenario {
    const char* label;
    int family;
    bool decrypt;  // run on the container the options make of the file
};

const Scenario Scenarios[] = {
    {"encrypt_plain", MyObjectAes::FamilyNone, false}, {"encrypt_gzip", MyObjectAes::FamilyGzip, false},
    {"encrypt_bzip2", MyObjectAes::FamilyBzip2, false}, {"decrypt_plain", MyObjectAes::FamilyNone, true},
    {"decrypt_gzip", MyObjectAes::FamilyGzip, true},   {"decrypt_bzip2", MyObjectAes::FamilyBzip2, true},
};

void PrintTo(const Scenario& s, std::ostream* os)
{
    *os << s.label;
}

PipelineOptions OptionsOf(const Scenario& s)
{
    PipelineOptions o;
    o.family = s.family;
    o.level = 1;
    o.changeExtension = true;
    return o;
}

// Six chunks: noise, which no compressor shrinks, then a motif that
// compresses well, so the compressed form also spans enough chunks for the
// codec's threads.
std::vector<std::uint8_t> Content()
{
    constexpr std::size_t C = MyAesFiles::ChunkSize;
    auto bytes = SeededBytes(3 * C + 333, 41);
    const auto motif = SeededBytes(4099, 42);
    for (std::size_t i = 0; i < 3 * C; ++i)
        bytes.push_back(motif[i % motif.size()]);
    return bytes;
}

std::string Prepare(const TempFolder& folder, const Scenario& s)
{
    WriteBytes(folder / "a.txt", Content());
    if (!s.decrypt)
        return folder / "a.txt";
    Pipeline(OptionsOf(s)).Run(folder / "a.txt");
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

class OverlappedPipeline : public ::testing::TestWithParam<Scenario> {};

TEST_P(OverlappedPipeline, BreakAtEveryReportLeavesTheFolderAsItWas)
{
    const Scenario& s = GetParam();
    int reports = 0;
    {
        TempFolder folder;
        Pipeline whole(OptionsOf(s));
        ASSERT_TRUE(whole.Run(Prepare(folder, s)).ok);
        reports = whole.Sink().Reports();
    }
    ASSERT_GE(reports, 7);  // the header and six chunks at least
    for (int after = 0; after < reports; ++after) {
        SCOPED_TRACE("break after " + std::to_string(after) + " of " + std::to_string(reports));
        TempFolder folder;
        const std::string path = Prepare(folder, s);
        const Snapshot before = Take(folder);
        Pipeline p(OptionsOf(s), after);
        const RunResult r = p.Run(path);
        EXPECT_TRUE(r.broke);
        EXPECT_EQ(r.errorLine, "ERROR(-28): Break by user!\r\n");
        EXPECT_EQ(Take(folder), before);
    }
}

TEST_P(OverlappedPipeline, AWriteFailingAtEveryChunkLosesNothing)
{
    const Scenario& s = GetParam();
    int writes = 0;
    {
        TempFolder folder;
        const std::string path = Prepare(folder, s);
        FaultInjection::FailAt(FaultInjection::Operation::Write, 0, 0);  // count only
        ASSERT_TRUE(Pipeline(OptionsOf(s)).Run(path).ok);
        writes = FaultInjection::CallsSince(FaultInjection::Operation::Write);
        FaultInjection::Reset();
    }
    ASSERT_GE(writes, 6);
    for (int call = 1; call <= writes; ++call) {
        SCOPED_TRACE("write " + std::to_string(call) + " of " + std::to_string(writes));
        TempFolder folder;
        const std::string path = Prepare(folder, s);
        FaultInjection::FailAt(FaultInjection::Operation::Write, call, call % 2 ? ENOSPC : EIO);
        const RunResult r = Pipeline(OptionsOf(s)).Run(path);
        FaultInjection::Reset();
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.broke);
        EXPECT_EQ(r.errorLine.rfind("ERROR(", 0), 0u);
        EXPECT_FALSE(HasTemporary(folder.Path()));
        // The input is still there, whole; nothing else is.
        EXPECT_EQ(ListFolder(folder.Path()), std::vector<std::string>{path.substr(path.rfind('/') + 1)});
        EXPECT_EQ(PlainOf(path, OptionsOf(s)), Content());
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, OverlappedPipeline, ::testing::ValuesIn(Scenarios),
                         [](const ::testing::TestParamInfo<Scenario>& p) { return std::string(p.param.label); });

} // namespace
} // namespace tessarin
