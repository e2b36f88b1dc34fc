#include "app/SettingsFile.h"

#include "app/IniProfile.h"
#include "platform/paths/DataPaths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kerrion {
namespace {

// Why a file that is there could not be read, in the system's words.
std::string WhyRefused(const std::filesystem::path& path)
{
    struct stat info { };
    if (stat(path.c_str(), &info) != 0)
        return std::strerror(errno);
    if (!S_ISREG(info.st_mode))
        return "not a regular file";
    if (static_cast<std::size_t>(info.st_size) > CIniProfile::kMaxFileBytes)
        return "larger than a settings file can be";
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::strerror(errno);
    close(fd);
    return "read error";
}

} // namespace

SettingsLoad LoadSettingsFile(CSettingsRecord& record, const std::filesystem::path& path)
{
    CIniProfile profile;
    SettingsLoad result;
    if (profile.Load(path) == FileRead::kRefused)
        result = { true, WhyRefused(path) };
    record.Load(profile);
    return result;
}

int SaveSettingsFile(const CSettingsRecord& record, const std::filesystem::path& path)
{
    if (record.Meter.Num <= 0)
        return 0;
    CIniProfile profile;
    if (profile.Load(path) == FileRead::kRefused)
        return 0; // a file we cannot read is never replaced: its settings would be lost
    const std::string before = profile.Text();
    record.Save(profile);
    if (profile.Text() == before)
        return 1; // nothing changed: the file is not touched
    return profile.SaveFile(path);
}

SettingsLoad LoadUserSettings(CSettingsRecord& record)
{
    return LoadSettingsFile(record, SettingsFilePath());
}

int SaveUserSettings(const CSettingsRecord& record)
{
    if (record.Meter.Num <= 0)
        return 0;
    CreateDataFolder();
    return SaveSettingsFile(record, SettingsFilePath());
}

} // namespace kerrion
