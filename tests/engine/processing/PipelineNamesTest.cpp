// Outputs and the names already in a folder: an output replaces no file but
// the one it is made from, unless replacing is asked for.
#include "engine/processing/PipelineHarness.h"
#include "foundation/ErrorHandler.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace tessarin {
namespace {

using namespace test;
using Names = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

std::string Taken(const std::string& path)
{
    return "ERROR(-5): Unable to create '" + path + "': a file of that name already exists!\r\n";
}

// A file of the output's name that the output was not made from: refused,
// both files untouched, unless replacing is asked for.
TEST(OutputNames, AnOutputReplacesOnlyTheFileItIsMadeFrom)
{
    struct Case {
        const char* what;
        bool decrypt;       // decrypt "x.aes" beside "x"; else encrypt "x" beside "x.aes"
        bool replace;
    };
    const Case cases[] = {
        {"encrypting x beside an unrelated x.aes", false, false},
        {"decrypting x.aes beside an edited x", true, false},
        {"encrypting x over x.aes when asked to", false, true},
        {"decrypting x.aes over x when asked to", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        PipelineOptions o;
        o.changeExtension = true;
        o.replaceExisting = c.replace;
        const Bytes plain = SeededBytes(5000, 1);
        const Bytes other = SeededBytes(700, 2);
        if (c.decrypt) {
            WriteBytes(folder / "x", plain);
            ASSERT_TRUE(Pipeline(o).Run(folder / "x").ok);
            WriteBytes(folder / "x", other);  // kept, then edited
        } else {
            WriteBytes(folder / "x", plain);
            WriteBytes(folder / "x.aes", other);
        }
        const std::string source = folder / (c.decrypt ? "x.aes" : "x");
        const std::string inTheWay = folder / (c.decrypt ? "x" : "x.aes");
        const Bytes sourceBefore = ReadBytes(source);

        const RunResult r = Pipeline(o).Run(source);
        EXPECT_EQ(r.ok, c.replace) << r.errorLine;
        if (c.replace) {
            EXPECT_EQ(ListFolder(folder.Path()), Names{c.decrypt ? "x" : "x.aes"});
            EXPECT_EQ(PlainOf(inTheWay, o), plain);
        } else {
            EXPECT_EQ(r.errorLine, Taken(inTheWay));
            EXPECT_EQ(ListFolder(folder.Path()), (Names{"x", "x.aes"}));
            EXPECT_EQ(ReadBytes(source), sourceBefore);
            EXPECT_EQ(ReadBytes(inTheWay), other);
        }
    }
}

// Mangled numbers collide easily. Two names of one folder whose paths give
// the same number, found by trying short names.
std::pair<std::string, std::string> CollidingNames(const std::string& folder)
{
    std::map<std::string, std::string> seen;
    const std::string letters = "abcdefghijklmnopqrstuvwxyz";
    for (const char a : letters) {
        for (const char b : letters) {
            for (const char c : letters) {
                const std::string name = std::string{a, b, c} + ".txt";
                const auto [it, fresh] = seen.emplace(Mangled(folder + "/" + name), name);
                if (!fresh)
                    return {it->second, name};
            }
        }
    }
    return {};
}

TEST(OutputNames, ATakenMangledNumberMovesOnToTheNextFreeOne)
{
    for (const bool changeExt : {true, false}) {
        SCOPED_TRACE(changeExt ? "M.aes" : "M.txt");
        TempFolder folder;
        const auto [first, second] = CollidingNames(folder.Path());
        ASSERT_FALSE(first.empty()) << "no two names share a mangled number";
        const std::string number = Mangled(folder / first);
        const std::string next = std::to_string(std::stoul(number) + 1);
        const std::string ext = changeExt ? ".aes" : ".txt";
        const Bytes one = SeededBytes(3000, 3), two = SeededBytes(4000, 4);
        WriteBytes(folder / first, one);
        WriteBytes(folder / second, two);

        PipelineOptions o;
        o.mangling = true;
        o.changeExtension = changeExt;
        Pipeline p(o);
        ASSERT_TRUE(p.Run(folder / first).ok);
        ASSERT_TRUE(p.Run(folder / second).ok);
        EXPECT_EQ(ListFolder(folder.Path()), (Names{number + ext, next + ext}));
        EXPECT_NE(p.Sink().Transcript().find("to " + next + ext + " "), std::string::npos) << p.Sink().Transcript();

        // The stored names bring both back.
        PipelineOptions back = o;
        back.deleteOriginal = true;
        back.changeExtension = true;  // so that the containers go once decrypted
        ASSERT_TRUE(Pipeline(back).Run(folder / (number + ext)).ok);
        ASSERT_TRUE(Pipeline(back).Run(folder / (next + ext)).ok);
        EXPECT_EQ(ReadBytes(folder / first), one);
        EXPECT_EQ(ReadBytes(folder / second), two);
    }
}

// Two containers of one batch that name the same file: the first is
// decrypted, the second is refused and kept.
TEST(OutputNames, TwoContainersWithOneStoredNameInOneBatch)
{
    TempFolder folder;
    PipelineOptions o;
    o.changeExtension = true;
    const Bytes first = SeededBytes(2000, 5), second = SeededBytes(2500, 6);
    for (const auto& [content, container] : {std::pair{first, "one.aes"}, std::pair{second, "two.aes"}}) {
        WriteBytes(folder / "a.txt", content);
        ASSERT_TRUE(Pipeline(o).Run(folder / "a.txt").ok);
        std::filesystem::rename(folder / "a.txt.aes", folder / container);
    }
    const Bytes secondContainer = ReadBytes(folder / "two.aes");
    Pipeline batch(o);
    EXPECT_TRUE(batch.Run(folder / "one.aes").ok);
    const RunResult r = batch.Run(folder / "two.aes");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errorLine, Taken(folder / "a.txt"));
    EXPECT_EQ(ListFolder(folder.Path()), (Names{"a.txt", "two.aes"}));
    EXPECT_EQ(ReadBytes(folder / "a.txt"), first);
    EXPECT_EQ(ReadBytes(folder / "two.aes"), secondContainer);
}

// A compressed container under its own name gives way to the restored file;
// with the ".aes" option also on, that is no second deletion and no error.
TEST(OutputNames, ARestoreOfACompressedContainerUnderItsOwnNameIsNoError)
{
    for (const int family : {MyObjectAes::FamilyGzip, MyObjectAes::FamilyBzip2}) {
        SCOPED_TRACE(family);
        TempFolder folder;
        const Bytes plain = SeededBytes(9000, 7);
        WriteBytes(folder / "a.txt", plain);
        PipelineOptions o;
        o.family = family;
        ASSERT_TRUE(Pipeline(o).Run(folder / "a.txt").ok);
        const std::string container = family == MyObjectAes::FamilyGzip ? "a.txt.gz" : "a.txt.bz";
        ASSERT_EQ(ListFolder(folder.Path()), Names{container});

        o.changeExtension = true;
        o.deleteOriginal = true;
        const RunResult r = Pipeline(o).Run(folder / container);
        EXPECT_TRUE(r.ok) << r.errorLine;
        EXPECT_EQ(r.errorLine, "");
        EXPECT_EQ(ListFolder(folder.Path()), Names{"a.txt"});
        EXPECT_EQ(ReadBytes(folder / "a.txt"), plain);
    }
}

// Outputs keep the times of the file they were made from, both ways.
TEST(OutputNames, OutputsKeepTheTimesOfTheirSource)
{
    for (const int family : {MyObjectAes::FamilyNone, MyObjectAes::FamilyGzip}) {
        SCOPED_TRACE(family);
        TempFolder folder;
        WriteBytes(folder / "a.txt", SeededBytes(4000, 8));
        const struct timespec old[2] = {{1000000000, 123}, {1200000000, 456789}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (folder / "a.txt").c_str(), old, 0), 0);
        PipelineOptions o;
        o.family = family;
        o.changeExtension = true;
        const auto timesOf = [](const std::string& path) {
            struct stat st {};
            EXPECT_EQ(::stat(path.c_str(), &st), 0);
            return std::pair{st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec,
                             st.st_atim.tv_sec * 1000000000LL + st.st_atim.tv_nsec};
        };
        ASSERT_TRUE(Pipeline(o).Run(folder / "a.txt").ok);
        const std::string container = folder / (family == MyObjectAes::FamilyNone ? "a.txt.aes" : "a.txt.gz.aes");
        EXPECT_EQ(timesOf(container).first, 1200000000LL * 1000000000LL + 456789);

        const struct timespec later[2] = {{1300000000, 0}, {1400000000, 7}};
        ASSERT_EQ(::utimensat(AT_FDCWD, container.c_str(), later, 0), 0);
        ASSERT_TRUE(Pipeline(o).Run(container).ok);
        EXPECT_EQ(timesOf(folder / "a.txt"), (std::pair{1400000000LL * 1000000000LL + 7, 1300000000LL * 1000000000LL}));
    }
}

