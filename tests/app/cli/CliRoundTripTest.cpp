#include "CliFixture.h"

#include <gtest/gtest.h>

namespace tessarin {
namespace {

using test::Cli;
using test::CliResult;
using Names = std::vector<std::string>;

struct RoundTrip {
    const char* bits;   // key
    const char* block;
    const char* mode;
    const char* compress;
};

void PrintTo(const RoundTrip& r, std::ostream* os)
{
    *os << r.bits << "-bit keys, " << r.block << "-bit blocks, " << r.mode << ", " << r.compress;
}

class CliRoundTrip : public Cli, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(CliRoundTrip, EncryptThenDecryptATreeOfMixedSizes)
{
    const RoundTrip& p = GetParam();
    const std::pair<const char*, std::size_t> tree[] = {
        {"tree/empty", 0}, {"tree/one", 1}, {"tree/block", 32}, {"tree/sub/odd.txt", 4097}, {"tree/sub/deep/chunks", 147457}};
    std::uint32_t seed = 11;
    for (const auto& [name, size] : tree)
        Make(name, size, seed++);
    const auto before = Snapshot();
    const std::vector<std::string> cipher = {"-k", p.bits, "-b", p.block, "-m", p.mode, "-z", p.compress, "--no-log", "-r"};

    std::vector<std::string> encrypt = cipher;
    encrypt.insert(encrypt.begin(), "-e");
    encrypt.push_back(Data("tree"));
    const CliResult e = Batch(encrypt);
    ASSERT_EQ(e.status, 0) << e.out << e.err;
    const auto encrypted = Snapshot();
    ASSERT_EQ(encrypted.size(), before.size());
    for (const auto& [name, bytes] : encrypted) {
        EXPECT_TRUE(name.ends_with(".aes")) << name;
        EXPECT_EQ(before.count(name), 0u);
    }

    std::vector<std::string> decrypt = cipher;
    decrypt.insert(decrypt.begin(), "-d");
    decrypt.push_back(Data("tree"));
    const CliResult d = Batch(decrypt);
    ASSERT_EQ(d.status, 0) << d.out << d.err;
    EXPECT_EQ(Snapshot(), before);
}

std::vector<RoundTrip> AllRoundTrips()
{
    std::vector<RoundTrip> all;
    for (const char* bits : {"128", "192", "256"})
        for (const char* block : {"128", "192", "256"})
            for (const char* mode : {"cbc", "cfb", "ecb"})
                for (const char* compress : {"gzip", "bzip2"})
                    all.push_back({bits, block, mode, compress});
    return all;
}

INSTANTIATE_TEST_SUITE_P(AllCiphers, CliRoundTrip, ::testing::ValuesIn(AllRoundTrips()), [](const auto& p) {
    return std::string("Key") + p.param.bits + "Block" + p.param.block + "_" + p.param.mode + "_" +
           p.param.compress;
});

} // namespace
} // namespace tessarin
