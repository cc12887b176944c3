#include "engine/processing/PipelineHarness.h"
#include "foundation/ErrorHandler.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tessarin {
namespace {

using namespace test;
using Names = std::vector<std::string>;

// The container of a plain file under each naming combination, with and
// without compression, and the way back.
struct NamingCase {
    const char* label;
    PipelineOptions options;
    std::string file;
    // name of the output, given the folder (for mangled names)
    std::function<std::string(const std::string& folder)> encrypted;
    Names afterDecrypt;  // with the encrypted name written as "*"
};

PipelineOptions With(bool mangling, bool changeExt, int family = MyObjectAes::FamilyNone)
{
    PipelineOptions o;
    o.mangling = mangling;
    o.changeExtension = changeExt;
    o.family = family;
    return o;
}

class NamingTest : public ::testing::TestWithParam<NamingCase> {};

void RoundTrip(const NamingCase& c)
{
    TempFolder folder;
    const auto plain = SeededBytes(200000, 11);
    WriteBytes(folder / c.file, plain);

    Pipeline encrypting(c.options);
    const RunResult first = encrypting.Run(folder / c.file);
    ASSERT_TRUE(first.ok) << first.errorLine;
    const std::string output = c.encrypted(folder.Path());
    EXPECT_EQ(ListFolder(folder.Path()), Names{output});
    EXPECT_NE(ReadBytes(folder / output), plain);
    EXPECT_EQ(PlainOf(folder / output, c.options), plain);
    EXPECT_EQ(encrypting.Object().GetSize(), ReadBytes(folder / output).size());

    Pipeline decrypting(c.options);
    const RunResult second = decrypting.Run(folder / output);
    ASSERT_TRUE(second.ok) << second.errorLine;
    Names expected;
    for (const std::string& name : c.afterDecrypt)
        expected.push_back(name == "*" ? output : name);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListFolder(folder.Path()), expected);
    EXPECT_EQ(ReadBytes(folder / c.file), plain);
    EXPECT_EQ(decrypting.Object().GetSize(), plain.size());
}

TEST_P(NamingTest, EncryptsUnderItsNameAndDecryptsBack)
{
    RoundTrip(GetParam());
}

// A parallel batch runs one object per worker over files at once: the
// objects share the loaded libraries and the process's state, never a
// file's. Each thread here has its own cipher module loaded or its own
// chaining mode.
TEST_P(NamingTest, JobsOnFourThreadsAtOnceEachRoundTrip)
{
    std::vector<std::jthread> jobs;
    for (const int block : {16, 24, 32, 16}) {
        NamingCase c = GetParam();
        c.options.block = block;
        c.options.mode = jobs.size() % 2 == 0 ? OperMode::CBC : OperMode::CFB;
        jobs.emplace_back([c] { RoundTrip(c); });
    }
}

const NamingCase NamingCases[] = {
    {"own_name", With(false, false), "a.txt", [](auto&) { return "a.txt"; }, {"a.txt"}},
    {"aes_appended", With(false, true), "a.txt", [](auto&) { return "a.txt.aes"; }, {"a.txt"}},
    {"mangled_keeps_extension", With(true, false), "a.txt",
     [](auto& d) { return Mangled(d + "/a.txt") + ".txt"; }, {"a.txt", "*"}},
    {"mangled_aes", With(true, true), "a.txt", [](auto& d) { return Mangled(d + "/a.txt") + ".aes"; }, {"a.txt"}},
    {"mangled_without_dot", With(true, false), "README",
     [](auto& d) { return Mangled(d + "/README") + "."; }, {"README", "*"}},
    {"gzip_own_name", With(false, false, MyObjectAes::FamilyGzip), "a.txt", [](auto&) { return "a.txt.gz"; },
     {"a.txt"}},
    {"gzip_aes_appended", With(false, true, MyObjectAes::FamilyGzip), "a.txt",
     [](auto&) { return "a.txt.gz.aes"; }, {"a.txt"}},
    {"bzip2_own_name", With(false, false, MyObjectAes::FamilyBzip2), "a.txt", [](auto&) { return "a.txt.bz"; },
     {"a.txt"}},
    {"bzip2_mangled", With(true, false, MyObjectAes::FamilyBzip2), "a.txt",
     [](auto& d) { return Mangled(d + "/a.txt.bz") + ".bz"; }, {"a.txt", "*"}},
};

INSTANTIATE_TEST_SUITE_P(Combinations, NamingTest, ::testing::ValuesIn(NamingCases),
                         [](const ::testing::TestParamInfo<NamingCase>& p) { return std::string(p.param.label); });

