#pragma once

#include "platform/paths/RegularFile.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An INI file held in memory, read and changed with the rules of the Windows profile functions:
// section and key names match without regard to case, the first of duplicate sections or keys
// counts, a changed value is replaced in its own line, a new key goes at the end of its section
// and a new section at the end of the file. Every other byte of the file is kept as it was
// (comments, unknown sections, blank lines, line ends, a byte-order mark), so a save changes only
// the values it writes. One thread at a time per object (the user-interface thread for
// Kerrion.ini; the driver plug-ins read and write their own files through it on their threads).
// Qt-free and built into a library of its own, so that the plug-ins link it too.
//
// Lines end in LF or CR LF when read; new lines are written with CR LF unless SetLineEnd says
// otherwise. A line whose first non-blank character is ';' or '#' is a comment. A '[' without a
// closing ']' starts no section.
class CIniProfile {
public:
    static constexpr std::size_t kStringCapacity = 1024; // bytes, terminator included
    static constexpr std::size_t kMaxFileBytes = kerrion::kMaxTextFileBytes; // larger: not read

    CIniProfile() = default;
    explicit CIniProfile(std::string text);

    // Reads the whole file. A missing, unreadable or non-regular file (a folder, a pipe) or one
    // larger than kMaxFileBytes leaves the profile empty and returns false. Never blocks on a
    // special file.
    bool LoadFile(const std::filesystem::path& path);
    // The same, telling a missing file (which a save may create) from one that is there but
    // could not be read (which must not be replaced by what little the profile holds).
    kerrion::FileRead Load(const std::filesystem::path& path);

    // Writes the profile to `path` without ever losing the previous file: the text goes to a
    // temporary file in the same folder, is flushed to disk and renamed over the old one, and the
    // folder is flushed too. A link is followed, so the file it names is replaced. Returns 1 on
    // success, 0 on failure (the old file is then untouched and no temporary file is left
    // behind); an empty path always fails. The folder must exist.
    int SaveFile(const std::filesystem::path& path) const;

    // The default when the section or key is missing or the value is empty; otherwise the value
    // by the integer conversion.
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const;

    // The value without surrounding blanks, as UTF-8 (text that is not UTF-8 is read as
    // Shift-JIS), cut at a NUL byte and to kStringCapacity-1 bytes; the default when the key is
    // missing.
    std::string GetString(
        std::string_view section, std::string_view key, std::string_view defaultValue) const;

    // Sets the value, creating the key and section when missing. Line breaks and NUL bytes in
    // the value become blanks, so a value can never add lines of its own.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

    // Removes every line of the key in the section (duplicates included); the section's other
    // lines stay, an emptied section too.
    void RemoveKey(std::string_view section, std::string_view key);

    bool HasSection(std::string_view section) const;
    // The section's key names as the file spells them, in file order; a name given again in
    // another case is listed once.
    std::vector<std::string> GetKeys(std::string_view section) const;
    // The value without surrounding blanks exactly as the file holds it: no conversion, no
    // length limit. Nothing when the key is missing. Valid until the profile changes.
    std::optional<std::string_view> FindValue(std::string_view section, std::string_view key) const;

    // The line end of the lines WriteString adds: "\r\n" (the default) or "\n".
    void SetLineEnd(std::string_view lineEnd) { m_newLine = lineEnd; }

    const std::string& Text() const { return m_text; }

private:
    enum class LineKind { kOther, kSection, kKey };
    struct Line {
        std::size_t begin = 0;      // first byte of the line
        std::size_t contentEnd = 0; // end of the line without its CR LF or LF
        std::size_t end = 0;        // first byte of the next line
        LineKind kind = LineKind::kOther;
        std::size_t nameBegin = 0; // section or key name, trimmed
        std::size_t nameLength = 0;
        std::size_t valueBegin = 0; // key value, trimmed
        std::size_t valueLength = 0;
        int section = -1; // index of the section line this line belongs to
    };

    void Parse();
    void ParseFrom(std::size_t pos);
    void ShiftLines(std::size_t first, std::ptrdiff_t delta);
    void ClassifyLine(Line& line) const;
    int FindSection(std::string_view section) const;
    int FindKey(int sectionLine, std::string_view key) const;
    int LastContentLineOf(int sectionLine) const;
    std::string_view NameOf(const Line& line) const;
    std::string_view ValueOf(const Line& line) const;
    void InsertLineAfter(int lineIndex, const std::string& content);
    void AppendSection(std::string_view section, const std::string& keyLine);

    std::string m_text;
    std::string m_newLine = "\r\n"; // of added lines
    std::vector<Line> m_lines;
    std::vector<int> m_sectionLines; // indexes into m_lines, in file order
};
