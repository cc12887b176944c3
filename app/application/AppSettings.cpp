#include "application/AppSettings.h"

#include "platform/PrivateFolders.h"

namespace tessarin {

const std::array<AppSettings::IntegerValue, 18> AppSettings::IntegerValues{{
    {"encrypt", &AppSettings::encrypt},
    {"checkLogging", &AppSettings::checkLogging},
    {"checkMangling", &AppSettings::checkMangling},
    {"checkRecursive", &AppSettings::checkRecursive},
    {"checkSensive", &AppSettings::checkSensive},
    {"checkWinOnTop", &AppSettings::checkWinOnTop},
    {"checkMinimized", &AppSettings::checkMinimized},
    {"checkWiping", &AppSettings::checkWiping},
    {"checkChangeExt", &AppSettings::checkChangeExt},
    {"checkKeepOriginal", &AppSettings::checkKeepOriginal},
    {"checkFilterCompress", &AppSettings::checkFilterCompress},
    {"checkFilterExclusion", &AppSettings::checkFilterExclusion},
    {"comprFamily", &AppSettings::comprFamily},
    {"comprLevel", &AppSettings::comprLevel},
    {"comboBlockSize", &AppSettings::comboBlockSize},
    {"comboKeyLen", &AppSettings::comboKeyLen},
    {"comboOperMode", &AppSettings::comboOperMode},
    {"zoomedIn", &AppSettings::zoomedIn},
}};

const std::array<AppSettings::StringValue, 3> AppSettings::StringValues{{
    {"editLogFilename", &AppSettings::editLogFilename},
    {"editPattern", &AppSettings::editPattern},
    {"editFilterExclusionList", &AppSettings::editFilterExclusionList},
}};

SettingsText AppSettings::DefaultLogFilename()
{
    return SettingsTextFromBytes(platform::UserStateFolder() + "log.txt");
}

void AppSettings::SetDefaults()
{
    *this = AppSettings{};
}

void AppSettings::LoadSettings()
{
    SetDefaults();
    CSettingsKey key;
    if (!key.OpenKey(SettingsKeyPath))
        return;
    for (const IntegerValue& value : IntegerValues)
        key.ReadInt(value.name, this->*value.field);
    for (const StringValue& value : StringValues)
        key.ReadString(value.name, this->*value.field);
    key.CloseKey();
}

bool AppSettings::SaveSettings(const SettingsRect& winRect) const
{
    CSettingsKey key;
    if (!key.CreateKey(SettingsKeyPath))
        return false;
    bool written = true;
    for (const IntegerValue& value : IntegerValues)
        written = key.WriteInt(value.name, this->*value.field) && written;
    for (const StringValue& value : StringValues)
        written = key.WriteString(value.name, this->*value.field) && written;
    written = key.WriteRect(WinRectName, winRect) && written;
    key.CloseKey();
    return written && key.LastCloseSucceeded();
}

bool AppSettings::LoadWindowRect(SettingsRect& rect)
{
    CSettingsKey key;
    if (!key.OpenKey(SettingsKeyPath))
        return false;
    const bool read = key.ReadRect(WinRectName, rect);
    key.CloseKey();
    return read;
}

} // namespace tessarin