// What each modality does with a plain file, a container under the current
// settings and a container under another password.
TEST(Modality, DirectionFollowsTheOptionOrTheFile)
{
    struct Case {
        const char* label;
        MyObjectAes::Modality modality;
        int family;
        enum { Plain, Container, Foreign } input;
        bool ok;
        std::string errorLine;
        bool becomesPlain;  // otherwise: a container (again) of the input
    };
    const Case cases[] = {
        {"auto_plain", MyObjectAes::Automatic, 0, Case::Plain, true, "", false},
        {"auto_container", MyObjectAes::Automatic, 0, Case::Container, true, "", true},
        {"auto_foreign", MyObjectAes::Automatic, 0, Case::Foreign, true, "", false},
        {"force_encrypt_container", MyObjectAes::Encryption, 0, Case::Container, false,
         "ERROR(-25): Already encrypted!\r\n", false},
        {"force_encrypt_container_gzip", MyObjectAes::Encryption, 1, Case::Container, false,
         "ERROR(-25): Already encrypted!\r\n", false},
        {"force_decrypt_plain", MyObjectAes::Decryption, 0, Case::Plain, false,
         "ERROR(-20): Not AES file or wrong passwd!\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempFolder folder;
        const auto plain = SeededBytes(5000, 3);
        WriteBytes(folder / "f", plain);
        PipelineOptions o = With(false, false);
        if (c.input != Case::Plain) {
            PipelineOptions writer = o;
            writer.password = c.input == Case::Foreign ? "another" : o.password;
            ASSERT_TRUE(Pipeline(writer).Run(folder / "f").ok);
        }
        const auto before = ReadBytes(folder / "f");
        o.modality = c.modality;
        o.family = c.family;
        Pipeline p(o);
        const RunResult r = p.Run(folder / "f");
        EXPECT_EQ(r.ok, c.ok);
        EXPECT_EQ(r.errorLine, c.errorLine);
        EXPECT_EQ(ListFolder(folder.Path()), Names{"f"});
        if (!c.ok)
            EXPECT_EQ(ReadBytes(folder / "f"), before);  // untouched
        else if (c.becomesPlain)
            EXPECT_EQ(ReadBytes(folder / "f"), plain);
        else
            EXPECT_EQ(PlainOf(folder / "f", o), before);
    }
}

TEST(Options, ExcludedNamesAreEncryptedWithoutCompression)
{
    TempFolder folder;
    WriteBytes(folder / "b.zip", SeededBytes(3000, 1));
    WriteBytes(folder / "a.txt", std::vector<std::uint8_t>(3000, 'a'));
    PipelineOptions o = With(false, false, MyObjectAes::FamilyGzip);
    o.exclusions = "*.rar *.ZIP";
    Pipeline p(o);
    EXPECT_TRUE(p.Run(folder / "b.zip").ok);
    EXPECT_TRUE(p.Run(folder / "a.txt").ok);
    EXPECT_EQ(ListFolder(folder.Path()), (Names{"a.txt.gz", "b.zip"}));
    EXPECT_EQ(PlainOf(folder / "b.zip", o), SeededBytes(3000, 1));
    // The filter word of the excluded file's container is 0: decrypting it
    // gives b.zip directly, without a decompression line.
    Pipeline back(o);
    EXPECT_TRUE(back.Run(folder / "b.zip").ok);
    EXPECT_EQ(back.Sink().Transcript().find("Inflating"), std::string::npos);
    EXPECT_EQ(ReadBytes(folder / "b.zip"), SeededBytes(3000, 1));
}

TEST(Options, APlainFileAfterADecryptionIsCompressedWithTheContainersFamily)
{
    TempFolder folder;
    WriteBytes(folder / "x", std::vector<std::uint8_t>(4000, 'x'));
    WriteBytes(folder / "y", std::vector<std::uint8_t>(4000, 'y'));
    ASSERT_TRUE(Pipeline(With(false, false, MyObjectAes::FamilyBzip2)).Run(folder / "x").ok);
    ASSERT_EQ(ListFolder(folder.Path()), (Names{"x.bz", "y"}));

    Pipeline p(With(false, false));  // the user's compression is off
    EXPECT_TRUE(p.Run(folder / "x.bz").ok);
    EXPECT_TRUE(p.Run(folder / "y").ok);
    EXPECT_EQ(ListFolder(folder.Path()), (Names{"x", "y.bz"}));
    EXPECT_EQ(p.Object().GetFilterFamily(), MyObjectAes::FamilyBzip2);
    EXPECT_EQ(PlainOf(folder / "y.bz", With(false, false)), std::vector<std::uint8_t>(4000, 'y'));
}

TEST(Options, AnOverlongPasswordFailsEveryFile)
{
    TempFolder folder;
    PipelineOptions o = With(false, true);
    o.password = std::string(33, 'p');
    Pipeline p(o);
    for (const char* name : {"one", "two"}) {
        WriteBytes(folder / name, {1, 2, 3});
        const RunResult r = p.Run(folder / name);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.errorLine, "ERROR(-22): Secret key's overtaking KeyLen size!\r\n");
    }
    EXPECT_EQ(ListFolder(folder.Path()), (Names{"one", "two"}));
}

