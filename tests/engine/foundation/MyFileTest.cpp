#include "foundation/ErrorHandler.h"
#include "foundation/MyFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace tessarin {
namespace {

TEST(MyFile, SplitsPathAndName)
{
    test::TempFolder folder;
    test::WriteBytes(folder / "a.tar.gz", {1, 2, 3});
    test::WriteBytes(folder / "plain", {});
    test::WriteBytes(folder / "back\\slash.txt", {});
    const struct {
        std::string name, file, ext, withoutExt;
    } cases[] = {
        {"a.tar.gz", "a.tar.gz", "gz", "a.tar"},
        {"plain", "plain", "", "plain"},
        {"back\\slash.txt", "back\\slash.txt", "txt", "back\\slash"},  // a backslash is an ordinary byte
    };
    for (const auto& c : cases) {
        MyFile file(folder / c.name, MyFile::OpenRead);
        EXPECT_EQ(file.GetPath(), folder.Path() + "/");
        EXPECT_EQ(file.GetFileName(), c.file);
        EXPECT_EQ(file.GetFullFilename(), folder / c.name);
        EXPECT_EQ(file.GetFileNameExt(), c.ext);
        EXPECT_EQ(file.GetFileNameWithoutExt(), c.withoutExt);
    }
    MyFile file(folder / "a.tar.gz", MyFile::OpenRead);
    EXPECT_EQ(file.GetSize(), 3u);
    file.SetFileName("other");
    EXPECT_EQ(file.GetFullFilename(), folder / "other");
}

TEST(MyFile, OpenFailures)
{
    test::TempFolder folder;
    test::WriteBytes(folder / "x", {9});

    auto e = test::CatchError([&] { MyFile f(folder / "missing", MyFile::OpenRead); });
    EXPECT_EQ(e.GetErrCode(), errc::OpenFailed);
    // The documented text first, then the system's reason.
    EXPECT_EQ(e.GetErrString(), "Unable to open file '" + (folder / "missing") + "'");
    EXPECT_EQ(e.GetReason(), "No such file or directory");

    e = test::CatchError([&] { MyFile f(folder.Path(), MyFile::OpenRead); });  // a folder is not a file
    EXPECT_EQ(e.GetErrCode(), errc::OpenFailed);

    e = test::CatchError([&] { MyFile f(folder / "x", MyFile::OpenCreateNew); });
    EXPECT_EQ(e.GetErrCode(), errc::OpenFailed);

    MyFile file(folder / "x", MyFile::OpenRead);
    e = test::CatchError([&] { file.Open(folder / "other", MyFile::OpenRead); });
    EXPECT_EQ(e.GetErrCode(), errc::AlreadyOpened);
    EXPECT_EQ(e.GetErrString(), "file '" + (folder / "other") + "' is already opened!");
    std::vector<std::uint8_t> byte(1);
    EXPECT_EQ(file.Read(byte), 1u);  // the first file stays open
    EXPECT_EQ(byte[0], 9);
}

TEST(MyFile, ReadWriteSeekAndClosedObject)
{
    test::TempFolder folder;
    {
        MyFile out(folder / "f", MyFile::OpenWrite);
        const std::vector<std::uint8_t> data = {1, 2, 3, 4, 5};
        EXPECT_EQ(out.Write(data), 5u);
    }
    MyFile in(folder / "f", MyFile::OpenRead);
    EXPECT_EQ(in.Seek(-2, MyFile::SeekEnd), 3u);
    std::vector<std::uint8_t> buf(10);
    EXPECT_EQ(in.Read(buf), 2u);
    EXPECT_EQ(buf[0], 4);
    EXPECT_EQ(in.Read(buf), 0u);
    in.Rewind();
    EXPECT_EQ(in.Read(buf), 5u);
    EXPECT_EQ(in.Seek(0, MyFile::SeekCurrent), 5u);

    in.Close();
    in.Close();  // harmless
    EXPECT_EQ(in.Read(buf), 0u);
    EXPECT_EQ(in.Write(buf), 0u);
    EXPECT_EQ(in.GetSize(), 0u);
    EXPECT_EQ(ErrorHandler(-5).GetErrString(), "");
}

// A small file is kept as it is when first asked for, with a change since
// the open showing in its length; the handle's own reading is untouched.
TEST(MyFile, KeepWholeTakesASmallFileAsItIsNow)
{
    test::TempFolder folder;
    const struct {
        const char* what;
        std::size_t size;
        int change;  // bytes added (or cut) after the open
        bool kept;
    } rows[] = {
        {"empty", 0, 0, true},          {"at the limit", 100, 0, true},       {"over the limit", 101, 0, false},
        {"grown since", 50, 7, true},   {"cut since", 50, -20, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string path = folder / "f";
        test::WriteBytes(path, test::SeededBytes(row.size, 1));
        MyFile file(path, MyFile::OpenRead);
        std::filesystem::resize_file(path, row.size + static_cast<std::size_t>(row.change));
        const std::vector<std::uint8_t> now = test::ReadBytes(path);
        std::vector<std::uint8_t> start(8);
        const std::vector<std::uint8_t>* kept = file.KeepWhole(100);
        ASSERT_EQ(kept != nullptr, row.kept);
        if (kept) {
            EXPECT_EQ(*kept, std::vector(now.begin(), now.begin() + std::min(now.size(), row.size + 1)));
        }
        EXPECT_EQ(file.ReadAt(0, start), std::min<std::size_t>(8, now.size()));
        EXPECT_TRUE(std::equal(now.begin(), now.begin() + std::min<std::size_t>(8, now.size()), start.begin()));
        std::vector<std::uint8_t> all(now.size() + 1);
        EXPECT_EQ(file.Read(all), now.size());
        all.resize(now.size());
        EXPECT_EQ(all, now);
    }
    // A temporary file of our own, written and read back, is kept too; a
    // file opened to be written over is not.
    for (const MyFile::OpenMode mode : {MyFile::OpenCreateNew, MyFile::OpenWrite}) {
        SCOPED_TRACE(mode);
        const std::vector<std::uint8_t> bytes = test::SeededBytes(60, 2);
        MyFile file(folder / (mode == MyFile::OpenCreateNew ? "own" : "over"), mode);
        file.Write(bytes);
        file.SetSize(bytes.size());
        file.Rewind();
        const std::vector<std::uint8_t>* kept = file.KeepWhole(100);
        ASSERT_EQ(kept != nullptr, mode == MyFile::OpenCreateNew);
        if (kept) {
            EXPECT_EQ(*kept, bytes);
        }
    }
}

TEST(MyFile, WriteOpeningEmptiesWipeOpeningKeeps)
{
    test::TempFolder folder;
    test::WriteBytes(folder / "w", test::SeededBytes(100, 1));
    {
        MyFile keep(folder / "w", MyFile::OpenWipe);
        EXPECT_EQ(keep.GetSize(), 100u);
    }
    EXPECT_EQ(test::ReadBytes(folder / "w").size(), 100u);
    {
        MyFile empty(folder / "w", MyFile::OpenWrite);
        EXPECT_EQ(empty.GetSize(), 0u);
        EXPECT_EQ(empty.CalcCrc(), 0u);  // nothing is read from a file open for writing
        empty.SetCrc(42);
        EXPECT_EQ(empty.CalcCrc(), 42u);
    }
    EXPECT_TRUE(test::ReadBytes(folder / "w").empty());
}

TEST(MyFile, WipeOverwritesTheRecordedLength)
{
    test::TempFolder folder;
    const struct {
        std::size_t length;
        unsigned rounds;
        bool changed;
    } cases[] = {
        {200000, 3, true},  // several pattern pieces
        {16, 1, true},
        {5000, 0, false},   // zero rounds writes nothing
        {0, 3, false},
    };
    for (const auto& c : cases) {
        // Appended piece by piece: g++ 12 at -O3 sees a false overlap in
        // "w" + std::string (-Wrestrict).
        std::string name = "w";
        name.append(std::to_string(c.length)).append("_").append(std::to_string(c.rounds));
        const std::string path = folder / name;
        const auto original = test::SeededBytes(c.length, 5);
        test::WriteBytes(path, original);
        {
            MyFile file(path, MyFile::OpenWipe);
            file.Wipe(c.rounds);
        }
        const auto after = test::ReadBytes(path);
        ASSERT_EQ(after.size(), c.length) << "wiping neither truncates nor extends";
        EXPECT_EQ(after != original, c.changed) << path;
    }
}

TEST(MyFile, MoveHandsOverTheHandle)
{
    test::TempFolder folder;
    test::WriteBytes(folder / "m", {7, 8});
    MyFile a(folder / "m", MyFile::OpenRead);
    MyFile b(std::move(a));
    EXPECT_FALSE(a.IsOpen());
    std::vector<std::uint8_t> buf(2);
    EXPECT_EQ(b.Read(buf), 2u);
}

} // namespace
} // namespace tessarin
