// With wiping on, the pipeline overwrites every plain file it removes and
// every container it deletes: three rounds of the three passes, each pass in
// pieces of at most 64 KiB. The same run with wiping off is the baseline;
// the difference in writes is the wiping alone. A handle the test holds
// open on the input shows what its content became after its name is gone
// (a second name would not do: content that lives on under another name is
// not the pipeline's to overwrite).
#include "engine/processing/PipelineHarness.h"
#include "faults/FaultInjection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace tessarin {
namespace {

using namespace test;
using Names = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

// Writes of one wiping deletion per file length: rounds times patterns
// times pieces.
int WipeWrites(const std::vector<std::uint64_t>& wipedLengths)
{
    int writes = 0;
    for (const std::uint64_t length : wipedLengths)
        writes += static_cast<int>(MyFile::WipeRounds) * 3 * static_cast<int>((length + 65535) / 65536);
    return writes;
}

struct WipeCase {
    const char* what;
    PipelineOptions options;  // wiping is set by the test
    bool decrypt;             // the input is the container the options make of a.txt
    std::size_t length;       // of a.txt
    bool inputWiped;          // the input's content must be overwritten
    Names after;              // "%" stands for the mangled digits of a.txt's path
};

void PrintTo(const WipeCase& c, std::ostream* os)
{
    *os << c.what;
}

PipelineOptions Naming(bool mangling, bool changeExt, bool deleteOriginal)
{
    PipelineOptions o;
    o.mangling = mangling;
    o.changeExtension = changeExt;
    o.deleteOriginal = deleteOriginal;
    return o;
}

const WipeCase WipeCases[] = {
    {"encrypting to .aes deletes the original", Naming(false, true, true), false, 1000, true, {"a.txt.aes"}},
    {"encrypting to .aes deletes an original of four pieces", Naming(false, true, true), false, 200000, true,
     {"a.txt.aes"}},
    {"encrypting under its own name replaces the plain file", Naming(false, false, true), false, 65536, true,
     {"a.txt"}},
    {"encrypting under its own name replaces the plain file even when keeping originals",
     Naming(false, false, false), false, 65537, true, {"a.txt"}},
    {"encrypting to a mangled .aes name deletes the original", Naming(true, true, true), false, 3000, true,
     {"%.aes"}},
    {"encrypting to a mangled name with the extension deletes the original", Naming(true, false, true), false,
     140000, true, {"%.txt"}},
    {"encrypting while keeping originals wipes nothing", Naming(false, true, false), false, 5000, false,
     {"a.txt", "a.txt.aes"}},
    {"decrypting a .aes container deletes it", Naming(false, true, true), true, 70000, true, {"a.txt"}},
    {"decrypting a small .aes container deletes it", Naming(false, true, true), true, 100, true, {"a.txt"}},
    {"decrypting a mangled .aes container deletes it", Naming(true, true, true), true, 2000, true, {"a.txt"}},
    {"decrypting while keeping originals wipes nothing", Naming(false, true, false), true, 5000, false,
     {"a.txt", "a.txt.aes"}},
    {"decrypting under its own name replaces the container unwiped", Naming(false, false, true), true, 5000,
     false, {"a.txt"}},
};

bool AllAre(const Bytes& bytes, std::uint8_t value)
{
    return std::all_of(bytes.begin(), bytes.end(), [value](std::uint8_t b) { return b == value; });
}

// A read-only handle on a file: its content stays readable through it
// whatever becomes of the name.
class Witness {
public:
    explicit Witness(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
    {
        EXPECT_GE(m_fd, 0) << path;
    }
    ~Witness()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Witness(const Witness&) = delete;
    Witness& operator=(const Witness&) = delete;

    Bytes Content() const
    {
        Bytes bytes;
        std::uint8_t buffer[65536];
        for (off_t at = 0;;) {
            const ssize_t n = ::pread(m_fd, buffer, sizeof buffer, at);
            if (n <= 0)
                break;
            bytes.insert(bytes.end(), buffer, buffer + n);
            at += n;
        }
        return bytes;
    }

private:
    int m_fd;
};

struct Outcome {
    int writes = 0;
    std::uint64_t inputLength = 0;
};

class PipelineWipe : public ::testing::TestWithParam<WipeCase> {
protected:
    // One run of the case in a fresh folder; checks what is left and what
    // became of the input's content.
    Outcome RunOnce(bool wiping)
    {
        const WipeCase& c = GetParam();
        SCOPED_TRACE(wiping ? "wiping" : "not wiping");
        TempFolder folder;
        const std::string work = folder.Path();
        const Bytes plain = SeededBytes(c.length, 31);
        WriteBytes(work + "/a.txt", plain);
        const std::string digits = Mangled(work + "/a.txt");
        std::string input = work + "/a.txt";
        if (c.decrypt) {
            PipelineOptions writer = c.options;
            writer.deleteOriginal = true;
            EXPECT_TRUE(Pipeline(writer).Run(input).ok);
            const Names made = ListFolder(work);
            EXPECT_EQ(made.size(), 1u);
            input = work + "/" + made.front();
        }
        const Bytes inputBytes = ReadBytes(input);
        const Witness witness(input);

        PipelineOptions o = c.options;
        o.wiping = wiping;
        Pipeline p(o);
        FaultInjection::FailAt(FaultInjection::Operation::Write, 0, 0);  // count only
        const RunResult r = p.Run(input);
        Outcome outcome{FaultInjection::CallsSince(FaultInjection::Operation::Write), inputBytes.size()};
        FaultInjection::Reset();

        EXPECT_TRUE(r.ok) << r.errorLine;
        Names expected;
        for (std::string name : c.after) {
            if (const auto at = name.find('%'); at != std::string::npos)
                name.replace(at, 1, digits);
            expected.push_back(name);
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ListFolder(work), expected);
        if (c.decrypt) {
            EXPECT_EQ(ReadBytes(work + "/a.txt"), plain);
        }

        const Bytes seen = witness.Content();
        EXPECT_EQ(seen.size(), inputBytes.size()) << "wiping neither truncates nor extends";
        if (wiping && c.inputWiped) {
            // The last pass is the random one.
            EXPECT_TRUE(seen != inputBytes);
            EXPECT_FALSE(AllAre(seen, 0x00));
            EXPECT_FALSE(AllAre(seen, 0xFF));
        } else {
            EXPECT_TRUE(seen == inputBytes);
        }
        const std::string transcript = p.Sink().Transcript();
        EXPECT_EQ(transcript.find("Wiping " + input + " ") != std::string::npos, wiping && c.inputWiped)
            << transcript;
        if (wiping) {
            EXPECT_EQ(transcript.find("Deleting "), std::string::npos) << transcript;
        }
        return outcome;
    }
};

TEST_P(PipelineWipe, WipesExactlyTheRemovedPlainFilesAndContainers)
{
    const WipeCase& c = GetParam();
    const Outcome off = RunOnce(false);
    const Outcome on = RunOnce(true);
    ASSERT_GT(off.writes, 0);
    std::vector<std::uint64_t> wiped;
    if (c.inputWiped)
        wiped.push_back(on.inputLength);
    EXPECT_EQ(on.writes - off.writes, WipeWrites(wiped)) << "input of " << on.inputLength << " bytes";
}

INSTANTIATE_TEST_SUITE_P(Paths, PipelineWipe, ::testing::ValuesIn(WipeCases),
                         [](const ::testing::TestParamInfo<WipeCase>& p) { return CaseName(p.param.what); });

} // namespace
} // namespace tessarin
