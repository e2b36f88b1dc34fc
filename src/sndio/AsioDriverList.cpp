#include "sndio/AsioDriverList.h"

#include "platform/asio/AsioHost.h"
#include "platform/asio/AsioRegistryFiles.h"

#include <system_error>

namespace kerrion {

std::recursive_mutex& AsioProcessMutex()
{
    static std::recursive_mutex mutex;
    return mutex;
}

std::string Utf8Prefix(const std::string& text, size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0u) == 0x80u)
        --cut; // text[cut] continues a character: cut before the character starts
    return text.substr(0, cut);
}

std::string AsioDriverList::DisplayName(const std::string& name)
{
    return name.size() < 32 ? name : Utf8Prefix(name, 28) + "...";
}

void AsioDriverList::Build()
{
    m_entries.clear();
    m_current = -1;
    Registry registry;
    LoadAsioRegistry(registry);
    for (const std::string& subkey : registry.SubKeys(kAsioDriversKey)) {
        const std::string key = std::string(kAsioDriversKey) + "\\" + subkey;
        std::string clsid;
        if (!registry.GetString(key, "CLSID", clsid) || clsid.size() > 255)
            continue;
        const std::string server
            = std::string(kClassIdsKey) + "\\" + AsciiLower(clsid) + "\\InprocServer32";
        std::string library;
        if (!registry.GetString(server, "", library) || library.empty())
            continue;
        std::filesystem::path path(library);
        if (path.is_relative())
            path = registry.KeyFolder(server) / path;
        std::error_code error;
        Entry entry;
        if (!std::filesystem::is_regular_file(path, error)
            || !ParseClassId(clsid.c_str(), entry.classId))
            continue;
        entry.number = Count();
        entry.path = path.string();
        std::string description;
        entry.name = Utf8Prefix(
            registry.GetString(key, "Description", description) ? description : subkey, 127);
        m_entries.push_back(std::move(entry));
    }
}

int AsioDriverList::Open(int number)
{
    if (number < 0 || number >= Count())
        return kNotFound;
    Entry& entry = m_entries[static_cast<size_t>(number)];
    if (entry.object)
        return kAlreadyOpen;
    if (AsioDriverObject::Create(entry.path, entry.classId, entry.object)
        != AsioDriverObject::kCreated)
        return kCreateFailed;
    m_current = number;
    AsioSetCurrentDriver(entry.object);
    return 0;
}

void AsioDriverList::ReleaseCurrent()
{
    AsioSetCurrentDriver(nullptr);
    if (m_current >= 0 && m_current < Count())
        m_entries[static_cast<size_t>(m_current)].object.reset();
    m_current = -1;
}

bool AsioDriverList::LoadDriver(const std::string& name)
{
    for (const Entry& entry : m_entries) {
        if (DisplayName(entry.name) != name)
            continue;
        const std::string previous
            = m_current >= 0 ? DisplayName(At(m_current).name) : std::string();
        ReleaseCurrent();
        if (Open(entry.number) == 0)
            return true;
        if (!previous.empty() && previous != name)
            LoadDriver(previous);
        return false;
    }
    return false;
}

} // namespace kerrion
