#pragma once
// Every persisted option of the program, with its built-in default. The
// fields are named as the values in the settings store. Values travel as
// they are: nothing is range-checked on load or save; the batch maps each
// index when it uses it. The passwords are not settings and never stored.
#include "application/CSettingsKey.h"

#include <array>
#include <cstdint>

namespace tessarin {

struct AppSettings {
    std::int32_t encrypt = 0;               // 0 Encrypting, 1 Decrypting, 2 Auto Mode
    std::int32_t checkLogging = 1;          // write a log file for every batch
    std::int32_t checkMangling = 0;         // mangled names for encrypted files
    std::int32_t checkRecursive = 1;        // search dropped folders recursively
    std::int32_t checkSensive = 1;          // the search pattern is case-sensitive
    std::int32_t checkWinOnTop = 1;         // the main window stays on top
    std::int32_t checkMinimized = 0;        // the main window starts minimized
    std::int32_t checkWiping = 0;           // wipe files before deleting them
    std::int32_t checkChangeExt = 1;        // append ".aes" to encrypted files
    std::int32_t checkKeepOriginal = 0;     // keep the original file
    std::int32_t checkFilterCompress = 0;   // compress before encrypting
    std::int32_t checkFilterExclusion = 0;  // the exclusion list is case-sensitive
    std::int32_t comprFamily = 0;           // 0 GZIP, 1 BZIP2
    std::int32_t comprLevel = 2;            // 0 Fastest, 1 Fast, 2 Normal, 3 Good, 4 Best
    std::int32_t comboBlockSize = 2;        // 0 = 128, 1 = 192, 2 = 256 bit
    std::int32_t comboKeyLen = 2;           // 0 = 128, 1 = 192, 2 = 256 bit
    std::int32_t comboOperMode = 0;         // 0 CBC, 1 CFB, 2 ECB
    std::int32_t zoomedIn = 0;              // the main window in its small form
    SettingsText editLogFilename = DefaultLogFilename();
    SettingsText editPattern = SettingsTextFromBytes("*");
    SettingsText editFilterExclusionList = SettingsTextFromBytes("*.zip *.rar *.gz *.bz *.bz2 *.ace *.aes *.cab");

    // The user's temporary folder followed by "log.txt".
    static SettingsText DefaultLogFilename();

    // Every field to its default.
    void SetDefaults();

    // The defaults, then every value the store holds with the right type.
    void LoadSettings();

    // Writes every field and the main window's rectangle. A store that
    // cannot be written loses the changes silently (false is returned for
    // a caller that wants to know).
    bool SaveSettings(const SettingsRect& winRect) const;

    // Reads the stored main window rectangle over rect; false (rect
    // untouched) when there is none.
    static bool LoadWindowRect(SettingsRect& rect);

    // The integer values in the order of the store.
    struct IntegerValue {
        const char* name;
        std::int32_t AppSettings::*field;
    };
    static const std::array<IntegerValue, 18> IntegerValues;
    struct StringValue {
        const char* name;
        SettingsText AppSettings::*field;
    };
    static const std::array<StringValue, 3> StringValues;
    static constexpr char WinRectName[] = "winRect";
};

} // namespace tessarin
