// The world changing under a file while it is processed, and containers
// that are damaged or not what they claim: the user's data never pays.
#include "engine/processing/PipelineHarness.h"
#include "foundation/ErrorHandler.h"
#include "selection/FileFind.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tessarin {
namespace {

using namespace test;
using Names = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t Large = 400000;  // three chunks: reports come while reading

// Another program changes the file while it is encrypted: the file fails,
// and the original stays as that program left it, with no container.
TEST(ChangingSource, AFileChangedWhileEncryptedFailsAndStays)
{
    struct Case {
        const char* what;
        int family;
        void (*change)(const std::string& path);
    };
    const auto append = [](const std::string& path) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
        ASSERT_EQ(::write(fd, "more", 4), 4);
        ::close(fd);
    };
    const auto truncate = [](const std::string& path) { ASSERT_EQ(::truncate(path.c_str(), 1000), 0); };
    const auto rewrite = [](const std::string& path) {
        // Same length, bytes already read: only the file's times tell.
        const int fd = ::open(path.c_str(), O_WRONLY);
        ASSERT_EQ(::pwrite(fd, "edit", 4, 0), 4);
        ::close(fd);
    };
    const Case cases[] = {
        {"appended", MyObjectAes::FamilyNone, append},   {"truncated", MyObjectAes::FamilyNone, truncate},
        {"rewritten", MyObjectAes::FamilyNone, rewrite}, {"appended while compressed", MyObjectAes::FamilyGzip, append},
        {"rewritten while compressed", MyObjectAes::FamilyBzip2, rewrite},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        WriteBytes(folder / "a.txt", SeededBytes(Large, 1));
        // Written long ago: a change now shows in the times even where the
        // clock that stamps them is coarse.
        const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (folder / "a.txt").c_str(), old, 0), 0);
        PipelineOptions o;
        o.family = c.family;
        o.changeExtension = true;
        Pipeline p(o);
        p.Sink().OnReport([&](int report) {
            if (report == 2)
                c.change(folder / "a.txt");
        });
        const RunResult r = p.Run(folder / "a.txt");
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.errorLine, "ERROR(-36): File '" + (folder / "a.txt") + "' changed while it was read!\r\n");
        EXPECT_EQ(ListFolder(folder.Path()), Names{"a.txt"});
    }
}

// A name swapped for a link once its file is encrypted: the deletion (and
// the wiping one above all) refuses, and the file the link points to is not
// touched. A swap during the reading itself fails as a changed file.
TEST(ChangingSource, ANameSwappedForALinkIsNeverFollowed)
{
    for (const bool wiping : {true, false}) {
        SCOPED_TRACE(wiping ? "wiping" : "deleting");
        TempFolder outside;
        const Bytes precious = SeededBytes(Large, 2);
        WriteBytes(outside / "precious", precious);
        TempFolder folder;
        const Bytes plain = SeededBytes(Large, 3);
        WriteBytes(folder / "a.txt", plain);
        PipelineOptions o;
        o.changeExtension = true;
        o.wiping = wiping;
        Pipeline p(o);
        bool encrypting = false;
        p.Sink().OnLine([&](const std::string& text) {
            if (text.rfind("Encrypting ", 0) == 0)
                encrypting = true;
            else if (encrypting && text == "[OK]\r\n") {
                encrypting = false;
                std::filesystem::rename(folder / "a.txt", folder / "moved");
                std::filesystem::create_symlink(outside / "precious", folder / "a.txt");
            }
        });
        const RunResult r = p.Run(folder / "a.txt");
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.errorLine.rfind("ERROR(-", 0), 0u) << r.errorLine;
        EXPECT_EQ(ReadBytes(outside / "precious"), precious);
        EXPECT_TRUE(std::filesystem::is_symlink(folder / "a.txt"));
        EXPECT_EQ(ReadBytes(folder / "moved"), plain);
        EXPECT_EQ(PlainOf(folder / "a.txt.aes", o), plain);
    }
}

// A name swapped for a FIFO or a link between the listing and the run: the
// run (or the check) neither blocks nor reads through the link, even to a
// container that would pass.
TEST(ChangingSource, ANameSwappedAfterTheListingIsRefused)
{
    for (const int row : {0, 1, 2, 3}) {
        const bool fifo = row % 2 == 0, check = row >= 2;  // check: -t's instead of a run
        SCOPED_TRACE(std::string(fifo ? "fifo" : "link") + (check ? ", check" : ""));
        TempFolder folder;
        PipelineOptions o;
        WriteBytes(folder / "a.txt", SeededBytes(100, 4));
        WriteCraftedContainer(folder / "other", SeededBytes(100, 5), "x", 0, o, 100);
        const Bytes other = ReadBytes(folder / "other");
        Pipeline p(o);
        CFileFind listed;
        ASSERT_TRUE(listed.FindFile(folder / "a.txt"));
        listed.FindNextFile();
        std::filesystem::remove(folder / "a.txt");
        if (fifo)
            ASSERT_EQ(::mkfifo((folder / "a.txt").c_str(), 0600), 0);
        else
            std::filesystem::create_symlink(folder / "other", folder / "a.txt");
        MyObject& action = check ? static_cast<MyObject&>(p.Check()) : p.Object();
        action.Run(listed);
        EXPECT_FALSE(action.ResultOk());
        EXPECT_EQ(ReadBytes(folder / "other"), other);
        EXPECT_EQ(ListFolder(folder.Path()), (Names{"a.txt", "other"}));
    }
}

