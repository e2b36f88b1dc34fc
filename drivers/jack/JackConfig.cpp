#include "JackConfig.h"

#include "DriverIni.h"

#include <algorithm>
#include <cmath>

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
    config.bufferPeriods = static_cast<int>(
        driver::IniInteger(s, "bufferperiods", config.bufferPeriods, 0, kMaxBufferPeriods));
    return config;
}

int BufferPeriods(const JackConfig& config, uint32_t periodFrames, uint32_t rate)
{
    if (config.bufferPeriods > 0)
        return config.bufferPeriods;
    constexpr double kBufferSeconds = 0.010;
    const double wanted = kBufferSeconds * rate / std::max<uint32_t>(1, periodFrames);
    return std::clamp(static_cast<int>(std::ceil(wanted - 1e-9)), 1, kMaxBufferPeriods);
}

} // namespace kerrion::jack