// A stored name too long for the file system is written under a shortened
// free name keeping its extension; the log and -t say which.
TEST(OutputNames, ANameTooLongForTheFileSystemIsShortened)
{
    TempFolder folder;
    if (::pathconf(folder.Path().c_str(), _PC_NAME_MAX) != 255)
        GTEST_SKIP() << "the temporary folder's file system does not take names of 255 bytes";
    std::string cjk;  // 100 characters of three bytes
    for (int i = 0; i < 100; ++i)
        cjk += "\xE6\xBC\xA2";
    const std::string cut = cjk.substr(0, 83 * 3);  // 83 characters and ".txt" fit, 84 do not
    const Bytes plain = SeededBytes(3000, 1);
    struct Case {
        std::string stored, taken, written;  // taken: a name already in the folder
    };
    const Case cases[] = {
        {cjk + ".txt", "", cut + ".txt"},
        {cjk + ".txt.gz", "", cut + ".txt"},  // compressed
        {cjk + ".txt", cut + ".txt", cut + "~1.txt"},
        {std::string(300, 'a'), "", std::string(255, 'a')},
        {"x." + std::string(300, 'b'), "", "x." + std::string(253, 'b')},  // too long to be an extension
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        std::filesystem::remove_all(folder.Path());
        std::filesystem::create_directory(folder.Path());
        const bool gzip = c.stored.ends_with(".gz");
        WriteCraftedContainer(folder / "c.aes", gzip ? Gzip(plain) : plain, c.stored, gzip ? 0x00010006u : 0u,
                              PipelineOptions{}, static_cast<std::uint32_t>(plain.size()));
        if (!c.taken.empty())
            WriteBytes(folder / c.taken, {1});
        Pipeline p(PipelineOptions{});
        EXPECT_TRUE(p.Test(folder / "c.aes").ok);
        EXPECT_TRUE(p.Run(folder / "c.aes").ok);
        const std::string t = p.Sink().Transcript();
        EXPECT_NE(t.find("too long for this file system: decrypting writes it as '" + c.written + "'"), t.npos) << t;
        EXPECT_NE(t.find("too long for this file system: written as '" + c.written + "'"), t.npos);
        EXPECT_EQ(Exists(folder / c.written) ? ReadBytes(folder / c.written) : Bytes{}, plain);
    }
}

} // namespace
} // namespace tessarin
