#include "foundation/ErrorHandler.h"
#include "faults/FaultInjection.h"
#include "scratch/ScratchName.h"
#include "scratch/TempFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessarin {
namespace {

using test::Exists;
using test::ListFolder;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

unsigned ModeOf(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

void Fill(TempFile& temp, std::vector<std::uint8_t> bytes)
{
    temp.File().Write(bytes);
}

TEST(TempFile, NamesAreFreshPrivateAndBesideTheTarget)
{
    TempFolder folder;
    // A user's own file of the old fixed name is never touched.
    WriteBytes(folder / "~aes.tmp", {1, 2, 3});
    std::set<std::string> names;
    std::vector<TempFile> held;
    for (int i = 0; i < 20; ++i) {
        held.push_back(TempFile::CreateBeside(folder / "target.txt"));
        const std::string& path = held.back().Path();
        EXPECT_EQ(path.rfind(folder.Path() + "/~aes-", 0), 0u) << path;
        EXPECT_EQ(ModeOf(path), 0600u);
        names.insert(path);
    }
    EXPECT_EQ(names.size(), 20u);
    EXPECT_EQ(ReadBytes(folder / "~aes.tmp"), (std::vector<std::uint8_t>{1, 2, 3}));
    held.clear();
    EXPECT_EQ(ListFolder(folder.Path()), std::vector<std::string>{"~aes.tmp"});
}

TEST(TempFile, AForkedChildDrawsOtherNamesThanItsParent)
{
    // Random bytes for names are drawn ahead in blocks; a child made by fork
    // must not hand out the parent's next ones, or both would race for the
    // very same names.
    const ScratchName name{"~aes-", ScratchName::Alphabet::Hex, 8, ".tmp"};
    (void)name.Draw();
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::string drawn = name.Draw();
        _exit(::write(ends[1], drawn.data(), drawn.size()) == static_cast<ssize_t>(drawn.size()) ? 0 : 1);
    }
    ::close(ends[1]);
    const std::string mine = name.Draw();
    std::string theirs(mine.size(), '\0');
    EXPECT_EQ(::read(ends[0], theirs.data(), theirs.size()), static_cast<ssize_t>(theirs.size()));
    ::close(ends[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_NE(mine, theirs);
}

TEST(TempFile, CommitReplacesTheTargetWithTheSourcesPermissions)
{
    TempFolder folder;
    WriteBytes(folder / "target", {9, 9});
    WriteBytes(folder / "model", {});
    ::chmod((folder / "model").c_str(), 0640);
    {
        TempFile temp = TempFile::CreateBeside(folder / "target");
        Fill(temp, {1, 2, 3, 4});
        temp.TakePermissionsOf(folder / "model");
        temp.CommitAs(folder / "target");
        EXPECT_FALSE(temp.IsPending());
    }
    EXPECT_EQ(ReadBytes(folder / "target"), (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(ModeOf(folder / "target"), 0640u);
    EXPECT_EQ(ListFolder(folder.Path()), (std::vector<std::string>{"model", "target"}));
}

TEST(TempFile, CommitAsNewNeverReplaces)
{
    TempFolder folder;
    WriteBytes(folder / "taken", {7});
    TempFile temp = TempFile::CreateBeside(folder / "taken");
    Fill(temp, {1});
    EXPECT_THROW(temp.CommitAsNew(folder / "taken"), ErrorHandler);
    EXPECT_TRUE(temp.IsPending());
    EXPECT_EQ(ReadBytes(folder / "taken"), std::vector<std::uint8_t>{7});
    temp.CommitAsNew(folder / "free");
    EXPECT_EQ(ReadBytes(folder / "free"), std::vector<std::uint8_t>{1});
}

// A flush or a rename that fails leaves the target as it was and the
// temporary file to its guard, which removes it.
TEST(TempFile, FailedFlushOrRenameKeepsTheTargetAndLeavesNothing)
{
    struct Case {
        FaultInjection::Operation operation;
        int code;
    };
    for (const Case c : {Case{FaultInjection::Operation::Sync, errc::WriteFailed},
                         Case{FaultInjection::Operation::Rename, errc::CopyFailed}}) {
        TempFolder folder;
        WriteBytes(folder / "target", {5, 5, 5});
        {
            TempFile temp = TempFile::CreateBeside(folder / "target");
            Fill(temp, {1, 2});
            FaultInjection::FailAt(c.operation, 1, EIO);
            try {
                temp.CommitAs(folder / "target");
                ADD_FAILURE() << "committed";
            } catch (const ErrorHandler& e) {
                EXPECT_EQ(e.GetErrCode(), c.code);
            }
            FaultInjection::Reset();
            EXPECT_TRUE(temp.IsPending());
        }
        EXPECT_EQ(ReadBytes(folder / "target"), (std::vector<std::uint8_t>{5, 5, 5}));
        EXPECT_EQ(ListFolder(folder.Path()), std::vector<std::string>{"target"});
    }
}

TEST(TempFile, AFolderThatRefusesCreationIsAnOpenFailure)
{
    TempFolder folder;
    try {
        TempFile::CreateBeside(folder / "missing/target");
        ADD_FAILURE() << "created";
    } catch (const ErrorHandler& e) {
        EXPECT_EQ(e.GetErrCode(), errc::OpenFailed);
    }
}

} // namespace
} // namespace tessarin
