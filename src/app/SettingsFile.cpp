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

// Why the file at `path` could not be read, or nothing when it is simply not there.
SettingsLoad WhyUnreadable(const std::filesystem::path& path)
{
    struct stat info { };
    if (stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? SettingsLoad {} : SettingsLoad { true, std::strerror(errno) };
    if (!S_ISREG(info.st_mode))
        return { true, "not a regular file" };
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return { true, std::strerror(errno) };
    close(fd);
    return { true, "read error" };
}

} // namespace

SettingsLoad LoadSettingsFile(CSettingsRecord& record, const std::filesystem::path& path)
{
    CIniProfile profile;
    SettingsLoad result;
    if (!profile.LoadFile(path))
        result = WhyUnreadable(path);
    record.Load(profile);
    return result;
}

int SaveSettingsFile(const CSettingsRecord& record, const std::filesystem::path& path)
{
    if (record.Meter.Num <= 0)
        return 0;
    CIniProfile profile;
    if (!profile.LoadFile(path) && WhyUnreadable(path).unreadable)
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
