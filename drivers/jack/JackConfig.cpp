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
    return ReadJackConfig(driver::ReadDriverIni(path));
}

JackConfig ReadJackConfig(const CIniProfile& ini)
{
    using driver::IniInteger;
    constexpr std::string_view s = "JACK";
    JackConfig config;
    config.inputs = static_cast<int>(IniInteger(ini, s, "Inputs", config.inputs, 1, kMaxChannels));
    config.outputs
        = static_cast<int>(IniInteger(ini, s, "Outputs", config.outputs, 0, kMaxChannels));
    config.autoConnect = driver::IniNumber(ini, s, "AutoConnect", 1) != 0;
    config.bufferPeriods = static_cast<int>(
        IniInteger(ini, s, "BufferPeriods", config.bufferPeriods, 0, kMaxBufferPeriods));
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
