#include "engine/processing/PipelineHarness.h"
#include "foundation/ErrorHandler.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace tessarin {
namespace {

using namespace test;
using Names = std::vector<std::string>;

struct Expected {
    bool update;
    int level;
    std::string text;  // a regular expression when it starts with "re:"
};

void ExpectLines(const RecordingSink& sink, const std::vector<Expected>& expected)
{
    const auto& lines = sink.Lines();
    ASSERT_EQ(lines.size(), expected.size()) << sink.Transcript();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(lines[i].update, expected[i].update);
        EXPECT_EQ(lines[i].level, expected[i].level);
        if (expected[i].text.rfind("re:", 0) == 0)
            EXPECT_TRUE(std::regex_match(lines[i].text, std::regex(expected[i].text.substr(3)))) << lines[i].text;
        else
            EXPECT_EQ(lines[i].text, expected[i].text);
    }
}

TEST(SinkSequence, GzipEncryptionWithChangedExtension)
{
    TempFolder folder;
    const std::string d = folder.Path() + "/";
    const auto plain = SeededBytes(300000, 4);
    WriteBytes(folder / "a.txt", plain);
    PipelineOptions o;
    o.family = MyObjectAes::FamilyGzip;
    o.changeExtension = true;
    Pipeline p(o);
    ASSERT_TRUE(p.Run(folder / "a.txt").ok);
    // The copy of the temporary file onto the output is gone (a rename puts
    // it in place), and with it its deletion line. The intermediate is told
    // by the name it stands for.
    ExpectLines(p.Sink(), {
                              {false, 2, "Deflating " + d + "a.txt to a.txt.gz "},
                              {true, 2, "[OK]\r\n"},
                              {false, 2, "Encrypting " + d + "a.txt.gz to a.txt.gz.aes "},
                              {true, 2, "[OK]\r\n"},
                              {false, 4, "Deleting " + d + "a.txt.gz "},
                              {true, 4, "[OK]\r\n"},
                              {false, 4, "Deleting " + d + "a.txt "},
                              {true, 4, "[OK]\r\n"},
                          });
    // Each of the two steps reports half of the file's 1024-byte units.
    EXPECT_NEAR(p.Sink().Progress(), static_cast<double>(plain.size()) / 1024.0, 3.0);
    EXPECT_EQ(ListFolder(folder.Path()), Names{"a.txt.gz.aes"});
}

TEST(SinkSequence, ForcedDecryptionOfAPlainFile)
{
    TempFolder folder;
    const std::string d = folder.Path() + "/";
    const auto plain = SeededBytes(4000, 2);
    WriteBytes(folder / "p.txt", plain);
    PipelineOptions o;
    o.modality = MyObjectAes::Decryption;
    Pipeline p(o);
    EXPECT_FALSE(p.Run(folder / "p.txt").ok);
    // The folder's temporary file is told by the name the log knows it
    // under, never by its own.
    ExpectLines(p.Sink(), {
                              {false, 2, "Decrypting " + d + "p.txt "},
                              {false, 4, "\r\nRollback: "},
                              {false, 4, "Deleting " + d + "~aes.tmp "},
                              {true, 4, "[OK]\r\n"},
                              {true, 1, "ERROR(-20): Not AES file or wrong passwd!\r\n"},
                          });
    EXPECT_EQ(ListFolder(folder.Path()), Names{"p.txt"});
    EXPECT_EQ(ReadBytes(folder / "p.txt"), plain);
}

// A container's stored name comes from whoever made the file. Names that
// would leave the folder, or make decompression write onto its own input,
// are refused before anything is written.
TEST(StoredName, UnsafeNamesAreRefusedAndNothingIsWritten)
{
    struct Case {
        std::string name;
        std::uint32_t filter;
    };
    const Case cases[] = {
        {"../escape", 0}, {"a/b", 0}, {"", 0}, {".", 0}, {"..", 0}, {"/tmp/abs", 0},
        {"plain.txt", 0x00010006},  // gzip content without its suffix
        {"..gz", 0x00010006},       // would decompress to ".."
        {"x.gz", 0x00020006},       // bzip2 content with gzip's suffix
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.name + "'");
        TempFolder outer;
        std::filesystem::create_directory(outer / "in");
        std::filesystem::create_directory(outer / "in/a");
        const std::string container = outer / "in/crafted.aes";
        PipelineOptions o;
        o.changeExtension = true;
        WriteCraftedContainer(container, Gzip(SeededBytes(100, 1)), c.name, c.filter, o);
        const auto before = ReadBytes(container);

        const RunResult r = Pipeline(o).Run(container);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.errorLine.rfind("ERROR(-26): Unsafe name '", 0), 0u) << r.errorLine;
        EXPECT_EQ(ListFolder(outer.Path()), Names{"in"});
        EXPECT_EQ(ListFolder(outer / "in"), (Names{"a", "crafted.aes"}));
        EXPECT_TRUE(ListFolder(outer / "in/a").empty());
        EXPECT_EQ(ReadBytes(container), before);
    }
}

// A broken compressed content leaves the container as it was. The
// compressed content waits in a temporary file whatever the container's
// name, so nothing is replaced before the decompressed file is complete.
// Only temporary files go in the rollback; the compressed content is told
// by the name it stands for, unless that is the container's own, which stays.
TEST(Decompression, AFailureLeavesTheContainerAsItWas)
{
    for (const std::string containerName : {"d.gz", "d.gz.aes"}) {
        SCOPED_TRACE(containerName);
        TempFolder folder;
        const std::string d = folder.Path() + "/";
        const std::vector<std::uint8_t> broken(5000, 0x1F);  // not a gzip stream
        PipelineOptions o;
        o.changeExtension = true;
        WriteCraftedContainer(folder / containerName, broken, "d.gz", 0x00010006, o);
        const auto before = ReadBytes(folder / containerName);
        Pipeline p(o);
        const RunResult r = p.Run(folder / containerName);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.errorLine.rfind("ERROR(-1): Unable to gzread on '" + d, 0), 0u) << r.errorLine;
        EXPECT_EQ(ListFolder(folder.Path()), Names{containerName});
        EXPECT_EQ(ReadBytes(folder / containerName), before);
        const std::string t = p.Sink().Transcript();
        const std::string told = containerName == "d.gz" ? "" : "Deleting " + d + "d.gz [OK]\r\n";
        EXPECT_NE(t.find("Inflating " + d + "d.gz to d Rollback: " + told + "ERROR(-1)"), std::string::npos) << t;
        EXPECT_EQ(t.find("~aes-"), std::string::npos) << t;
    }
}

} // namespace
} // namespace tessarin
