// What a killed run leaves behind, recorded in its journal: a later run
// clears exactly those files while they still hold what was recorded, and
// never takes a user's file for one of ours, whatever its name.
#include "engine/processing/PipelineHarness.h"
#include "engine/selection/RecordingAction.h"
#include "scratch/LeftoverSweep.h"
#include "scratch/RunJournal.h"
#include "platform/PrivateFolders.h"
#include "scratch/TempFile.h"
#include "selection/MyFinder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessarin {
namespace {

using namespace test;
using Names = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

constexpr char Killed[] = "~aes-89abcdef.tmp";

// Records path in a journal left as a kill leaves it; made: recorded as made.
void LeaveBehind(const std::string& journals, RunJournal::Kind kind, const std::string& path, bool made = true)
{
    RunJournal dead(journals);
    const std::uint64_t entry = dead.Intend(kind, false, path);
    if (kind == RunJournal::Kind::Folder)
        ::mkdir(path.c_str(), 0700);
    else
        WriteBytes(path, SeededBytes(made ? 3000 : 0, 1));
    if (made)
        dead.Made(entry, platform::IdentifyFile(path));
}

// A killed run's temporary file beside users' files named like ours.
struct Scene {
    TempFolder folder;
    Scene()
    {
        platform::EnsureUserStateFolder();
        LeaveBehind(RunJournal::DefaultFolder(), RunJournal::Kind::File, folder / Killed);
        for (const std::string& name : UserFiles())
            WriteBytes(folder / name, {1, 2, 3});
    }
    static Names UserFiles() { return {"aes-0123abcd.tmp", "~aes-0123ABCD.tmp", "~aes-0123abcd.tmp"}; }
};

// Catches a sweep that takes a file by its name, or one no longer ours.
TEST(Leftovers, OnlyWhatTheJournalRecordsIsClearedAway)
{
    enum Change { None, SecondName, Replaced, MadeEmpty, NeverRecordedAsMade };
    const struct Row {
        const char* what;
        Change change;
        bool removed;
    } rows[] = {
        {"a temporary file as it was made", None, true},
        {"one that has a second name now", SecondName, false},
        {"one whose name holds another file now", Replaced, false},
        {"one made empty just before the kill", MadeEmpty, true},
        {"a file at a name recorded but never as made", NeverRecordedAsMade, false},
    };
    for (const bool wipe : {false, true})
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.what) + (wipe ? ", wiping" : ""));
            TempFolder folder, journals;
            const std::string path = folder / "~aes-0123abcd.tmp";
            LeaveBehind(journals.Path() + "/", RunJournal::Kind::File, path, row.change < MadeEmpty);
            if (row.change == NeverRecordedAsMade)
                WriteBytes(path, SeededBytes(3000, 1));  // the user's, since
            if (row.change == Replaced)
                WriteBytes(folder / "other", SeededBytes(3000, 2));
            ASSERT_TRUE(row.change != SecondName || ::link(path.c_str(), (folder / "second").c_str()) == 0);
            ASSERT_TRUE(row.change != Replaced || std::rename((folder / "other").c_str(), path.c_str()) == 0);
            const Bytes before = ReadBytes(path);
            const int witness = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            RecordingSink sink;
            EXPECT_EQ(LeftoverSweep::Clear(journals.Path() + "/", wipe, &sink), row.removed ? 1u : 0u);
            EXPECT_EQ(Exists(path), !row.removed);
            // Overwritten only when ours and wiping: never through a second name.
            Bytes seen(before.size());
            EXPECT_EQ(::pread(witness, seen.data(), seen.size(), 0), static_cast<ssize_t>(seen.size()));
            ::close(witness);
            EXPECT_EQ(seen == before, !(row.removed && wipe && !before.empty()));
            EXPECT_EQ(sink.Transcript().find(path) != std::string::npos, row.removed) << sink.Transcript();
            EXPECT_TRUE(ListFolder(journals.Path()).empty());
        }
    // A spool folder goes with its content, but a file linked outside keeps it.
    TempFolder folder, journals;
    const std::string spool = folder / "~pipe-AbC123";
    LeaveBehind(journals.Path() + "/", RunJournal::Kind::Folder, spool);
    WriteBytes(spool + "/stdin.aes", SeededBytes(500, 3));
    WriteBytes(folder / "outside", SeededBytes(500, 4));
    ASSERT_EQ(::link((folder / "outside").c_str(), (spool + "/linked").c_str()), 0);
    EXPECT_EQ(LeftoverSweep::Clear(journals.Path() + "/", true, nullptr), 1u);
    EXPECT_EQ(ListFolder(folder.Path()), Names{"outside"});
    EXPECT_EQ(ReadBytes(folder / "outside"), SeededBytes(500, 4));
    // A run still at work keeps its journal locked: nothing of it goes.
    RunJournal live(journals.Path() + "/");
    live.Made(live.Intend(RunJournal::Kind::File, true, folder / "live"), {});
    WriteBytes(folder / "live", {1});
    EXPECT_EQ(LeftoverSweep::Clear(journals.Path() + "/", true, nullptr), 0u);
    EXPECT_TRUE(Exists(folder / "live"));
}

