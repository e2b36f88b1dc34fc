#include "app/IniProfile.h"

#include "app/ProfileText.h"
#include "platform/paths/RegularFile.h"
#include "platform/text/AsciiText.h"
#include "platform/text/TextEncoding.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

namespace {

using kerrion::EqualNoCase;
using kerrion::IsBlank;

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Narrows [begin, end) of `text` to exclude blanks at both ends.
void Trim(std::string_view text, std::size_t& begin, std::size_t& end)
{
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
}

std::string SanitizedValue(std::string_view value)
{
    std::string clean(value);
    for (char& c : clean)
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    return clean;
}

} // namespace

CIniProfile::CIniProfile(std::string text)
    : m_text(std::move(text))
{
    Parse();
}

void CIniProfile::Parse()
{
    m_lines.clear();
    m_sectionLines.clear();
    ParseFrom(m_text.compare(0, kBom.size(), kBom) == 0 ? kBom.size() : 0);
}

// Adds the lines from byte `pos` on, which must be the start of a line after the last one known.
void CIniProfile::ParseFrom(std::size_t pos)
{
    int currentSection = m_sectionLines.empty() ? -1 : m_sectionLines.back();
    while (pos < m_text.size()) {
        Line line;
        line.begin = pos;
        const std::size_t newline = m_text.find('\n', pos);
        line.end = newline == std::string::npos ? m_text.size() : newline + 1;
        line.contentEnd = newline == std::string::npos ? m_text.size() : newline;
        if (line.contentEnd > line.begin && m_text[line.contentEnd - 1] == '\r')
            --line.contentEnd;
        ClassifyLine(line);
        if (line.kind == LineKind::kSection) {
            currentSection = static_cast<int>(m_lines.size());
            m_sectionLines.push_back(currentSection);
        }
        line.section = currentSection;
        m_lines.push_back(line);
        pos = line.end;
    }
}

// Moves the lines from index `first` on by `delta` bytes, after text was inserted or removed
// before them.
void CIniProfile::ShiftLines(std::size_t first, std::ptrdiff_t delta)
{
    const auto shift = static_cast<std::size_t>(delta); // wraps for negative deltas, as intended
    for (std::size_t i = first; i < m_lines.size(); ++i) {
        Line& line = m_lines[i];
        line.begin += shift;
        line.contentEnd += shift;
        line.end += shift;
        line.nameBegin += shift;
        line.valueBegin += shift;
    }
}

void CIniProfile::ClassifyLine(Line& line) const
{
    const std::string_view text(m_text);
    std::size_t begin = line.begin;
    std::size_t end = line.contentEnd;
    Trim(text, begin, end);
    if (begin == end || text[begin] == ';' || text[begin] == '#')
        return;
    if (text[begin] == '[') {
        const std::size_t close = text.substr(0, end).find(']', begin + 1);
        if (close == std::string_view::npos)
            return;
        std::size_t nameBegin = begin + 1;
        std::size_t nameEnd = close;
        Trim(text, nameBegin, nameEnd);
        line.kind = LineKind::kSection;
        line.nameBegin = nameBegin;
        line.nameLength = nameEnd - nameBegin;
        return;
    }
    const std::size_t equals = text.substr(0, end).find('=', begin);
    if (equals == std::string_view::npos)
        return;
    std::size_t keyEnd = equals;
    Trim(text, begin, keyEnd);
    if (begin == keyEnd)
        return;
    std::size_t valueBegin = equals + 1;
    Trim(text, valueBegin, end);
    line.kind = LineKind::kKey;
    line.nameBegin = begin;
    line.nameLength = keyEnd - begin;
    line.valueBegin = valueBegin;
    line.valueLength = end - valueBegin;
}

std::string_view CIniProfile::NameOf(const Line& line) const
{
    return std::string_view(m_text).substr(line.nameBegin, line.nameLength);
}

std::string_view CIniProfile::ValueOf(const Line& line) const
{
    return std::string_view(m_text).substr(line.valueBegin, line.valueLength);
}

int CIniProfile::FindSection(std::string_view section) const
{
    for (int index : m_sectionLines)
        if (EqualNoCase(NameOf(m_lines[static_cast<std::size_t>(index)]), section))
            return index;
    return -1;
}

