// libFuzzer target: the batch's file list. The input's bytes (after a flags
// byte) are the list file; its lines are read with MyFileTable::ReadLine
// against a reference line splitter, then walked by MyFinder::ForEach with
// an action that only records what it is handed.
//
// The lines are paths: the walk runs with the current directory in a
// private folder of regular files, folders, links and a FIFO, so relative
// lines name those. Absolute lines name anything on the system, which is
// harmless since the action touches nothing.
//
// Flags byte: bit i keeps the line end of the lines read i-th modulo 8.
#include "FuzzSupport.h"
#include "foundation/ErrorHandler.h"
#include "selection/MyFileTable.h"
#include "selection/MyFinder.h"
#include "selection/MyObject.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace tessarin;
using namespace tessarin::fuzz;

namespace {

struct Fixture {
    std::string tree;  // the folder the walk runs in
    std::string list;  // the list file, beside it
    std::vector<std::string> treeNames;
};

[[noreturn]] void Broken(const std::string& what)
{
    std::fprintf(stderr, "fuzz harness: %s\n", what.c_str());
    std::exit(2);
}

const Fixture& Prepare()
{
    static const Fixture fixture = [] {
        Fixture f{ScratchRoot() + "/list/tree", ScratchRoot() + "/list/list.txt", {}};
        MakeFolder(f.tree + "/dir/sub");
        WriteFile(f.tree + "/a", std::string_view("alpha\n"));
        WriteFile(f.tree + "/b.txt", std::string_view("bravo, a little longer\n"));
        WriteFile(f.tree + "/sp ace", std::string_view("a name with a blank\n"));
        WriteFile(f.tree + "/star*", std::string_view("a name with a star\n"));
        WriteFile(f.tree + "/cr\r", std::string_view("a name that ends in CR\n"));
        WriteFile(f.tree + "/empty", std::string_view());
        WriteFile(f.tree + "/dir/c", std::string_view("charlie\n"));
        WriteFile(f.tree + "/dir/sub/d", std::string_view("delta\n"));
        if (::symlink("a", (f.tree + "/link").c_str()) != 0 || ::symlink("dir", (f.tree + "/dirlink").c_str()) != 0 ||
            ::symlink("missing", (f.tree + "/dangling").c_str()) != 0 ||
            ::mkfifo((f.tree + "/fifo").c_str(), 0600) != 0)
            Broken("cannot build the folder the walk runs in");
        f.treeNames = ListFolder(f.tree);
        return f;
    }();
    return fixture;
}

std::string Shown(const std::string& text)
{
    std::string shown;
    for (const char c : text.substr(0, 200)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\') {
            shown += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        }
    }
    return "\"" + shown + "\"";
}

// The lines as the list defines them: text up to an LF within the next
// 1024 bytes. complete: false when the list ends in a line with no LF there.
struct Lines {
    std::vector<std::string> text;  // without their LF
    bool complete = true;
};

Lines ReferenceLines(const std::string& bytes)
{
    Lines lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t lf = bytes.find('\n', pos);
        if (lf == std::string::npos || lf - pos >= MyFileTable::LineLimit) {
            lines.complete = false;
            break;
        }
        lines.text.push_back(bytes.substr(pos, lf - pos));
        pos = lf + 1;
    }
    return lines;
}

// What a line names, when that is a regular file: no file's path holds a
// zero byte, and empty and "." components stand for nothing while ".."
// keeps its meaning. A final separator asks for a folder.
std::optional<struct stat> NamedRegularFile(const std::string& line)
{
    if (line.empty() || line.find('\0') != std::string::npos)
        return std::nullopt;
    std::string path = line.front() == '/' ? "/" : "";
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t end = line.find('/', start);
        if (end == std::string::npos)
            end = line.size();
        const std::string part = line.substr(start, end - start);
        if (!part.empty() && part != ".") {
            if (!path.empty() && path.back() != '/')
                path += '/';
            path += part;
        }
        start = end + 1;
    }
    if (path.empty())
        path = ".";
    if (line.size() > 1 && line.back() == '/')
        path += '/';
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return st;
}

// A line that names a regular file, and which file that is.
struct Named {
    std::string line;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    friend bool operator==(const Named&, const Named&) = default;
};

std::vector<Named> RegularFiles(const Lines& lines)
{
    std::vector<Named> named;
    for (const std::string& line : lines.text) {
        if (const auto st = NamedRegularFile(line))
            named.push_back({line, static_cast<std::uint64_t>(st->st_dev), static_cast<std::uint64_t>(st->st_ino),
                             static_cast<std::uint64_t>(st->st_size)});
    }
    return named;
}

