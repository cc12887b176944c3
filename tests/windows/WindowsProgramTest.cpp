// tessarin.exe's work on Windows: non-ASCII names through the whole batch,
// the version report from the modules' VERSIONINFO resources, and the
// system's own module names in what the user reads.
#include "RunCli.h"
#include "application/AppSettings.h"
#include "cipher/CAesCore.h"
#include "foundation/ErrorHandler.h"
#include "foundation/MyCLibInfo.h"
#include "platform/Module.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <map>
#include <sstream>

namespace tessarin {
namespace {

using test::TempFolder;

std::filesystem::path Fs(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome RunTessarin(std::vector<std::string> args)
{
    std::vector<std::string_view> views(args.begin(), args.end());
    std::ostringstream out, err;
    const int status = RunCli(views, out, err);
    return {status, out.str(), err.str()};
}

std::map<std::string, std::vector<std::uint8_t>> Snapshot(const std::string& root)
{
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(Fs(root))) {
        if (entry.is_regular_file())
            files[Utf8(std::filesystem::relative(entry.path(), Fs(root)))] = test::ReadBytes(Utf8(entry.path()));
    }
    return files;
}

// Names in several scripts, in folders named so as well.
const char* const Names[] = {
    "caf\xc3\xa9.txt",                                       // café
    "\xc3\x9c" "berordner/\xc3\xb1" "and\xc3\xba.bin",       // Überordner/ñandú
    "\xe6\x97\xa5\xe6\x9c\xac/\xe3\x83\x87\xe3\x83\xbc\xe3\x82\xbf.dat",  // 日本/データ
    "\xce\xa9mega/empty \xce\xa9.dat",                       // Ωmega/empty Ω.dat
    "plain.txt",
};

struct RoundTripCase {
    const char* what;
    std::vector<std::string> options;
};

class NonAsciiTree : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(NonAsciiTree, EncryptsAndDecryptsByteForByte)
{
    TempFolder data, secrets;
    std::uint32_t seed = 1;
    for (const char* name : Names) {
        const std::filesystem::path path = Fs(data / name);
        std::filesystem::create_directories(path.parent_path());
        const std::size_t length = std::string(name).find("empty") != std::string::npos ? 0 : 1000 * seed + 17;
        test::WriteBytes(data / name, test::SeededBytes(length, seed++));
    }
    test::WriteBytes(secrets / "pw", {'s', 'e', 's', 'a', 'm', 'e', '\n'});
    const auto before = Snapshot(data.Path());

    std::vector<std::string> common{"--defaults", "--no-log", "-q", "-r", "--password-file", secrets / "pw"};
    common.insert(common.end(), GetParam().options.begin(), GetParam().options.end());

    std::vector<std::string> encrypt{"-e"};
    encrypt.insert(encrypt.end(), common.begin(), common.end());
    encrypt.push_back(data.Path());
    const Outcome encrypted = RunTessarin(encrypt);
    ASSERT_EQ(encrypted.status, ExitDone) << encrypted.out << encrypted.err;
    const auto middle = Snapshot(data.Path());
    ASSERT_EQ(middle.size(), before.size());
    for (const auto& [name, bytes] : middle) {
        EXPECT_FALSE(before.contains(name)) << name << " was left in plain text";
        EXPECT_NE(name.find(".aes"), std::string::npos) << name;
    }

