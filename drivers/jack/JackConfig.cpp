#include "JackConfig.h"

#include "DriverIni.h"

#include <algorithm>

namespace kerrion::jack {

std::filesystem::path JackConfigPath()
{
    return driver::DriverConfigPath("KERRION_JACK_CONFIG", "jack.ini");
}

JackConfig LoadJackConfig(const std::filesystem::path& path)
{
    JackConfig config;
    const auto sections = driver::ReadIniFile(path);
    const auto found = sections.find("jack");
    if (found == sections.end())
        return config;
    const driver::IniSection& s = found->second;
    config.inputs
        = static_cast<int>(driver::IniInteger(s, "inputs", config.inputs, 1, kMaxChannels));
    config.outputs
        = static_cast<int>(driver::IniInteger(s, "outputs", config.outputs, 0, kMaxChannels));
    config.autoConnect = driver::IniNumber(s, "autoconnect", 1) != 0;
    return config;
}

} // namespace kerrion::jack
