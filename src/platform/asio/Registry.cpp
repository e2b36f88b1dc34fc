#include "platform/asio/Registry.h"

#include "platform/paths/RegularFile.h"

#include <algorithm>
#include <iterator>

namespace kerrion {
namespace {

std::vector<std::string> SplitPath(std::string_view path, bool lower);

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

// Appends code point cp as UTF-8.
void AppendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The registry editor writes UTF-16LE with a byte order mark; everything else is read as UTF-8.
std::string DecodeText(std::string_view raw)
{
    if (raw.size() >= 2 && static_cast<uint8_t>(raw[0]) == 0xFF
        && static_cast<uint8_t>(raw[1]) == 0xFE) {
        std::string out;
        for (size_t i = 2; i + 1 < raw.size(); i += 2) {
            uint32_t unit = static_cast<uint8_t>(raw[i]) | (static_cast<uint8_t>(raw[i + 1]) << 8);
            if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < raw.size()) {
                const uint32_t low
                    = static_cast<uint8_t>(raw[i + 2]) | (static_cast<uint8_t>(raw[i + 3]) << 8);
                if (low >= 0xDC00 && low < 0xE000) {
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
            if (unit >= 0xD800 && unit < 0xE000)
                unit = 0xFFFD; // an unpaired surrogate has no UTF-8 form
            AppendUtf8(out, unit);
        }
        return out;
    }
    if (raw.size() >= 3 && raw.substr(0, 3) == "\xEF\xBB\xBF")
        raw.remove_prefix(3);
    return std::string(raw);
}

// The canonical form of a key path: lower case, no empty parts, HKLM/HKCR spelled out and
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes folded into HKEY_CLASSES_ROOT (as Windows merges them).
std::vector<std::string> SplitPath(std::string_view path, bool lower)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view part = TrimBlanks(path.substr(start, end - start));
        if (!part.empty())
            parts.push_back(lower ? AsciiLower(part) : std::string(part));
        start = end + 1;
    }
    return parts;
}

std::string NormalisePath(std::string_view path)
{
    std::string out;
    for (const std::string& part : SplitPath(path, true))
        out += (out.empty() ? "" : "\\") + part;
    auto replacePrefix = [&out](std::string_view from, std::string_view to) {
        if (out == from || out.starts_with(std::string(from) + "\\"))
            out = std::string(to) + out.substr(from.size());
    };
    replacePrefix("hklm", "hkey_local_machine");
    replacePrefix("hkcr", "hkey_classes_root");
    replacePrefix("hkey_local_machine\\software\\classes", "hkey_classes_root");
    return out;
}

// Reads a quoted string starting at text[pos] == '"', undoing \\ and \" escapes; pos ends after
// the closing quote. False when the string is not closed.
bool ReadQuoted(std::string_view text, size_t& pos, std::string& out)
{
    out.clear();
    for (++pos; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\' && pos + 1 < text.size() && (text[pos + 1] == '\\' || text[pos + 1] == '"'))
            ++pos;
        out += text[pos];
    }
    return false;
}

} // namespace

int Registry::LoadFile(const std::filesystem::path& path)
{
    std::string raw;
    if (ReadRegularFile(path, kMaxTextFileBytes, raw) != FileRead::kRead)
        return 0;
    return LoadText(raw, path.parent_path());
}

int Registry::LoadText(std::string_view raw, const std::filesystem::path& folder)
{
    const std::string text = DecodeText(raw);
    std::string_view rest = text;
    bool headerSeen = false;
    bool continuation = false; // inside a hex value continued with a trailing backslash
    Key* current = nullptr;
    while (!rest.empty()) {
        const size_t newline = rest.find('\n');
        const std::string_view line = TrimBlanks(rest.substr(0, newline));
        rest = newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1);
        if (continuation) {
            continuation = !line.empty() && line.back() == '\\';
            continue;
        }
        if (line.empty() || line.front() == ';')
            continue;
        if (!headerSeen) {
            if (line != kHeader5 && line != kHeader4)
                return 0;
            headerSeen = true;
            continue;
        }
        ParseLine(line, current, folder);
        continuation = line.front() != '[' && line.back() == '\\'
            && line.find("=\"") == std::string_view::npos;
    }
    return headerSeen ? 1 : 0;
}