    std::vector<std::string> decrypt{"-d"};
    decrypt.insert(decrypt.end(), common.begin(), common.end());
    decrypt.push_back(data.Path());
    const Outcome decrypted = RunTessarin(decrypt);
    ASSERT_EQ(decrypted.status, ExitDone) << decrypted.out << decrypted.err;
    EXPECT_EQ(Snapshot(data.Path()), before);
}

INSTANTIATE_TEST_SUITE_P(Tessarin, NonAsciiTree,
                         ::testing::Values(RoundTripCase{"Plain", {}},
                                           RoundTripCase{"MangledCfb", {"--mangle", "-m", "cfb", "-b", "192"}},
                                           RoundTripCase{"Gzip", {"-z", "gzip", "-k", "128"}},
                                           RoundTripCase{"Bzip2Wiped", {"-z", "bzip2", "--wipe", "-m", "ecb"}}),
                         [](const ::testing::TestParamInfo<RoundTripCase>& param) { return param.param.what; });

// tessarin.exe itself, started as a user starts it: the arguments arrive
// in UTF-16, whatever the ANSI code page makes of them.
DWORD StartTessarin(const std::wstring& arguments)
{
    const std::filesystem::path program = Fs(platform::Module::ProgramFolder()) / "tessarin.exe";
    std::wstring line = L"\"" + program.wstring() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.wstring().c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return 0xFFFFFFFFu;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD status = 0xFFFFFFFFu;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
}

TEST(WindowsProgram, TakesNonAsciiPathsFromItsCommandLine)
{
    TempFolder data, secrets;
    const std::string name = "\xc3\x9c" "ber \xe6\x97\xa5\xe6\x9c\xac.txt";  // Über 日本.txt
    const auto content = test::SeededBytes(5000, 9);
    test::WriteBytes(data / name, content);
    test::WriteBytes(secrets / "pw", {'s', 'e', 's', 'a', 'm', 'e', '\n'});
    const std::wstring common = L"--defaults --no-log -q --password-file \"" + Fs(secrets / "pw").wstring() + L"\" ";

    ASSERT_EQ(StartTessarin(L"-e " + common + L"\"" + Fs(data / name).wstring() + L"\""), 0u);
    EXPECT_EQ(test::ListFolder(data.Path()), std::vector<std::string>{name + ".aes"});
    ASSERT_EQ(StartTessarin(L"-d " + common + L"\"" + Fs(data / (name + ".aes")).wstring() + L"\""), 0u);
    EXPECT_EQ(test::ListFolder(data.Path()), std::vector<std::string>{name});
    EXPECT_EQ(test::ReadBytes(data / name), content);
}

TEST(WindowsProgram, TakesItsDefaultsFromTheRegistry)
{
    const wchar_t* key = L"Software\\Quenby Software\\Tessarin\\v1.1";
    RegDeleteTreeW(HKEY_CURRENT_USER, key);
    AppSettings saved;
    saved.checkChangeExt = 0;  // encrypted files keep their names
    saved.checkLogging = 0;
    saved.editPattern = "*.doc";
    ASSERT_TRUE(saved.SaveSettings({}));

    TempFolder data, secrets;
    const auto content = test::SeededBytes(3000, 4);
    test::WriteBytes(data / "a.doc", content);
    test::WriteBytes(data / "b.txt", content);
    test::WriteBytes(secrets / "pw", {'s', 'e', 's', 'a', 'm', 'e', '\n'});
    const Outcome encrypted = RunTessarin({"-e", "-q", "--password-file", secrets / "pw", data.Path()});
    RegDeleteTreeW(HKEY_CURRENT_USER, key);
    ASSERT_EQ(encrypted.status, ExitDone) << encrypted.out << encrypted.err;
    EXPECT_EQ(test::ListFolder(data.Path()), (std::vector<std::string>{"a.doc", "b.txt"}));
    EXPECT_NE(test::ReadBytes(data / "a.doc"), content);  // encrypted under its own name
    EXPECT_EQ(test::ReadBytes(data / "b.txt"), content);  // not matched by the stored pattern
}

TEST(WindowsVersions, ReportReadsEveryModulesVersionResource)
{
    const Outcome report = RunTessarin({"--version"});
    ASSERT_EQ(report.status, ExitDone) << report.err;
    const std::string version = TESSARIN_VERSION;
    for (const char* module : {"engine.dll", "aes16.dll", "aes24.dll", "aes32.dll"})
        EXPECT_NE(report.out.find(std::string(module) + " " + version), std::string::npos) << module << "\n" << report.out;
    EXPECT_NE(report.out.find("zlib1.dll 1."), std::string::npos) << report.out;
    EXPECT_NE(report.out.find("bzip2.dll 1."), std::string::npos) << report.out;
    EXPECT_EQ(report.out.find(".so"), std::string::npos) << report.out;
}

struct ResourceCase {
    const char* module;
    const char* description;
};

class VersionResource : public ::testing::TestWithParam<ResourceCase> {};

TEST_P(VersionResource, HoldsTheEntriesUnderTheUsEnglishUnicodeTranslation)
{
    MyCLibInfo info(GetParam().module);
    EXPECT_EQ(info.GetTranslation(), 0x04B00409u);
    EXPECT_EQ(info.GetResource("FileVersion"), TESSARIN_VERSION);
    EXPECT_EQ(info.GetResource("FileDescription"), GetParam().description);
    EXPECT_NE(info.GetResource("LegalCopyright").find("Quenby Software"), std::string::npos);
    std::string out = "untouched";
    const ErrorHandler missing = test::CatchError([&] { info.GetResource("NoSuchEntry", out); });
    EXPECT_EQ(missing.GetErrCode(), -34);
    EXPECT_EQ(out, "untouched");
}

INSTANTIATE_TEST_SUITE_P(
    Modules, VersionResource,
    ::testing::Values(ResourceCase{"engine.dll", "Tessarin engine: encryption, compression and file selection"},
                      ResourceCase{"aes16.dll", "Rijndael block cipher, 128-bit blocks"},
                      ResourceCase{"aes24.dll", "Rijndael block cipher, 192-bit blocks"},
                      ResourceCase{"aes32.dll", "Rijndael block cipher, 256-bit blocks"}),
    [](const ::testing::TestParamInfo<ResourceCase>& param) { return test::CaseName(param.param.module); });

TEST(WindowsVersions, EngineNamesTheCipherFamilyItWasBuiltFor)
{
    EXPECT_EQ(MyCLibInfo("engine.dll").GetResource("SpecialBuild"), "aes.dll");
}

TEST(WindowsVersions, ModuleWithoutResourceFailsWithMinus30)
{
    // The test program itself carries no version resource.
    const std::string self = platform::Module::ProgramFolder() + "/windows_tests.exe";
    const ErrorHandler e = test::CatchError([&] { MyCLibInfo info(self); });
    EXPECT_EQ(e.GetErrCode(), -30);
    EXPECT_NE(e.GetErrString().find("windows_tests.exe"), std::string::npos) << e.GetErrString();
}

TEST(WindowsModules, MessagesNameTheDllFiles)
{
    platform::Module::SetSearchFolder(TESSARIN_BROKEN_MODULES);
    AESclass::AesCallBack record{};
    const ErrorHandler absent = test::CatchError([&] { CAesCore::LoadLibraryA(16, &record); });
    const ErrorHandler incomplete = test::CatchError([&] { CAesCore::LoadLibraryA(24, &record); });
    platform::Module::SetSearchFolder("");
    EXPECT_EQ(absent.GetErrCode(), -30);
    EXPECT_EQ(absent.GetErrString(), "aes16.dll not found!");
    EXPECT_EQ(incomplete.GetErrCode(), -29);
    EXPECT_EQ(platform::Module::ShownNameFor("zlib.dll"), "zlib1.dll");
    EXPECT_EQ(platform::Module::ShownNameFor("aes32.dll"), "aes32.dll");
}

TEST(WindowsModules, LoadedFromTheProgramsFolderFirst)
{
    for (const char* module : {"engine.dll", "aes16.dll", "zlib.dll", "bzip2.dll"}) {
        const std::string path = platform::Module::Locate(module);
        EXPECT_EQ(path, platform::Module::ProgramFolder() + "/" + platform::Module::FileNameFor(module)) << module;
    }
}

} // namespace
} // namespace tessarin
