// The settings in the registry, under the key
// HKEY_CURRENT_USER\Software\Quenby Software\Tessarin\v1.1: integers as 4-byte and the window rectangle as 16-byte
// REG_BINARY values, strings as REG_SZ; read back whatever the case of the
// names, a value of the wrong type or too short left at its default.
#include "application/AppSettings.h"
#include "platform/PrivateFolders.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace tessarin {
namespace {

constexpr wchar_t KeyPath[] = L"Software\\Quenby Software\\Tessarin\\v1.1";

struct Stored {
    DWORD type = REG_NONE;
    std::vector<unsigned char> bytes;
    bool found = false;
};

Stored Query(const wchar_t* name)
{
    Stored stored;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return stored;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &stored.type, nullptr, &size) == ERROR_SUCCESS) {
        stored.bytes.resize(size);
        stored.found = RegQueryValueExW(key, name, nullptr, &stored.type, stored.bytes.data(), &size) == ERROR_SUCCESS;
        stored.bytes.resize(size);
    }
    RegCloseKey(key);
    return stored;
}

void Put(const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

DWORD ValueCount()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return values;
}

std::wstring Wide(const char* text)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), n);
    wide.resize(static_cast<std::size_t>(n - 1));
    return wide;
}

std::vector<unsigned char> Le32(std::int32_t value)
{
    const auto u = static_cast<std::uint32_t>(value);
    return {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8), static_cast<unsigned char>(u >> 16),
            static_cast<unsigned char>(u >> 24)};
}

class RegistrySettings : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, KeyPath); }
};

TEST_F(RegistrySettings, FirstStartWithoutKeyUsesEveryDefault)
{
    AppSettings loaded;
    loaded.encrypt = 2;
    loaded.editPattern = "x";
    loaded.LoadSettings();
    const AppSettings defaults;
    for (const auto& value : AppSettings::IntegerValues)
        EXPECT_EQ(loaded.*value.field, defaults.*value.field) << value.name;
    EXPECT_EQ(loaded.editPattern, "*");
    EXPECT_EQ(loaded.editFilterExclusionList, "*.zip *.rar *.gz *.bz *.bz2 *.ace *.aes *.cab");
    EXPECT_EQ(loaded.editLogFilename, platform::UserStateFolder() + "log.txt");
    SettingsRect rect{1, 2, 3, 4};
    EXPECT_FALSE(AppSettings::LoadWindowRect(rect));
    EXPECT_EQ(rect, (SettingsRect{1, 2, 3, 4}));
}

// Saved by the program: what a later run, and Wine's reg tool, reads.
TEST_F(RegistrySettings, SavedByTheProgramWithTheDocumentedNamesAndTypes)
{
    AppSettings saved;
    std::int32_t next = 3;
    for (const auto& value : AppSettings::IntegerValues)
        saved.*value.field = next++;
    saved.comboKeyLen = 7;  // out of range: stored as it is
    saved.editLogFilename = "C:/Users/\xc3\x9c" "ber/log.txt";
    saved.editPattern = "*.txt";
    saved.editFilterExclusionList = "*.zip *.7z";
    const SettingsRect rect{-8, 20, 1300, 740};
    ASSERT_TRUE(saved.SaveSettings(rect));

    // 18 integers, three strings and the rectangle: nothing else.
    EXPECT_EQ(ValueCount(), 22u);
    for (const auto& value : AppSettings::IntegerValues) {
        const Stored stored = Query(Wide(value.name).c_str());
        ASSERT_TRUE(stored.found) << value.name;
        EXPECT_EQ(stored.type, static_cast<DWORD>(REG_BINARY)) << value.name;
        EXPECT_EQ(stored.bytes, Le32(saved.*value.field)) << value.name;
    }
    const Stored winRect = Query(L"winRect");
    EXPECT_EQ(winRect.type, static_cast<DWORD>(REG_BINARY));
    std::vector<unsigned char> image;
    for (const std::int32_t part : {rect.left, rect.top, rect.right, rect.bottom}) {
        const auto bytes = Le32(part);
        image.insert(image.end(), bytes.begin(), bytes.end());
    }
    EXPECT_EQ(winRect.bytes, image);
    for (const auto& value : AppSettings::StringValues) {
        const Stored stored = Query(Wide(value.name).c_str());
        EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ)) << value.name;
        // The characters and one terminating NUL.
        const std::wstring text = Wide((saved.*value.field).c_str());
        std::vector<unsigned char> expected(reinterpret_cast<const unsigned char*>(text.c_str()),
                                            reinterpret_cast<const unsigned char*>(text.c_str() + text.size() + 1));
        EXPECT_EQ(stored.bytes, expected) << value.name;
    }

    AppSettings loaded;
    loaded.LoadSettings();
    for (const auto& value : AppSettings::IntegerValues)
        EXPECT_EQ(loaded.*value.field, saved.*value.field) << value.name;
    for (const auto& value : AppSettings::StringValues)
        EXPECT_EQ(loaded.*value.field, saved.*value.field) << value.name;
    SettingsRect read;
    ASSERT_TRUE(AppSettings::LoadWindowRect(read));
    EXPECT_EQ(read, rect);
}

