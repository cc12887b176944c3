#include "selection/FileFind.h"
#include "selection/MyFinder.h"
#include "support/TestSupport.h"
#include "RecordingAction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace tessarin {
namespace {

namespace fs = std::filesystem;

// root/  a.txt b.dat
//        sub/  c.txt
//              deeper/  a.txt  E.TXT
//        x.txt.dir/  f.bin          (a folder whose name matches "*.txt")
class SearchTree {
public:
    SearchTree()
    {
        fs::create_directories(m_root / "sub/deeper");
        fs::create_directories(m_root / "x.txt.dir");
        const std::pair<const char*, std::size_t> files[] = {
            {"a.txt", 3}, {"b.dat", 5}, {"sub/c.txt", 7}, {"sub/deeper/a.txt", 11},
            {"sub/deeper/E.TXT", 13}, {"x.txt.dir/f.bin", 17},
        };
        for (const auto& [name, length] : files)
            test::WriteBytes(m_root / name, test::SeededBytes(length, 1));
    }
    const std::string& Root() const { return m_root.Path(); }
    std::vector<std::string> Paths(std::vector<std::string> names) const
    {
        for (auto& name : names)
            name = m_root / name;
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    test::TempFolder m_root;
};

class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& path) : m_saved(fs::current_path()) { fs::current_path(path); }
    ~CurrentDirectory() { fs::current_path(m_saved); }

private:
    fs::path m_saved;
};

struct WalkCase {
    const char* what;
    std::string path;     // relative to the root; "{}" stands for the root itself
    const char* pattern;  // nullptr: the one-argument form
    bool recursive;
    bool sensitive;
    std::vector<std::string> hits;
    bool result;
};

