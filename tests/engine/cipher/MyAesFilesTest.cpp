#include "cipher/MyAesFiles.h"
#include "foundation/CCrc32Dynamic.h"
#include "foundation/ErrorHandler.h"
#include "processing/CipherSession.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <ctime>
#include <map>

namespace tessarin {
namespace {

using Record = AESclass::AesCallBack;
using test::TempFolder;

struct Settings {
    int keyLength = 32;
    int block = 32;
    OperMode mode = OperMode::CBC;
    std::string password = "secret";
};

std::string Describe(const Settings& s);
void PrintTo(const Settings& s, std::ostream* os) { *os << Describe(s); }

std::string Describe(const Settings& s)
{
    return "key " + std::to_string(s.keyLength) + " block " + std::to_string(s.block) + " mode " +
           std::to_string(int(s.mode)) + " password '" + s.password + "'";
}

// Keys the codec the way the pipeline does: the forward schedule for
// feedback mode, the inverse one otherwise.
void Key(MyAesFiles& codec, const Settings& s)
{
    const auto k = static_cast<MyAesFiles::KeyLen>(s.keyLength);
    const auto b = static_cast<MyAesFiles::BlockSize>(s.block);
    if (s.mode == OperMode::CFB)
        codec.MakeEncKey(s.password, k, b);
    else
        codec.MakeDecKey(s.password, k, b);
}

std::uint64_t EncodeFile(const std::string& from, const std::string& to, const Settings& s, MyStream* sink = nullptr,
                         std::uint32_t filter = 0, std::uint32_t nf = 0)
{
    MyAesFiles codec(sink, &test::LoadedCipher(s.block));
    Key(codec, s);
    MyFile source(from, MyFile::OpenRead);
    MyFile destination(to, MyFile::OpenWrite);
    return codec.Encode(source, destination, s.mode, filter, nf);
}

int Check(const std::string& path, const Settings& s)
{
    MyAesFiles codec(nullptr, &test::LoadedCipher(s.block));
    Key(codec, s);
    MyFile source(path, MyFile::OpenRead);
    return codec.CheckHeader(source, s.mode);
}

// As Check, through a session that keeps its key's schedules for every
// codec it keys: set to s first, as a batch with other settings would be.
int CheckThrough(CipherSession& session, const std::string& path, const Settings& s)
{
    session.SetMode(s.mode);
    session.SetPasswd(s.password, static_cast<MyAesFiles::KeyLen>(s.keyLength),
                      static_cast<MyAesFiles::BlockSize>(s.block));
    if (session.Binding()->blockLength != static_cast<unsigned>(s.block))
        session.LoadLibraryA(static_cast<unsigned>(s.block));
    MyAesFiles codec(nullptr, session.Binding());
    session.KeyCodec(codec);
    MyFile source(path, MyFile::OpenRead);
    return codec.CheckHeader(source, s.mode);
}

std::vector<Settings> AllCombinations()
{
    std::vector<Settings> all;
    for (int b : {16, 24, 32})
        for (int k : {16, 24, 32})
            for (OperMode m : {OperMode::ECB, OperMode::CBC, OperMode::CFB})
                all.push_back({k, b, m, "pass word " + std::to_string(b + k)});
    return all;
}

std::size_t RoundUp(std::size_t n, int block)
{
    const auto bs = static_cast<std::size_t>(block);
    return (n + bs - 1) / bs * bs;
}

TEST(MyAesFiles, ContainerSizes)
{
    TempFolder folder;
    for (int block : {16, 24, 32}) {
        const std::size_t header = block == 24 ? 1104 : 1088;
        const auto bs = static_cast<std::size_t>(block);
        for (std::size_t length : {std::size_t{0}, std::size_t{1}, bs - 1, bs, bs + 1, 3 * bs}) {
            test::WriteBytes(folder / "plain", test::SeededBytes(length, 1));
            const Settings s{16, block, OperMode::CBC, "pw"};
            const std::uint64_t written = EncodeFile(folder / "plain", folder / "box", s);
            const std::size_t expected = header + RoundUp(length, block);
            EXPECT_EQ(written, expected) << "block " << block << " length " << length;
            EXPECT_EQ(test::ReadBytes(folder / "box").size(), expected);
        }
    }
}

class RoundTrip : public ::testing::TestWithParam<Settings> {};

TEST_P(RoundTrip, KeepsBytesAndHeaderFields)
{
    TempFolder folder;
    {
        const Settings& s = GetParam();
        const auto bs = static_cast<std::size_t>(s.block);
        const std::size_t C = MyAesFiles::ChunkSize;
        for (std::size_t length : {std::size_t{0}, std::size_t{1}, bs - 1, bs, bs + 1, C - 1, C, C + 1,
                                   2 * C + bs, (std::size_t{1} << 20) + 5}) {
            SCOPED_TRACE(Describe(s) + " length " + std::to_string(length));
            const auto plain = test::SeededBytes(length, static_cast<std::uint32_t>(length + bs));
            test::WriteBytes(folder / "source.dat", plain);
            const std::uint32_t filter = length % 2 ? 0x00020009u : 0;
            const std::uint32_t nf = filter ? 777777u : 0;
            const auto before = static_cast<std::uint32_t>(std::time(nullptr));
            EncodeFile(folder / "source.dat", folder / "box", s, nullptr, filter, nf);
            const auto after = static_cast<std::uint32_t>(std::time(nullptr));

            MyAesFiles codec(nullptr, &test::LoadedCipher(s.block));
            Key(codec, s);
            MyFile source(folder / "box", MyFile::OpenRead);
            MyFile destination(folder / "out", MyFile::OpenWrite);
            EXPECT_EQ(codec.Decode(source, destination, s.mode), length);
            destination.Close();
            EXPECT_EQ(test::ReadBytes(folder / "out"), plain);
            EXPECT_EQ(codec.GetNameFromHeader(), "source.dat");
            CCrc32Dynamic crc;
            EXPECT_EQ(codec.GetCrcFromHeader(), crc.CalcFile(folder / "source.dat"));
            EXPECT_GE(codec.GetTimeFromHeader(), before);
            EXPECT_LE(codec.GetTimeFromHeader(), after);
            EXPECT_EQ(codec.GetFilterFromHeader(), filter);
            EXPECT_EQ(codec.GetNfSizeFromHeader(), filter ? nf : length);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllSettings, RoundTrip, ::testing::ValuesIn(AllCombinations()),
                         [](const auto& p) { return "b" + std::to_string(p.param.block) + "_k" +
                                                    std::to_string(p.param.keyLength) + "_m" +
                                                    std::to_string(int(p.param.mode)); });

TEST(MyAesFiles, DecodeNamesTheDestinationAfterTheStoredName)
{
    TempFolder folder;
    test::WriteBytes(folder / "report.txt", test::SeededBytes(100, 2));
    const Settings s;
    EncodeFile(folder / "report.txt", folder / "box", s);
    MyAesFiles codec(nullptr, &test::LoadedCipher(s.block));
    Key(codec, s);
    MyFile source(folder / "box", MyFile::OpenRead);
    MyFile destination(folder / "tmp", MyFile::OpenWrite);
    codec.Decode(source, destination, s.mode);
    EXPECT_EQ(destination.GetFullFilename(), folder / "report.txt");
    EXPECT_EQ(destination.GetSize(), 100u);
    EXPECT_EQ(destination.GetCrc(), codec.GetCrcFromHeader());
}

TEST(MyAesFiles, CheckHeaderRecognisesOnlyTheWritersSettings)
{
    TempFolder folder;
    test::WriteBytes(folder / "plain", test::SeededBytes(5000, 4));
    test::WriteBytes(folder / "short", test::SeededBytes(1055, 4));
    const Settings writer{24, 32, OperMode::CBC, "right"};
    EncodeFile(folder / "plain", folder / "box", writer);

    const struct {
        std::string what, file;
        Settings reader;
        int expected;
    } cases[] = {
        {"same settings", "box", writer, 2},
        {"plain file", "plain", writer, -1},
        {"shorter than the first hunk", "short", writer, -1},
        {"wrong password", "box", {24, 32, OperMode::CBC, "wrong"}, -1},
        {"wrong mode", "box", {24, 32, OperMode::ECB, "right"}, -1},
        {"wrong feedback mode", "box", {24, 32, OperMode::CFB, "right"}, -1},
        {"wrong key length", "box", {32, 32, OperMode::CBC, "right"}, -1},
        {"wrong block size", "box", {24, 16, OperMode::CBC, "right"}, -1},
    };
    CipherSession session;  // one for all rows: no row may read with an earlier row's key
    for (const auto& c : cases) {
        EXPECT_EQ(Check(folder / c.file, c.reader), c.expected) << c.what;
        EXPECT_EQ(CheckThrough(session, folder / c.file, c.reader), c.expected) << c.what << ", one session";
    }
}

TEST(MyAesFiles, FailuresCarryTheirCodes)
{
    TempFolder folder;
    const auto plain = test::SeededBytes(400000, 9);
    test::WriteBytes(folder / "plain", plain);
    const Settings s{32, 16, OperMode::CFB, "pw"};
    EncodeFile(folder / "plain", folder / "box", s);

    auto decode = [&](const Settings& with, const std::string& box) {
        MyAesFiles codec(nullptr, &test::LoadedCipher(with.block));
        Key(codec, with);
        MyFile source(box, MyFile::OpenRead);
        MyFile destination(folder / "out", MyFile::OpenWrite);
        codec.Decode(source, destination, with.mode);
    };

    auto e = test::CatchError([&] { decode({32, 16, OperMode::CFB, "PW"}, folder / "box"); });
    EXPECT_EQ(e.GetErrCode(), errc::NotAesFile);
    EXPECT_EQ(e.GetErrString(), "Not AES file or wrong passwd!");

    // An altered data byte: every byte still arrives, then the check fails.
    auto box = test::ReadBytes(folder / "box");
    box[1088 + 200000] ^= 0x01;
    test::WriteBytes(folder / "altered", box);
    e = test::CatchError([&] { decode(s, folder / "altered"); });
    EXPECT_EQ(e.GetErrCode(), errc::CrcMismatch);
    EXPECT_EQ(e.GetErrString(), "CRC32 mismatch!");
    EXPECT_EQ(test::ReadBytes(folder / "out").size(), plain.size());

    // A cut-off container cannot pass either.
    box = test::ReadBytes(folder / "box");
    box.resize(box.size() - 4096);
    test::WriteBytes(folder / "cut", box);
    EXPECT_EQ(test::CatchError([&] { decode(s, folder / "cut"); }).GetErrCode(), errc::CrcMismatch);

    // Encoding a container under its own settings writes nothing.
    e = test::CatchError([&] { EncodeFile(folder / "box", folder / "twice", s); });
    EXPECT_EQ(e.GetErrCode(), errc::AlreadyEncrypted);
    EXPECT_EQ(e.GetErrString(), "Already encrypted!");
    EXPECT_TRUE(test::ReadBytes(folder / "twice").empty());
    // Under another password it is just a file.
    EXPECT_NO_THROW(EncodeFile(folder / "box", folder / "twice", {32, 16, OperMode::CFB, "other"}));

    // A codec never keyed refuses to encode rather than use a zero key.
    MyAesFiles unkeyed(nullptr, &test::LoadedCipher(16));
    MyFile source(folder / "plain", MyFile::OpenRead), destination(folder / "zero", MyFile::OpenWrite);
    EXPECT_EQ(test::CatchError([&] { unkeyed.Encode(source, destination, OperMode::CBC, 0, 0); }).GetErrCode(),
              errc::EmptyPassword);
    EXPECT_TRUE(test::ReadBytes(folder / "zero").empty());
}

TEST(MyAesFiles, PasswordLimits)
{
    TempFolder folder;
    test::WriteBytes(folder / "plain", test::SeededBytes(10, 1));
    for (int k : {16, 24, 32}) {
        EXPECT_NO_THROW(EncodeFile(folder / "plain", folder / "box", {k, 16, OperMode::ECB, std::string(32, 'x')}));
        auto e = test::CatchError([&] { EncodeFile(folder / "plain", folder / "box", {k, 16, OperMode::ECB, std::string(33, 'x')}); });
        EXPECT_EQ(e.GetErrCode(), errc::KeyTooLong);
        EXPECT_EQ(e.GetErrString(), "Secret key's overtaking KeyLen size!");
    }
    auto e = test::CatchError([&] { EncodeFile(folder / "plain", folder / "box", {16, 16, OperMode::ECB, ""}); });
    EXPECT_EQ(e.GetErrCode(), errc::EmptyPassword);
}

TEST(MyAesFiles, BreakBetweenChunks)
{
    TempFolder folder;
    const std::size_t C = MyAesFiles::ChunkSize;
    test::WriteBytes(folder / "plain", test::SeededBytes(3 * C, 5));
    const Settings s{16, 16, OperMode::CBC, "pw"};

    // Reports: the header, then one per chunk; the break comes at the
    // second chunk, after the first was written.
    test::RecordingSink sink(3);
    auto e = test::CatchError([&] { EncodeFile(folder / "plain", folder / "box", s, &sink); });
    EXPECT_EQ(e.GetErrCode(), errc::BreakByUser);
    EXPECT_EQ(e.GetErrString(), "Break by user!");
    EXPECT_EQ(test::ReadBytes(folder / "box").size(), 1088 + C);

    EncodeFile(folder / "plain", folder / "box", s);
    test::RecordingSink decodeSink(2);
    e = test::CatchError([&] {
        MyAesFiles codec(&decodeSink, &test::LoadedCipher(s.block));
        Key(codec, s);
        MyFile source(folder / "box", MyFile::OpenRead);
        MyFile destination(folder / "out", MyFile::OpenWrite);
        codec.Decode(source, destination, s.mode);
    });
    EXPECT_EQ(e.GetErrCode(), errc::BreakByUser);
    EXPECT_TRUE(test::ReadBytes(folder / "out").empty());
}

TEST(MyAesFiles, ProgressAddsUpToTheFileLength)
{
    TempFolder folder;
    const std::size_t C = MyAesFiles::ChunkSize;
    for (std::size_t length : {std::size_t{0}, std::size_t{1000}, C, 3 * C + 17}) {
        test::WriteBytes(folder / "plain", test::SeededBytes(length, 6));
        const Settings s{16, 24, OperMode::ECB, "pw"};
        test::RecordingSink encodeSink;
        const std::uint64_t stored = EncodeFile(folder / "plain", folder / "box", s, &encodeSink);
        const double chunks = double(length / C + 2);
        // Encoding reports the header and every byte read; decoding reports
        // every stored byte.
        EXPECT_NEAR(encodeSink.Progress(), double(length + 1104) / 1024.0, chunks) << length;

        test::RecordingSink decodeSink;
        MyAesFiles codec(&decodeSink, &test::LoadedCipher(s.block));
        Key(codec, s);
        MyFile source(folder / "box", MyFile::OpenRead);
        MyFile destination(folder / "out", MyFile::OpenWrite);
        codec.Decode(source, destination, s.mode);
        EXPECT_NEAR(decodeSink.Progress(), double(stored) / 1024.0, chunks) << length;
    }
}

TEST(MyAesFiles, ProgressOfACompressedFileScalesHeaderAndDataByTheRatio)
{
    // A file that compressed to a thousandth reports header and data at
    // the ratio: far more than its size, which the display bounds.
    TempFolder folder;
    test::WriteBytes(folder / "small.gz", test::SeededBytes(300, 2));
    const std::uint32_t nf = 300000;
    test::RecordingSink sink;
    EncodeFile(folder / "small.gz", folder / "box", {16, 16, OperMode::CBC, "pw"}, &sink, 0x00010009, nf);
    EXPECT_NEAR(sink.Progress(), (1088 + 300) * (nf / 300.0) / 2048.0, 1.0);
}

TEST(MyAesFiles, ProgressCoefficientsStayFinite)
{
    const struct {
        std::uint32_t length, filter, nf;
        float expected;
    } cases[] = {
        {1000, 0, 1000, 1.0f / 1024},
        {500, 0x10009, 1000, 2.0f / 2048},  // compressed to half: each stored byte stands for two
        {1000, 0x10009, 500, 2.0f / 2048},  // grew to twice: the ratio is taken the way up
        {0, 0, 0, 1.0f / 1024},             // empty source
        {20, 0x10009, 0, 1.0f / 2048},      // empty file, compressed
    };
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(MyAesFiles::CalcFullKoeff(c.length, c.filter, c.nf), c.expected);
    EXPECT_FLOAT_EQ(MyAesFiles::CalcReductKoeff(0), 1.0f / 1024);
    EXPECT_FLOAT_EQ(MyAesFiles::CalcReductKoeff(0x20001), 1.0f / 2048);
}

} // namespace
} // namespace tessarin
