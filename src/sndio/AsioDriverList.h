#pragma once

// The list of installed ASIO drivers, built once from the driver registry, and the loading of
// one of them as the process's current driver (the host calls' target). One list per process,
// shared by every ASIO device object; callers serialise access with AsioProcessMutex().

#include "platform/asio/AsioDriverObject.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kerrion {

class AsioDriverList {
public:
    static constexpr int kAlreadyOpen = -5002; // the entry already has a driver object
    static constexpr int kNotFound = -5003;    // no entry with that number
    static constexpr int kCreateFailed = -5000;

    struct Entry {
        int number = 0;
        AsioClassId classId {};
        std::string path;                         // the driver's shared library
        std::string name;                         // description or subkey name, <= 127 bytes
        std::shared_ptr<AsioDriverObject> object; // the created driver, or none
    };

    // Reads the registry files (AsioRegistryFiles); entries whose class id is not registered
    // or whose library file does not exist are skipped.
    void Build();
    int Count() const { return static_cast<int>(m_entries.size()); }
    const Entry& At(int index) const { return m_entries[static_cast<size_t>(index)]; }
    int Current() const { return m_current; }

    // Loads the entry whose display name equals `name` and makes it current; on failure the
    // driver loaded before is loaded again (when it differs). True when loaded.
    bool LoadDriver(const std::string& name);
    // Releases the current driver object (and the host's current driver).
    void ReleaseCurrent();

    // The name as listed: shorter than 32 bytes unchanged, else its first 28 bytes and "...".
    static std::string DisplayName(const std::string& name);

private:
    int Open(int number);

    std::vector<Entry> m_entries;
    int m_current = -1;
};

// Guards the process's driver list and current driver (engine and UI threads both use them).
std::recursive_mutex& AsioProcessMutex();

// The first bytes of `text`, at most `maxBytes`, never splitting a UTF-8 character.
std::string Utf8Prefix(const std::string& text, size_t maxBytes);

} // namespace kerrion
