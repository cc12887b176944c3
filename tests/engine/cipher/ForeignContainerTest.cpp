// Containers made on the other system: tests/data/containers holds files
// encrypted by the Linux build (linux/) and by the Windows build (windows/)
// from the same plain files (plain/), made by make.sh there. Each must
// decrypt on either system, byte for byte and under its own name: the
// format may not depend on the system that wrote it.
#include "engine/processing/PipelineHarness.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tessarin {
namespace {

using test::Pipeline;
using test::PipelineOptions;
using test::TempFolder;

struct ForeignCase {
    const char* origin;
    const char* container;  // as the other system wrote it
    const char* plain;      // what it decrypts (and decompresses) to
    int keyLength;
    int block;
    OperMode mode;
};

constexpr ForeignCase Cases[] = {
    {"linux", "cbc-k256-b128.bin.aes", "cbc-k256-b128.bin", 32, 16, OperMode::CBC},
    {"linux", "cfb-k192-b192.bin.aes", "cfb-k192-b192.bin", 24, 24, OperMode::CFB},
    {"linux", "ecb-k128-b256.bin.aes", "ecb-k128-b256.bin", 16, 32, OperMode::ECB},
    {"linux", "gzip-cbc.txt.gz.aes", "gzip-cbc.txt", 32, 32, OperMode::CBC},
    {"linux", "bzip2-cbc.txt.bz.aes", "bzip2-cbc.txt", 32, 32, OperMode::CBC},
    {"linux", "gr\xc3\xbc\xc3\x9f" "e-cfb.txt.aes", "gr\xc3\xbc\xc3\x9f" "e-cfb.txt", 32, 32, OperMode::CFB},
    {"linux", "empty-cbc.bin.aes", "empty-cbc.bin", 32, 32, OperMode::CBC},
    {"windows", "cbc-k256-b128.bin.aes", "cbc-k256-b128.bin", 32, 16, OperMode::CBC},
    {"windows", "cfb-k192-b192.bin.aes", "cfb-k192-b192.bin", 24, 24, OperMode::CFB},
    {"windows", "ecb-k128-b256.bin.aes", "ecb-k128-b256.bin", 16, 32, OperMode::ECB},
    {"windows", "gzip-cbc.txt.gz.aes", "gzip-cbc.txt", 32, 32, OperMode::CBC},
    {"windows", "bzip2-cbc.txt.bz.aes", "bzip2-cbc.txt", 32, 32, OperMode::CBC},
    {"windows", "gr\xc3\xbc\xc3\x9f" "e-cfb.txt.aes", "gr\xc3\xbc\xc3\x9f" "e-cfb.txt", 32, 32, OperMode::CFB},
    {"windows", "empty-cbc.bin.aes", "empty-cbc.bin", 32, 32, OperMode::CBC},
};

std::string Fixture(const std::string& part)
{
    return std::string(TESSARIN_TEST_DATA) + "/containers/" + part;
}

class ForeignContainer : public ::testing::TestWithParam<ForeignCase> {};

TEST_P(ForeignContainer, DecryptsByteForByteUnderItsOwnName)
{
    const ForeignCase& c = GetParam();
    TempFolder folder;
    test::WriteBytes(folder / c.container, test::ReadBytes(Fixture(std::string(c.origin) + "/" + c.container)));

    PipelineOptions options;
    options.modality = MyObjectAes::Decryption;
    options.keyLength = c.keyLength;
    options.block = c.block;
    options.mode = c.mode;
    options.password = "sesame";
    Pipeline decrypting(options);
    const test::RunResult result = decrypting.Run(folder / c.container);
    ASSERT_TRUE(result.ok) << result.errorLine << decrypting.Sink().Transcript();

    // Whether the container goes as well is the pipeline's own rule, the
    // same on both systems; what matters here is the file it gives back.
    const auto names = test::ListFolder(folder.Path());
    EXPECT_NE(std::find(names.begin(), names.end(), c.plain), names.end());
    EXPECT_EQ(test::ReadBytes(folder / c.plain), test::ReadBytes(Fixture(std::string("plain/") + c.plain)));
}

TEST_P(ForeignContainer, RefusesAnotherPasswordAndLeavesTheContainer)
{
    const ForeignCase& c = GetParam();
    TempFolder folder;
    const auto bytes = test::ReadBytes(Fixture(std::string(c.origin) + "/" + c.container));
    test::WriteBytes(folder / c.container, bytes);

    PipelineOptions options;
    options.modality = MyObjectAes::Decryption;
    options.keyLength = c.keyLength;
    options.block = c.block;
    options.mode = c.mode;
    options.password = "sesamf";
    EXPECT_FALSE(Pipeline(options).Run(folder / c.container).ok);
    EXPECT_EQ(test::ListFolder(folder.Path()), std::vector<std::string>{c.container});
    EXPECT_EQ(test::ReadBytes(folder / c.container), bytes);
}

INSTANTIATE_TEST_SUITE_P(BothSystems, ForeignContainer, ::testing::ValuesIn(Cases),
                         [](const ::testing::TestParamInfo<ForeignCase>& param) {
                             return std::string(param.param.origin) + "_" + test::CaseName(param.param.plain);
                         });

} // namespace
} // namespace tessarin
