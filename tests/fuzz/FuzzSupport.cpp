#include "FuzzSupport.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace tessarin::fuzz {

namespace fs = std::filesystem;

void Violation(const std::string& what)
{
    std::fprintf(stderr, "\n==== fuzz check violated: %s\n", what.c_str());
    std::fflush(stderr);
    __builtin_trap();
}

namespace {

std::string g_root;

void RemoveRoot()
{
    std::error_code ignored;
    if (!g_root.empty())
        fs::remove_all(g_root, ignored);
}

[[noreturn]] void Fatal(const std::string& what)
{
    // A broken harness, not a finding: stop loudly, without a trap.
    std::fprintf(stderr, "fuzz harness: %s\n", what.c_str());
    std::exit(2);
}

} // namespace

const std::string& ScratchRoot()
{
    if (g_root.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tessarin-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            Fatal("cannot create a scratch folder from " + pattern);
        g_root = pattern;
        std::atexit(RemoveRoot);
    }
    return g_root;
}

void MakeFolder(const std::string& path)
{
    std::error_code error;
    fs::create_directories(path, error);
    if (error)
        Fatal("cannot create " + path + ": " + error.message());
}

void WriteFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        Fatal("cannot write " + path);
}

void WriteFile(const std::string& path, std::string_view text)
{
    WriteFile(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ListFolder(const std::string& path)
{
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    if (error)
        Fatal("cannot list " + path + ": " + error.message());
    std::sort(names.begin(), names.end());
    return names;
}

void EmptyFolder(const std::string& path)
{
    for (const std::string& name : ListFolder(path)) {
        std::error_code error;
        fs::remove_all(path + "/" + name, error);
        if (error)
            Fatal("cannot remove " + path + "/" + name + ": " + error.message());
    }
}

bool ReferenceMatch(std::string_view pattern, std::string_view name, bool sensitive)
{
    const auto fold = [sensitive](char c) {
        return !sensitive && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    };
    // row[j]: the pattern's first i bytes match the name's first j bytes.
    std::vector<char> row(name.size() + 1, 0), next(name.size() + 1, 0);
    row[0] = 1;
    for (const char p : pattern) {
        next[0] = p == '*' && row[0];
        for (std::size_t j = 1; j <= name.size(); ++j) {
            if (p == '*')
                next[j] = row[j] || next[j - 1];
            else
                next[j] = row[j - 1] && (p == '?' || fold(p) == fold(name[j - 1]));
        }
        row.swap(next);
    }
    return row[name.size()] != 0;
}

std::vector<std::string> ReferenceWords(std::string_view list)
{
    std::vector<std::string> words;
    std::string word;
    for (const char c : list) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!word.empty())
                words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty())
        words.push_back(word);
    return words;
}

} // namespace tessarin::fuzz
