#include "IniUpdate.h"

#include "DriverIni.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string_view>

namespace kerrion::driver {
namespace {

std::vector<std::string> ReadLines(const std::filesystem::path& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The lower-case section name of a "[name]" line.
std::optional<std::string> SectionOf(std::string_view text)
{
    if (text.size() < 2 || text.front() != '[' || text.back() != ']')
        return std::nullopt;
    return Lower(Trim(text.substr(1, text.size() - 2)));
}

// The lower-case key of a "key=value" line; empty for comments and other lines.
std::string KeyOf(std::string_view text)
{
    const size_t equals = text.find('=');
    if (text.empty() || text.front() == ';' || text.front() == '#' || equals == 0
        || equals == std::string_view::npos)
        return {};
    return Lower(Trim(text.substr(0, equals)));
}

// `lines` with the section's keys set as `keys` says.
std::vector<std::string> Updated(
    const std::vector<std::string>& lines, const std::string& section, const IniAssignments& keys)
{
    const std::string wanted = Lower(section);
    std::vector<bool> written(keys.size(), false);
    std::vector<std::string> out;
    std::optional<size_t> insertAt; // after the section's last key
    bool inSection = false;
    for (const std::string& line : lines) {
        const std::string_view text = Trim(line);
        if (const auto name = SectionOf(text)) {
            inSection = *name == wanted;
            out.push_back(line);
            if (inSection)
                insertAt = out.size();
            continue;
        }
        const std::string key = inSection ? KeyOf(text) : std::string();
        const auto assigned = std::find_if(
            keys.begin(), keys.end(), [&](const auto& entry) { return Lower(entry.first) == key; });
        if (key.empty() || assigned == keys.end()) {
            out.push_back(line);
        } else {
            const size_t index = static_cast<size_t>(assigned - keys.begin());
            if (written[index] || assigned->second.empty())
                continue; // removed, or a duplicate of a key already written
            written[index] = true;
            out.push_back(assigned->first + "=" + assigned->second);
        }
        if (inSection && !key.empty())
            insertAt = out.size();
    }
    std::vector<std::string> added;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (!written[i] && !keys[i].second.empty())
            added.push_back(keys[i].first + "=" + keys[i].second);
    }
    if (!insertAt && !added.empty()) {
        if (!out.empty() && !Trim(out.back()).empty())
            out.emplace_back();
        out.push_back("[" + section + "]");
        insertAt = out.size();
    }
    if (insertAt)
        out.insert(
            out.begin() + static_cast<std::ptrdiff_t>(*insertAt), added.begin(), added.end());
    return out;
}

// Writes `lines` to a temporary file beside `target` and renames it over `target`.
bool ReplaceFile(const std::filesystem::path& target, const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    std::string temporary
        = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return false;
    std::error_code error;
    const auto perms = std::filesystem::status(target, error).permissions();
    if (!error && perms != std::filesystem::perms::unknown)
        fchmod(fd, static_cast<mode_t>(perms));
    bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ok = fsync(fd) == 0 && ok;
    ok = close(fd) == 0 && ok;
    ok = ok && std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok)
        unlink(temporary.c_str());
    return ok;
}

} // namespace

bool UpdateIniSection(
    const std::filesystem::path& path, const std::string& section, const IniAssignments& keys)
{
    std::error_code error;
    std::filesystem::path target = path;
    if (std::filesystem::symlink_status(path, error).type()
        == std::filesystem::file_type::symlink) {
        target = std::filesystem::weakly_canonical(path, error);
        if (error)
            return false;
    }
    const std::vector<std::string> lines = ReadLines(target);
    const std::vector<std::string> updated = Updated(lines, section, keys);
    if (updated == lines)
        return true;
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), error);
    return !error && ReplaceFile(target, updated);
}

} // namespace kerrion::driver
