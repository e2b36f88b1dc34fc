#include "app/SettingsFile.h"

#include "app/IniProfile.h"
#include "platform/paths/DataPaths.h"

namespace kerrion {

void LoadSettingsFile(CSettingsRecord& record, const std::filesystem::path& path)
{
    CIniProfile profile;
    profile.LoadFile(path);
    record.Load(profile);
}

int SaveSettingsFile(const CSettingsRecord& record, const std::filesystem::path& path)
{
    if (record.Meter.Num <= 0)
        return 0;
    CIniProfile profile;
    if (profile.Load(path) == FileRead::kRefused)
        return 0; // a file we cannot read is never replaced: its settings would be lost
    record.Save(profile);
    return profile.SaveFile(path);
}

void LoadUserSettings(CSettingsRecord& record) { LoadSettingsFile(record, SettingsFilePath()); }

int SaveUserSettings(const CSettingsRecord& record)
{
    if (record.Meter.Num <= 0)
        return 0;
    CreateDataFolder();
    return SaveSettingsFile(record, SettingsFilePath());
}

} // namespace kerrion
