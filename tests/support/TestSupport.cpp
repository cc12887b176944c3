#include "support/TestSupport.h"

#include "cipher/CAesCore.h"
#include "platform/Files.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <stdexcept>

namespace tessarin::test {

namespace {

// A path from the engine's UTF-8 bytes: the same bytes on Linux, the right
// wide name on Windows (where a narrow name would go through the ANSI code
// page).
std::filesystem::path FsPath(const std::string& path)
{
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::string Utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

TempFolder::TempFolder()
{
#if defined(_WIN32)
    // The user's temporary folder, with '/' as the engine writes paths.
    std::string base = Utf8(std::filesystem::temp_directory_path());
    std::replace(base.begin(), base.end(), '\\', '/');
    std::vector<std::uint8_t> stem(6);
    platform::FillRandom(stem);
    std::string pattern = base + (base.empty() || base.back() == '/' ? "" : "/") + "tessarin-test-";
    for (const std::uint8_t b : stem)
        pattern += static_cast<char>('a' + b % 26);
    if (!std::filesystem::create_directory(FsPath(pattern)))
        throw std::runtime_error("cannot create " + pattern);
#else
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tessarin-test-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
#endif
    m_path = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    // Tests may leave read-only files behind; give them back before removal.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_symlink())
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(m_path, ec);
}

std::vector<std::uint8_t> SeededBytes(std::size_t length, std::uint32_t seed)
{
    std::vector<std::uint8_t> bytes(length);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x);
    }
    return bytes;
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(FsPath(path), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Exists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::symlink_status(FsPath(path), ec).type() != std::filesystem::file_type::not_found;
}

std::vector<std::string> ListFolder(const std::string& path)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(FsPath(path)))
        names.push_back(Utf8(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::uint8_t> FromHex(const std::string& hex)
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string CaseName(const char* what)
{
    std::string name;
    bool upper = true;
    for (const char* p = what; *p; ++p) {
        if (std::isalnum(static_cast<unsigned char>(*p))) {
            name.push_back(upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(*p))) : *p);
            upper = false;
        } else {
            upper = true;
        }
    }
    return name;
}

const AESclass::AesCallBack& LoadedCipher(int block)
{
    static std::mutex lock;
    static std::map<int, std::pair<platform::ModuleHandle, AESclass::AesCallBack>> modules;
    const std::lock_guard guard(lock);  // the Jobs tests load from several threads
    auto& [handle, record] = modules[block];
    if (!handle)
        handle = CAesCore::LoadLibraryA(static_cast<unsigned>(block), &record);
    return record;
}

std::string RecordingSink::Transcript() const
{
    std::string all;
    for (const auto& line : m_lines)
        all += line.text;
    return all;
}

namespace {

// Every test process keeps its runs' journals in a state folder of its own,
// never the real user's nor one that another test process clears meanwhile.
const struct PrivateStateHome {
    TempFolder folder;
    PrivateStateHome()
    {
#if defined(_WIN32)
        _putenv_s("LOCALAPPDATA", folder.Path().c_str());
#else
        ::setenv("XDG_STATE_HOME", folder.Path().c_str(), 1);
#endif
    }
} privateStateHome;

} // namespace

} // namespace tessarin::test
