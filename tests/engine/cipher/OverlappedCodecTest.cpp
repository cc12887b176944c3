// The codec streams through a read-ahead thread and a write-behind thread.
// These tests hold it to what the serial codec did: the same bytes for the
// same filler, the same errors at every chunk, nothing written after a
// break, and the sink called on the caller's thread only.
#include "cipher/MyAesFiles.h"
#include "foundation/ErrorHandler.h"
#include "platform/FaultInjection.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace tessarin {
namespace {

using platform::FaultInjection;
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

[[maybe_unused]] std::uint32_t Decode(const std::string& from, const std::string& to, const Settings& s, MyStream* sink = nullptr)
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
    for (const Golden& g : Goldens) {
        const std::string plain = folder / "plain.bin";
        test::WriteBytes(plain, test::SeededBytes(g.length, static_cast<std::uint32_t>(g.length) + 3));
        const std::uint64_t written = Encode(plain, folder / "box", g.settings, nullptr, g.filter, g.nfSize);
        const auto box = test::ReadBytes(folder / "box");
        EXPECT_EQ(written, box.size());
        EXPECT_EQ(box.size(), g.size) << g.length;
        EXPECT_EQ(Fnv1a64(box), g.digest) << g.length;
    }
}

} // namespace
} // namespace tessarin
