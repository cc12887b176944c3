// Every hardware provider against the portable one, linked into one process
// for the block length this executable is built for: random keys of every
// length, random data, lengths that cover the provider's group sizes and
// their remainders, misaligned buffers, and streams cut into random pieces.
// The portable code is what containers were always written with, so any
// difference is a container that would no longer decrypt.
#include "RijndaelProvider.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace tessarin::rijndael {
namespace {

using Bytes = std::vector<std::uint8_t>;

enum class Operation { EcbEncrypt, EcbDecrypt, CbcEncrypt, CbcDecrypt, CfbEncrypt, CfbDecrypt };

constexpr Operation kOperations[] = {Operation::EcbEncrypt, Operation::EcbDecrypt, Operation::CbcEncrypt,
                                     Operation::CbcDecrypt, Operation::CfbEncrypt, Operation::CfbDecrypt};

const char* operationName(Operation op)
{
    switch (op) {
    case Operation::EcbEncrypt: return "ecb_enc";
    case Operation::EcbDecrypt: return "ecb_dec";
    case Operation::CbcEncrypt: return "cbc_enc";
    case Operation::CbcDecrypt: return "cbc_dec";
    case Operation::CfbEncrypt: return "cfb_enc";
    case Operation::CfbDecrypt: return "cfb_dec";
    }
    return "?";
}

// Only CBC and ECB decryption use the decryption schedule; CFB runs the
// cipher forward both ways.
bool usesDecryptionSchedule(Operation op)
{
    return op == Operation::EcbDecrypt || op == Operation::CbcDecrypt;
}

struct Case {
    Bytes key;
    Bytes chain;
    Bytes input;
    std::vector<std::size_t> pieces; // block counts of successive calls
    std::size_t inOffset = 0;
    std::size_t outOffset = 0;
};

struct Result {
    Bytes output;
    Bytes chain;
};

// Runs one case through a provider from buffers at the case's offsets, with
// a guard byte pattern after the output that must survive.
Result run(const Provider& provider, Operation op, const Case& c)
{
    RijndaelContext cx;
    std::memset(&cx, 0xa5, sizeof cx);
    cx.rounds = 0;
    cx.blockLength = kBlockBytes;
    const unsigned keyWords = static_cast<unsigned>(c.key.size() / 4);
    if (usesDecryptionSchedule(op))
        provider.setDecryptKey(cx, c.key.data(), keyWords);
    else
        provider.setEncryptKey(cx, c.key.data(), keyWords);

    constexpr std::uint8_t kGuard = 0x5c;
    Bytes in(c.inOffset + c.input.size() + 64, kGuard);
    Bytes out(c.outOffset + c.input.size() + 64, kGuard);
    std::copy(c.input.begin(), c.input.end(), in.begin() + static_cast<std::ptrdiff_t>(c.inOffset));
    Bytes chain = c.chain;

    std::size_t done = 0;
    for (std::size_t blocks : c.pieces) {
        const std::uint8_t* from = in.data() + c.inOffset + done;
        std::uint8_t* to = out.data() + c.outOffset + done;
        switch (op) {
        case Operation::EcbEncrypt: provider.encryptBlocks(cx, from, to, blocks); break;
        case Operation::EcbDecrypt: provider.decryptBlocks(cx, from, to, blocks); break;
        case Operation::CbcEncrypt: provider.cbcEncrypt(cx, from, to, blocks, chain.data()); break;
        case Operation::CbcDecrypt: provider.cbcDecrypt(cx, from, to, blocks, chain.data()); break;
        case Operation::CfbEncrypt: provider.cfbEncrypt(cx, from, to, blocks, chain.data()); break;
        case Operation::CfbDecrypt: provider.cfbDecrypt(cx, from, to, blocks, chain.data()); break;
        }
        done += blocks * kBlockBytes;
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        const bool written = i >= c.outOffset && i < c.outOffset + c.input.size();
        if (!written && out[i] != kGuard) {
            ADD_FAILURE() << provider.name << " wrote outside the output at byte " << i;
            break;
        }
    }
    const auto begin = out.begin() + static_cast<std::ptrdiff_t>(c.outOffset);
    return {Bytes(begin, begin + static_cast<std::ptrdiff_t>(c.input.size())), chain};
}

Bytes randomBytes(std::mt19937_64& rng, std::size_t n)
{
    Bytes b(n);
    for (auto& x : b)
        x = static_cast<std::uint8_t>(rng());
    return b;
}

Case randomCase(std::mt19937_64& rng, std::size_t keyBytes)
{
    Case c;
    c.key = randomBytes(rng, keyBytes);
    c.chain = randomBytes(rng, kBlockBytes);
    // Mostly short streams, where the group remainders live, some long ones.
    const std::size_t blocks = rng() % 4 == 0 ? rng() % 300 : rng() % 40;
    c.input = randomBytes(rng, blocks * kBlockBytes);
    std::size_t left = blocks;
    while (left != 0) {
        const std::size_t piece = rng() % 3 == 0 ? left : 1 + rng() % left;
        c.pieces.push_back(piece);
        left -= piece;
    }
    if (c.pieces.empty() || rng() % 5 == 0)
        c.pieces.insert(c.pieces.begin(), 0); // an empty call must change nothing
    c.inOffset = rng() % 64;
    c.outOffset = rng() % 64;
    return c;
}

class DifferentialTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(DifferentialTest, HardwareProvidersMatchThePortableCode)
{
    const std::size_t keyBytes = GetParam();
    const Provider& reference = portableProvider();
    int compared = 0;
    for (const Provider* provider : {&aesniProvider(), &vaesProvider()}) {
        if (!provider->available()) {
            std::printf("[  SKIPPED ] provider '%s': this CPU lacks its instructions\n", provider->name);
            continue;
        }
        ++compared;
        std::mt19937_64 rng(0x5eed0000u + keyBytes * 131u + kBlockBytes);
        for (int trial = 0; trial < 150; ++trial) {
            const Case c = randomCase(rng, keyBytes);
            for (Operation op : kOperations) {
                SCOPED_TRACE(std::string(provider->name) + " " + operationName(op) + ", trial " + std::to_string(trial)
                             + ", " + std::to_string(c.input.size() / kBlockBytes) + " blocks, offsets "
                             + std::to_string(c.inOffset) + "/" + std::to_string(c.outOffset));
                const Result want = run(reference, op, c);
                const Result got = run(*provider, op, c);
                ASSERT_EQ(got.output, want.output);
                if (op != Operation::EcbEncrypt && op != Operation::EcbDecrypt) {
                    ASSERT_EQ(got.chain, want.chain);
                }
            }
        }
    }
    if (compared == 0)
        GTEST_SKIP() << "this CPU has no hardware provider to compare";
}

// Decrypting what a provider encrypted gives the plaintext back, so the
// comparison above cannot pass through a provider and a reference that are
// wrong the same way.
TEST_P(DifferentialTest, EveryProviderRoundTrips)
{
    const std::size_t keyBytes = GetParam();
    std::mt19937_64 rng(0x7a11u + keyBytes);
    for (const Provider* provider : {&portableProvider(), &aesniProvider(), &vaesProvider()}) {
        if (!provider->available())
            continue;
        for (int trial = 0; trial < 40; ++trial) {
            const Case c = randomCase(rng, keyBytes);
            const struct {
                Operation forward, backward;
            } pairs[] = {{Operation::EcbEncrypt, Operation::EcbDecrypt},
                         {Operation::CbcEncrypt, Operation::CbcDecrypt},
                         {Operation::CfbEncrypt, Operation::CfbDecrypt}};
            for (const auto& pair : pairs) {
                SCOPED_TRACE(std::string(provider->name) + " " + operationName(pair.forward));
                const Result sealed = run(*provider, pair.forward, c);
                Case back = c;
                back.input = sealed.output;
                const Result opened = run(*provider, pair.backward, back);
                ASSERT_EQ(opened.output, c.input);
                if (!c.input.empty()) {
                    ASSERT_NE(sealed.output, c.input);
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, DifferentialTest, ::testing::Values(16u, 24u, 32u),
                         [](const ::testing::TestParamInfo<std::size_t>& keyInfo) {
                             return "b" + std::to_string(kBlockBytes) + "_k" + std::to_string(keyInfo.param);
                         });

// The choice the module makes: the requested provider when the CPU has it,
// otherwise the fastest one it has; never one it cannot run.
TEST(ProviderChoice, HonoursARunnableRequestAndFallsBackOtherwise)
{
    const Provider* const* all = allProviders();
    const Provider* fastest = nullptr;
    for (std::size_t i = 0; i < kProviderCount && fastest == nullptr; ++i)
        if (all[i]->available())
            fastest = all[i];
    ASSERT_NE(fastest, nullptr);
    EXPECT_STREQ(all[kProviderCount - 1]->name, "portable");

    EXPECT_EQ(&chooseProvider(nullptr), fastest);
    EXPECT_EQ(&chooseProvider(""), fastest);
    EXPECT_EQ(&chooseProvider("no-such-provider"), fastest);
    for (std::size_t i = 0; i < kProviderCount; ++i) {
        SCOPED_TRACE(all[i]->name);
        EXPECT_EQ(&chooseProvider(all[i]->name), all[i]->available() ? all[i] : fastest);
    }
}

} // namespace
} // namespace tessarin::rijndael
