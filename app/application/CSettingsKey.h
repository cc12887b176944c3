#pragma once
// Typed values under one key of the user's settings store: integers and
// rectangles as fixed binary images, strings as text. On Linux the store is
// a QSettings INI file of the organisation and application below in the
// user's configuration folder; a key is a group in it. On Windows it is the
// per-user registry, HKEY_CURRENT_USER\Software\organisation\application,
// with integers and rectangles as REG_BINARY and strings as REG_SZ. Names of
// keys and values are matched without regard to case, and a value of
// another type than the one asked for is treated as missing.
// Qt's string wherever Qt is the framework: on Linux, and on Windows when
// the window program is built with Qt for Windows (TESSARIN_SETTINGS_QT_TEXT);
// otherwise, as tessarin.exe is built, UTF-8 bytes without Qt.
#if !defined(_WIN32) || defined(TESSARIN_SETTINGS_QT_TEXT)
#define TESSARIN_SETTINGS_TEXT_IS_QSTRING 1
#include <QString>
#endif

#include <cstdint>
#include <memory>
#include <string>

#if !defined(_WIN32)
class QSettings;
#endif

namespace tessarin {

// The text of a setting.
#if defined(TESSARIN_SETTINGS_TEXT_IS_QSTRING)
using SettingsText = QString;
#else
using SettingsText = std::string;
#endif
// A setting's text as the bytes of a file name, and back.
std::string SettingsTextBytes(const SettingsText& text);
SettingsText SettingsTextFromBytes(const std::string& bytes);

inline constexpr char SettingsOrganisation[] = "Quenby Software";
inline constexpr char SettingsApplication[] = "Tessarin";
inline constexpr char SettingsKeyPath[] = "v1.1";

// A screen rectangle as the store keeps it: four signed 32-bit values,
// right and bottom exclusive.
struct SettingsRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    friend bool operator==(const SettingsRect&, const SettingsRect&) = default;
};

class CSettingsKey {
public:
    // The user's store (organisation and application above). Other names are
    // for tests and tools that keep a store of their own.
    CSettingsKey();
    CSettingsKey(const SettingsText& organisation, const SettingsText& application);
    ~CSettingsKey();
    CSettingsKey(const CSettingsKey&) = delete;
    CSettingsKey& operator=(const CSettingsKey&) = delete;

#if !defined(_WIN32)
    // The INI file of a store: the user's configuration folder
    // ($XDG_CONFIG_HOME, else ~/.config), then organisation/application.ini.
    // Asked anew for every key opened, so a changed environment is followed.
    static QString StoreFile(const QString& organisation, const QString& application);
#else
    // The registry path of a store under HKEY_CURRENT_USER.
    static std::string StoreKey(const SettingsText& organisation, const SettingsText& application);
#endif

    bool OpenKey(const SettingsText& path);    // true when the key exists and the store is readable
    bool CreateKey(const SettingsText& path);  // opens the key, creating it when missing
    void CloseKey();                      // writes what was changed to disk

    // A read leaves value untouched and returns false when the value is
    // missing, of another type, or shorter than its image (4 or 16 bytes);
    // a longer binary value gives its first bytes.
    bool ReadInt(const SettingsText& name, std::int32_t& value) const;
    bool ReadString(const SettingsText& name, SettingsText& value) const;
    bool ReadRect(const SettingsText& name, SettingsRect& rect) const;

    // A write replaces a value of the same name whatever the case of its
    // letters; false when no key is open or the store cannot be written.
    bool WriteInt(const SettingsText& name, std::int32_t value);
    bool WriteString(const SettingsText& name, const SettingsText& value);
    bool WriteRect(const SettingsText& name, const SettingsRect& rect);

    // The settings status of the last CloseKey: false when the file could
    // not be written.
    bool LastCloseSucceeded() const { return m_closedOk; }

private:
#if defined(_WIN32)
    bool ReadBinary(const std::string& name, std::size_t size, unsigned char* out) const;
    bool WriteValue(const std::string& name, unsigned long type, const void* data, std::size_t size);

    SettingsText m_organisation;
    SettingsText m_application;
    void* m_key = nullptr;  // the open registry key (an HKEY), null when none
    bool m_closedOk = true;
#else
    QString StoredName(const QString& name) const;  // the spelling in the store, or name
    bool Write(const QString& name, const QVariant& value);

    QString m_organisation;
    QString m_application;
    std::unique_ptr<QSettings> m_settings;  // open while a key is open
    QString m_path;                         // the key's spelling in the store
    bool m_closedOk = true;
#endif
};

} // namespace tessarin
