#pragma once

#include "platform/text/AsciiText.h" // AsciiLower, which the registry's users need too

// The part of the Windows registry that driver discovery reads, kept in text files in the syntax
// of registry export files (.reg):
//
//   Windows Registry Editor Version 5.00        (or REGEDIT4)
//   ; comment
//   [HKEY_LOCAL_MACHINE\SOFTWARE\ASIO\My Driver]
//   "CLSID"="{...}"
//   @="the default value"
//   [-HKEY_LOCAL_MACHINE\SOFTWARE\ASIO\Old Driver]   (removes a key loaded before)
//
// Key and value names match without regard to (ASCII) case; subkeys enumerate in the order the
// files first named them. Several files can be loaded into one registry, later ones adding to
// and overriding earlier ones. Only string values are kept. Keys more than kRegistryMaxDepth
// levels deep are ignored, as Windows refuses them. One thread at a time.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kerrion {

class Registry {
public:
    // Reads a file and merges it in: 1, or 0 when it cannot be read or lacks the header line.
    // Only a regular file of at most kMaxTextFileBytes is read, opened without blocking.
    int LoadFile(const std::filesystem::path& path);
    // The same for text in memory; `folder` is reported by KeyFolder for its keys.
    int LoadText(std::string_view text, const std::filesystem::path& folder);

    bool HasKey(std::string_view path) const;
    // Names of the direct subkeys as written, in file order; empty for a missing key.
    std::vector<std::string> SubKeys(std::string_view path) const;
    // A string value ("" or "@" names the default value); false when the key or value is absent.
    bool GetString(std::string_view keyPath, std::string_view valueName, std::string& value) const;
    // The folder of the file that last wrote values into the key (relative paths start there).
    std::filesystem::path KeyFolder(std::string_view path) const;

private:
    // A tree rather than a map of full paths, so that memory and time stay in proportion to the
    // file even for deep paths or long runs of keys and values.
    struct Key {
        std::string name;                                     // as first written
        uint64_t order = 0;                                   // creation sequence: file order
        std::map<std::string, std::unique_ptr<Key>> children; // by lower-case name
        std::map<std::string, std::string> values;            // by lower-case name ("" default)
        std::filesystem::path folder;
    };

    Key* CreateKey(std::string_view writtenPath); // with its parents; null when too deep
    void DeleteKey(std::string_view writtenPath);
    const Key* FindKey(std::string_view path) const;
    void ParseLine(std::string_view line, Key*& current, const std::filesystem::path& folder);

    Key m_root; // holds the root keys (HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, ...)
    uint64_t m_nextOrder = 0;
};

// Windows keeps registry trees at most this many levels deep; deeper keys in a file are ignored.
inline constexpr size_t kRegistryMaxDepth = 512;

} // namespace kerrion
