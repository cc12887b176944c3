// The settings store on Windows: the per-user registry. A key is
// HKEY_CURRENT_USER\Software\<organisation>\<application>\<path>; integers
// are 4-byte and rectangles 16-byte REG_BINARY values (little-endian, the
// image a serializing archive makes), strings REG_SZ with their final NUL.
// The registry itself matches names without regard to case.
#include "application/CSettingsKey.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <array>
#include <vector>

namespace tessarin {

namespace {

constexpr std::size_t IntSize = 4;
constexpr std::size_t RectSize = 16;

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Narrow(const wchar_t* text, std::size_t length)
{
    if (length == 0)
        return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), narrow.data(), n, nullptr, nullptr);
    return narrow;
}

HKEY Key(void* key)
{
    return static_cast<HKEY>(key);
}

void PutLe32(unsigned char* out, std::int32_t value)
{
    const auto u = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<unsigned char>((u >> (8 * i)) & 0xFFu);
}

std::int32_t Le32(const unsigned char* bytes)
{
    std::uint32_t u = 0;
    for (int i = 3; i >= 0; --i)
        u = (u << 8) | bytes[i];
    return static_cast<std::int32_t>(u);
}

} // namespace

// A name's bytes are UTF-8 on Windows, as everywhere inside the program.
#if defined(TESSARIN_SETTINGS_TEXT_IS_QSTRING)
std::string SettingsTextBytes(const SettingsText& text)
{
    return text.toStdString();
}

SettingsText SettingsTextFromBytes(const std::string& bytes)
{
    return QString::fromStdString(bytes);
}
#else
std::string SettingsTextBytes(const SettingsText& text)
{
    return text;
}

SettingsText SettingsTextFromBytes(const std::string& bytes)
{
    return bytes;
}
#endif

std::string CSettingsKey::StoreKey(const SettingsText& organisation, const SettingsText& application)
{
    return "Software\\" + SettingsTextBytes(organisation) + "\\" + SettingsTextBytes(application);
}

CSettingsKey::CSettingsKey() : CSettingsKey(SettingsOrganisation, SettingsApplication) {}

CSettingsKey::CSettingsKey(const SettingsText& organisation, const SettingsText& application)
    : m_organisation(organisation), m_application(application)
{
}

CSettingsKey::~CSettingsKey()
{
    CloseKey();
}

bool CSettingsKey::OpenKey(const SettingsText& path)
{
    CloseKey();
    const std::wstring name = Wide(StoreKey(m_organisation, m_application) + "\\" + SettingsTextBytes(path));
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    m_key = key;
    return true;
}

bool CSettingsKey::CreateKey(const SettingsText& path)
{
    if (OpenKey(path))
        return true;
    const std::wstring name = Wide(StoreKey(m_organisation, m_application) + "\\" + SettingsTextBytes(path));
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                          nullptr, &key, &disposition) != ERROR_SUCCESS)
        return false;
    m_key = key;
    return true;
}

void CSettingsKey::CloseKey()
{
    if (!m_key)
        return;
    // The registry writes its values on its own; a failed flush is what
    // would lose them.
    m_closedOk = ::RegFlushKey(Key(m_key)) == ERROR_SUCCESS;
    ::RegCloseKey(Key(m_key));
    m_key = nullptr;
}

bool CSettingsKey::ReadBinary(const std::string& name, std::size_t size, unsigned char* out) const
{
    if (!m_key)
        return false;
    const std::wstring wide = Wide(name);
    DWORD type = 0;
    DWORD length = 0;
    if (::RegQueryValueExW(Key(m_key), wide.c_str(), nullptr, &type, nullptr, &length) != ERROR_SUCCESS ||
        type != REG_BINARY || length < size)
        return false;
    std::vector<unsigned char> bytes(length);
    if (::RegQueryValueExW(Key(m_key), wide.c_str(), nullptr, &type, bytes.data(), &length) != ERROR_SUCCESS ||
        type != REG_BINARY || length < size)
        return false;
    std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size), out);
    return true;
}

bool CSettingsKey::ReadInt(const SettingsText& name, std::int32_t& value) const
{
    std::array<unsigned char, IntSize> bytes{};
    if (!ReadBinary(SettingsTextBytes(name), IntSize, bytes.data()))
        return false;
    value = Le32(bytes.data());
    return true;
}

bool CSettingsKey::ReadRect(const SettingsText& name, SettingsRect& rect) const
{
    std::array<unsigned char, RectSize> bytes{};
    if (!ReadBinary(SettingsTextBytes(name), RectSize, bytes.data()))
        return false;
    rect = {Le32(bytes.data()), Le32(bytes.data() + 4), Le32(bytes.data() + 8), Le32(bytes.data() + 12)};
    return true;
}

bool CSettingsKey::ReadString(const SettingsText& name, SettingsText& value) const
{
    if (!m_key)
        return false;
    const std::wstring wide = Wide(SettingsTextBytes(name));
    DWORD type = 0;
    DWORD length = 0;
    if (::RegQueryValueExW(Key(m_key), wide.c_str(), nullptr, &type, nullptr, &length) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    std::vector<wchar_t> text(length / sizeof(wchar_t) + 1, L'\0');
    length = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(Key(m_key), wide.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                           &length) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    // A stored string need not end with its NUL: the text is what precedes
    // the first one, or all of it.
    std::size_t count = length / sizeof(wchar_t);
    for (std::size_t i = 0; i < count; ++i) {
        if (text[i] == L'\0') {
            count = i;
            break;
        }
    }
    value = SettingsTextFromBytes(Narrow(text.data(), count));
    return true;
}

bool CSettingsKey::WriteValue(const std::string& name, unsigned long type, const void* data, std::size_t size)
{
    if (!m_key)
        return false;
    const std::wstring wide = Wide(name);
    return ::RegSetValueExW(Key(m_key), wide.c_str(), 0, type, static_cast<const BYTE*>(data),
                            static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

bool CSettingsKey::WriteInt(const SettingsText& name, std::int32_t value)
{
    std::array<unsigned char, IntSize> bytes{};
    PutLe32(bytes.data(), value);
    return WriteValue(SettingsTextBytes(name), REG_BINARY, bytes.data(), bytes.size());
}

bool CSettingsKey::WriteRect(const SettingsText& name, const SettingsRect& rect)
{
    std::array<unsigned char, RectSize> bytes{};
    PutLe32(bytes.data(), rect.left);
    PutLe32(bytes.data() + 4, rect.top);
    PutLe32(bytes.data() + 8, rect.right);
    PutLe32(bytes.data() + 12, rect.bottom);
    return WriteValue(SettingsTextBytes(name), REG_BINARY, bytes.data(), bytes.size());
}

bool CSettingsKey::WriteString(const SettingsText& name, const SettingsText& value)
{
    // The characters and one terminating NUL.
    const std::wstring text = Wide(SettingsTextBytes(value));
    return WriteValue(SettingsTextBytes(name), REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

} // namespace tessarin