void Registry::ParseLine(std::string_view line, Key*& current, const std::filesystem::path& folder)
{
    if (line.front() == '[') {
        const size_t close = line.rfind(']');
        current = nullptr;
        if (close == std::string_view::npos)
            return;
        std::string_view path = line.substr(1, close - 1);
        if (!path.empty() && path.front() == '-') {
            DeleteKey(path.substr(1));
            return;
        }
        current = CreateKey(path);
        if (current != nullptr)
            current->folder = folder;
        return;
    }
    if (current == nullptr)
        return;
    std::string name;
    size_t pos = 0;
    if (line.front() == '@') {
        pos = 1;
    } else if (line.front() != '"' || !ReadQuoted(line, pos, name)) {
        return;
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
        ++pos;
    if (pos >= line.size() || line[pos] != '=')
        return;
    const std::string_view data = TrimBlanks(line.substr(pos + 1));
    if (data == "-") {
        current->values.erase(AsciiLower(name));
        return;
    }
    std::string value;
    size_t valuePos = 0;
    if (data.empty() || data.front() != '"' || !ReadQuoted(data, valuePos, value))
        return; // not a string value: not used here
    current->values.insert_or_assign(AsciiLower(name), std::move(value));
}

Registry::Key* Registry::CreateKey(std::string_view writtenPath)
{
    const std::vector<std::string> written = SplitPath(writtenPath, false);
    const std::vector<std::string> parts = SplitPath(NormalisePath(writtenPath), false);
    if (parts.empty() || parts.size() > kRegistryMaxDepth)
        return nullptr;
    // Root aliases only ever shorten the front, so the tails of both lists line up.
    const size_t offset = written.size() - parts.size();
    Key* key = &m_root;
    for (size_t i = 0; i < parts.size(); ++i) {
        std::unique_ptr<Key>& child = key->children[parts[i]];
        if (!child) {
            child = std::make_unique<Key>();
            child->name = written[i + offset];
            child->order = m_nextOrder++;
        }
        key = child.get();
    }
    return key;
}

void Registry::DeleteKey(std::string_view writtenPath)
{
    const std::vector<std::string> parts = SplitPath(NormalisePath(writtenPath), false);
    if (parts.empty() || parts.size() > kRegistryMaxDepth)
        return; // nothing that deep was ever created
    Key* parent = &m_root;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        auto found = parent->children.find(parts[i]);
        if (found == parent->children.end())
            return;
        parent = found->second.get();
    }
    parent->children.erase(parts.back()); // with everything below it
}

const Registry::Key* Registry::FindKey(std::string_view path) const
{
    const std::vector<std::string> parts = SplitPath(NormalisePath(path), false);
    if (parts.empty())
        return nullptr;
    const Key* key = &m_root;
    for (const std::string& part : parts) {
        auto found = key->children.find(part);
        if (found == key->children.end())
            return nullptr;
        key = found->second.get();
    }
    return key;
}

bool Registry::HasKey(std::string_view path) const { return FindKey(path) != nullptr; }

std::vector<std::string> Registry::SubKeys(std::string_view path) const
{
    const Key* key = FindKey(path);
    if (key == nullptr)
        return {};
    std::vector<const Key*> children;
    children.reserve(key->children.size());
    for (const auto& entry : key->children)
        children.push_back(entry.second.get());
    std::sort(children.begin(), children.end(),
        [](const Key* a, const Key* b) { return a->order < b->order; });
    std::vector<std::string> names;
    names.reserve(children.size());
    for (const Key* child : children)
        names.push_back(child->name);
    return names;
}

bool Registry::GetString(
    std::string_view keyPath, std::string_view valueName, std::string& value) const
{
    const Key* key = FindKey(keyPath);
    if (key == nullptr)
        return false;
    const auto found = key->values.find(valueName == "@" ? std::string() : AsciiLower(valueName));
    if (found == key->values.end())
        return false;
    value = found->second;
    return true;
}

std::filesystem::path Registry::KeyFolder(std::string_view path) const
{
    const Key* key = FindKey(path);
    return key ? key->folder : std::filesystem::path();
}

} // namespace kerrion
