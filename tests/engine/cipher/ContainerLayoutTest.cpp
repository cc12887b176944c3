// Containers assembled here byte by byte from the documented layout, with a
// key derivation of the test's own, and then read by the codec: files
// written by other writers of the format must decode.
#include "cipher/MyAesFiles.h"
#include "foundation/CCrc32Dynamic.h"
#include "foundation/ErrorHandler.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace tessarin {
namespace {

using Record = AESclass::AesCallBack;

std::array<std::uint8_t, 32> DeriveKey(const std::string& password, int keyLength)
{
    std::array<std::uint8_t, 32> key{};
    for (std::size_t i = 0; i < std::max<std::size_t>(password.size(), static_cast<std::size_t>(keyLength)); ++i)
        key[i] = static_cast<std::uint8_t>(password[i % password.size()]);
    return key;
}

void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

struct Layout {
    std::string magic;     // "Tessarin" or "Rijndael"
    std::string password;
    int keyLength, block;
    OperMode mode;
    std::string name;
    std::uint32_t filter, nf;
};

std::vector<std::uint8_t> Assemble(const Layout& l, const std::vector<std::uint8_t>& data)
{
    const auto bs = static_cast<std::size_t>(l.block);
    auto stored = [&](std::size_t n) { return (n / bs + 1) * bs; };
    std::vector<std::uint8_t> plain = test::SeededBytes(stored(1048), 99);  // filler everywhere first
    std::memcpy(plain.data(), l.magic.data(), 8);
    plain[8] = 0;
    Put32(plain, 12, static_cast<std::uint32_t>(data.size()));
    CCrc32Dynamic crc;
    crc.InitStream();
    crc.CalcStream(data);
    Put32(plain, 16, crc.GetCrcStream());
    Put32(plain, 20, 1234567890u);
    std::memcpy(plain.data() + 24, l.name.data(), l.name.size());
    plain[24 + l.name.size()] = 0;
    if (l.magic == "Tessarin") {
        std::vector<std::uint8_t> hunk2 = test::SeededBytes(stored(24), 98);
        Put32(hunk2, 0, l.filter);
        Put32(hunk2, 4, l.filter ? l.nf : static_cast<std::uint32_t>(data.size()));
        plain.insert(plain.end(), hunk2.begin(), hunk2.end());
    }
    plain.insert(plain.end(), data.begin(), data.end());
    plain.resize((plain.size() + bs - 1) / bs * bs, 0x5A);

    const auto key = DeriveKey(l.password, l.keyLength);
    CAesCore core(&test::LoadedCipher(l.block));
    core.MakeEncKey(key, key, l.keyLength, l.block);  // the chaining value is the key material
    std::vector<std::uint8_t> cipher(plain.size());
    core.Encrypt(plain, cipher, l.mode);
    return cipher;
}

TEST(ContainerLayout, AssembledContainersDecode)
{
    test::TempFolder folder;
    const Layout cases[] = {
        {"Tessarin", "abc", 16, 16, OperMode::ECB, "a.txt", 0, 0},
        {"Tessarin", "abcdefghijklmnopqrst", 16, 32, OperMode::CBC, "twenty.bin", 0, 0},  // longer than the key
        {"Tessarin", "x", 32, 24, OperMode::CFB, "one.char", 0x00010005, 4242},
        {"Tessarin", std::string(32, 'z'), 24, 32, OperMode::CFB, "full.pw", 0x00020009, 99},
        {"Rijndael", "legacy", 24, 16, OperMode::CBC, "old.doc", 0, 0},
        {"Rijndael", "legacy", 32, 24, OperMode::CFB, "old2.doc", 0, 0},
    };
    for (const auto& l : cases) {
        SCOPED_TRACE(l.magic + " " + l.password + " " + l.name);
        const auto data = test::SeededBytes(1000 + static_cast<std::size_t>(l.block), 3);
        test::WriteBytes(folder / "box", Assemble(l, data));

        MyAesFiles codec(nullptr, &test::LoadedCipher(l.block));
        const auto k = static_cast<MyAesFiles::KeyLen>(l.keyLength);
        const auto b = static_cast<MyAesFiles::BlockSize>(l.block);
        if (l.mode == OperMode::CFB)
            codec.MakeEncKey(l.password, k, b);
        else
            codec.MakeDecKey(l.password, k, b);
        MyFile source(folder / "box", MyFile::OpenRead);
        EXPECT_EQ(codec.CheckHeader(source, l.mode), l.magic == "Tessarin" ? 2 : 1);
        MyFile destination(folder / "out", MyFile::OpenWrite);
        EXPECT_EQ(codec.Decode(source, destination, l.mode), data.size());
        destination.Close();
        EXPECT_EQ(test::ReadBytes(folder / "out"), data);
        EXPECT_EQ(codec.GetNameFromHeader(), l.name);
        EXPECT_EQ(codec.GetTimeFromHeader(), 1234567890u);
        EXPECT_EQ(codec.GetFilterFromHeader(), l.filter);
        EXPECT_EQ(codec.GetNfSizeFromHeader(), l.filter ? l.nf : data.size());
    }
}

TEST(ContainerLayout, WrittenContainersFollowTheLayout)
{
    // The reverse direction: what the codec writes, deciphered by hand.
    test::TempFolder folder;
    const auto data = test::SeededBytes(77, 8);
    test::WriteBytes(folder / "doc.pdf", data);
    const std::string password = "abcdefghijklmnopqrst";
    MyAesFiles codec(nullptr, &test::LoadedCipher(32));
    codec.MakeDecKey(password, MyAesFiles::Key128, MyAesFiles::Block256);
    {
        MyFile source(folder / "doc.pdf", MyFile::OpenRead);
        MyFile destination(folder / "box", MyFile::OpenWrite);
        codec.Encode(source, destination, OperMode::CBC, 0x00010003, 55);
    }
    const auto cipher = test::ReadBytes(folder / "box");
    ASSERT_EQ(cipher.size(), 1056u + 32u + 96u);
    const auto key = DeriveKey(password, 16);
    std::array<std::uint8_t, 32> expectedChain{};
    std::memcpy(expectedChain.data(), password.data(), 20);  // all twenty bytes, then zeros
    EXPECT_EQ(key, expectedChain);
    CAesCore core(&test::LoadedCipher(32));
    core.MakeDecKey(key, key, 16, 32);
    std::vector<std::uint8_t> plain(cipher.size());
    core.Decrypt(cipher, plain, OperMode::CBC);

    EXPECT_EQ(std::string(plain.begin(), plain.begin() + 9), std::string("Tessarin\0", 9));
    auto get32 = [&](std::size_t at) {
        return std::uint32_t(plain[at]) | std::uint32_t(plain[at + 1]) << 8 | std::uint32_t(plain[at + 2]) << 16 |
               std::uint32_t(plain[at + 3]) << 24;
    };
    EXPECT_EQ(get32(12), 77u);
    CCrc32Dynamic crc;
    crc.InitStream();
    crc.CalcStream(data);
    EXPECT_EQ(get32(16), crc.GetCrcStream());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(plain.data() + 24)), "doc.pdf");
    EXPECT_EQ(get32(1056), 0x00010003u);
    EXPECT_EQ(get32(1060), 55u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), plain.begin() + 1088));
}

} // namespace
} // namespace tessarin
