// Feeds arbitrary bytes to the registry reader as the contents of a user's asio.reg, once into an
// empty registry and once on top of a shipped driver file (so deletions and overrides meet keys
// that exist), then walks the keys the way the ASIO driver list does. Besides crashes and
// sanitizer reports it checks that the lookups agree with one another.
#include "platform/asio/AsioDriver.h"
#include "platform/asio/AsioRegistryFiles.h"
#include "platform/asio/Registry.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

const char* kShipped = "Windows Registry Editor Version 5.00\r\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\Kerrion Signal]\r\n"
                       "\"CLSID\"=\"{6B3E1D52-8A47-4F0C-9E21-3C5D7A9B0F14}\"\r\n"
                       "\"Description\"=\"Kerrion Signal\"\r\n"
                       "[HKEY_CLASSES_ROOT\\CLSID\\{6B3E1D52-8A47-4F0C-9E21-3C5D7A9B0F14}"
                       "\\InprocServer32]\r\n"
                       "@=\"kerrion_asio_signal.so\"\r\n";

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// The lookups of the driver list, with the invariants that tie them together.
void WalkDrivers(const kerrion::Registry& registry, const std::string& folder)
{
    const auto subkeys = registry.SubKeys(kerrion::kAsioDriversKey);
    for (size_t i = 0; i < subkeys.size(); ++i) {
        const std::string key = std::string(kerrion::kAsioDriversKey) + "\\" + subkeys[i];
        Check(!subkeys[i].empty() && registry.HasKey(key)); // no child without its key
        for (size_t j = 0; j < i; ++j)
            Check(kerrion::AsciiLower(subkeys[j]) != kerrion::AsciiLower(subkeys[i]));
        std::string clsid;
        std::string description;
        registry.GetString(key, "Description", description);
        if (!registry.GetString(key, "CLSID", clsid))
            continue;
        std::string same;
        Check(registry.GetString(key, "clsid", same) && same == clsid);
        kerrion::AsioClassId id {};
        kerrion::ParseClassId(clsid.c_str(), id);
        const std::string server = std::string(kerrion::kClassIdsKey) + "\\"
            + kerrion::AsciiLower(clsid) + "\\InprocServer32";
        std::string library;
        const bool found = registry.GetString(server, "", library);
        std::string byAt;
        Check(found == registry.GetString(server, "@", byAt) && library == byAt);
        // Values are only written under a [key] line, which records the folder of its file.
        const auto keyFolder = registry.KeyFolder(server);
        Check(!found || keyFolder == folder || keyFolder == "/usr/share/kerrion");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    kerrion::Registry alone;
    const int loaded = alone.LoadText(text, "/home/user/.config");
    Check(loaded == 0 || loaded == 1);
    WalkDrivers(alone, "/home/user/.config");

    kerrion::Registry merged;
    Check(merged.LoadText(kShipped, "/usr/share/kerrion") == 1);
    Check(merged.LoadText(text, "/home/user/.config") == loaded);
    WalkDrivers(merged, "/home/user/.config");
    return 0;
}