TEST(Options, ReadOnlySourcesAndTargetsAreReplacedOrDeleted)
{
    TempFolder folder;
    const auto plain = SeededBytes(7000, 5);
    WriteBytes(folder / "r.txt", plain);
    ::chmod((folder / "r.txt").c_str(), 0444);
    WriteBytes(folder / "r.txt.aes", {0});  // an old, read-only output
    ::chmod((folder / "r.txt.aes").c_str(), 0444);

    // Replacing files in the way is asked for; a read-only one is no obstacle.
    PipelineOptions o = With(false, true);
    o.replaceExisting = true;
    ASSERT_TRUE(Pipeline(o).Run(folder / "r.txt").ok);
    EXPECT_EQ(ListFolder(folder.Path()), Names{"r.txt.aes"});
    ::chmod((folder / "r.txt.aes").c_str(), 0444);
    WriteBytes(folder / "r.txt", {0});  // a read-only file of the decrypted name
    ::chmod((folder / "r.txt").c_str(), 0444);
    ASSERT_TRUE(Pipeline(o).Run(folder / "r.txt.aes").ok);
    EXPECT_EQ(ListFolder(folder.Path()), Names{"r.txt"});
    EXPECT_EQ(ReadBytes(folder / "r.txt"), plain);
}

// The compressed content is a temporary file whatever the user keeps beside
// the original: a user's "a.txt.gz" is in the way only of a container that
// would take that very name.
TEST(Options, AnIntermediateNeverTakesTheNameOfAUsersFile)
{
    struct Case {
        const char* label;
        bool changeExt;
        Names after;
    };
    for (const Case& c : {Case{"container_a_txt_gz_aes", true, Names{"a.txt.gz", "a.txt.gz.aes"}},
                          Case{"container_would_be_a_txt_gz", false, Names{"a.txt", "a.txt.gz"}}}) {
        SCOPED_TRACE(c.label);
        TempFolder folder;
        WriteBytes(folder / "a.txt", {1, 2, 3});
        WriteBytes(folder / "a.txt.gz", {4, 5, 6});  // the user's own file
        const RunResult r = Pipeline(With(false, c.changeExt, MyObjectAes::FamilyGzip)).Run(folder / "a.txt");
        EXPECT_EQ(r.ok, c.changeExt) << r.errorLine;
        if (!c.changeExt) {
            EXPECT_EQ(r.errorLine, "ERROR(-5): Unable to create '" + (folder / "a.txt.gz") +
                                       "': a file of that name already exists!\r\n");
        }
        EXPECT_EQ(ReadBytes(folder / "a.txt.gz"), (std::vector<std::uint8_t>{4, 5, 6}));
        EXPECT_EQ(ListFolder(folder.Path()), c.after);
    }
}