struct OddValue {
    const char* what;
    const wchar_t* name;       // as stored, in any case
    DWORD type;
    std::vector<unsigned char> bytes;
    std::int32_t AppSettings::*field;
    std::int32_t loaded;       // what LoadSettings gives
};

const OddValue OddValues[] = {
    {"string where an integer belongs", L"checkLogging", REG_SZ, {'0', 0, 0, 0}, &AppSettings::checkLogging, 1},
    {"dword where an integer belongs", L"checkWiping", REG_DWORD, {1, 0, 0, 0}, &AppSettings::checkWiping, 0},
    {"binary longer than 4 bytes", L"comprLevel", REG_BINARY, {4, 0, 0, 0, 9, 9, 9, 9}, &AppSettings::comprLevel, 4},
    {"binary shorter than 4 bytes", L"comboOperMode", REG_BINARY, {2, 0}, &AppSettings::comboOperMode, 0},
    {"name in other letters", L"CHECKMANGLING", REG_BINARY, {1, 0, 0, 0}, &AppSettings::checkMangling, 1},
    {"negative value", L"encrypt", REG_BINARY, {0xFF, 0xFF, 0xFF, 0xFF}, &AppSettings::encrypt, -1},
};

class RegistryOddValue : public ::testing::TestWithParam<OddValue> {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, KeyPath); }
};

TEST_P(RegistryOddValue, LoadsAsDocumentedAndTheNextSaveWritesTheBinaryForm)
{
    const OddValue& odd = GetParam();
    Put(odd.name, odd.type, odd.bytes.data(), static_cast<DWORD>(odd.bytes.size()));
    AppSettings loaded;
    loaded.LoadSettings();
    EXPECT_EQ(loaded.*odd.field, odd.loaded);

    ASSERT_TRUE(loaded.SaveSettings({}));
    const Stored stored = Query(odd.name);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(stored.bytes, Le32(odd.loaded));
    EXPECT_EQ(ValueCount(), 22u);  // one value per name, whatever its case
}

INSTANTIATE_TEST_SUITE_P(Stored, RegistryOddValue, ::testing::ValuesIn(OddValues),
                         [](const ::testing::TestParamInfo<OddValue>& param) {
                             std::string name;
                             bool upper = true;
                             for (const char* p = param.param.what; *p; ++p) {
                                 if (*p == ' ') {
                                     upper = true;
                                     continue;
                                 }
                                 name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(*p))) : *p;
                                 upper = false;
                             }
                             return name;
                         });

TEST_F(RegistrySettings, StringOfAnotherTypeKeepsItsDefault)
{
    const std::vector<unsigned char> binary{'a', 'b', 0, 0};
    Put(L"editPattern", REG_BINARY, binary.data(), static_cast<DWORD>(binary.size()));
    const std::wstring expanded = L"%TEMP%\\log.txt";
    Put(L"editLogFilename", REG_EXPAND_SZ, expanded.c_str(), static_cast<DWORD>((expanded.size() + 1) * 2));
    AppSettings loaded;
    loaded.LoadSettings();
    EXPECT_EQ(loaded.editPattern, "*");
    EXPECT_EQ(loaded.editLogFilename, AppSettings::DefaultLogFilename());
}

TEST_F(RegistrySettings, StringWithoutItsNulReadsWhole)
{
    const std::wstring text = L"*.doc";
    Put(L"editPattern", REG_SZ, text.c_str(), static_cast<DWORD>(text.size() * 2));
    AppSettings loaded;
    loaded.LoadSettings();
    EXPECT_EQ(loaded.editPattern, "*.doc");
}

} // namespace
} // namespace tessarin
