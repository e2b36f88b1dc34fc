#include "platform/wave/AlsaTestSetup.h"

#include <alsa/asoundlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace kerrion::test {

namespace {

bool JackPluginInstalled()
{
    for (const char* dir : { "/usr/lib/x86_64-linux-gnu/alsa-lib",
             "/usr/lib/aarch64-linux-gnu/alsa-lib", "/usr/lib64/alsa-lib", "/usr/lib/alsa-lib" }) {
        if (std::filesystem::exists(std::filesystem::path(dir) / "libasound_module_pcm_jack.so"))
            return true;
    }
    return false;
}

} // namespace

AlsaTestConfig::AlsaTestConfig(const std::string& definitions)
{
    const std::filesystem::path file = m_dir / "asound.conf";
    std::ofstream(file) << definitions;
    const std::string path = std::string(snd_config_topdir()) + "/alsa.conf:" + file.string();
    setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
    // The system's `jack` PCM is listed too: pointed at a server nobody runs, listing never
    // attaches to a JACK server of someone else's on the same machine (a JackServer of the
    // test's own names itself the default afterwards).
    const std::string nobody = "kerrion-test-none-" + std::to_string(getpid());
    setenv("JACK_DEFAULT_SERVER", nobody.c_str(), 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
}

AlsaTestConfig::~AlsaTestConfig()
{
    unsetenv("ALSA_CONFIG_PATH");
    unsetenv("JACK_DEFAULT_SERVER");
    snd_config_update_free_global();
}

std::string FilePcmDefinition(
    const std::string& name, const std::filesystem::path& infile, const std::string& description)
{
    return "pcm." + name + " {\n  type file\n  slave.pcm \"null\"\n  file \"/dev/null\"\n"
        + "  infile \"" + infile.string() + "\"\n  format \"raw\"\n"
        + "  hint { show on description \"" + description + "\" }\n}\n";
}

std::string JackPcmDefinition(const std::string& name, const std::string& description)
{
    // A short client name: the plug-in warns on stderr when the default one is too long.
    return "pcm." + name + " {\n  type jack\n  name \"kerrion-test\"\n"
        + "  capture_ports { 0 system:capture_1 1 system:capture_2 }\n"
        + "  playback_ports { 0 system:playback_1 1 system:playback_2 }\n"
        + "  hint { show on description \"" + description + "\" }\n}\n";
}

std::string RampBytes(uint32_t firstFrame, uint32_t frames)
{
    std::string bytes;
    bytes.reserve(frames * 4u);
    for (uint32_t frame = firstFrame; frame < firstFrame + frames; ++frame) {
        const auto left = static_cast<int16_t>((frame * 7u) % 32768u);
        const auto right = static_cast<int16_t>(-left);
        for (const int16_t sample : { left, right }) {
            const auto value = static_cast<uint16_t>(sample);
            bytes.push_back(static_cast<char>(value & 0xFF));
            bytes.push_back(static_cast<char>(value >> 8));
        }
    }
    return bytes;
}

std::string StereoSineBytes(
    uint32_t frames, uint32_t rate, double frequency, double leftDb, double rightDb)
{
    const double pi = std::acos(-1.0);
    const double left = 32768.0 * std::pow(10.0, leftDb / 20.0);
    const double right = 32768.0 * std::pow(10.0, rightDb / 20.0);
    std::string bytes;
    bytes.reserve(frames * 4u);
    for (uint32_t frame = 0; frame < frames; ++frame) {
        // The phase from the frame number alone: no error builds up over a long signal.
        const double s = std::sin(2.0 * pi * frequency * frame / rate);
        for (const double amplitude : { left, right }) {
            const auto value = static_cast<uint16_t>(
                static_cast<int16_t>(std::lround(std::clamp(amplitude * s, -32768.0, 32767.0))));
            bytes.push_back(static_cast<char>(value & 0xFF));
            bytes.push_back(static_cast<char>(value >> 8));
        }
    }
    return bytes;
}

bool JackPcmAvailable(std::string& reason)
{
    if (!JackServer::Available(reason))
        return false;
    if (JackPluginInstalled())
        return true;
    reason = "ALSA's jack plug-in is not installed (libasound2-plugins)";
    return false;
}

void HeaderCollector::Callback(uint32_t message, void* instance, WaveHeader* header)
{
    auto* self = static_cast<HeaderCollector*>(instance);
    {
        std::lock_guard lock(self->m_mutex);
        if (header != nullptr)
            self->m_buffers.push_back(
                { message, header, header->bytesRecorded, std::this_thread::get_id() });
        else
            self->m_otherMessages.push_back(message);
    }
    self->m_changed.notify_all();
}

bool HeaderCollector::WaitFor(std::size_t count, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_buffers.size() >= count; });
}

std::vector<HeaderCollector::Returned> HeaderCollector::Buffers()
{
    std::lock_guard lock(m_mutex);
    return m_buffers;
}

std::vector<uint32_t> HeaderCollector::OtherMessages()
{
    std::lock_guard lock(m_mutex);
    return m_otherMessages;
}

WaveFormat PcmFormat(uint16_t channels, uint16_t bits, uint32_t rate)
{
    WaveFormat format;
    format.channels = channels;
    format.bitsPerSample = bits;
    format.samplesPerSecond = rate;
    format.blockAlign = static_cast<uint16_t>(channels * bits / 8);
    format.averageBytesPerSecond = rate * format.blockAlign;
    return format;
}

TestBuffers::TestBuffers(std::size_t count, uint32_t bytes)
    : memory(count, std::vector<uint8_t>(bytes))
    , headers(std::make_unique<WaveHeader[]>(count))
{
    for (std::size_t i = 0; i < count; ++i) {
        headers[i].data = memory[i].data();
        headers[i].bufferLength = bytes;
        headers[i].user = i;
    }
}

} // namespace kerrion::test
