#include "SignalConfig.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string_view>

namespace kerrion::signal {
namespace {

using Section = std::map<std::string, std::string>; // lower-case key -> value

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return out;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::map<std::string, Section> ReadIni(const std::filesystem::path& path)
{
    std::map<std::string, Section> sections;
    std::ifstream in(path);
    std::string line;
    Section* current = nullptr;
    while (std::getline(in, line)) {
        const std::string_view text = Trim(line);
        if (text.empty() || text.front() == ';' || text.front() == '#')
            continue;
        if (text.front() == '[' && text.back() == ']') {
            current = &sections[Lower(Trim(text.substr(1, text.size() - 2)))];
            continue;
        }
        const size_t equals = text.find('=');
        if (current != nullptr && equals != std::string_view::npos)
            (*current)[Lower(Trim(text.substr(0, equals)))] = std::string(Trim(text.substr(equals + 1)));
    }
    return sections;
}

double Number(const Section& section, const char* key, double fallback)
{
    const auto found = section.find(key);
    if (found == section.end())
        return fallback;
    char* end = nullptr;
    const double value = std::strtod(found->second.c_str(), &end);
    return end == found->second.c_str() ? fallback : value;
}

SourceKind ParseSource(const std::string& text, SourceKind fallback)
{
    const std::string name = Lower(text);
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
        {SourceKind::Sine, 1000.0, -20.0}, {SourceKind::Sine, 440.0, -10.0},
        {SourceKind::Sine, 100.0, -30.0},  {SourceKind::Noise, 0.0, -24.0},
        {SourceKind::Burst, 1000.0, -6.0}, {SourceKind::Sine, 10000.0, -3.0},
        {SourceKind::Silence, 0.0, -96.0}, {SourceKind::Sine, 60.0, -40.0},
    };
    for (int i = 0; i < 8; ++i) {
        config.input[i].source = demo[i].source;
        config.input[i].frequency = demo[i].frequency;
        config.input[i].level = demo[i].level;
    }
}

void ReadInput(const Section& section, const std::filesystem::path& folder, InputSettings& input)
{
    InputSettings fresh; // a section of its own starts from a 1 kHz sine at -20 dBFS
    fresh.source = SourceKind::Sine;
    const auto source = section.find("source");
    input.source = source == section.end() ? fresh.source : ParseSource(source->second, fresh.source);
    input.frequency = Number(section, "frequency", fresh.frequency);
    input.level = Number(section, "level", fresh.level);
    input.burstOn = std::max(1.0, Number(section, "burston", fresh.burstOn));
    input.burstOff = std::max(0.0, Number(section, "burstoff", fresh.burstOff));
    const auto file = section.find("file");
    input.file = file == section.end() ? std::filesystem::path() : folder / file->second;
    input.fileChannel = std::max(1, static_cast<int>(Number(section, "filechannel", 1)));
    input.loop = Number(section, "loop", 1) != 0;
}

} // namespace

std::filesystem::path SignalConfigPath()
{
    const char* chosen = std::getenv("KERRION_SIGNAL_CONFIG");
    if (chosen != nullptr && chosen[0] != '\0')
        return chosen;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path root;
    if (config != nullptr && config[0] == '/') {
        root = config;
    } else {
        const char* home = std::getenv("HOME");
        root = std::filesystem::path(home != nullptr ? home : "/tmp") / ".config";
    }
    return root / "Marvane/Kerrion/signal.ini";
}

SignalConfig LoadSignalConfig(const std::filesystem::path& path)
{
    SignalConfig config;
    SetDefaultInputs(config);
    const auto sections = ReadIni(path);
    const auto main = sections.find("signal");
    if (main != sections.end()) {
        const Section& s = main->second;
        config.inputs = std::clamp(static_cast<int>(Number(s, "inputs", config.inputs)), 0, kMaxChannels);
        config.outputs = std::clamp(static_cast<int>(Number(s, "outputs", config.outputs)), 0, kMaxChannels);
        config.rate = std::clamp(Number(s, "rate", config.rate), 1000.0, 768000.0);
        config.bufferFrames = std::clamp(static_cast<int>(Number(s, "bufferframes", config.bufferFrames)), 16, 16384);
        config.sampleType = static_cast<int32_t>(Number(s, "sampletype", config.sampleType));
        config.speed = std::clamp(Number(s, "speed", config.speed), 0.01, 1000.0);
        config.stallAfter = static_cast<uint64_t>(std::max(0.0, Number(s, "stallafter", 0)));
        config.failInit = Number(s, "failinit", 0) != 0;
    }
    for (int i = 0; i < kMaxChannels; ++i) {
        const auto section = sections.find("input" + std::to_string(i + 1));
        if (section != sections.end())
            ReadInput(section->second, path.parent_path(), config.input[i]);
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
           "; burst: BurstOn, BurstOff in ms; file: File (16-bit PCM WAVE), FileChannel, Loop\n"
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
