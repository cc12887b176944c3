#include "foundation/ErrorHandler.h"
#include "foundation/MyCLibInfo.h"
#include "platform/Module.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <bzlib.h>
#include <elf.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <functional>

namespace tessarin {
namespace {

// Points the module loader at one folder for the life of the guard.
class SearchFolderGuard {
public:
    explicit SearchFolderGuard(const std::string& folder) { platform::Module::SetSearchFolder(folder); }
    ~SearchFolderGuard() { platform::Module::SetSearchFolder(""); }
    SearchFolderGuard(const SearchFolderGuard&) = delete;
    SearchFolderGuard& operator=(const SearchFolderGuard&) = delete;
};

struct ModuleCase {
    std::string module;
    std::string description;
    std::string specialBuild;  // empty: the module must not have the entry
};

class ModuleBlocks : public ::testing::TestWithParam<ModuleCase> {};

TEST_P(ModuleBlocks, ReadFromTheBuiltFileByLogicalNameAndByPath)
{
    const ModuleCase& c = GetParam();
    const std::string path = platform::Module::Locate(c.module);
    ASSERT_FALSE(path.empty()) << c.module;

    for (const std::string& name : {c.module, path}) {
        SCOPED_TRACE(name);
        MyCLibInfo info(name);
        EXPECT_EQ(info.GetTranslation(), 0x04B00409u);
        EXPECT_EQ(info.GetResource("FileVersion"), TESSARIN_VERSION);
        EXPECT_EQ(info.GetResource("FileDescription"), c.description);
        EXPECT_NE(info.GetResource("LegalCopyright").find("Quenby Software"), std::string::npos);
        EXPECT_FALSE(info.GetResource("PrivateBuild").empty());
        // Entry names are matched without regard to case.
        EXPECT_EQ(info.GetResource("fileversion"), TESSARIN_VERSION);
        if (c.specialBuild.empty()) {
            try {
                info.GetResource("SpecialBuild");
                ADD_FAILURE() << "SpecialBuild found";
            } catch (const ErrorHandler& e) {
                EXPECT_EQ(e.GetErrCode(), errc::ResourceEntry);
            }
        } else {
            EXPECT_EQ(info.GetResource("SpecialBuild"), c.specialBuild);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    All, ModuleBlocks,
    ::testing::Values(
        ModuleCase{"engine.dll", "Tessarin engine: encryption, compression and file selection", "aes.dll"},
        ModuleCase{"aes16.dll", "Rijndael block cipher, 128-bit blocks", ""},
        ModuleCase{"aes24.dll", "Rijndael block cipher, 192-bit blocks", ""},
        ModuleCase{"aes32.dll", "Rijndael block cipher, 256-bit blocks", ""}),
    [](const auto& p) { return p.param.module.substr(0, p.param.module.find('.')); });

TEST(MyCLibInfo, CompressionLibrariesReportTheirOwnVersion)
{
    struct Case {
        std::string module;
        std::string answer;  // what the library itself says
    };
    for (const Case& c : {Case{"zlib.dll", zlibVersion()}, Case{"bzip2.dll", BZ2_bzlibVersion()}}) {
        SCOPED_TRACE(c.module);
        MyCLibInfo info(c.module);
        EXPECT_EQ(info.GetTranslation(), 0x04B00409u);
        const std::string version = info.GetResource("FileVersion");
        ASSERT_FALSE(version.empty());
        // The number leads the library's own text ("1.0.8, 13-Jul-2019").
        EXPECT_EQ(c.answer.compare(0, version.size(), version), 0) << c.answer;
        EXPECT_TRUE(version.find(',') == std::string::npos);
        EXPECT_NO_THROW(info.GetResource("PrivateBuild"));
        EXPECT_FALSE(info.GetResource("FileDescription").empty());
        EXPECT_FALSE(info.GetResource("LegalCopyright").empty());
    }
}

TEST(MyCLibInfo, MissingEntryFailsWith34AndLeavesOutUnchanged)
{
    MyCLibInfo info("engine.dll");
    std::string out = "before";
    for (const std::string entry : {"Comments", "FileVersio", "FileVersionX", ""}) {
        try {
            info.GetResource(entry, out);
            ADD_FAILURE() << entry;
        } catch (const ErrorHandler& e) {
            EXPECT_EQ(e.GetErrCode(), -34);
            EXPECT_EQ(e.GetErrString(), "Unable to find '" + entry + "' resource.");
        }
        EXPECT_EQ(out, "before");
    }
    info.FreeResource();
    EXPECT_THROW(info.GetResource("FileVersion", out), ErrorHandler);
}

TEST(MyCLibInfo, LoadingAgainReplacesTheBlock)
{
    MyCLibInfo info("engine.dll");
    info.LoadResource("aes16.dll");
    EXPECT_EQ(info.GetResource("FileDescription"), "Rijndael block cipher, 128-bit blocks");
    EXPECT_THROW(info.GetResource("SpecialBuild"), ErrorHandler);
}

// ---- damaged and missing blocks ---------------------------------------------

std::size_t FindMagic(const std::vector<std::uint8_t>& bytes)
{
    static constexpr std::uint8_t Magic[] = {'T', 'S', 'V', 'B', 'L', 'K', 0, 1};
    const auto it = std::search(bytes.begin(), bytes.end(), std::begin(Magic), std::end(Magic));
    if (it == bytes.end())
        throw std::runtime_error("no version block in the copy");
    return static_cast<std::size_t>(it - bytes.begin());
}

// The section header of the version block in a 64-bit ELF image.
Elf64_Shdr* VersionSection(std::vector<std::uint8_t>& bytes)
{
    auto* header = reinterpret_cast<Elf64_Ehdr*>(bytes.data());
    auto* sections = reinterpret_cast<Elf64_Shdr*>(bytes.data() + header->e_shoff);
    const char* names = reinterpret_cast<const char*>(bytes.data() + sections[header->e_shstrndx].sh_offset);
    for (int i = 0; i < header->e_shnum; ++i) {
        if (std::strcmp(names + sections[i].sh_name, ".tessarin_version") == 0)
            return &sections[i];
    }
    throw std::runtime_error("no version section in the copy");
}

struct DamageCase {
    std::string what;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    int code;
    std::string message;  // the text around the module name
};

class DamagedModules : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedModules, FailWithTheCodeOfTheStep)
{
    const DamageCase& c = GetParam();
    test::TempFolder folder;
    auto bytes = test::ReadBytes(platform::Module::Locate("aes16.dll"));
    c.damage(bytes);
    const std::string path = folder / "libaes16.so";
    test::WriteBytes(path, bytes);
    try {
        MyCLibInfo info(path);
        ADD_FAILURE() << "loaded";
    } catch (const ErrorHandler& e) {
        EXPECT_EQ(e.GetErrCode(), c.code);
        std::string message = c.message;
        message.replace(message.find('@'), 1, path);
        EXPECT_EQ(e.GetErrString(), message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    All, DamagedModules,
    ::testing::Values(
        DamageCase{"NotAnElfFile", [](auto& b) { b.assign({'h', 'e', 'l', 'l', 'o'}); }, -30,
                   "Unable to load '@' or no version resource."},
        DamageCase{"SectionRenamed",
                   [](auto& b) {
                       auto* header = reinterpret_cast<Elf64_Ehdr*>(b.data());
                       auto* sections = reinterpret_cast<Elf64_Shdr*>(b.data() + header->e_shoff);
                       char* names = reinterpret_cast<char*>(b.data() + sections[header->e_shstrndx].sh_offset);
                       names[VersionSection(b)->sh_name + 1] = 'X';
                   },
                   -30, "Unable to load '@' or no version resource."},
        DamageCase{"SectionPastTheEnd", [](auto& b) { VersionSection(b)->sh_offset = b.size() - 4; }, -31,
                   "Unable to load resource information of '@'."},
        DamageCase{"MagicBroken", [](auto& b) { b[FindMagic(b) + 7] = 9; }, -32,
                   "Unable to get version length from '@'."},
        DamageCase{"LengthBeyondTheSection", [](auto& b) { b[FindMagic(b) + 10] = 0x7F; }, -32,
                   "Unable to get version length from '@'."},
        DamageCase{"NoTranslation", [](auto& b) { b[FindMagic(b) + 12] = 0; }, -33,
                   "Unable to get version translation from '@'."}),
    [](const auto& p) { return p.param.what; });

TEST(MyCLibInfo, ModulesWithoutBlockFailWith30)
{
    struct Case {
        std::string folder;  // the loader's only folder, or empty for the normal search
        std::string module;
    };
    test::TempFolder empty;
    for (const Case& c : {Case{"", "aes99.dll"}, Case{TESSARIN_BROKEN_MODULES, "aes24.dll"},
                          Case{empty.Path(), "zlib.dll"}, Case{empty.Path(), "bzip2.dll"},
                          Case{empty.Path(), "engine.dll"}}) {
        SCOPED_TRACE(c.module);
        SearchFolderGuard guard(c.folder);
        try {
            MyCLibInfo info(c.module);
            ADD_FAILURE() << "loaded";
        } catch (const ErrorHandler& e) {
            EXPECT_EQ(e.GetErrCode(), -30);
            // Named as the file is called here.
            EXPECT_EQ(e.GetErrString(),
                      "Unable to load '" + platform::Module::ShownNameFor(c.module) + "' or no version resource.");
        }
    }
}

} // namespace
} // namespace tessarin
