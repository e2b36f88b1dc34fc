#include "SignalConfig.h"

#include "DriverIni.h"
#include "platform/text/AsciiText.h"

#include <algorithm>

namespace kerrion::signal {
namespace {

using driver::IniInteger;
using driver::IniNumber;

constexpr double kMaxLevelDb = 20.0;
constexpr double kMaxBurstMs = 3600000.0;
constexpr int64_t kMaxCount = int64_t { 1 } << 53;

SourceKind ParseSource(std::string_view text, SourceKind fallback)
{
    const std::string name = AsciiLower(text);
    if (name == "sine")
        return SourceKind::Sine;
    if (name == "noise")
        return SourceKind::Noise;
    if (name == "silence")
        return SourceKind::Silence;
    if (name == "file")
        return SourceKind::File;
    if (name == "burst")
        return SourceKind::Burst;
    return fallback;
}

// The demo: a 0 VU reference tone on input 1 and something different on each other input.
void SetDefaultInputs(SignalConfig& config)
{
    struct Demo {
        SourceKind source;
        double frequency;
        double level;
    };
    const Demo demo[8] = {
        { SourceKind::Sine, 1000.0, -20.0 },
        { SourceKind::Sine, 440.0, -10.0 },
        { SourceKind::Sine, 100.0, -30.0 },
        { SourceKind::Noise, 0.0, -24.0 },
        { SourceKind::Burst, 1000.0, -6.0 },
        { SourceKind::Sine, 10000.0, -3.0 },
        { SourceKind::Silence, 0.0, -96.0 },
        { SourceKind::Sine, 60.0, -40.0 },
    };
    for (int i = 0; i < 8; ++i) {
        config.input[i].source = demo[i].source;
        config.input[i].frequency = demo[i].frequency;
        config.input[i].level = demo[i].level;
    }
}

void ReadInput(const CIniProfile& ini, std::string_view section,
    const std::filesystem::path& folder, InputSettings& input)
{
    InputSettings fresh; // a section of its own starts from a 1 kHz sine at -20 dBFS
    fresh.source = SourceKind::Sine;
    const auto source = ini.FindValue(section, "Source");
    input.source = source ? ParseSource(*source, fresh.source) : fresh.source;
    input.frequency = IniNumber(ini, section, "Frequency", fresh.frequency);
    // Beyond +20 dBFS every sample clips anyway; the bound keeps the amplitude finite.
    input.level = std::min(kMaxLevelDb, IniNumber(ini, section, "Level", fresh.level));
    // An hour at most, so that the lengths in frames fit their counters.
    input.burstOn = std::clamp(IniNumber(ini, section, "BurstOn", fresh.burstOn), 1.0, kMaxBurstMs);
    input.burstOff
        = std::clamp(IniNumber(ini, section, "BurstOff", fresh.burstOff), 0.0, kMaxBurstMs);
    // A file name is taken as the file holds it: a path is bytes, not text to convert.
    const auto file = ini.FindValue(section, "File");
    input.file = file ? folder / std::string(*file) : std::filesystem::path();
    input.fileChannel = static_cast<int>(IniInteger(ini, section, "FileChannel", 1, 1, 65535));
    input.loop = IniNumber(ini, section, "Loop", 1) != 0;
}

} // namespace

std::filesystem::path SignalConfigPath()
{
    return driver::DriverConfigPath("KERRION_SIGNAL_CONFIG", "signal.ini");
}

SignalConfig LoadSignalConfig(const std::filesystem::path& path)
{
    return ReadSignalConfig(driver::ReadDriverIni(path), path.parent_path());
}

SignalConfig ReadSignalConfig(const CIniProfile& ini, const std::filesystem::path& folder)
{
    SignalConfig config;
    SetDefaultInputs(config);
    constexpr std::string_view s = "Signal";
    config.inputs = static_cast<int>(IniInteger(ini, s, "Inputs", config.inputs, 0, kMaxChannels));
    config.outputs
        = static_cast<int>(IniInteger(ini, s, "Outputs", config.outputs, 0, kMaxChannels));
    config.rate = std::clamp(IniNumber(ini, s, "Rate", config.rate), 1000.0, 768000.0);
    config.bufferFrames
        = static_cast<int>(IniInteger(ini, s, "BufferFrames", config.bufferFrames, 16, 16384));
    // Codes outside the published ones are refused later as unknown types.
    config.sampleType
        = static_cast<int32_t>(IniInteger(ini, s, "SampleType", config.sampleType, -1, 1000));
    config.speed = std::clamp(IniNumber(ini, s, "Speed", config.speed), 0.01, 1000.0);
    config.stallAfter = static_cast<uint64_t>(IniInteger(ini, s, "StallAfter", 0, 0, kMaxCount));
    config.failInit = IniNumber(ini, s, "FailInit", 0) != 0;
    for (int i = 0; i < kMaxChannels; ++i) {
        const std::string section = "Input" + std::to_string(i + 1);
        if (ini.HasSection(section))
            ReadInput(ini, section, folder, config.input[static_cast<size_t>(i)]);
    }
    return config;
}

std::string DefaultSignalConfigText()
{
    return "; Kerrion Signal Generator: a driver that behaves like audio hardware.\n"
           "; Changes take effect when the driver is next initialised (next device selection).\n"
           "\n"
           "[Signal]\n"
           "Inputs=8\n"
           "Outputs=2\n"
           "; Hz\n"
           "Rate=48000\n"
           "BufferFrames=512\n"
           "; ASIO sample type: 16 Int16, 17 Int24, 18 Int32, 19 Float32, 20 Float64,\n"
           "; 24-27 Int32 with 16/18/20/24-bit content; 0-4 and 8-11 the big-endian ones\n"
           "SampleType=18\n"
           "; 1 = real time; 10 = the clock runs ten times faster\n"
           "Speed=1.0\n"
           "; stop switching buffers after this many switches (0 = never)\n"
           "StallAfter=0\n"
           "; 1 = initialisation fails\n"
           "FailInit=0\n"
           "\n"
           "; [Input1] .. [Input64]: Source = sine | noise | silence | file | burst\n"
           "; Frequency in Hz; Level in dBFS (peak of a sine or burst, RMS of noise);\n"
           "; burst: BurstOn, BurstOff in ms; file: File (16-bit PCM WAVE, at most 64 MiB),\n"
           "; FileChannel, Loop\n"
           "[Input1]\nSource=sine\nFrequency=1000\nLevel=-20\n\n"
           "[Input2]\nSource=sine\nFrequency=440\nLevel=-10\n\n"
           "[Input3]\nSource=sine\nFrequency=100\nLevel=-30\n\n"
           "[Input4]\nSource=noise\nLevel=-24\n\n"
           "[Input5]\nSource=burst\nFrequency=1000\nLevel=-6\nBurstOn=250\nBurstOff=750\n\n"
           "[Input6]\nSource=sine\nFrequency=10000\nLevel=-3\n\n"
           "[Input7]\nSource=silence\n\n"
           "[Input8]\nSource=sine\nFrequency=60\nLevel=-40\n";
}

} // namespace kerrion::signal