void CheckReadLine(const std::string& listPath, const std::string& bytes, std::uint8_t flags)
{
    MyFileTable table(listPath, MyFile::OpenRead);
    std::size_t pos = 0;
    for (unsigned index = 0;; ++index) {
        const bool keep = ((flags >> (index % 8)) & 1) != 0;
        const std::size_t window = std::min(bytes.size() - pos, MyFileTable::LineLimit);
        const std::size_t lf = bytes.substr(pos, window).find('\n');
        std::string line = "stale";
        std::size_t consumed = 0;
        try {
            consumed = table.ReadLine(line, keep);
        } catch (const ErrorHandler& e) {
            Require(window > 0 && lf == std::string::npos, "ReadLine failed on a line that has its LF in time");
            Require(e.GetErrCode() > 0, "the missing-LF error carries no error number");
            return;
        }
        if (window == 0) {
            Require(consumed == 0 && line.empty(), "ReadLine at the end of the list returned a line");
            Require(table.ReadLine(line, keep) == 0 && line.empty(), "ReadLine past the end returned a line");
            return;
        }
        Require(lf != std::string::npos, "ReadLine returned a line without an LF within the line limit");
        Require(consumed == lf + 1, "ReadLine consumed other than the line and its LF");
        Require(line == bytes.substr(pos, keep ? lf + 1 : lf), "ReadLine returned other text than the line");
        pos += consumed;
        Require(table.Seek(0, MyFile::SeekCurrent) == pos, "ReadLine left the file elsewhere than after the line");
    }
}

class Recorder : public MyObject {
public:
    struct Hit {
        std::string path;
        std::string name;
        std::uint64_t length = 0;
        bool regular = false;
        bool ok = false;
    };

    void Run(const CFileFind& found) override
    {
        // Every third one fails, so that the finder's error count is used.
        m_hits.push_back({found.GetFilePath(), found.GetFileName(), found.GetLength(), found.IsRegularFile(),
                          m_hits.size() % 3 != 2});
    }
    std::uint32_t GetSize() const override { return static_cast<std::uint32_t>(m_hits.back().length); }
    bool ResultOk() const override { return m_hits.back().ok; }
    const std::vector<Hit>& Hits() const { return m_hits; }

private:
    std::vector<Hit> m_hits;
};

void CheckForEach(const Fixture& f, const std::string& bytes)
{
    static const int home = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (home < 0 || ::chdir(f.tree.c_str()) != 0)
        Broken("cannot enter the folder the walk runs in");
    const Lines lines = ReferenceLines(bytes);
    const std::vector<Named> before = RegularFiles(lines);

    Recorder recorder;
    MyFinder finder(&recorder);
    bool threw = false;
    {
        MyFileTable table(f.list, MyFile::OpenRead);
        try {
            Require(finder.ForEach(table), "ForEach over a whole list returned false");
        } catch (const ErrorHandler&) {
            threw = true;
        } catch (const std::exception& e) {
            Violation(std::string("ForEach threw a foreign exception: ") + e.what());
        } catch (...) {
            Violation("ForEach threw something that is no exception");
        }
    }
    // An absolute line may name a file that another process creates or
    // removes meanwhile (under /proc or /tmp): the walk is compared only
    // when what the lines name stayed the same across it.
    const std::vector<Named> expected = RegularFiles(lines);
    const bool steady = expected == before;
    if (::fchdir(home) != 0)
        Broken("cannot return to the starting folder");

    Require(threw == !lines.complete, "ForEach failed on a complete list, or passed over a line without LF");
    const auto& hits = recorder.Hits();
    for (const Recorder::Hit& hit : hits) {
        if (hit.path.find('\0') != std::string::npos)
            Violation("the action was handed a path with a zero byte, which no file has: " + Shown(hit.path));
    }
    for (std::size_t i = 0; steady && i < std::max(hits.size(), expected.size()); ++i) {
        if (i >= hits.size())
            Violation("ForEach passed over the regular file " + Shown(expected[i].line));
        if (i >= expected.size())
            Violation("ForEach handed on " + Shown(hits[i].path) + ", which no line names as a regular file");
        const Recorder::Hit& hit = hits[i];
        const Named& want = expected[i];
        struct stat got {};
        Require(!hit.path.empty() && hit.path.front() == '/', "a hit's path is not a full path");
        if (::lstat(hit.path.c_str(), &got) != 0 || got.st_ino != want.inode || got.st_dev != want.device)
            Violation("the action was handed " + Shown(hit.path) + " for the line " + Shown(expected[i].line));
        Require(hit.regular && hit.length == want.size,
                "a hit's kind or length differs from the file's");
        Require(hit.name == hit.path.substr(hit.path.rfind('/') + 1), "a hit's name is not its path's last part");
    }

    std::uint32_t files = 0, errors = 0, total = 0;
    for (const auto& hit : hits) {
        if (hit.ok) {
            ++files;
            total += static_cast<std::uint32_t>(hit.length);
        } else {
            ++errors;
        }
    }
    Require(finder.GetTotalFiles() == files && finder.GetTotalErrors() == errors && finder.GetTotalBytes() == total,
            "the finder's counters differ from what the action reported");
    Require(ListFolder(f.tree) == f.treeNames, "the walk changed the folder it ran in");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const Fixture& f = Prepare();
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    WriteFile(f.list, bytes);
    CheckReadLine(f.list, bytes, data[0]);
    CheckForEach(f, bytes);
    return 0;
}