// One rule for every path: containers stay within 4 GiB - 1 byte. Sparse
// files; refusals come before any reading, and one taken up breaks off.
TEST(Options, The4GiBEdgeIsOneRuleForEveryPath)
{
    constexpr std::uint64_t Limit = 0xFFFFFFFFull;
    const char* tooLarge = "ERROR(-24): File '";
    // The largest plain files: 4,294,966,192 bytes (16-byte blocks) and
    // 4,294,966,176 bytes (24- and 32-byte blocks).
    const struct Case {
        int block;
        std::uint64_t size;
        bool container;  // crafted; else a plain file
        int family;
        const char* error;  // of -e for a plain file, of both -d and -t for a container
    } cases[] = {
        {16, 4294966192ull + 1, false, 0, tooLarge}, {24, 4294966176ull + 1, false, 0, tooLarge},
        {32, 4294966176ull + 1, false, 0, tooLarge}, {32, 4ull << 30, false, MyObjectAes::FamilyGzip, tooLarge},
        {16, Limit + 1, true, 0, tooLarge},          {24, Limit + 1, true, 0, tooLarge},
        {32, Limit + 1, true, 0, tooLarge},  // a container that is read fails only for its odd data area:
        {16, Limit, true, 0, "ERROR(-23): CRC32 mismatch!"}, {32, Limit, true, 0, "ERROR(-23): CRC32 mismatch!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.block) + "-byte blocks, " + std::to_string(c.size) + " bytes");
        const bool plain = !c.container && c.family == 0;
        PipelineOptions o = With(false, true, c.family);
        o.block = c.block;
        EXPECT_TRUE(!plain || MyAesFiles::ContainerLength(c.size - 1, c.block) <= Limit);
        TempFolder folder;
        const std::string path = folder / "huge";
        c.container ? WriteCraftedContainer(path, SeededBytes(100, 1), "x", 0, o, 100) : WriteBytes(path, {});
        std::filesystem::resize_file(path, c.size);
        Pipeline p(o, 1);
        for (int pass = 0; pass < (c.container ? 2 : 1); ++pass) {
            const RunResult r = pass == 1 ? p.Test(path) : p.Run(path);
            const std::string head = c.error == tooLarge ? c.error + path + "'" : c.error;
            EXPECT_EQ(r.errorLine.rfind(head, 0), 0u) << r.errorLine;
            // The refusal of an encryption tells the largest file.
            EXPECT_TRUE(!plain || r.errorLine.find(" " + std::to_string(c.size - 1) + " bytes") != std::string::npos);
            EXPECT_EQ(ListFolder(folder.Path()), Names{"huge"});
            EXPECT_EQ(std::filesystem::file_size(path), c.size);
        }
    }
}

// With wiping on, every deletion overwrites the file first, and so does an
// encryption that replaces its source under the same name. A handle held
// open on the file shows what happened to the replaced or deleted content.
TEST(Options, WipingOverwritesEveryPlainCopyItRemoves)
{
    struct Case {
        const char* label;
        bool wiping;
        bool changeExt;
    };
    for (const Case c : {Case{"own_name", true, false}, Case{"aes_appended", true, true},
                         Case{"own_name_no_wiping", false, false}}) {
        SCOPED_TRACE(c.label);
        TempFolder folder;
        const auto plain = SeededBytes(70000, 8);
        WriteBytes(folder / "a.txt", plain);
        const int witness = ::open((folder / "a.txt").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(witness, 0);
        PipelineOptions o = With(false, c.changeExt);
        o.wiping = c.wiping;
        Pipeline p(o);
        ASSERT_TRUE(p.Run(folder / "a.txt").ok);
        std::vector<std::uint8_t> seen(plain.size() + 1);
        const ssize_t n = ::pread(witness, seen.data(), seen.size(), 0);
        ::close(witness);
        ASSERT_EQ(n, static_cast<ssize_t>(plain.size()));
        seen.resize(plain.size());
        EXPECT_EQ(seen == plain, !c.wiping);
        const std::string transcript = p.Sink().Transcript();
        EXPECT_EQ(transcript.find("Wiping " + (folder / "a.txt") + " ") != std::string::npos, c.wiping) << transcript;
        EXPECT_EQ(transcript.find("Deleting "), std::string::npos) << transcript;
    }
}

// Another name of the same file is a copy the user keeps: wiping through
// one name must not destroy the content under the other.
TEST(Options, WipingSparesTheContentOfOtherHardLinks)
{
    struct Case {
        const char* label;
        bool changeExt;
        const char* note;
    };
    for (const Case c : {Case{"own_name", false, "Not wiping "}, Case{"aes_appended", true, "(not wiped: "}}) {
        SCOPED_TRACE(c.label);
        TempFolder folder;
        const auto plain = SeededBytes(70000, 9);
        WriteBytes(folder / "a.txt", plain);
        std::filesystem::create_directory(folder / "links");
        std::filesystem::create_hard_link(folder / "a.txt", folder / "links/kept");
        PipelineOptions o = With(false, c.changeExt);
        o.wiping = true;
        Pipeline p(o);
        ASSERT_TRUE(p.Run(folder / "a.txt").ok);
        EXPECT_EQ(ReadBytes(folder / "links/kept"), plain);
        EXPECT_EQ(PlainOf(folder / (c.changeExt ? "a.txt.aes" : "a.txt"), o), plain);
        EXPECT_NE(p.Sink().Transcript().find(c.note), std::string::npos) << p.Sink().Transcript();
    }
}

} // namespace
} // namespace tessarin