int CIniProfile::FindKey(int sectionLine, std::string_view key) const
{
    for (std::size_t i = static_cast<std::size_t>(sectionLine) + 1; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        if (line.kind == LineKind::kSection)
            break;
        if (line.kind == LineKind::kKey && EqualNoCase(NameOf(line), key))
            return static_cast<int>(i);
    }
    return -1;
}

int CIniProfile::LastContentLineOf(int sectionLine) const
{
    int last = sectionLine;
    for (std::size_t i = static_cast<std::size_t>(sectionLine) + 1; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        if (line.kind == LineKind::kSection)
            break;
        std::size_t begin = line.begin;
        std::size_t end = line.contentEnd;
        Trim(m_text, begin, end);
        if (begin < end)
            last = static_cast<int>(i);
    }
    return last;
}

int CIniProfile::GetInt(std::string_view section, std::string_view key, int defaultValue) const
{
    const int sectionLine = FindSection(section);
    const int keyLine = sectionLine < 0 ? -1 : FindKey(sectionLine, key);
    if (keyLine < 0)
        return defaultValue;
    const std::string_view value = ValueOf(m_lines[static_cast<std::size_t>(keyLine)]);
    return value.empty() ? defaultValue : kerrion::ParseProfileInt(value);
}

std::string CIniProfile::GetString(
    std::string_view section, std::string_view key, std::string_view defaultValue) const
{
    const int sectionLine = FindSection(section);
    const int keyLine = sectionLine < 0 ? -1 : FindKey(sectionLine, key);
    std::string_view value = defaultValue;
    if (keyLine >= 0)
        value = ValueOf(m_lines[static_cast<std::size_t>(keyLine)]);
    value = value.substr(0, value.find('\0'));
    return kerrion::TruncateUtf8(kerrion::ProfileTextToUtf8(value), kStringCapacity - 1);
}

void CIniProfile::WriteString(
    std::string_view section, std::string_view key, std::string_view value)
{
    const std::string clean = SanitizedValue(value);
    const int sectionLine = FindSection(section);
    if (sectionLine < 0) {
        AppendSection(section, std::string(key) + "=" + clean);
        return;
    }
    const int keyLine = FindKey(sectionLine, key);
    if (keyLine < 0) {
        InsertLineAfter(LastContentLineOf(sectionLine), std::string(key) + "=" + clean);
        return;
    }
    Line& line = m_lines[static_cast<std::size_t>(keyLine)];
    if (ValueOf(line) == clean)
        return; // leave a hand-formatted line exactly as it is
    const std::string replacement = std::string(NameOf(line)) + "=" + clean;
    const std::size_t oldLength = line.contentEnd - line.begin;
    m_text.replace(line.begin, oldLength, replacement);
    const auto delta
        = static_cast<std::ptrdiff_t>(replacement.size()) - static_cast<std::ptrdiff_t>(oldLength);
    line.contentEnd = line.begin + replacement.size();
    line.end += static_cast<std::size_t>(delta);
    ClassifyLine(line);
    ShiftLines(static_cast<std::size_t>(keyLine) + 1, delta);
}

void CIniProfile::RemoveKey(std::string_view section, std::string_view key)
{
    const int sectionLine = FindSection(section);
    if (sectionLine < 0)
        return;
    bool removed = false;
    // From the last line back, so that the earlier lines' offsets stay right.
    for (auto i = static_cast<int>(m_lines.size()) - 1; i > sectionLine; --i) {
        const Line& line = m_lines[static_cast<std::size_t>(i)];
        if (line.section == sectionLine && line.kind == LineKind::kKey
            && EqualNoCase(NameOf(line), key)) {
            m_text.erase(line.begin, line.end - line.begin);
            removed = true;
        }
    }
    if (removed)
        Parse();
}

bool CIniProfile::HasSection(std::string_view section) const { return FindSection(section) >= 0; }

std::vector<std::string> CIniProfile::GetKeys(std::string_view section) const
{
    std::vector<std::string> keys;
    const int sectionLine = FindSection(section);
    if (sectionLine < 0)
        return keys;
    for (std::size_t i = static_cast<std::size_t>(sectionLine) + 1; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        if (line.kind == LineKind::kSection)
            break;
        const std::string_view name = NameOf(line);
        if (line.kind == LineKind::kKey
            && std::none_of(keys.begin(), keys.end(),
                [&](const std::string& known) { return EqualNoCase(known, name); }))
            keys.emplace_back(name);
    }
    return keys;
}

