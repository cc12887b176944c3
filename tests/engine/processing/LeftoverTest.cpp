// What a killed run leaves behind: temporary files beside the user's files.
// A later run clears away those no run holds any more, overwriting them
// when wiping is on, and never takes them for the user's own files.
#include "engine/processing/PipelineHarness.h"
#include "engine/selection/RecordingAction.h"
#include "platform/TempFile.h"
#include "selection/MyFinder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tessarin {
namespace {

using namespace test;
using Names = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

constexpr char Stale[] = "~aes-0123abcd.tmp";
constexpr char Held[] = "~aes-89abcdef.tmp";

// A folder with a stale temporary file, one that a live run holds (its lock
// taken), and user files whose names only look alike.
struct Scene {
    TempFolder folder;
    int holder = -1;
    Bytes staleBytes = SeededBytes(3000, 1);

    Scene()
    {
        WriteBytes(folder / Stale, staleBytes);
        WriteBytes(folder / Held, SeededBytes(100, 2));
        holder = ::open((folder / Held).c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
        for (const char* name : {"~aes-0123ABCD.tmp", "~aes-0123abc.tmp", "aes-0123abcd.tmp", "~aes-0123abcd.tmp.txt"})
            WriteBytes(folder / name, {1, 2, 3});
    }
    ~Scene() { ::close(holder); }
    Names UserFiles() const
    {
        return {"aes-0123abcd.tmp", "~aes-0123ABCD.tmp", "~aes-0123abc.tmp", "~aes-0123abcd.tmp.txt"};
    }
};

TEST(Leftovers, OnlyFreeTemporaryFilesAreClearedAway)
{
    for (const bool wipe : {false, true}) {
        SCOPED_TRACE(wipe ? "wiping" : "deleting");
        Scene scene;
        const int witness = ::open((scene.folder / Stale).c_str(), O_RDONLY | O_CLOEXEC);
        RecordingSink sink;
        EXPECT_EQ(TempFile::SweepLeftovers(scene.folder.Path() + "/", wipe, &sink), 1u);
        Names expected = scene.UserFiles();
        expected.push_back(Held);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ListFolder(scene.folder.Path()), expected);
        // What it held is overwritten only when wiping.
        Bytes seen(scene.staleBytes.size());
        EXPECT_EQ(::pread(witness, seen.data(), seen.size(), 0), static_cast<ssize_t>(seen.size()));
        ::close(witness);
        EXPECT_EQ(seen == scene.staleBytes, !wipe);
        EXPECT_NE(sink.Transcript().find(scene.folder / Stale), std::string::npos) << sink.Transcript();
    }
}

TEST(Leftovers, AreNeverListedAsFiles)
{
    Scene scene;
    RecordingAction action;
    MyFinder finder(&action, true, false);
    finder.ForEach(scene.folder.Path());
    Names found;
    for (const std::string& path : action.SortedPaths())
        found.push_back(path.substr(path.rfind('/') + 1));
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, scene.UserFiles());
}

// The first file a batch handles in a folder clears the folder.
TEST(Leftovers, TheFirstRunInAFolderClearsItAway)
{
    Scene scene;
    WriteBytes(scene.folder / "a.txt", SeededBytes(500, 3));
    PipelineOptions o;
    o.changeExtension = true;
    ASSERT_TRUE(Pipeline(o).Run(scene.folder / "a.txt").ok);
    Names expected = scene.UserFiles();
    expected.push_back(Held);
    expected.push_back("a.txt.aes");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListFolder(scene.folder.Path()), expected);
}

// A temporary file is locked from its creation to its commit: a run that
// sweeps the folder meanwhile leaves it alone.
TEST(Leftovers, ATemporaryFileInUseIsLeftAlone)
{
    TempFolder folder;
    TempFile temp = TempFile::CreateBeside(folder / "out");
    EXPECT_EQ(TempFile::SweepLeftovers(folder.Path(), false, nullptr), 0u);
    temp.File().Close();  // the lock outlives the handle the data went through
    EXPECT_EQ(TempFile::SweepLeftovers(folder.Path(), false, nullptr), 0u);
    temp.CommitAs(folder / "out");
    EXPECT_EQ(ListFolder(folder.Path()), Names{"out"});
}

} // namespace
} // namespace tessarin
