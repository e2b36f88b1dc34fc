// Feeds arbitrary bytes to the settings reader as the contents of Kerrion.ini, then checks that
// saving is stable: a record loaded from a saved file saves to the very same text.
#include "app/IniProfile.h"
#include "app/SettingsRecord.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CIniProfile profile(std::string(reinterpret_cast<const char*>(data), size));
    CSettingsRecord first;
    first.Load(profile);
    first.Save(profile);

    CIniProfile reread(profile.Text());
    CSettingsRecord second;
    second.Load(reread);
    second.Save(reread);
    if (reread.Text() != profile.Text())
        std::abort();
    return 0;
}
