// Drives libaes16/24/32.so through their exported C functions with the
// third-party vectors: every known answer both ways, every chained stream
// through the bulk and the per-block functions, from misaligned buffers and
// cut into pieces at every block boundary.
//
// The suite runs once per provider (TESSARIN_RIJNDAEL_PROVIDER, set by the
// test registration); a provider this CPU cannot run is skipped.
#include "RijndaelModule.h"
#include "RijndaelVectors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace tessarin::test {
namespace {

constexpr unsigned kBlockLengths[] = {16, 24, 32};
constexpr std::size_t kMisalignments[] = {0, 1, 2, 3};

Bytes xorBytes(const Bytes& a, const Bytes& b)
{
    Bytes r(a.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        r[i] = static_cast<unsigned char>(a[i] ^ b[i]);
    return r;
}

Bytes slice(const Bytes& b, std::size_t offset, std::size_t count)
{
    return {b.begin() + static_cast<std::ptrdiff_t>(offset), b.begin() + static_cast<std::ptrdiff_t>(offset + count)};
}

// The register each ciphertext block is chained to: the chaining value, then
// every ciphertext block but the last.
Bytes registers(const ModeVector& v)
{
    Bytes r = v.chain;
    r.insert(r.end(), v.cipher.begin(), v.cipher.end() - v.blockLength);
    return r;
}

Bytes lastBlock(const ModeVector& v)
{
    return slice(v.cipher, v.cipher.size() - v.blockLength, v.blockLength);
}

template <class Param>
class ModuleTest : public ::testing::TestWithParam<Param> {
protected:
    void SetUp() override
    {
        std::string error;
        m_api = loadModule(this->GetParam().blockLength, &error);
        ASSERT_NE(m_api, nullptr) << error;
        const std::string requested = requestedProvider();
        if (requested.empty())
            return;
        if (cpuCanRun(requested)) {
            ASSERT_EQ(m_api->provider(), requested) << "the module ignored the provider asked for";
        } else {
            GTEST_SKIP() << "this CPU cannot run the provider '" << requested << "'; the module runs '"
                         << m_api->provider() << "'";
        }
    }

    const ModuleApi& api() const { return *m_api; }

private:
    const ModuleApi* m_api = nullptr;
};

// ---- single blocks ----

using KnownAnswerTest = ModuleTest<KnownAnswer>;

struct OneBlockDirection {
    const char* name;
    rijndael_key_fn ModuleApi::*key;
    rijndael_block_fn ModuleApi::*block;
    rijndael_ecb_fn ModuleApi::*bulk;
    Bytes KnownAnswer::*from;
    Bytes KnownAnswer::*to;
};

constexpr OneBlockDirection kDirections[] = {
    {"encrypt", &ModuleApi::encKey, &ModuleApi::encBlock, &ModuleApi::ecbEncrypt, &KnownAnswer::plain, &KnownAnswer::cipher},
    {"decrypt", &ModuleApi::decKey, &ModuleApi::decBlock, &ModuleApi::ecbDecrypt, &KnownAnswer::cipher, &KnownAnswer::plain},
};

TEST_P(KnownAnswerTest, MapsOneBlockBothWaysFromAnyAlignment)
{
    const KnownAnswer& v = GetParam();
    // A context previously keyed in the other direction with another key
    // length: the new key must replace every trace of the old schedule.
    const Bytes otherKey(v.key.size() == 32 ? 16 : 32, 0x3c);
    for (const OneBlockDirection& d : kDirections) {
        for (std::size_t misalignment : kMisalignments) {
            SCOPED_TRACE(label(d.name, ", misalignment ", misalignment));
            Context cx(v.blockLength);
            const auto other = d.key == &ModuleApi::encKey ? &ModuleApi::decKey : &ModuleApi::encKey;
            ASSERT_EQ((api().*other)(otherKey.data(), static_cast<unsigned>(otherKey.size()), cx.get()), RIJNDAEL_OK);

            Buffer key(v.key, misalignment);
            ASSERT_EQ((api().*d.key)(key.data(), static_cast<unsigned>(v.key.size()), cx.get()), RIJNDAEL_OK);
            Buffer in(v.*d.from, misalignment);
            Buffer single(v.blockLength, (misalignment + 1) % 4);
            Buffer bulk(v.blockLength, (misalignment + 2) % 4);
            EXPECT_EQ((api().*d.block)(in.data(), single.data(), cx.get()), RIJNDAEL_OK);
            EXPECT_EQ((api().*d.bulk)(in.data(), bulk.data(), 1, cx.get()), RIJNDAEL_OK);

            EXPECT_EQ(single.bytes(), v.*d.to);
            EXPECT_EQ(bulk.bytes(), v.*d.to);
            EXPECT_EQ(in.bytes(), v.*d.from);
            EXPECT_EQ(key.bytes(), v.key);
            EXPECT_TRUE(in.guardIntact() && single.guardIntact() && bulk.guardIntact() && key.guardIntact());
        }
    }
}

std::string knownAnswerName(const ::testing::TestParamInfo<KnownAnswer>& info)
{
    const KnownAnswer& v = info.param;
    return label("b", v.blockLength, "_k", v.key.size(), "_line", v.line);
}

INSTANTIATE_TEST_SUITE_P(Vectors, KnownAnswerTest, ::testing::ValuesIn(rijndaelVectors().knownAnswers),
                         knownAnswerName);

// ---- chained streams ----

class ModeVectorTest : public ModuleTest<ModeVector> {
protected:
    // Encrypts the whole plaintext with the module's bulk function for the
    // mode, one call per entry of "pieces" (block counts), and leaves the
    // chaining register in *chainAfter.
    Bytes bulkEncrypt(const std::vector<std::size_t>& pieces, std::size_t misalignment, Bytes* chainAfter)
    {
        const ModeVector& v = GetParam();
        Context cx(v.blockLength);
        Buffer key(v.key, misalignment);
        EXPECT_EQ(api().encKey(key.data(), static_cast<unsigned>(v.key.size()), cx.get()), RIJNDAEL_OK);
        Buffer in(v.plain, misalignment);
        Buffer out(v.plain.size(), (misalignment + 1) % 4);
        Buffer chain(v.chain, (misalignment + 2) % 4);
        std::size_t offset = 0;
        for (std::size_t blocks : pieces) {
            unsigned char* const from = in.data() + offset;
            unsigned char* const to = out.data() + offset;
            unsigned rc = RIJNDAEL_OK;
            switch (v.mode) {
            case ChainMode::Ecb: rc = api().ecbEncrypt(from, to, blocks, cx.get()); break;
            case ChainMode::Cbc: rc = api().cbcEncrypt(from, to, blocks, chain.data(), cx.get()); break;
            case ChainMode::Cfb: rc = api().cfbEncrypt(from, to, blocks, chain.data(), cx.get()); break;
            }
            EXPECT_EQ(rc, RIJNDAEL_OK);
            offset += blocks * v.blockLength;
        }
        EXPECT_EQ(in.bytes(), v.plain);
        EXPECT_TRUE(in.guardIntact() && out.guardIntact() && chain.guardIntact());
        *chainAfter = chain.bytes();
        return out.bytes();
    }

    // Decrypts the whole ciphertext with the module's bulk decryption for
    // the mode, one call per entry of "pieces"; the register must continue
    // the stream across calls and end on the last ciphertext block.
    Bytes chainDecrypt(const std::vector<std::size_t>& pieces, std::size_t misalignment)
    {
        const ModeVector& v = GetParam();
        Context cx(v.blockLength);
        const bool cfb = v.mode == ChainMode::Cfb;
        const auto setKey = cfb ? api().encKey : api().decKey;
        EXPECT_EQ(setKey(v.key.data(), static_cast<unsigned>(v.key.size()), cx.get()), RIJNDAEL_OK);
        Buffer in(v.cipher, misalignment);
        Buffer out(v.cipher.size(), (misalignment + 1) % 4);
        Buffer chain(v.chain, (misalignment + 2) % 4);
        std::size_t offset = 0;
        for (std::size_t blocks : pieces) {
            unsigned char* const from = in.data() + offset;
            unsigned char* const to = out.data() + offset;
            unsigned rc = RIJNDAEL_OK;
            switch (v.mode) {
            case ChainMode::Ecb: rc = api().ecbDecrypt(from, to, blocks, cx.get()); break;
            case ChainMode::Cbc: rc = api().cbcDecrypt(from, to, blocks, chain.data(), cx.get()); break;
            case ChainMode::Cfb: rc = api().cfbDecrypt(from, to, blocks, chain.data(), cx.get()); break;
            }
            EXPECT_EQ(rc, RIJNDAEL_OK);
            offset += blocks * v.blockLength;
        }
        EXPECT_EQ(in.bytes(), v.cipher);
        EXPECT_TRUE(in.guardIntact() && out.guardIntact() && chain.guardIntact());
        if (v.mode != ChainMode::Ecb) {
            EXPECT_EQ(chain.bytes(), lastBlock(v)) << "the register must continue the stream";
        }
        return out.bytes();
    }

    // Decrypts the whole ciphertext through the block transform alone (D
    // for CBC, E of the registers for CFB) with the chaining XORed on here,
    // as an engine does with a module that lacks the chained exports.
    Bytes bulkDecrypt(const std::vector<std::size_t>& pieces, std::size_t misalignment)
    {
        const ModeVector& v = GetParam();
        Context cx(v.blockLength);
        const bool forward = v.mode == ChainMode::Cfb;
        const auto setKey = forward ? api().encKey : api().decKey;
        const auto transform = forward ? api().ecbEncrypt : api().ecbDecrypt;
        EXPECT_EQ(setKey(v.key.data(), static_cast<unsigned>(v.key.size()), cx.get()), RIJNDAEL_OK);

        Buffer in(forward ? registers(v) : v.cipher, misalignment);
        Buffer out(v.cipher.size(), (misalignment + 1) % 4);
        std::size_t offset = 0;
        for (std::size_t blocks : pieces) {
            EXPECT_EQ(transform(in.data() + offset, out.data() + offset, blocks, cx.get()), RIJNDAEL_OK);
            offset += blocks * v.blockLength;
        }
        EXPECT_TRUE(in.guardIntact() && out.guardIntact());
        switch (v.mode) {
        case ChainMode::Ecb: return out.bytes();
        case ChainMode::Cbc: return xorBytes(out.bytes(), registers(v));
        case ChainMode::Cfb: return xorBytes(out.bytes(), v.cipher);
        }
        return {};
    }

    // Both directions through aes_enc_blk / aes_dec_blk, one block per call.
    std::pair<Bytes, Bytes> perBlock(std::size_t misalignment)
    {
        const ModeVector& v = GetParam();
        const std::size_t n = v.blockLength;
        Buffer one(n, misalignment);
        Buffer result(n, (misalignment + 3) % 4);
        Context enc(v.blockLength);
        Context dec(v.blockLength);
        EXPECT_EQ(api().encKey(v.key.data(), static_cast<unsigned>(v.key.size()), enc.get()), RIJNDAEL_OK);
        EXPECT_EQ(api().decKey(v.key.data(), static_cast<unsigned>(v.key.size()), dec.get()), RIJNDAEL_OK);
        auto run = [&](rijndael_block_fn fn, void* cx, const Bytes& input) {
            std::copy(input.begin(), input.end(), one.data());
            EXPECT_EQ(fn(one.data(), result.data(), cx), RIJNDAEL_OK);
            EXPECT_TRUE(one.guardIntact() && result.guardIntact());
            return result.bytes();
        };

        Bytes cipher;
        Bytes plain;
        Bytes r = v.chain;
        const Bytes prior = registers(v);
        for (std::size_t i = 0; i < v.blocks(); ++i) {
            const Bytes p = slice(v.plain, i * n, n);
            const Bytes c = slice(v.cipher, i * n, n);
            const Bytes before = slice(prior, i * n, n);
            Bytes ci;
            Bytes pi;
            switch (v.mode) {
            case ChainMode::Ecb:
                ci = run(api().encBlock, enc.get(), p);
                pi = run(api().decBlock, dec.get(), c);
                break;
            case ChainMode::Cbc:
                ci = run(api().encBlock, enc.get(), xorBytes(r, p));
                pi = xorBytes(run(api().decBlock, dec.get(), c), before);
                break;
            case ChainMode::Cfb:
                ci = xorBytes(run(api().encBlock, enc.get(), r), p);
                pi = xorBytes(run(api().encBlock, enc.get(), before), c);
                break;
            }
            r = ci;
            cipher.insert(cipher.end(), ci.begin(), ci.end());
            plain.insert(plain.end(), pi.begin(), pi.end());
        }
        return {cipher, plain};
    }
};

TEST_P(ModeVectorTest, BulkEncryptionFromAnyAlignment)
{
    const ModeVector& v = GetParam();
    for (std::size_t misalignment : kMisalignments) {
        SCOPED_TRACE(label("misalignment ", misalignment));
        Bytes chain;
        EXPECT_EQ(bulkEncrypt({v.blocks()}, misalignment, &chain), v.cipher);
        if (v.mode != ChainMode::Ecb) {
            EXPECT_EQ(chain, lastBlock(v)) << "the register must continue the stream";
        }
    }
}

TEST_P(ModeVectorTest, BulkDecryptionFromAnyAlignment)
{
    const ModeVector& v = GetParam();
    for (std::size_t misalignment : kMisalignments) {
        SCOPED_TRACE(label("misalignment ", misalignment));
        EXPECT_EQ(bulkDecrypt({v.blocks()}, misalignment), v.plain);
        EXPECT_EQ(chainDecrypt({v.blocks()}, misalignment), v.plain);
    }
}

TEST_P(ModeVectorTest, PerBlockCallsFromAnyAlignment)
{
    const ModeVector& v = GetParam();
    for (std::size_t misalignment : kMisalignments) {
        SCOPED_TRACE(label("misalignment ", misalignment));
        const auto [cipher, plain] = perBlock(misalignment);
        EXPECT_EQ(cipher, v.cipher);
        EXPECT_EQ(plain, v.plain);
    }
}

// Every way of cutting the stream at block boundaries (a set bit in "cuts"
// ends a call after that block), with an empty call first, gives the same
// bytes as one call.
TEST_P(ModeVectorTest, SplittingAtBlockBoundariesKeepsTheStream)
{
    const ModeVector& v = GetParam();
    const std::size_t n = v.blocks();
    for (unsigned cuts = 0; cuts < (1u << (n - 1)); ++cuts) {
        std::vector<std::size_t> pieces{0};
        std::size_t run = 0;
        for (std::size_t i = 0; i < n; ++i) {
            ++run;
            if (i + 1 == n || (cuts >> i & 1u) != 0) {
                pieces.push_back(run);
                run = 0;
            }
        }
        SCOPED_TRACE(label("cut pattern ", cuts));
        Bytes chain;
        EXPECT_EQ(bulkEncrypt(pieces, cuts % 4, &chain), v.cipher);
        if (v.mode != ChainMode::Ecb) {
            EXPECT_EQ(chain, lastBlock(v));
        }
        EXPECT_EQ(bulkDecrypt(pieces, cuts % 4), v.plain);
        EXPECT_EQ(chainDecrypt(pieces, cuts % 4), v.plain);
    }
}

std::string modeVectorName(const ::testing::TestParamInfo<ModeVector>& info)
{
    const ModeVector& v = info.param;
    return label("b", v.blockLength, "_k", v.key.size(), "_", chainModeName(v.mode), "_line", v.line);
}

INSTANTIATE_TEST_SUITE_P(Vectors, ModeVectorTest, ::testing::ValuesIn(rijndaelVectors().modeVectors),
                         modeVectorName);

} // namespace
} // namespace tessarin::test
