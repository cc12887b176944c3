// What the modules refuse: key lengths other than 16, 24 and 32 bytes, and
// block calls on a context that holds no schedule. Also guards the vector
// file itself, so a damaged or truncated copy cannot quietly shrink the
// known-answer suites.
#include "RijndaelModule.h"
#include "RijndaelVectors.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <tuple>

namespace tessarin::test {
namespace {

constexpr unsigned kBlockLengths[] = {16, 24, 32};

TEST(RijndaelVectorFile, EveryRecordParsesAndEveryCombinationIsCovered)
{
    const VectorFile& file = rijndaelVectors();
    for (const std::string& error : file.errors)
        ADD_FAILURE() << error;

    std::set<std::tuple<unsigned, std::size_t>> known;
    for (const KnownAnswer& v : file.knownAnswers)
        known.emplace(v.blockLength, v.key.size());
    std::set<std::tuple<unsigned, std::size_t, ChainMode>> chained;
    for (const ModeVector& v : file.modeVectors)
        chained.emplace(v.blockLength, v.key.size(), v.mode);

    for (unsigned block : kBlockLengths) {
        for (std::size_t key : {16u, 24u, 32u}) {
            SCOPED_TRACE(label("block ", block, ", key ", key));
            EXPECT_TRUE(known.count({block, key}));
            for (ChainMode mode : {ChainMode::Ecb, ChainMode::Cbc, ChainMode::Cfb})
                EXPECT_TRUE(chained.count({block, key, mode})) << chainModeName(mode);
        }
    }
}

class ModuleParamTest : public ::testing::TestWithParam<std::tuple<unsigned, unsigned>> {
protected:
    void SetUp() override
    {
        std::string error;
        m_api = loadModule(std::get<0>(GetParam()), &error);
        ASSERT_NE(m_api, nullptr) << error;
    }

    unsigned blockLength() const { return std::get<0>(GetParam()); }
    const ModuleApi& api() const { return *m_api; }

private:
    const ModuleApi* m_api = nullptr;
};

std::string moduleName(const ::testing::TestParamInfo<ModuleParamTest::ParamType>& param)
{
    return label("b", std::get<0>(param.param));
}

// ---- bad key lengths ----

using BadKeyLengthTest = ModuleParamTest;

TEST_P(BadKeyLengthTest, IsRefusedAndLeavesTheContextAlone)
{
    const unsigned keyLength = std::get<1>(GetParam());
    const Bytes key(64, 0x42);
    Context fresh(blockLength());
    Context keyed(blockLength());
    ASSERT_EQ(api().encKey(key.data(), 24, keyed.get()), RIJNDAEL_OK);

    for (Context* cx : {&fresh, &keyed}) {
        const Bytes before = cx->snapshot();
        EXPECT_NE(api().encKey(key.data(), keyLength, cx->get()), RIJNDAEL_OK);
        EXPECT_NE(api().decKey(key.data(), keyLength, cx->get()), RIJNDAEL_OK);
        EXPECT_EQ(cx->snapshot(), before);
    }
}

std::string badKeyLengthName(const ::testing::TestParamInfo<ModuleParamTest::ParamType>& param)
{
    return label("b", std::get<0>(param.param), "_key", std::get<1>(param.param));
}

INSTANTIATE_TEST_SUITE_P(Modules, BadKeyLengthTest,
                         ::testing::Combine(::testing::ValuesIn(kBlockLengths),
                                            ::testing::Values(0u, 1u, 4u, 8u, 15u, 17u, 20u, 23u, 25u, 28u,
                                                              31u, 33u, 48u, 64u, UINT_MAX)),
                         badKeyLengthName);

// ---- contexts without a schedule ----

// Each block function in turn on a context the engine has prepared but not
// keyed: running it would read round keys that were never written.
using UnkeyedContextTest = ModuleParamTest;

TEST_P(UnkeyedContextTest, BlockCallsAreRefusedWithoutWriting)
{
    const unsigned n = blockLength();
    const Bytes input(2 * n, 0x11);
    const Bytes chainValue(n, 0x22);
    struct Call {
        const char* name;
        unsigned (*run)(const ModuleApi&, const unsigned char*, unsigned char*, unsigned char*, void*);
    };
    const Call calls[] = {
        {"aes_enc_blk", [](const ModuleApi& a, const unsigned char* in, unsigned char* out, unsigned char*, void* cx) { return a.encBlock(in, out, cx); }},
        {"aes_dec_blk", [](const ModuleApi& a, const unsigned char* in, unsigned char* out, unsigned char*, void* cx) { return a.decBlock(in, out, cx); }},
        {"aes_ecb_enc", [](const ModuleApi& a, const unsigned char* in, unsigned char* out, unsigned char*, void* cx) { return a.ecbEncrypt(in, out, 2, cx); }},
        {"aes_ecb_dec", [](const ModuleApi& a, const unsigned char* in, unsigned char* out, unsigned char*, void* cx) { return a.ecbDecrypt(in, out, 2, cx); }},
        {"aes_cbc_enc", [](const ModuleApi& a, const unsigned char* in, unsigned char* out, unsigned char* chain, void* cx) { return a.cbcEncrypt(in, out, 2, chain, cx); }},
        {"aes_cfb_enc", [](const ModuleApi& a, const unsigned char* in, unsigned char* out, unsigned char* chain, void* cx) { return a.cfbEncrypt(in, out, 2, chain, cx); }},
        {"aes_cbc_dec", [](const ModuleApi& a, const unsigned char* in, unsigned char* out, unsigned char* chain, void* cx) { return a.cbcDecrypt(in, out, 2, chain, cx); }},
        {"aes_cfb_dec", [](const ModuleApi& a, const unsigned char* in, unsigned char* out, unsigned char* chain, void* cx) { return a.cfbDecrypt(in, out, 2, chain, cx); }},
    };
    for (const Call& call : calls) {
        SCOPED_TRACE(call.name);
        Context cx(n);
        Buffer out(2 * n, 0);
        const Bytes untouched = out.bytes();
        Buffer chain(chainValue, 0);
        EXPECT_NE(call.run(api(), input.data(), out.data(), chain.data(), cx.get()), RIJNDAEL_OK);
        EXPECT_EQ(out.bytes(), untouched);
        EXPECT_EQ(chain.bytes(), chainValue);
    }
}

INSTANTIATE_TEST_SUITE_P(Modules, UnkeyedContextTest,
                         ::testing::Combine(::testing::ValuesIn(kBlockLengths), ::testing::Values(0u)),
                         moduleName);

} // namespace
} // namespace tessarin::test
