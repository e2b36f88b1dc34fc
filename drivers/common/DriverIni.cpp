#include "DriverIni.h"

#include "platform/paths/DataPaths.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace kerrion::driver {
namespace {

bool WriteKeys(
    const std::filesystem::path& path, std::string_view section, const IniAssignments& keys)
{
    CIniProfile ini;
    if (ini.Load(path) == FileRead::kRefused)
        return false;
    ini.SetLineEnd("\n");
    const std::string before = ini.Text();
    for (const auto& [key, value] : keys) {
        if (value.empty())
            ini.RemoveKey(section, key);
        else
            ini.WriteString(section, key, value);
    }
    if (ini.Text() == before)
        return true;
    std::error_code error;
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), error);
    return ini.SaveFile(path) == 1;
}

} // namespace

std::filesystem::path DriverConfigPath(const char* overrideVariable, const char* fileName)
{
    const char* chosen = std::getenv(overrideVariable);
    if (chosen != nullptr && chosen[0] != '\0')
        return chosen;
    const std::filesystem::path folder = ConfigFolder();
    return folder.empty() ? folder : folder / fileName;
}

CIniProfile ReadDriverIni(const std::filesystem::path& path)
{
    CIniProfile ini;
    ini.LoadFile(path);
    ini.SetLineEnd("\n");
    return ini;
}

double IniNumber(
    const CIniProfile& ini, std::string_view section, std::string_view key, double fallback)
{
    const std::optional<std::string_view> found = ini.FindValue(section, key);
    if (!found)
        return fallback;
    std::string_view text = *found;
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    // from_chars, not strtod: the host may have set a locale whose decimal point is ','.
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error != std::errc() || !std::isfinite(value) ? fallback : value;
}

int64_t IniInteger(const CIniProfile& ini, std::string_view section, std::string_view key,
    int64_t fallback, int64_t lowest, int64_t highest)
{
    const double value = IniNumber(ini, section, key, static_cast<double>(fallback));
    return static_cast<int64_t>(
        std::clamp(value, static_cast<double>(lowest), static_cast<double>(highest)));
}

bool WriteIniKeys(
    const std::filesystem::path& path, std::string_view section, const IniAssignments& keys)
{
    // Called on the drivers' own threads too, where an exception would end the host.
    try {
        return WriteKeys(path, section, keys);
    } catch (...) {
        return false;
    }
}

} // namespace kerrion::driver
