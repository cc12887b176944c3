#include "selection/MyFinder.h"
#include "support/TestSupport.h"
#include "RecordingAction.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace tessarin {
namespace {

namespace fs = std::filesystem;

void WriteText(const std::string& path, const std::string& text)
{
    test::WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

TEST(MyFileTable, ReadsLinesOfAtMost1023BytesPlusLf)
{
    test::TempFolder folder;
    const std::string list = folder / "list";
    const struct {
        const char* what;
        std::string content;
        bool keep;
        std::vector<std::string> lines;  // read before the end or the error
        bool eolError;
    } cases[] = {
        {"empty", "", false, {}, false},
        {"two lines", "one\ntwo\n", false, {"one", "two"}, false},
        {"line ends kept", "one\ntwo\n", true, {"one\n", "two\n"}, false},
        {"empty lines", "\n\nx\n", false, {"", "", "x"}, false},
        {"CR stays", "a\r\nb\r\n", false, {"a\r", "b\r"}, false},
        {"last line without LF", "one\ntwo", false, {"one"}, true},
        {"1023 bytes", std::string(1023, 'x') + "\nnext\n", false, {std::string(1023, 'x'), "next"}, false},
        {"1024 bytes", "first\n" + std::string(1024, 'x') + "\nnext\n", false, {"first"}, true},
        {"short lines after a long one", std::string(1000, 'y') + "\na\nb\n", false, {std::string(1000, 'y'), "a", "b"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteText(list, c.content);
        MyFileTable table(list, MyFile::OpenRead);
        std::vector<std::string> lines;
        std::optional<ErrorHandler> error;
        try {
            std::string line;
            std::size_t consumed = 0;
            while ((consumed = table.ReadLine(line, c.keep)) > 0) {
                EXPECT_EQ(consumed, c.keep ? line.size() : line.size() + 1);
                lines.push_back(line);
            }
            EXPECT_TRUE(line.empty());
        } catch (const ErrorHandler& e) {
            error = e;
        }
        EXPECT_EQ(lines, c.lines);
        ASSERT_EQ(error.has_value(), c.eolError);
        if (error) {
            EXPECT_EQ(error->GetErrString(), "Unable to find EOL in file '" + list + "'");
            EXPECT_EQ(error->GetErrCode(), EINVAL);
        }
    }
}

TEST(MyFileTable, WritesBytesExactly)
{
    test::TempFolder folder;
    {
        MyFileTable table(folder / "list", MyFile::OpenWrite);
        EXPECT_EQ(table.WriteLine(std::string("/a/b\n")), 5u);
        EXPECT_EQ(table.WriteLine("c\r\n"), 3u);
        EXPECT_EQ(table.WriteLine(std::string("no end")), 6u);
        EXPECT_EQ(table.WriteLine(static_cast<const char*>(nullptr)), 0u);
    }
    const auto bytes = test::ReadBytes(folder / "list");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "/a/b\nc\r\nno end");
}

// A path of exactly the given length naming a real file of one byte.
std::string FileWithPathLength(const std::string& root, std::size_t length)
{
    std::string path = root;
    while (path.size() + 1 + 200 + 1 + 20 < length) {
        path += "/" + std::string(200, 'd');
        fs::create_directory(path);
    }
    path += "/" + std::string(length - path.size() - 1, 'f');
    test::WriteBytes(path, {1});
    return path;
}

struct ListCase {
    const char* what;
    std::string lines;                 // "{}" stands for the root folder
    std::vector<std::string> handed;   // names handed to the action, in list order
    std::uint32_t files, bytes, errors;
    bool eolError;
};

TEST(MyFinder, RunsTheActionOverEveryLineOfTheList)
{
    test::TempFolder root;
    test::WriteBytes(root / "a.txt", test::SeededBytes(10, 1));
    test::WriteBytes(root / "b.txt", test::SeededBytes(20, 2));
    test::WriteBytes(root / "bad.txt", test::SeededBytes(40, 3));
    test::WriteBytes(root / "c.txt\r", test::SeededBytes(80, 4));
    test::WriteBytes(root / "*", test::SeededBytes(160, 5));
    fs::create_directory(root / "folder");
    test::WriteBytes(root / "folder/inside.txt", {1});
    fs::create_symlink(root / "a.txt", root / "link.txt");
    ASSERT_EQ(::mkfifo((root / "fifo").c_str(), 0600), 0);
    const std::string long1023 = FileWithPathLength(root.Path(), 1023);
    ASSERT_EQ(long1023.size(), 1023u);

    const ListCase cases[] = {
        {"empty list", "", {}, 0, 0, 0, false},
        {"two files", "{}/a.txt\n{}/b.txt\n", {"a.txt", "b.txt"}, 2, 30, 0, false},
        {"a failing action counts an error and no bytes", "{}/a.txt\n{}/bad.txt\n{}/b.txt\n",
         {"a.txt", "bad.txt", "b.txt"}, 2, 30, 1, false},
        {"vanished file, empty line", "{}/gone.txt\n\n{}/b.txt\n", {"b.txt"}, 1, 20, 0, false},
        {"CR kept in the path", "{}/c.txt\r\n", {"c.txt\r"}, 1, 80, 0, false},
        {"a file called '*' is not a listing", "{}/*\n", {"*"}, 1, 160, 0, false},
        {"folder, link and FIFO are skipped", "{}/folder\n{}/link.txt\n{}/fifo\n{}/a.txt\n", {"a.txt"}, 1, 10, 0, false},
        {"last line without LF", "{}/a.txt\n{}/b.txt", {"a.txt"}, 1, 10, 0, true},
        {"a path of 1023 bytes", long1023 + "\n{}/a.txt\n", {long1023.substr(long1023.rfind('/') + 1), "a.txt"}, 2, 11, 0, false},
        {"a line of 1024 bytes", "{}/a.txt\n" + long1023 + "x\n{}/b.txt\n", {"a.txt"}, 1, 10, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteText(root / "~files.tmp", Replace(c.lines, "{}", root.Path()));
        MyFileTable list(root / "~files.tmp", MyFile::OpenRead);
        test::RecordingAction action;
        action.FailOn("bad.txt");
        MyFinder finder(&action, true, false);
        bool eolError = false;
        try {
            EXPECT_TRUE(finder.ForEach(&list));
        } catch (const ErrorHandler& e) {
            eolError = e.GetErrString() == "Unable to find EOL in file '" + (root / "~files.tmp") + "'";
        }
        EXPECT_EQ(eolError, c.eolError);
        std::vector<std::string> handed;
        for (const auto& file : action.Seen())
            handed.push_back(file.GetFileName());
        EXPECT_EQ(handed, c.handed);
        EXPECT_EQ(finder.GetTotalFiles(), c.files);
        EXPECT_EQ(finder.GetTotalBytes(), c.bytes);
        EXPECT_EQ(finder.GetTotalErrors(), c.errors);
    }
}

TEST(MyFinder, CountersRunOnUntilReset)
{
    test::TempFolder root;
    test::WriteBytes(root / "a.txt", test::SeededBytes(10, 1));
    test::WriteBytes(root / "bad.txt", test::SeededBytes(40, 3));
    WriteText(root / "list", root / "a.txt\n" + root / "bad.txt\n");
    WriteText(root / "empty", "");

    test::RecordingAction action;
    action.FailOn("bad.txt");
    MyFinder finder(&action, false, false);
    for (int pass = 1; pass <= 2; ++pass) {
        MyFileTable list(root / "list", MyFile::OpenRead);
        finder.ForEach(list);
        EXPECT_EQ(finder.GetTotalFiles(), 1u * pass);
        EXPECT_EQ(finder.GetTotalBytes(), 10u * pass);
        EXPECT_EQ(finder.GetTotalErrors(), 1u * pass);
    }
    finder.ForEach(root / "*", "a.txt");  // a search adds to the same counters
    EXPECT_EQ(finder.GetTotalFiles(), 3u);
    MyFileTable empty(root / "empty", MyFile::OpenRead);
    EXPECT_TRUE(finder.ForEach(empty));  // an empty list changes nothing
    EXPECT_EQ(finder.GetTotalFiles(), 3u);
    EXPECT_EQ(finder.GetTotalBytes(), 30u);
    EXPECT_EQ(finder.GetTotalErrors(), 2u);

    finder.ResetAllCouters();
    EXPECT_EQ(finder.GetTotalFiles() + finder.GetTotalBytes() + finder.GetTotalErrors(), 0u);
}

TEST(MyFinder, ByteCounterWrapsPast4GiB)
{
    test::TempFolder root;
    const std::uint64_t length = std::uint64_t{3} << 30;  // 3 GiB, sparse
    for (const char* name : {"one", "two"}) {
        test::WriteBytes(root / name, {});
        fs::resize_file(root / name, length);
    }
    test::RecordingAction action;
    MyFinder finder(&action, false, false);
    finder.ForEach(root.Path());
    EXPECT_EQ(finder.GetTotalFiles(), 2u);
    EXPECT_EQ(finder.GetTotalBytes(), static_cast<std::uint32_t>(2 * length));
}

TEST(MyFinder, AnActionThrowingEndsTheList)
{
    test::TempFolder root;
    for (const char* name : {"a", "b", "c"})
        test::WriteBytes(root / name, {1, 2});
    WriteText(root / "list", root / "a\n" + root / "b\n" + root / "c\n");
    test::RecordingAction action;
    action.ThrowOn("b");
    MyFinder finder(&action, false, false);
    MyFileTable list(root / "list", MyFile::OpenRead);
    EXPECT_THROW(finder.ForEach(&list), ErrorHandler);
    EXPECT_EQ(action.Seen().size(), 2u);  // "c" was never reached
    EXPECT_EQ(finder.GetTotalFiles(), 1u);
    EXPECT_EQ(finder.GetTotalErrors(), 0u);
}

} // namespace
} // namespace tessarin
