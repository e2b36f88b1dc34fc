#include "DriverIni.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>

namespace kerrion::driver {

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return out;
}

IniFile ReadIniFile(const std::filesystem::path& path)
{
    IniFile sections;
    std::ifstream in(path);
    std::string line;
    IniSection* current = nullptr;
    while (std::getline(in, line)) {
        const std::string_view text = Trim(line);
        if (text.empty() || text.front() == ';' || text.front() == '#')
            continue;
        if (text.front() == '[' && text.back() == ']') {
            current = &sections[Lower(Trim(text.substr(1, text.size() - 2)))];
            continue;
        }
        const size_t equals = text.find('=');
        if (current != nullptr && equals != std::string_view::npos)
            (*current)[Lower(Trim(text.substr(0, equals)))]
                = std::string(Trim(text.substr(equals + 1)));
    }
    return sections;
}

double IniNumber(const IniSection& section, const char* key, double fallback)
{
    const auto found = section.find(key);
    if (found == section.end())
        return fallback;
    char* end = nullptr;
    const double value = std::strtod(found->second.c_str(), &end);
    return end == found->second.c_str() || !std::isfinite(value) ? fallback : value;
}

int64_t IniInteger(
    const IniSection& section, const char* key, int64_t fallback, int64_t lowest, int64_t highest)
{
    const double value = IniNumber(section, key, static_cast<double>(fallback));
    return static_cast<int64_t>(
        std::clamp(value, static_cast<double>(lowest), static_cast<double>(highest)));
}

std::filesystem::path DriverConfigPath(const char* overrideVariable, const char* fileName)
{
    const char* chosen = std::getenv(overrideVariable);
    if (chosen != nullptr && chosen[0] != '\0')
        return chosen;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path root;
    if (config != nullptr && config[0] == '/') {
        root = config;
    } else {
        const char* home = std::getenv("HOME");
        root = std::filesystem::path(home != nullptr ? home : "/tmp") / ".config";
    }
    return root / "Marvane/Kerrion" / fileName;
}

} // namespace kerrion::driver
