#include "application/VersionReport.h"
#include "foundation/ErrorHandler.h"
#include "platform/Module.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace tessarin {
namespace {

// The heads of the report's paragraphs in order: "Loading 'M'" or the whole
// first line of an error paragraph.
std::vector<std::string> Heads(const std::string& report)
{
    std::vector<std::string> heads;
    std::size_t at = 0;
    while (at < report.size()) {
        const std::size_t end = report.find("\r\n\r\n", at);
        if (end == std::string::npos) {
            heads.push_back("unterminated: " + report.substr(at));
            break;
        }
        const std::string paragraph = report.substr(at, end - at);
        heads.push_back(paragraph.substr(0, paragraph.find("\r\n")));
        at = end + 4;
    }
    return heads;
}

// A folder holding the program's modules (and links to the system's zlib
// and bzip2) that the loader is pointed at; a case removes or damages some.
class ModuleFolder {
public:
    ModuleFolder()
    {
        for (const char* module : {"engine.dll", "aes16.dll", "aes24.dll", "aes32.dll"})
            std::filesystem::copy_file(platform::Module::Locate(module), Path(module));
        for (const char* module : {"zlib.dll", "bzip2.dll"})
            std::filesystem::create_symlink(platform::Module::Locate(module), Path(module));
        platform::Module::SetSearchFolder(m_folder.Path());
    }
    ~ModuleFolder() { platform::Module::SetSearchFolder(""); }
    ModuleFolder(const ModuleFolder&) = delete;
    ModuleFolder& operator=(const ModuleFolder&) = delete;

    std::string Path(const std::string& module) const { return m_folder / platform::Module::FileNameFor(module); }

private:
    test::TempFolder m_folder;
};

void RenameEntry(const std::string& path, const std::string& from, const std::string& to)
{
    auto bytes = test::ReadBytes(path);
    std::string needle = from;
    needle.push_back('\0');
    const auto it = std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end());
    ASSERT_NE(it, bytes.end());
    std::copy(to.begin(), to.end(), it);
    test::WriteBytes(path, bytes);
}

const std::string Missing = " or no version resource.";

struct ReportCase {
    const char* what;
    std::function<void(const ModuleFolder&)> change;
    std::vector<std::string> heads;
};

class Report : public ::testing::TestWithParam<ReportCase> {};

TEST_P(Report, ListsTheModulesInOrder)
{
    const ReportCase& c = GetParam();
    ModuleFolder folder;
    c.change(folder);
    EXPECT_EQ(Heads(VersionReport::Build()), c.heads);
}

INSTANTIATE_TEST_SUITE_P(
    All, Report,
    ::testing::Values(
        ReportCase{"AllPresent", [](const ModuleFolder&) {},
                   {"Loading 'libengine.so'", "Loading 'libaes16.so'", "Loading 'libaes24.so'", "Loading 'libaes32.so'",
                    "Loading 'libz.so.1'", "Loading 'libbz2.so.1.0'"}},
        ReportCase{"Aes24Missing", [](const ModuleFolder& f) { std::filesystem::remove(f.Path("aes24.dll")); },
                   {"Loading 'libengine.so'", "Loading 'libaes16.so'", "ERROR(-30): Unable to load 'libaes24.so'" + Missing,
                    "Loading 'libaes32.so'", "Loading 'libz.so.1'", "Loading 'libbz2.so.1.0'"}},
        ReportCase{"Aes16WithoutDescription",
                   [](const ModuleFolder& f) { RenameEntry(f.Path("aes16.dll"), "FileDescription", "FileDescriptioX"); },
                   {"Loading 'libengine.so'", "ERROR(-34): Unable to find 'FileDescription' resource.",
                    "Loading 'libaes24.so'", "Loading 'libaes32.so'", "Loading 'libz.so.1'", "Loading 'libbz2.so.1.0'"}},
        ReportCase{"Aes32MissingEndsTheReport",
                   [](const ModuleFolder& f) { std::filesystem::remove(f.Path("aes32.dll")); },
                   {"Loading 'libengine.so'", "Loading 'libaes16.so'", "Loading 'libaes24.so'",
                    "ERROR(-30): Unable to load 'libaes32.so'" + Missing}},
        ReportCase{"ZlibMissingEndsTheReport", [](const ModuleFolder& f) { std::filesystem::remove(f.Path("zlib.dll")); },
                   {"Loading 'libengine.so'", "Loading 'libaes16.so'", "Loading 'libaes24.so'", "Loading 'libaes32.so'",
                    "ERROR(-30): Unable to load 'libz.so.1'" + Missing}},
        ReportCase{"EngineWithoutSpecialBuild",
                   [](const ModuleFolder& f) { RenameEntry(f.Path("engine.dll"), "SpecialBuild", "SpecialBuilX"); },
                   {"Loading 'libengine.so'", "ERROR(-34): Unable to find 'SpecialBuild' resource."}},
        ReportCase{"EngineMissing", [](const ModuleFolder& f) { std::filesystem::remove(f.Path("engine.dll")); },
                   {"ERROR(-30): Unable to load 'libengine.so'" + Missing}}),
    [](const auto& p) { return std::string(p.param.what); });

TEST(VersionReport, ParagraphOfTheEngine)
{
    const std::string paragraph = VersionReport::Paragraph("engine.dll");
    const std::string head = "Loading 'libengine.so'\r\nVersion " TESSARIN_VERSION " (";
    EXPECT_EQ(paragraph.compare(0, head.size(), head), 0) << paragraph;
    EXPECT_NE(paragraph.find(")\r\n'Tessarin engine: encryption, compression and file selection'\r\n"), std::string::npos)
        << paragraph;
    EXPECT_TRUE(paragraph.ends_with("Quenby Software\r\n\r\n")) << paragraph;
    EXPECT_EQ(VersionReport::ErrorParagraph(ErrorHandler(-30, "x")), "ERROR(-30): x\r\n\r\n");
    // A library without a build of ours still shows the empty pair.
    EXPECT_NE(VersionReport::Paragraph("zlib.dll").find(" ()\r\n'"), std::string::npos);
}

} // namespace
} // namespace tessarin
