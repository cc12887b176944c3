// Batches driven by a finder share the durability work of a folder's files:
// the outputs are flushed together, renamed, the folder flushed once, and
// only then are the originals deleted. Whatever fails on the way, each file
// is whole under its own name or as a complete output, and the counts tell
// which files were done.
#include "engine/processing/PipelineHarness.h"
#include "foundation/ErrorHandler.h"
#include "faults/FaultInjection.h"
#include "platform/Files.h"
#include "selection/MyFinder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tessarin {
namespace {

using namespace test;
using Tree = std::map<std::string, std::vector<std::uint8_t>>;  // path → bytes

// Folders of 70, 5 and 1 files: more than one shared commit in the first,
// one in the second, and a file that commits alone.
Tree MakeTree(const TempFolder& root, const std::vector<int>& perFolder)
{
    Tree tree;
    std::uint32_t seed = 1;
    for (std::size_t f = 0; f < perFolder.size(); ++f) {
        const std::string folder = root / ("d" + std::to_string(f));
        std::filesystem::create_directories(folder);
        for (int i = 0; i < perFolder[f]; ++i) {
            const std::string path = folder + "/f" + std::to_string(i) + ".txt";
            tree[path] = SeededBytes(100 + (seed * 37) % 5000, seed);
            WriteBytes(path, tree[path]);
            ++seed;
        }
    }
    return tree;
}

class Batch {
public:
    explicit Batch(const PipelineOptions& options, int breakAfterReports = -1)
        : m_pipeline(options, breakAfterReports), m_finder(&m_pipeline.Object(), true, false)
    {
    }
    // The finder's walk over root; false when the batch was broken off.
    bool Run(const std::string& root)
    {
        try {
            m_finder.ForEach(root);
            return true;
        } catch (const ErrorHandler& e) {
            EXPECT_EQ(e.GetErrCode(), errc::BreakByUser);
            return false;
        }
    }
    MyFinder& Finder() { return m_finder; }
    RecordingSink& Sink() { return m_pipeline.Sink(); }

private:
    Pipeline m_pipeline;
    MyFinder m_finder;
};

// Every file of the tree exactly once: under its own name (plain or as its
// container) or as a complete output beside it, and nothing temporary.
// Returns how many are outputs now.
std::size_t ExpectEveryFileWhole(const Tree& tree, const PipelineOptions& options)
{
    std::map<std::string, std::size_t> found;  // plain path → times found
    std::size_t outputs = 0;
    std::set<std::string> folders;
    for (const auto& [path, bytes] : tree)
        folders.insert(path.substr(0, path.rfind('/')));
    for (const std::string& folder : folders) {
        EXPECT_FALSE(HasTemporary(folder)) << folder;
        for (const std::string& name : ListFolder(folder)) {
            const std::string path = folder + "/" + name;
            const auto plain = PlainOf(path, options);
            EXPECT_TRUE(plain.has_value()) << path;
            if (!plain)
                continue;
            bool matched = false;
            for (const auto& [original, bytes] : tree) {
                if (original.substr(0, original.rfind('/')) == folder && bytes == *plain) {
                    ++found[original];
                    matched = true;
                    if (ReadBytes(path) != bytes)
                        ++outputs;
                    break;
                }
            }
            EXPECT_TRUE(matched) << path << " holds no file of the tree";
        }
    }
    for (const auto& [path, bytes] : tree)
        EXPECT_EQ(found[path], 1u) << path;
    return outputs;
}

struct Setting {
    const char* label;
    bool changeExtension;
    bool mangling;
    bool wiping;
    int family = MyObjectAes::FamilyNone;
};

class SharedCommit : public ::testing::TestWithParam<Setting> {};

PipelineOptions OptionsOf(const Setting& s)
{
    PipelineOptions o;
    o.changeExtension = s.changeExtension;
    o.mangling = s.mangling;
    o.wiping = s.wiping;
    o.family = s.family;
    return o;
}

TEST_P(SharedCommit, RoundTripFlushesOncePerGroupOfOutputs)
{
    const PipelineOptions o = OptionsOf(GetParam());
    TempFolder root;
    const Tree tree = MakeTree(root, {70, 5, 1});

    FaultInjection::FailAt(FaultInjection::Operation::Sync, 0, 0);  // count only
    PipelineOptions encrypt = o;
    encrypt.modality = MyObjectAes::Encryption;
    Batch batch(encrypt);
    ASSERT_TRUE(batch.Run(root.Path()));
    const int syncs = FaultInjection::CallsSince(FaultInjection::Operation::Sync);
    FaultInjection::Reset();
    EXPECT_EQ(batch.Finder().GetTotalFiles(), tree.size());
    EXPECT_EQ(batch.Finder().GetTotalErrors(), 0u);
    // With the usual limit of handles, 64 and 6 outputs in the first
    // folder and 5 in the second: one shared flush each; the lone file
    // flushes itself. (A wipe flushes each of its passes as well.)
    const std::size_t group =
        std::clamp<std::size_t>(platform::HandleLimit() / 16, 1, MyObjectAes::MaxPutOff);
    const auto groups = [group](std::size_t files) { return static_cast<int>((files + group - 1) / group); };
    if (!o.wiping) {
        EXPECT_EQ(syncs, groups(70) + groups(5) + 1);
    }
    EXPECT_EQ(ExpectEveryFileWhole(tree, o), tree.size());

    PipelineOptions decrypt = o;
    decrypt.modality = MyObjectAes::Decryption;
    Batch back(decrypt);
    FaultInjection::FailAt(FaultInjection::Operation::Sync, 0, 0);
    ASSERT_TRUE(back.Run(root.Path()));
    const int backSyncs = FaultInjection::CallsSince(FaultInjection::Operation::Sync);
    FaultInjection::Reset();
    if (!o.wiping) {
        EXPECT_EQ(backSyncs, groups(70) + groups(5) + 1);
    }
    EXPECT_EQ(back.Finder().GetTotalErrors(), 0u);
    EXPECT_EQ(back.Finder().GetTotalFiles(), tree.size());
    for (const auto& [path, bytes] : tree) {
        ASSERT_TRUE(Exists(path)) << path;
        EXPECT_EQ(ReadBytes(path), bytes) << path;
    }
    // Containers stay after decryption unless they had ".aes" appended.
    if (o.changeExtension || !o.mangling) {
        EXPECT_EQ(ExpectEveryFileWhole(tree, o), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, SharedCommit,
                         ::testing::Values(Setting{"own_name", false, false, false},
                                           Setting{"aes_extension", true, false, false},
                                           Setting{"mangled_aes", true, true, false},
                                           Setting{"own_name_wiping", false, false, true},
                                           Setting{"aes_extension_wiping", true, false, true},
                                           Setting{"aes_extension_gzip", true, false, false, MyObjectAes::FamilyGzip},
                                           Setting{"own_name_bzip2", false, false, false, MyObjectAes::FamilyBzip2}),
                         [](const auto& p) { return std::string(p.param.label); });

TEST(SharedCommitCost, EachListedFileIsOpenedOnce)
{
    PipelineOptions o;
    o.changeExtension = true;
    o.modality = MyObjectAes::Encryption;
    TempFolder root;
    const Tree tree = MakeTree(root, {12, 8});
    FaultInjection::FailAt(FaultInjection::Operation::Open, 0, 0);  // count only
    Batch batch(o);
    ASSERT_TRUE(batch.Run(root.Path()));
    const int opens = FaultInjection::CallsSince(FaultInjection::Operation::Open);
    FaultInjection::Reset();
    EXPECT_EQ(batch.Finder().GetTotalFiles(), tree.size());
    if (opens == 0)
        GTEST_SKIP() << "this system's file seam does not count its openings";
    // Detection, encryption and the deletion all use the one handle.
    EXPECT_EQ(opens, static_cast<int>(tree.size()));
}

// A fault while a group of outputs is committed: the file it hits is an
// error with its original whole, the others are done, and the counts move
// the file from done to failed.
struct Fault {
    const char* label;
    FaultInjection::Operation operation;
    int call;
    int error;
    int failedFiles;
    int family = MyObjectAes::FamilyNone;
};

class SharedCommitFault : public ::testing::TestWithParam<Fault> {};

TEST_P(SharedCommitFault, HitsOnlyItsFile)
{
    const Fault& f = GetParam();
    PipelineOptions o;
    o.family = f.family;
    o.changeExtension = true;
    o.modality = MyObjectAes::Encryption;
    TempFolder root;
    const Tree tree = MakeTree(root, {10});
    std::uint32_t allBytes = 0;
    {
        TempFolder other;
        MakeTree(other, {10});
        Batch whole(o);
        ASSERT_TRUE(whole.Run(other.Path()));
        allBytes = whole.Finder().GetTotalBytes();
    }

    Batch batch(o);
    FaultInjection::FailAt(f.operation, f.call, f.error);
    ASSERT_TRUE(batch.Run(root.Path()));
    FaultInjection::Reset();

    EXPECT_EQ(batch.Finder().GetTotalErrors(), static_cast<std::uint32_t>(f.failedFiles));
    EXPECT_EQ(batch.Finder().GetTotalFiles(), tree.size() - f.failedFiles);
    if (f.failedFiles > 0) {
        EXPECT_LT(batch.Finder().GetTotalBytes(), allBytes);
    } else {
        EXPECT_EQ(batch.Finder().GetTotalBytes(), allBytes);
    }
    EXPECT_EQ(ExpectEveryFileWhole(tree, o), tree.size() - f.failedFiles);
    const std::string t = batch.Sink().Transcript();
    EXPECT_EQ(t.find("ERROR(") != std::string::npos, f.failedFiles > 0) << t;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SharedCommitFault,
    ::testing::Values(
        // The shared flush fails: each output is flushed on its own instead.
        Fault{"shared_flush", FaultInjection::Operation::Sync, 1, EIO, 0},
        Fault{"first_rename", FaultInjection::Operation::Rename, 1, EXDEV, 1},
        Fault{"middle_rename", FaultInjection::Operation::Rename, 5, EIO, 1},
        Fault{"last_rename", FaultInjection::Operation::Rename, 10, EXDEV, 1},
        // An original that cannot go takes its new output back with it.
        Fault{"first_deletion", FaultInjection::Operation::Remove, 1, EACCES, 1},
        Fault{"last_deletion", FaultInjection::Operation::Remove, 10, EPERM, 1},
        // Compressed outputs share the commit too; each file's compressed
        // temporary file is removed before it (ten removals first).
        Fault{"shared_flush_gzip", FaultInjection::Operation::Sync, 1, EIO, 0, MyObjectAes::FamilyGzip},
        Fault{"middle_rename_gzip", FaultInjection::Operation::Rename, 5, EIO, 1, MyObjectAes::FamilyGzip},
        Fault{"last_deletion_gzip", FaultInjection::Operation::Remove, 20, EPERM, 1, MyObjectAes::FamilyGzip}),
    [](const auto& p) { return std::string(p.param.label); });

// A break ends the batch within a file; the files before it were complete
// and reported done, so their outputs are committed and their originals
// go; the broken file and those after it stay as they were.
TEST(SharedCommitBreak, CommitsTheFilesDoneBeforeIt)
{
    PipelineOptions o;
    o.changeExtension = true;
    o.modality = MyObjectAes::Encryption;
    int reports = 0;
    {
        TempFolder other;
        MakeTree(other, {20});
        Batch whole(o);
        ASSERT_TRUE(whole.Run(other.Path()));
        reports = whole.Sink().Reports();
    }
    ASSERT_GT(reports, 4);
    for (const int after : {reports / 4, reports / 2, reports - 1}) {
        SCOPED_TRACE("break after " + std::to_string(after) + " of " + std::to_string(reports));
        TempFolder root;
        const Tree tree = MakeTree(root, {20});
        Batch batch(o, after);
        EXPECT_FALSE(batch.Run(root.Path()));
        const std::size_t outputs = ExpectEveryFileWhole(tree, o);
        EXPECT_EQ(outputs, batch.Finder().GetTotalFiles());
        EXPECT_GT(outputs, 0u);
        EXPECT_LT(outputs, tree.size());
    }
}

// A file changed after its step is done, before the commit (shared or its own),
// keeps what it holds now and its output goes; one put in its place stays.
TEST(CommitWindow, AFileChangedAfterItWasReadIsKept)
{
    const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    const char* changed = "ERROR(-36): File '";
    const struct Case {
        int change;  // 0 appended, 1 a byte rewritten and the old times put back, 2 replaced by another file
        bool changeExtension, shared, wiping;
        const char* error;
    } cases[] = {{0, true, true, false, changed}, {0, false, true, true, changed},
                          {0, true, false, false, changed}, {1, true, true, true, changed},
                          {1, false, true, false, changed}, {1, true, false, false, changed},
                          {2, true, true, false, "ERROR(-4): Unable to delete '"},
                          {2, false, true, false, "ERROR(-3): Unable to replace '"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.change) + (c.changeExtension ? " aes" : " own") + (c.shared ? " shared" : ""));
        TempFolder root;
        const std::string a = root / "a.txt";
        std::vector<std::uint8_t> now = SeededBytes(5000, 1);
        WriteBytes(a, now);
        ASSERT_EQ(::utimensat(AT_FDCWD, a.c_str(), old, 0), 0);
        // Only the change time tells the rewrite: b.txt is written until the
        // clock that stamps it has moved on.
        struct stat set {}, probe {};
        ::stat(a.c_str(), &set);
        do {
            WriteBytes(root / "b.txt", SeededBytes(5000, 2));
            ::stat((root / "b.txt").c_str(), &probe);
        } while (probe.st_ctim.tv_sec == set.st_ctim.tv_sec && probe.st_ctim.tv_nsec == set.st_ctim.tv_nsec);
        PipelineOptions o = OptionsOf(Setting{"", c.changeExtension, false, c.wiping});
        o.modality = MyObjectAes::Encryption;
        Batch batch(o);
        Pipeline single(o);
        RecordingSink& sink = c.shared ? batch.Sink() : single.Sink();
        bool onA = false, changedA = false;
        // A shared commit's "[OK]" reaches the log once the output is in
        // place; the display is told the step is done before that.
        const auto atOk = [&](const std::string& text) {
            if (text.rfind("Encrypting ", 0) == 0)
                onA = text.find("a.txt ") != std::string::npos;
            if (!onA || changedA || !text.ends_with("[OK]\r\n"))
                return;
            onA = false;
            changedA = true;
            if (c.change == 2) {
                now = SeededBytes(4000, 3);
                WriteBytes(root / "new", now);
                std::filesystem::rename(root / "new", a);
                return;
            }
            c.change == 0 ? now.push_back('\n') : void(now[0] ^= 0xFF);
            const int fd = ::open(a.c_str(), O_WRONLY);
            EXPECT_EQ(::pwrite(fd, &now[c.change == 0 ? 5000 : 0], 1, c.change == 0 ? 5000 : 0), 1);
            ::close(fd);
            EXPECT_TRUE(c.change == 0 || ::utimensat(AT_FDCWD, a.c_str(), old, 0) == 0);
        };
        sink.OnLine(atOk);
        sink.OnPreview(atOk);
        EXPECT_TRUE(c.shared ? batch.Run(root.Path()) && batch.Finder().GetTotalErrors() == 1 : !single.Run(a).ok);
        EXPECT_NE(sink.Transcript().find(c.error), std::string::npos) << sink.Transcript();
        EXPECT_EQ(Exists(a) ? ReadBytes(a) : std::vector<std::uint8_t>{}, now);
        // A file put in its place leaves the container of the old content.
        EXPECT_EQ(Exists(a + ".aes"), c.change == 2 && c.changeExtension);
        EXPECT_FALSE(HasTemporary(root.Path()));
    }
}

} // namespace
} // namespace tessarin