std::optional<std::string_view> CIniProfile::FindValue(
    std::string_view section, std::string_view key) const
{
    const int sectionLine = FindSection(section);
    const int keyLine = sectionLine < 0 ? -1 : FindKey(sectionLine, key);
    if (keyLine < 0)
        return std::nullopt;
    return ValueOf(m_lines[static_cast<std::size_t>(keyLine)]);
}

void CIniProfile::InsertLineAfter(int lineIndex, const std::string& content)
{
    const auto index = static_cast<std::size_t>(lineIndex);
    Line& previous = m_lines[index];
    std::size_t pos = previous.end;
    if (previous.end == m_text.size() && m_text.back() != '\n') {
        m_text += m_newLine; // the file's last line had no line end
        previous.end += m_newLine.size();
        pos = previous.end;
    }
    Line line;
    line.begin = pos;
    line.contentEnd = pos + content.size();
    line.end = line.contentEnd + m_newLine.size();
    line.section = previous.kind == LineKind::kSection ? lineIndex : previous.section;
    m_text.insert(pos, content + m_newLine);
    const std::size_t inserted = line.end - line.begin;
    ClassifyLine(line);

    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(index) + 1, line);
    ShiftLines(index + 2, static_cast<std::ptrdiff_t>(inserted));
    for (std::size_t i = index + 2; i < m_lines.size(); ++i)
        if (m_lines[i].section > lineIndex)
            ++m_lines[i].section;
    for (int& sectionLine : m_sectionLines)
        if (sectionLine > lineIndex)
            ++sectionLine;
}

void CIniProfile::AppendSection(std::string_view section, const std::string& keyLine)
{
    std::size_t from = m_text.size();
    if (!m_text.empty() && m_text.back() != '\n' && m_text != kBom) {
        m_text += m_newLine;
        // The last line changes: forget it and read it again with the new lines.
        from = m_lines.back().begin;
        if (m_lines.back().kind == LineKind::kSection)
            m_sectionLines.pop_back();
        m_lines.pop_back();
    }
    m_text += "[";
    m_text += section;
    m_text += "]";
    m_text += m_newLine;
    m_text += keyLine;
    m_text += m_newLine;
    ParseFrom(from);
}

bool CIniProfile::LoadFile(const std::filesystem::path& path)
{
    return Load(path) == kerrion::FileRead::kRead;
}

kerrion::FileRead CIniProfile::Load(const std::filesystem::path& path)
{
    const kerrion::FileRead result = kerrion::ReadRegularFile(path, kMaxFileBytes, m_text);
    Parse();
    return result;
}

namespace {

// The file a save replaces: the target of a link (so the link itself survives), else the path.
std::filesystem::path ResolveSaveTarget(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::is_symlink(path, error))
        return path;
    std::filesystem::path target = std::filesystem::weakly_canonical(path, error);
    return error ? path : target;
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t count = write(fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

// Creates a new file next to `target` that no one else has open. Its permissions follow the
// process's umask, as any new file's would.
int CreateTemporaryBeside(const std::filesystem::path& target, std::filesystem::path& created)
{
    static std::atomic<unsigned> counter { 0 };
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        created = folder
            / ("." + target.filename().string() + "." + std::to_string(getpid()) + "."
                + std::to_string(counter.fetch_add(1)) + ".tmp");
        const int fd = open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

int CIniProfile::SaveFile(const std::filesystem::path& path) const
{
    if (path.empty())
        return 0; // never the current folder, which may be anyone's
    const std::filesystem::path target = ResolveSaveTarget(path);
    std::filesystem::path temporary;
    const int fd = CreateTemporaryBeside(target, temporary);
    if (fd < 0)
        return 0;
    struct stat old { };
    bool ok = true;
    if (stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        ok = fchmod(fd, old.st_mode & 07777) == 0; // keep the permissions the user gave the file
    ok = ok && WriteAll(fd, m_text) && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    ok = ok && std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(temporary.c_str());
        return 0;
    }
    // Make the rename itself durable; a failure here no longer risks the old or the new file.
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    if (const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return 1;
}
