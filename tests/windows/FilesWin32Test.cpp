// The Win32 file seam keeps the Linux guarantees: UTF-8 names, a no-replace
// commit that refuses a taken name, replacement in one move, locks that
// tell a live run's temporary file from one left behind, and the user's own
// folders.
#include "foundation/ErrorHandler.h"
#include "foundation/MyFile.h"
#include "selection/FileFind.h"
#include "platform/Files.h"
#include "platform/PrivateFolders.h"
#include "scratch/LeftoverSweep.h"
#include "scratch/RunJournal.h"
#include "scratch/TempFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>
#undef FindNextFile  // the system's macro would rename CFileFind's member

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tessarin {
namespace {

using test::TempFolder;

const std::string Umlaut = "gr\xc3\xbc\xc3\x9f" "e.txt";  // grüße.txt

std::vector<std::uint8_t> Bytes(const char* text)
{
    return {text, text + std::strlen(text)};
}

TEST(FilesWin32, NonAsciiNamesAreTheNamesOnDisk)
{
    TempFolder folder;
    MyFile file(folder / Umlaut, MyFile::OpenWrite);
    const std::vector<std::uint8_t> bytes = Bytes("hello");
    ASSERT_EQ(file.Write(bytes), bytes.size());
    file.Close();
    // The wide name the system holds is the UTF-16 form of the UTF-8 one.
    const std::wstring wide = std::filesystem::path(std::u8string(Umlaut.begin(), Umlaut.end())).wstring();
    EXPECT_EQ(wide, L"gr\u00fc\u00dfe.txt");
    EXPECT_NE(GetFileAttributesW((std::filesystem::path(folder.Path()) / wide).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(test::ListFolder(folder.Path()), std::vector<std::string>{Umlaut});
    EXPECT_EQ(test::ReadBytes(folder / Umlaut), bytes);
}

struct RenameCase {
    const char* what;
    bool replace;
    bool targetExists;
    bool moved;
    int error;
};

class RenameWin32 : public ::testing::TestWithParam<RenameCase> {};

TEST_P(RenameWin32, ReplacesOnlyWhenAskedAndKeepsBothFilesOtherwise)
{
    const RenameCase& c = GetParam();
    TempFolder folder;
    test::WriteBytes(folder / "from", Bytes("new"));
    if (c.targetExists)
        test::WriteBytes(folder / Umlaut, Bytes("old"));
    errno = 0;
    const bool moved = c.replace ? platform::RenameFile(folder / "from", folder / Umlaut)
                                 : platform::RenameFileNoReplace(folder / "from", folder / Umlaut);
    EXPECT_EQ(moved, c.moved);
    if (!moved) {
        EXPECT_EQ(platform::LastError(), c.error);
        EXPECT_EQ(test::ReadBytes(folder / "from"), Bytes("new"));
        EXPECT_EQ(test::ReadBytes(folder / Umlaut), Bytes("old"));
    } else {
        EXPECT_FALSE(test::Exists(folder / "from"));
        EXPECT_EQ(test::ReadBytes(folder / Umlaut), Bytes("new"));
    }
}

INSTANTIATE_TEST_SUITE_P(Moves, RenameWin32,
                         ::testing::Values(RenameCase{"ReplaceOntoExisting", true, true, true, 0},
                                           RenameCase{"ReplaceOntoNothing", true, false, true, 0},
                                           RenameCase{"NoReplaceOntoExisting", false, true, false, EEXIST},
                                           RenameCase{"NoReplaceOntoNothing", false, false, true, 0}),
                         [](const ::testing::TestParamInfo<RenameCase>& param) { return param.param.what; });

TEST(FilesWin32, CommitAsNewRefusesATakenNameAndLeavesNothingBehind)
{
    TempFolder folder;
    test::WriteBytes(folder / "taken", Bytes("mine"));
    {
        TempFile temp = TempFile::CreateBeside(folder / "taken");
        const std::vector<std::uint8_t> bytes = Bytes("theirs");
        temp.File().Write(bytes);
        const ErrorHandler e = test::CatchError([&] { temp.CommitAsNew(folder / "taken"); });
        EXPECT_EQ(e.GetErrCode(), -5);
        EXPECT_TRUE(temp.IsPending());
    }
    EXPECT_EQ(test::ListFolder(folder.Path()), std::vector<std::string>{"taken"});
    EXPECT_EQ(test::ReadBytes(folder / "taken"), Bytes("mine"));
}

TEST(FilesWin32, CommitReplacesWhileTheTemporaryFileIsStillOpenAndLocked)
{
    TempFolder folder;
    test::WriteBytes(folder / Umlaut, Bytes("old"));
    TempFile temp = TempFile::CreateBeside(folder / Umlaut, true);
    const std::vector<std::uint8_t> bytes = Bytes("complete new content");
    temp.File().Write(bytes);
    temp.CommitAs(folder / Umlaut);
    EXPECT_FALSE(temp.IsPending());
    EXPECT_EQ(test::ListFolder(folder.Path()), std::vector<std::string>{Umlaut});
    EXPECT_EQ(test::ReadBytes(folder / Umlaut), bytes);
}

TEST(FilesWin32, SweepTakesLeftoversButNotTheFileOfALiveRun)
{
    TempFolder folder, journals;
    // A dead run's file, and a user's look-alike that is no leftover.
    test::WriteBytes(folder / "~aes-0123abcd.tmp", Bytes("users"));
    {
        RunJournal dead(journals.Path() + "/");
        const std::uint64_t entry = dead.Intend(RunJournal::Kind::File, true, folder / "stale");
        test::WriteBytes(folder / "stale", Bytes("stale"));
        dead.Made(entry, platform::IdentifyFile(folder / "stale"));
    }
    TempFile live = TempFile::CreateBeside(folder / "target");
    const std::string liveName = live.Path().substr(live.Path().rfind('/') + 1);

    EXPECT_EQ(LeftoverSweep::Clear(journals.Path() + "/", true, nullptr), 1u);
    EXPECT_EQ(LeftoverSweep::Clear(RunJournal::DefaultFolder(), true, nullptr), 0u);
    std::vector<std::string> expected{"~aes-0123abcd.tmp", liveName};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(test::ListFolder(folder.Path()), expected);
    live.Remove();
    EXPECT_EQ(test::ListFolder(folder.Path()), std::vector<std::string>{"~aes-0123abcd.tmp"});
}

TEST(FilesWin32, LockOfOneHandleIsSeenThroughAnother)
{
    TempFolder folder;
    test::WriteBytes(folder / "f", Bytes("data"));
    const platform::NativeHandle first = platform::OpenFile(folder / "f", platform::FileAccess::Read);
    const platform::NativeHandle second = platform::OpenFile(folder / "f", platform::FileAccess::Read);
    ASSERT_NE(first, platform::InvalidHandle);
    ASSERT_NE(second, platform::InvalidHandle);
    {
        platform::FileLock held(first);
        ASSERT_TRUE(held.IsHeld());
        EXPECT_FALSE(platform::FileLock(second).IsHeld());
        // The lock lies beyond the content: reading through either handle
        // still works.
        std::vector<std::uint8_t> buffer(4);
        EXPECT_EQ(platform::ReadFile(second, buffer), 4);
    }
    EXPECT_TRUE(platform::FileLock(second).IsHeld());
    platform::CloseFile(first);
    platform::CloseFile(second);
}

TEST(FilesWin32, OpeningAFolderForReadingFailsWithEisdir)
{
    TempFolder folder;
    EXPECT_EQ(platform::OpenFile(folder.Path(), platform::FileAccess::Read), platform::InvalidHandle);
    EXPECT_EQ(platform::LastError(), EISDIR);
    EXPECT_EQ(platform::OpenFile(folder / "missing", platform::FileAccess::Read), platform::InvalidHandle);
    EXPECT_EQ(platform::LastError(), ENOENT);
}

TEST(FilesWin32, ReadOnlyFileIsRemovedAsOnLinux)
{
    TempFolder folder;
    test::WriteBytes(folder / "ro", Bytes("x"));
    const std::wstring wide = (std::filesystem::path(folder.Path()) / "ro").wstring();
    ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(platform::RemoveFile(folder / "ro"));
    EXPECT_FALSE(test::Exists(folder / "ro"));
}

TEST(FilesWin32, SearchGivesFullPathsWithForwardSlashes)
{
    TempFolder folder;
    std::filesystem::create_directory(std::filesystem::path(folder.Path()) / "sub");
    test::WriteBytes(folder / "sub/a.txt", Bytes("a"));
    std::string backslashed = folder / "sub";
    std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
    CFileFind find;
    ASSERT_TRUE(find.FindFile(backslashed + "\\*"));
    find.FindNextFile();
    EXPECT_EQ(find.GetFileName(), "a.txt");
    EXPECT_EQ(find.GetFilePath(), folder / "sub/a.txt");
    EXPECT_TRUE(find.IsRegularFile());
    EXPECT_EQ(find.GetLength(), 1u);
}

TEST(FilesWin32, TemporaryFolderIsTheUsersOwn)
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    const std::filesystem::path given(std::wstring(buffer, n));
    const std::u8string text = given.generic_u8string();
    std::string expected(text.begin(), text.end());
    if (expected.back() != '/')
        expected += '/';
    EXPECT_EQ(platform::UserTempFolder(), expected);
    std::string error;
    EXPECT_TRUE(platform::EnsureUserTempFolder(error)) << error;
}

TEST(FilesWin32, FillerComesFromTheSystemGenerator)
{
    std::vector<std::uint8_t> a(64), b(64);
    platform::FillRandom(a);
    platform::FillRandom(b);
    EXPECT_NE(a, b);
    EXPECT_NE(std::count(a.begin(), a.end(), 0), 64);
}

} // namespace
} // namespace tessarin
