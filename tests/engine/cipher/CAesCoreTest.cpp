#include "cipher/CAesCore.h"
#include "foundation/ErrorHandler.h"
#include "support/TestSupport.h"
#include "support/Vectors.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace tessarin {
namespace {

using Record = AESclass::AesCallBack;

// The engine drives a module through its bulk entries when it has them and
// one block per call otherwise; both must give the vectors.
enum class Path { Bulk, PerBlock };

Record Provider(int block, Path path)
{
    Record r = test::LoadedCipher(block);
    if (path == Path::PerBlock)
        r.aes_ecb_enc = r.aes_ecb_dec = nullptr, r.aes_cbc_enc = r.aes_cfb_enc = nullptr,
        r.aes_cbc_dec = r.aes_cfb_dec = nullptr;
    return r;
}

OperMode ModeOf(const std::string& name)
{
    return name == "ECB" ? OperMode::ECB : name == "CBC" ? OperMode::CBC : OperMode::CFB;
}

std::array<std::uint8_t, 32> Pad32(const std::vector<std::uint8_t>& bytes)
{
    std::array<std::uint8_t, 32> out{};
    std::copy(bytes.begin(), bytes.end(), out.begin());
    return out;
}

// Runs in through the core at a misaligned offset, cut into calls at the
// given block boundaries.
std::vector<std::uint8_t> RunCore(CAesCore& core, const std::vector<std::uint8_t>& in, OperMode mode, bool encrypt,
                              std::size_t misalign, std::size_t cutBlocks)
{
    const std::size_t bs = static_cast<std::size_t>(core.GetBlockSize());
    std::vector<std::uint8_t> src(in.size() + misalign), dst(in.size() + misalign + 3);
    std::copy(in.begin(), in.end(), src.begin() + static_cast<std::ptrdiff_t>(misalign));
    const std::span<const std::uint8_t> s = std::span(src).subspan(misalign, in.size());
    const std::span<std::uint8_t> d = std::span(dst).subspan(misalign + 1, in.size());
    const std::size_t cut = std::min(cutBlocks * bs, in.size());
    for (auto [from, to] : {std::pair{std::size_t{0}, cut}, std::pair{cut, in.size()}}) {
        if (encrypt)
            core.Encrypt(s.subspan(from, to - from), d.subspan(from), mode);
        else
            core.Decrypt(s.subspan(from, to - from), d.subspan(from), mode);
    }
    return {d.begin(), d.end()};
}

class CipherVectors : public ::testing::TestWithParam<test::CipherVector> {};

TEST_P(CipherVectors, BothDirectionsEveryPathAlignmentAndSplit)
{
    const auto& v = GetParam();
    const auto key = Pad32(v.key);
    const auto chain = Pad32(v.chain);
    const OperMode mode = v.isMode ? ModeOf(v.mode) : OperMode::ECB;
    const std::size_t blocks = v.plain.size() / static_cast<std::size_t>(v.block);

    for (Path path : {Path::Bulk, Path::PerBlock}) {
        const Record record = Provider(v.block, path);
        for (std::size_t misalign : {0u, 1u, 3u}) {
            for (std::size_t cut = 0; cut <= blocks; ++cut) {
                SCOPED_TRACE("path " + std::to_string(int(path)) + " misalign " + std::to_string(misalign) +
                             " cut " + std::to_string(cut));
                CAesCore enc(&record);
                enc.MakeEncKey(key, chain, v.keyLength, v.block);
                EXPECT_EQ(RunCore(enc, v.plain, mode, true, misalign, cut), v.cipher);

                CAesCore dec(&record);
                if (mode == OperMode::CFB)
                    dec.MakeEncKey(key, chain, v.keyLength, v.block);  // feedback runs the cipher forwards
                else
                    dec.MakeDecKey(key, chain, v.keyLength, v.block);
                EXPECT_EQ(RunCore(dec, v.cipher, mode, false, misalign, cut), v.plain);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rijndael, CipherVectors, ::testing::ValuesIn(test::AllVectors()),
                         [](const auto& p) { return p.param.Name() + "_" + std::to_string(p.index); });

TEST(CAesCore, VectorFileCoversAllNineCombinationsAndThreeModes)
{
    std::map<std::string, int> seen;
    for (const auto& v : test::AllVectors())
        ++seen[std::to_string(v.block) + "/" + std::to_string(v.keyLength) + "/" + (v.isMode ? v.mode : "KAT")];
    for (int b : {16, 24, 32})
        for (int k : {16, 24, 32})
            for (const char* m : {"KAT", "ECB", "CBC", "CFB"})
                EXPECT_GT(seen[std::to_string(b) + "/" + std::to_string(k) + "/" + m], 0) << b << k << m;
}

TEST(CAesCore, PartialBlocksKeyReinstallAndCfbSchedule)
{
    const auto& v = test::AllVectors();
    const auto cfb = std::find_if(v.begin(), v.end(), [](const auto& x) { return x.isMode && x.mode == "CFB"; });
    ASSERT_NE(cfb, v.end());
    const Record& record = test::LoadedCipher(cfb->block);
    const auto key = Pad32(cfb->key);
    const auto chain = Pad32(cfb->chain);
    const auto bs = static_cast<std::size_t>(cfb->block);

    // Less than a block: nothing written, register unchanged.
    CAesCore core(&record);
    core.MakeEncKey(key, chain, cfb->keyLength, cfb->block);
    std::vector<std::uint8_t> out(bs, 0xAA);
    core.Encrypt(std::span(cfb->plain).first(bs - 1), out, OperMode::CFB);
    EXPECT_EQ(out, std::vector<std::uint8_t>(bs, 0xAA));
    // A trailing partial block is left alone, the whole blocks still match.
    std::vector<std::uint8_t> whole(cfb->plain.size() + 5, 0x55);
    std::vector<std::uint8_t> input = cfb->plain;
    input.resize(input.size() + 5, 1);
    core.Encrypt(input, whole, OperMode::CFB);
    EXPECT_TRUE(std::equal(cfb->cipher.begin(), cfb->cipher.end(), whole.begin()));
    EXPECT_EQ(whole.back(), 0x55);

    // Installing the key again restarts the register.
    core.MakeEncKey(key, chain, cfb->keyLength, cfb->block);
    std::vector<std::uint8_t> again(cfb->plain.size());
    core.Encrypt(cfb->plain, again, OperMode::CFB);
    EXPECT_EQ(again, cfb->cipher);

    // Feedback deciphering with the inverse schedule does not give the plain text.
    CAesCore wrong(&record);
    wrong.MakeDecKey(key, chain, cfb->keyLength, cfb->block);
    std::vector<std::uint8_t> garbled(cfb->cipher.size());
    wrong.Decrypt(cfb->cipher, garbled, OperMode::CFB);
    EXPECT_NE(garbled, cfb->plain);

    // An unknown mode processes nothing.
    std::vector<std::uint8_t> untouched(bs, 0x11);
    core.Encrypt(std::span(cfb->plain).first(bs), untouched, static_cast<OperMode>(7));
    EXPECT_EQ(untouched, std::vector<std::uint8_t>(bs, 0x11));
}

// Loads libaes<block>.so from a folder of test modules; the record stays
// valid while the returned handle lives.
platform::ModuleHandle LoadFrom(const std::string& folder, int block, Record* record)
{
    platform::Module::SetSearchFolder(folder);
    platform::ModuleHandle handle;
    try {
        handle = CAesCore::LoadLibraryA(static_cast<unsigned>(block), record);
    } catch (...) {
        platform::Module::SetSearchFolder("");
        throw;
    }
    platform::Module::SetSearchFolder("");
    return handle;
}

bool HasBulkEntries(const Record& r)
{
    return r.aes_ecb_enc || r.aes_ecb_dec || r.aes_cbc_enc || r.aes_cfb_enc || r.aes_cbc_dec || r.aes_cfb_dec;
}

// Another Rijndael library in the modules' place: only the four documented
// exports (the plain stand-in), or those plus bulk-looking exports of a
// different contract without the marker (the decoy, whose extra functions
// scribble). The engine must drive both one block per call and write exactly
// what the real module writes through its bulk functions, over streams long
// enough for every group size of the fast paths, in pieces.
TEST(CAesCore, StandInModulesWithOnlyTheFourExportsGiveIdenticalOutput)
{
    std::mt19937 rng(20261207);
    for (const char* folder : {TESSARIN_STANDIN_MODULES, TESSARIN_STANDIN_MODULES "/decoy"}) {
        for (int block : {16, 24, 32}) {
            Record standIn;
            platform::ModuleHandle handle = LoadFrom(folder, block, &standIn);
            EXPECT_FALSE(HasBulkEntries(standIn)) << folder;
            const Record& real = test::LoadedCipher(block);
            ASSERT_TRUE(real.aes_cbc_dec && real.aes_cfb_dec) << "the real module carries the bulk marker";

            for (int keyLength : {16, 24, 32}) {
                for (OperMode mode : {OperMode::ECB, OperMode::CBC, OperMode::CFB}) {
                    SCOPED_TRACE(std::string(folder) + " block " + std::to_string(block) + " key " +
                                 std::to_string(keyLength) + " mode " + std::to_string(int(mode)));
                    std::array<std::uint8_t, 32> key{}, chain{};
                    for (auto* b : {&key, &chain})
                        for (auto& x : *b)
                            x = static_cast<std::uint8_t>(rng());
                    std::vector<std::uint8_t> plain(static_cast<std::size_t>(block) * (40 + rng() % 90) + 7);
                    for (auto& x : plain)
                        x = static_cast<std::uint8_t>(rng());
                    const std::size_t cut = static_cast<std::size_t>(block) * (rng() % 20);

                    const auto encrypt = [&](const Record& r) {
                        CAesCore core(&r);
                        core.MakeEncKey(key, chain, keyLength, block);
                        return RunCore(core, plain, mode, true, 1, cut / static_cast<std::size_t>(block));
                    };
                    const auto decrypt = [&](const Record& r, const std::vector<std::uint8_t>& sealed) {
                        CAesCore core(&r);
                        if (mode == OperMode::CFB)
                            core.MakeEncKey(key, chain, keyLength, block);
                        else
                            core.MakeDecKey(key, chain, keyLength, block);
                        return RunCore(core, sealed, mode, false, 3, cut / static_cast<std::size_t>(block));
                    };
                    const auto sealedByStandIn = encrypt(standIn);
                    const auto sealedByModule = encrypt(real);
                    ASSERT_EQ(sealedByStandIn, sealedByModule);
                    const std::size_t whole = plain.size() / static_cast<std::size_t>(block) * static_cast<std::size_t>(block);
                    const auto openedByStandIn = decrypt(standIn, sealedByModule);
                    EXPECT_EQ(openedByStandIn, decrypt(real, sealedByModule));
                    EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + static_cast<std::ptrdiff_t>(whole),
                                           openedByStandIn.begin()));
                }
            }
            CAesCore::CloseLibrary(handle);
        }
    }
}

TEST(CAesCore, LoaderFailures)
{
    test::TempFolder empty;
    const struct {
        std::string folder;
        unsigned number;
        int code;
        std::string message;
    } cases[] = {
        {empty.Path(), 24, errc::LibraryNotFound, "libaes24.so not found!"},
        {empty.Path(), 16, errc::LibraryNotFound, "libaes16.so not found!"},
        {TESSARIN_BROKEN_MODULES, 24, errc::LibraryFunctions, "Unable to load DLL functions!"},
    };
    for (const auto& c : cases) {
        platform::Module::SetSearchFolder(c.folder);
        Record record;
        try {
            CAesCore::LoadLibraryA(c.number, &record);
            ADD_FAILURE() << "loaded from " << c.folder;
        } catch (const ErrorHandler& e) {
            EXPECT_EQ(e.GetErrCode(), c.code);
            EXPECT_EQ(e.GetErrString(), c.message);
        }
    }
    platform::Module::SetSearchFolder("");
}

} // namespace
} // namespace tessarin