// Damaged or unknown containers are refused with nothing written.
TEST(DamagedContainer, IsRefusedWithNothingWritten)
{
    const Bytes plain = SeededBytes(3000, 6);
    const Bytes gz = Gzip(plain);
    struct Case {
        const char* what;
        Bytes content;
        std::string stored;
        std::uint32_t filter;
        std::uint32_t nfSize;
        std::int64_t cut;  // bytes cut off the container's end
        std::string error;  // the start of the error line
    };
    Bytes trailing = gz;
    trailing.insert(trailing.end(), {'j', 'u', 'n', 'k'});
    const Case cases[] = {
        {"an unknown compression family", gz, "a.gz", 0x00030006, 3000, 0,
         "ERROR(-35): This file was processed using an unknown filter!"},
        {"cut inside its last block", plain, "a", 0, 3000, 5, "ERROR(-23): CRC32 mismatch!"},
        {"cut by a whole block", plain, "a", 0, 3000, 16, "ERROR(-23): CRC32 mismatch!"},
        {"decompressing to less than recorded", gz, "a.gz", 0x00010006, 3001, 0,
         "ERROR(-1): Unable to gzread on '"},
        {"decompressing to more than recorded", gz, "a.gz", 0x00010006, 2999, 0, "ERROR(-1): Unable to gzread on '"},
        {"data after the compressed stream", trailing, "a.gz", 0x00010006, 3000, 0,
         "ERROR(-1): Unable to gzread on '"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        PipelineOptions o;
        o.changeExtension = true;
        WriteCraftedContainer(folder / "c.aes", c.content, c.stored, c.filter, o, c.nfSize);
        if (c.cut > 0)
            std::filesystem::resize_file(folder / "c.aes", std::filesystem::file_size(folder / "c.aes") - c.cut);
        const Bytes before = ReadBytes(folder / "c.aes");
        const RunResult r = Pipeline(o).Run(folder / "c.aes");
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.errorLine.rfind(c.error, 0), 0u) << r.errorLine;
        // The fixed text alone: the reason is no part of it.
        EXPECT_TRUE(r.errorLine.ends_with("'\r\n") || r.errorLine.ends_with("!\r\n")) << r.errorLine;
        EXPECT_EQ(ListFolder(folder.Path()), Names{"c.aes"});
        EXPECT_EQ(ReadBytes(folder / "c.aes"), before);
    }
}

// Temporary files that held plain or compressed plain text are overwritten
// before they go when wiping is on. A handle opened on the temporary file
// while the step runs shows what became of its content.
TEST(TemporaryContent, IsWipedBeforeItGoes)
{
    struct Case {
        const char* what;
        bool decrypt;  // the held compressed content of a decryption; else a compression that breaks
        bool wiping;
    };
    const Case cases[] = {
        {"compression broken off, wiping", false, true},
        {"compression broken off, no wiping", false, false},
        {"held content of a decryption, wiping", true, true},
        {"held content of a decryption, no wiping", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        WriteBytes(folder / "a.txt", SeededBytes(Large, 7));
        PipelineOptions o;
        o.family = MyObjectAes::FamilyGzip;
        o.wiping = c.wiping;
        std::string path = folder / "a.txt";
        if (c.decrypt) {
            ASSERT_TRUE(Pipeline(o).Run(path).ok);
            path = folder / "a.txt.gz";
        }
        Pipeline p(o, c.decrypt ? -1 : 3);
        int witness = -1;
        p.Sink().OnReport([&](int) {
            for (const std::string& name : ListFolder(folder.Path())) {
                if (witness < 0 && name.rfind("~aes-", 0) == 0) {
                    // The compressed content: the gzip header shows.
                    const int fd = ::open((folder / name).c_str(), O_RDONLY);
                    unsigned char head[2] = {};
                    if (::pread(fd, head, 2, 0) == 2 && head[0] == 0x1F && head[1] == 0x8B)
                        witness = fd;
                    else
                        ::close(fd);
                }
            }
        });
        const RunResult r = p.Run(path);
        EXPECT_EQ(r.ok, c.decrypt);
        ASSERT_GE(witness, 0);
        unsigned char head[3] = {};
        EXPECT_EQ(::pread(witness, head, 3, 0), 3);
        ::close(witness);
        const bool stillGzip = head[0] == 0x1F && head[1] == 0x8B && head[2] == 0x08;
        EXPECT_EQ(stillGzip, !c.wiping);
        EXPECT_FALSE(HasTemporary(folder.Path()));
    }
}

} // namespace
} // namespace tessarin
