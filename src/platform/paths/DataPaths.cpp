#include "platform/paths/DataPaths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>

namespace kerrion {
namespace {

std::filesystem::path HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return {};
}

// $`variable` when it is an absolute path, else `underHome` in the home folder.
std::filesystem::path PreferredRoot(const char* variable, const std::filesystem::path& underHome)
{
    if (const char* xdg = std::getenv(variable); xdg != nullptr && xdg[0] == '/')
        return xdg;
    const std::filesystem::path home = HomeFolder();
    return home.empty() ? std::filesystem::path() : home / underHome;
}

bool IsDirectory(const std::filesystem::path& path)
{
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

// A folder in the temporary directory that only this user may enter. One that exists but is
// not ours, or is open to others, is not used: someone else could read or replace our files.
std::filesystem::path FallbackRoot()
{
    const char* tmp = std::getenv("TMPDIR");
    const std::filesystem::path base = (tmp != nullptr && tmp[0] == '/') ? tmp : "/tmp";
    std::filesystem::path root = base / ("Marvane-" + std::to_string(getuid()));
    mkdir(root.c_str(), 0700);
    struct stat info { };
    if (lstat(root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid()
        || (info.st_mode & 077) != 0)
        return {};
    return root;
}

} // namespace

std::filesystem::path DataRoot()
{
    std::filesystem::path preferred = PreferredRoot("XDG_DATA_HOME", ".local/share");
    if (!preferred.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(preferred, ignored);
        if (IsDirectory(preferred))
            return preferred;
    }
    return FallbackRoot();
}

std::filesystem::path RuntimeFolder()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime != nullptr && runtime[0] == '/' && IsDirectory(runtime))
        return runtime;
    return FallbackRoot();
}

std::filesystem::path ConfigFolder()
{
    std::filesystem::path root = PreferredRoot("XDG_CONFIG_HOME", ".config");
    if (root.empty())
        root = FallbackRoot();
    return root.empty() ? root : root / "Marvane" / "Kerrion";
}

std::filesystem::path DataFolder()
{
    const std::filesystem::path root = DataRoot();
    return root.empty() ? root : root / "Marvane" / "Kerrion";
}

std::filesystem::path SettingsFilePath()
{
    const std::filesystem::path folder = DataFolder();
    return folder.empty() ? folder : folder / "Kerrion.ini";
}

void CreateDataFolder()
{
    const std::filesystem::path root = DataRoot();
    if (root.empty())
        return;
    const std::filesystem::path marvane = root / "Marvane";
    mkdir(marvane.c_str(), 0777);
    mkdir((marvane / "Kerrion").c_str(), 0777);
}

} // namespace kerrion
