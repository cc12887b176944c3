// The codec streams through a read-ahead thread and a write-behind thread.
// These tests hold it to what the serial codec did: the same bytes for the
// same filler, the same errors at every chunk, nothing written after a
// break, and the sink called on the caller's thread only.
#include "cipher/MyAesFiles.h"
#include "foundation/ErrorHandler.h"
#include "foundation/OverlappedIo.h"
#include "faults/FaultInjection.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace tessarin {
namespace {

using test::TempFolder;

constexpr std::size_t C = MyAesFiles::ChunkSize;

struct Settings {
    int keyLength;
    int block;
    OperMode mode;
};

void Key(MyAesFiles& codec, const Settings& s, const std::string& password = "overlap")
{
    const auto k = static_cast<MyAesFiles::KeyLen>(s.keyLength);
    const auto b = static_cast<MyAesFiles::BlockSize>(s.block);
    if (s.mode == OperMode::CFB)
        codec.MakeEncKey(password, k, b);
    else
        codec.MakeDecKey(password, k, b);
}

std::uint64_t Encode(const std::string& from, const std::string& to, const Settings& s, MyStream* sink = nullptr,
                     std::uint32_t filter = 0, std::uint32_t nf = 0)
{
    MyAesFiles codec(sink, &test::LoadedCipher(s.block));
    Key(codec, s);
    MyFile source(from, MyFile::OpenRead);
    MyFile destination(to, MyFile::OpenWrite);
    return codec.Encode(source, destination, s.mode, filter, nf);
}

std::uint32_t Decode(const std::string& from, const std::string& to, const Settings& s, MyStream* sink = nullptr)
{
    MyAesFiles codec(sink, &test::LoadedCipher(s.block));
    Key(codec, s);
    MyFile source(from, MyFile::OpenRead);
    MyFile destination(to, MyFile::OpenWrite);
    return codec.Decode(source, destination, s.mode);
}

std::uint64_t Fnv1a64(const std::vector<std::uint8_t>& bytes)
{
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (std::uint8_t b : bytes) {
        h ^= b;
        h *= 0x100000001b3ull;
    }
    return h;
}

class FixedFiller {
public:
    FixedFiller() { MyAesFiles::SetFixedFillerForTesting(&m_filler); }
    ~FixedFiller() { MyAesFiles::SetFixedFillerForTesting(nullptr); }
    FixedFiller(const FixedFiller&) = delete;
    FixedFiller& operator=(const FixedFiller&) = delete;

private:
    MyAesFiles::FixedFiller m_filler{0x5A, 1700000000u};
};

// Digests of containers written by the serial codec (one read, encipher,
// write per chunk on one thread) under the fixed filler. The overlapped
// codec must write the very same bytes.
struct Golden {
    Settings settings;
    std::size_t length;
    std::uint32_t filter;
    std::uint32_t nfSize;
    std::uint64_t size;
    std::uint64_t digest;
};

const Golden Goldens[] = {
    {{32, 16, OperMode::CBC}, 0, 0, 0, 1088, 0x1307643571ea22beull},
    {{32, 16, OperMode::CBC}, 1000, 0, 0, 2096, 0x8f6da707c76ab815ull},
    {{32, 16, OperMode::CBC}, 443369, 0, 0, 444464, 0x1eec6f0a83f5a3e0ull},
    {{16, 24, OperMode::ECB}, 443369, 0, 0, 444480, 0x4de8c7498cffb83dull},
    {{24, 32, OperMode::CFB}, 443369, 0, 0, 444480, 0xef19992a28405b6cull},
    {{32, 32, OperMode::CBC}, 737280, 0, 0, 738368, 0x0e7a38a3605cee73ull},
    {{16, 16, OperMode::CFB}, 294919, 0x00010005, 1327104, 296016, 0xa96f27b922899ab4ull},
    {{32, 24, OperMode::CBC}, 589800, 0x00020009, 1622016, 590904, 0x975dd5950a581a68ull},
};

TEST(OverlappedCodec, ContainersAreByteIdenticalToTheSerialCodecs)
{
    TempFolder folder;
    FixedFiller fixed;
    for (const bool threads : {true, false}) {
        SCOPED_TRACE(threads ? "with threads" : "on one thread");
        SetOverlapAllowed(threads);
        for (const Golden& g : Goldens) {
            const std::string plain = folder / "plain.bin";
            test::WriteBytes(plain, test::SeededBytes(g.length, static_cast<std::uint32_t>(g.length) + 3));
            const std::uint64_t written = Encode(plain, folder / "box", g.settings, nullptr, g.filter, g.nfSize);
            const auto box = test::ReadBytes(folder / "box");
            EXPECT_EQ(written, box.size());
            EXPECT_EQ(box.size(), g.size) << g.length;
            EXPECT_EQ(Fnv1a64(box), g.digest) << g.length;
        }
        SetOverlapAllowed(true);
    }
}

// A file long enough for the threads: six whole chunks and a ragged end.
constexpr std::size_t Chunks = 6;
constexpr std::size_t Long = Chunks * C + 1001;
const Settings Cbc{32, 16, OperMode::CBC};
constexpr std::uint64_t Header = 1088;  // both hunks, block 16

// Reports on the sink: one for the header, then one per chunk. A break
// asked from the n-th report on stops at chunk max(1, n - 1): the chunks
// before it are written whole, nothing of it or after it.
TEST(OverlappedCodec, BreakAtEveryChunkWritesExactlyTheChunksBefore)
{
    TempFolder folder;
    FixedFiller fixed;  // the same filler and time in every container
    const auto plain = test::SeededBytes(Long, 31);
    test::WriteBytes(folder / "plain.bin", plain);
    Encode(folder / "plain.bin", folder / "whole", Cbc);
    const auto whole = test::ReadBytes(folder / "whole");
    const std::thread::id caller = std::this_thread::get_id();

    for (int breakAt = 1; breakAt <= int(Chunks) + 2; ++breakAt) {
        SCOPED_TRACE("break from report " + std::to_string(breakAt));
        const std::size_t stopsAt = std::max(1, breakAt - 1);  // the chunk, counted from 1
        const std::size_t before = std::min(stopsAt - 1, Chunks + 1);

        test::RecordingSink sink(breakAt);
        bool otherThread = false;
        sink.OnReport([&](int) { otherThread |= std::this_thread::get_id() != caller; });
        auto e = test::CatchError([&] { Encode(folder / "plain.bin", folder / "box", Cbc, &sink); });
        EXPECT_EQ(e.GetErrCode(), errc::BreakByUser);
        EXPECT_EQ(e.GetErrString(), "Break by user!");
        EXPECT_EQ(sink.Reports(), int(stopsAt) + 1);  // no report after the break
        EXPECT_FALSE(otherThread);
        const auto box = test::ReadBytes(folder / "box");
        ASSERT_EQ(box.size(), Header + before * C);
        // What was written is the start of the whole container.
        EXPECT_TRUE(std::equal(box.begin(), box.end(), whole.begin()));

        test::RecordingSink decodeSink(breakAt);
        e = test::CatchError([&] { Decode(folder / "whole", folder / "out", Cbc, &decodeSink); });
        EXPECT_EQ(e.GetErrCode(), errc::BreakByUser);
        const auto out = test::ReadBytes(folder / "out");
        ASSERT_EQ(out.size(), before * C);
        EXPECT_TRUE(std::equal(out.begin(), out.end(), plain.begin()));
    }
}

// Every write of the container fails in turn: the header hunks' two writes,
// then one per chunk. The failure is the file's own message, the container
// ends where the failing write would have begun, and no later chunk is
// written after it.
TEST(OverlappedCodec, AWriteFailureAtEveryChunkSurfacesAsTheFilesOwn)
{
    TempFolder folder;
    const auto plain = test::SeededBytes(Long, 32);
    test::WriteBytes(folder / "plain.bin", plain);
    Encode(folder / "plain.bin", folder / "whole", Cbc);
    const int writes = 1 + int(Chunks) + 1;  // the header's two hunks go in one write

    for (int call = 1; call <= writes; ++call) {
        SCOPED_TRACE("failing write " + std::to_string(call));
        FaultInjection::FailAt(FaultInjection::Operation::Write, call, ENOSPC);
        auto e = test::CatchError([&] { Encode(folder / "plain.bin", folder / "box", Cbc); });
        const int later = FaultInjection::CallsSince(FaultInjection::Operation::Write);
        FaultInjection::Reset();
        EXPECT_EQ(e.GetErrCode(), errc::WriteFailed);
        EXPECT_EQ(e.GetErrString(), "Unable to write file '" + (folder / "box") + "'");
        EXPECT_EQ(e.GetReason(), "No space left on device");
        EXPECT_EQ(later, call);
        const std::uint64_t expected = call == 1 ? 0 : Header + std::uint64_t(call - 2) * C;
        EXPECT_EQ(test::ReadBytes(folder / "box").size(), expected);
    }
    for (int call = 1; call <= int(Chunks) + 1; ++call) {
        SCOPED_TRACE("failing plain write " + std::to_string(call));
        FaultInjection::FailAt(FaultInjection::Operation::Write, call, EIO);
        auto e = test::CatchError([&] { Decode(folder / "whole", folder / "out", Cbc); });
        const int later = FaultInjection::CallsSince(FaultInjection::Operation::Write);
        FaultInjection::Reset();
        EXPECT_EQ(e.GetErrCode(), errc::WriteFailed);
        EXPECT_EQ(e.GetErrString(), "Unable to write file '" + (folder / "out") + "'");
        EXPECT_EQ(e.GetReason(), "Input/output error");
        EXPECT_EQ(later, call);
        EXPECT_EQ(test::ReadBytes(folder / "out").size(), std::uint64_t(call - 1) * C);
    }
}

// The source stops being readable while the reading thread runs ahead (its
// descriptor is made to name a folder from the n-th report on). The read
// failure reaches the caller with the file's own message, in its place:
// every chunk before it was written.
TEST(OverlappedCodec, AReadFailureAtEveryChunkSurfacesAsTheFilesOwn)
{
    TempFolder folder;
    test::WriteBytes(folder / "plain.bin", test::SeededBytes(Long, 33));
    Encode(folder / "plain.bin", folder / "whole", Cbc);

    struct Case {
        const char* what;
        std::string input;
        bool encode;
    };
    const Case cases[] = {{"encode", folder / "plain.bin", true}, {"decode", folder / "whole", false}};
    for (const Case& c : cases) {
        // The reader runs at most a ring of four chunks ahead, so from any
        // of these reports on, some read of the seven chunks is still to come.
        for (int at = 1; at <= 3; ++at) {
            SCOPED_TRACE(std::string(c.what) + " unreadable from report " + std::to_string(at));
            test::RecordingSink sink;
            MyAesFiles codec(&sink, &test::LoadedCipher(Cbc.block));
            Key(codec, Cbc);
            MyFile source(c.input, MyFile::OpenRead);
            MyFile destination(folder / "out", MyFile::OpenWrite);
            const int dir = ::open(folder.Path().c_str(), O_RDONLY | O_DIRECTORY);
            ASSERT_GE(dir, 0);
            sink.OnReport([&](int reports) {
                if (reports == at)
                    ::dup2(dir, source.GetHandle());
            });
            auto e = test::CatchError([&] {
                if (c.encode)
                    codec.Encode(source, destination, Cbc.mode, 0, 0);
                else
                    codec.Decode(source, destination, Cbc.mode);
            });
            ::close(dir);
            EXPECT_EQ(e.GetErrCode(), errc::ReadFailed);
            EXPECT_EQ(e.GetErrString(), "Unable to read from file '" + c.input + "'");
            EXPECT_EQ(e.GetReason(), "Is a directory");
            // Every chunk reported (all but the header's report) was
            // written whole, and nothing else.
            const std::uint64_t head = c.encode ? Header : 0;
            EXPECT_EQ(test::ReadBytes(folder / "out").size(), head + std::uint64_t(sink.Reports() - 1) * C);
        }
    }
}

// Lengths around the chunk and block boundaries where the threads start to
// be used, and the ragged last chunk, in every mode.
TEST(OverlappedCodec, LengthsAroundTheBoundariesRoundTrip)
{
    TempFolder folder;
    for (const Settings& s : {Settings{16, 24, OperMode::ECB}, Settings{32, 32, OperMode::CFB}, Cbc}) {
        for (std::size_t length : {3 * C - 1, 3 * C, 3 * C + 1, 4 * C - 5, 7 * C + 23}) {
            SCOPED_TRACE(std::to_string(length) + " bytes, block " + std::to_string(s.block));
            const auto plain = test::SeededBytes(length, static_cast<std::uint32_t>(length));
            test::WriteBytes(folder / "plain.bin", plain);
            const std::uint64_t stored = Encode(folder / "plain.bin", folder / "box", s);
            const auto bs = static_cast<std::uint64_t>(s.block);
            EXPECT_EQ(stored, MyAesFiles::CalcHeader(1048, s.block) + MyAesFiles::CalcHeader(24, s.block) +
                                  (length + bs - 1) / bs * bs);
            EXPECT_EQ(Decode(folder / "box", folder / "out", s), length);
            EXPECT_EQ(test::ReadBytes(folder / "out"), plain);
        }
    }
}

} // namespace
} // namespace tessarin