// Users' files are listed whatever their names; this run's own files are not.
TEST(Leftovers, OnlyThisRunsOwnFilesAreNeverListed)
{
    Scene scene;
    TempFile live = TempFile::CreateBeside(scene.folder / "out");
    RecordingAction action;
    MyFinder finder(&action, true, false);
    finder.ForEach(scene.folder.Path());
    Names found;
    for (const std::string& path : action.SortedPaths())
        found.push_back(path.substr(path.rfind('/') + 1));
    std::sort(found.begin(), found.end());  // Killed not cleared yet: any run's file but ours is listed
    EXPECT_EQ(found, (Names{"aes-0123abcd.tmp", "~aes-0123ABCD.tmp", "~aes-0123abcd.tmp", Killed}));
}

// The first file a batch handles clears what killed runs left, nothing else.
TEST(Leftovers, TheFirstRunClearsAwayWhatKilledRunsLeft)
{
    Scene scene;
    WriteBytes(scene.folder / "a.txt", SeededBytes(500, 3));
    PipelineOptions o;
    o.changeExtension = true;
    ASSERT_TRUE(Pipeline(o).Run(scene.folder / "a.txt").ok);
    EXPECT_EQ(ListFolder(scene.folder.Path()), (Names{"a.txt.aes", "aes-0123abcd.tmp", "~aes-0123ABCD.tmp", "~aes-0123abcd.tmp"}));
}

// A temporary file is recorded from its creation to its commit: a run that
// clears leftovers meanwhile leaves it alone.
TEST(Leftovers, ATemporaryFileInUseIsLeftAlone)
{
    TempFolder folder;
    TempFile temp = TempFile::CreateBeside(folder / "out");
    EXPECT_EQ(LeftoverSweep::Clear(RunJournal::DefaultFolder(), false, nullptr), 0u);
    temp.File().Close();  // the record outlives the handle the data went through
    EXPECT_EQ(LeftoverSweep::Clear(RunJournal::DefaultFolder(), false, nullptr), 0u);
    temp.CommitAs(folder / "out");
    EXPECT_EQ(ListFolder(folder.Path()), Names{"out"});
}

// A locked file is left to another run only when that run's journal records it.
TEST(Leftovers, AnotherRunsTemporaryFileIsNotTakenUp)
{
    for (const bool recorded : {true, false}) {
        SCOPED_TRACE(recorded ? "recorded by a run at work" : "a user's locked file");
        platform::EnsureUserStateFolder();
        TempFolder folder;
        const std::string path = folder / "data";
        RunJournal other(RunJournal::DefaultFolder());
        const std::uint64_t entry = other.Intend(RunJournal::Kind::File, false, recorded ? path : folder / "x");
        WriteBytes(path, SeededBytes(3000, 1));
        if (recorded)
            other.Made(entry, platform::IdentifyFile(path));
        const platform::NativeHandle handle = platform::OpenFile(path, platform::FileAccess::Read);
        {
            const platform::FileLock lock(handle);  // as the other run holds it
            ASSERT_TRUE(lock.IsHeld());
            EXPECT_EQ(Pipeline(PipelineOptions{}).Run(path).ok, !recorded);
        }
        platform::CloseFile(handle);
        EXPECT_EQ(ReadBytes(path) == SeededBytes(3000, 1), recorded);  // encrypted in place otherwise
        other.Forget(entry);
    }
}

// A child made by fork writes a journal of its own, not into its parent's,
// which stays locked while the parent is at work.
TEST(Leftovers, AForkedChildKeepsAJournalOfItsOwn)
{
    TempFolder folder, journals;
    RunJournal journal(journals.Path() + "/");
    journal.Intend(RunJournal::Kind::File, false, folder / "parent");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        journal.Intend(RunJournal::Kind::File, false, folder / "child");
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(ListFolder(journals.Path()).size(), 2u);
}

} // namespace
} // namespace tessarin