TEST(MyCFileFind, WalksARealTree)
{
    SearchTree tree;
    const std::vector<std::string> allTxt = {"a.txt", "sub/c.txt", "sub/deeper/a.txt", "sub/deeper/E.TXT"};
    const std::vector<std::string> all = {"a.txt", "b.dat", "sub/c.txt", "sub/deeper/a.txt",
                                          "sub/deeper/E.TXT", "x.txt.dir/f.bin"};
    const WalkCase cases[] = {
        {"listing, flat", "{}/*", "*.txt", false, false, {"a.txt"}, true},
        {"listing, recursive; folders need not match", "{}/*", "*.txt", true, false, allTxt, true},
        {"listing, recursive, case-sensitive", "{}/*", "*.txt", true, true, {"a.txt", "sub/c.txt", "sub/deeper/a.txt"}, true},
        {"folder itself, flat: only its own entry", "{}", "*", false, false, {}, false},
        {"folder itself, recursive: hits lie below the first level", "{}", "*.txt", true, false, allTxt, false},
        {"hits only in a subfolder", "{}/sub/*", "a.txt", true, false, {"sub/deeper/a.txt"}, false},
        {"a file path matching", "{}/a.txt", "*.txt", true, false, {"a.txt"}, true},
        {"a file path not matching", "{}/a.txt", "*.dat", true, false, {}, false},
        {"missing start", "{}/nothing", "*", true, false, {}, false},
        {"missing folder listing", "{}/nothing/*", "*", true, false, {}, false},
        {"one-arg folder, flat", "{}", nullptr, false, false, {"a.txt", "b.dat"}, true},
        {"one-arg folder with separator, flat", "{}/", nullptr, false, false, {"a.txt", "b.dat"}, true},
        {"one-arg folder with doubled separator", "{}//", nullptr, false, false, {"a.txt", "b.dat"}, true},
        {"one-arg folder, recursive", "{}", nullptr, true, false, all, true},
        {"one-arg subfolder, recursive", "{}/sub", nullptr, true, false, {"sub/c.txt", "sub/deeper/a.txt", "sub/deeper/E.TXT"}, true},
        {"one-arg mask, flat", "{}/*.txt", nullptr, false, false, {"a.txt"}, true},
        {"one-arg mask, recursive", "{}/*.TXT", nullptr, true, false, allTxt, true},
        {"one-arg mask, recursive, case-sensitive", "{}/*.TXT", nullptr, true, true, {"sub/deeper/E.TXT"}, false},
        {"one-arg question mask", "{}/?.???", nullptr, false, false, {"a.txt", "b.dat"}, true},
        {"one-arg file, flat", "{}/sub/c.txt", nullptr, false, false, {"sub/c.txt"}, true},
        {"one-arg file, recursive: same name below", "{}/a.txt", nullptr, true, false, {"a.txt", "sub/deeper/a.txt"}, true},
        {"one-arg file only below", "{}/c.txt", nullptr, true, false, {"sub/c.txt"}, false},
        {"one-arg missing", "{}/nothing/at/all", nullptr, true, false, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = c.path;
        path.replace(0, 2, tree.Root());
        test::RecordingAction action;
        MyFinder finder(&action, c.recursive, c.sensitive);
        const bool result = c.pattern ? finder.ForEach(path, c.pattern) : finder.ForEach(path);
        EXPECT_EQ(action.SortedPaths(), tree.Paths(c.hits));
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(finder.GetTotalFiles(), c.hits.size());
        for (const auto& file : action.Seen()) {
            // The folder is the path less the name and keeps its separator.
            EXPECT_EQ(file.GetAbsPath() + file.GetFileName(), file.GetPathFile());
            EXPECT_EQ(file.GetAbsPath().back(), '/');
            EXPECT_EQ(file.GetFileSize(), fs::file_size(file.GetPathFile()));
        }
    }
}

TEST(MyCFileFind, RelativePathsSearchTheCurrentDirectory)
{
    SearchTree tree;
    CurrentDirectory here(tree.Root() + "/sub");
    const struct {
        std::string path;
        bool recursive;
        std::vector<std::string> hits;
    } cases[] = {
        {"c.txt", false, {"sub/c.txt"}},
        {"a.txt", false, {}},
        {"a.txt", true, {"sub/deeper/a.txt"}},
        {"*.txt", false, {"sub/c.txt"}},
        {"deeper", false, {"sub/deeper/a.txt", "sub/deeper/E.TXT"}},
        {"./deeper/", false, {"sub/deeper/a.txt", "sub/deeper/E.TXT"}},
        {".", false, {"sub/c.txt"}},
        {"..", false, {"a.txt", "b.dat"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        test::RecordingAction action;
        MyFinder finder(&action, c.recursive, false);
        finder.ForEach(c.path);
        // Hits carry full paths, so a list of them stays valid elsewhere.
        std::vector<std::string> hits;
        for (const auto& file : action.Seen())
            hits.push_back(fs::weakly_canonical(file.GetPathFile()).string());
        std::sort(hits.begin(), hits.end());
        std::vector<std::string> expected;
        for (const auto& name : c.hits)
            expected.push_back(fs::weakly_canonical(tree.Root() + "/" + name).string());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(hits, expected);
        for (const auto& file : action.Seen())
            EXPECT_EQ(file.GetPathFile().front(), '/');
    }
}

void MakeSocket(const std::string& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    path.copy(address.sun_path, path.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

TEST(MyCFileFind, HandsOnRegularFilesOnlyAndFollowsNoLinks)
{
    test::TempFolder root;
    fs::create_directories(root / "sub");
    test::WriteBytes(root / "real.txt", {1});
    test::WriteBytes(root / "sub/inner.txt", {2, 2});
    fs::create_symlink(root / "real.txt", root / "link.txt");
    fs::create_symlink(root.Path(), root / "loop");       // a link back up: a walk following it never ends
    fs::create_symlink(root / "sub", root / "sub/again");
    fs::create_symlink(root / "missing", root / "dangling.txt");
    ASSERT_EQ(::mkfifo((root / "fifo.txt").c_str(), 0600), 0);  // reading it would block
    MakeSocket(root / "sock.txt");

    const struct {
        std::string path;
        const char* pattern;
        std::vector<std::string> hits;
    } cases[] = {
        {root / "*", "*", {"real.txt", "sub/inner.txt"}},
        {root.Path(), nullptr, {"real.txt", "sub/inner.txt"}},
        {root / "link.txt", "*", {}},
        {root / "fifo.txt", "*", {}},
        {root / "loop", "*", {}},
        // A final separator asks for the folder behind the link; the walk
        // below it still follows none.
        {root / "loop/", nullptr, {"loop/real.txt", "loop/sub/inner.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        test::RecordingAction action;
        MyFinder finder(&action, true, false);
        c.pattern ? finder.ForEach(c.path, c.pattern) : finder.ForEach(c.path);
        std::vector<std::string> expected;
        for (const auto& name : c.hits)
            expected.push_back(root / name);
        EXPECT_EQ(action.SortedPaths(), expected);
    }
}

TEST(MyCFileFind, BackslashAndStarAreOrdinaryNameBytes)
{
    test::TempFolder root;
    test::WriteBytes(root / "back\\slash.txt", {1});
    test::WriteBytes(root / "*", {1, 2});
    test::WriteBytes(root / "plain", {1, 2, 3});

    const struct {
        std::string path;
        const char* pattern;
        std::vector<std::string> hits;
    } cases[] = {
        {root / "back\\slash.txt", nullptr, {"back\\slash.txt"}},
        {root / "*\\*", nullptr, {"back\\slash.txt"}},
        {root / "*", "*", {"*", "back\\slash.txt", "plain"}},  // "folder/*" lists the folder
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        test::RecordingAction action;
        MyFinder finder(&action, false, false);
        c.pattern ? finder.ForEach(c.path, c.pattern) : finder.ForEach(c.path);
        std::vector<std::string> expected;
        for (const auto& name : c.hits)
            expected.push_back(root / name);
        EXPECT_EQ(action.SortedPaths(), expected);
    }

    CFileFind entry;  // an exact lookup names the file called "*" alone
    ASSERT_TRUE(entry.FindEntry(root / "*"));
    EXPECT_FALSE(entry.FindNextFile());
    EXPECT_TRUE(entry.IsRegularFile());
    EXPECT_EQ(entry.GetFilePath(), root / "*");
    EXPECT_EQ(entry.GetLength(), 2u);
}

// Writes a new file beside every file it is handed, as an encryption does.
class SpawningAction : public test::RecordingAction {
public:
    void Run(const CFileFind& found) override
    {
        RecordingAction::Run(found);
        test::WriteBytes(found.GetFilePath() + ".new", {1});
    }
};

TEST(MyCFileFind, FilesAddedDuringTheWalkAreNotHandedOn)
{
    test::TempFolder root;
    std::vector<std::string> expected;
    for (int i = 0; i < 50; ++i) {
        expected.push_back(root / ("f" + std::to_string(i)));
        test::WriteBytes(expected.back(), {1});
    }
    std::sort(expected.begin(), expected.end());
    SpawningAction action;
    MyFinder finder(&action, false, false);
    finder.ForEach(root.Path());
    EXPECT_EQ(action.SortedPaths(), expected);
}

TEST(MyCFileFind, FilesOf4GiBReportTheLow32Bits)
{
    test::TempFolder root;
    const std::uint64_t length = (std::uint64_t{1} << 32) + 7;
    test::WriteBytes(root / "huge.bin", {});
    fs::resize_file(root / "huge.bin", length);  // sparse: no disk space used

    test::RecordingAction action;
    MyFinder finder(&action, false, false);
    finder.ForEach(root / "huge.bin", "*");
    ASSERT_EQ(action.Seen().size(), 1u);
    EXPECT_EQ(action.Seen()[0].GetFileSize(), 7u);
    EXPECT_EQ(action.Seen()[0].GetFileSize64(), length);
    EXPECT_EQ(finder.GetTotalBytes(), 7u);
}

TEST(MyCFileFind, AnActionsFailurePassesThroughTheWalk)
{
    SearchTree tree;
    test::RecordingAction action;
    action.ThrowOn("c.txt");
    MyFinder finder(&action, true, false);
    try {
        finder.ForEach(tree.Root() + "/sub/*", "*.txt");
        ADD_FAILURE() << "no ErrorHandler thrown";
    } catch (const ErrorHandler& e) {
        EXPECT_EQ(e.GetErrCode(), errc::ReadFailed);
        EXPECT_EQ(e.GetErrString(), "Unable to read from file '" + tree.Root() + "/sub/c.txt'");
    }
}

} // namespace
} // namespace tessarin
