#include "platform/wave/AlsaTestSetup.h"

#include "platform/wave/AlsaSupport.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace kerrion::test {

namespace {

constexpr auto kServerStartPatience = std::chrono::milliseconds(5000);
constexpr auto kPollStep = std::chrono::milliseconds(50);

bool ExecutableOnPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::filesystem::path candidate
            = std::filesystem::path(dirs.substr(start, end - start)) / program;
        if (access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

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

JackServer::JackServer()
{
    static std::atomic<int> counter = 0;
    m_name = "kerrion-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    setenv("JACK_DEFAULT_SERVER", m_name.c_str(), 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
}

JackServer::~JackServer()
{
    if (m_killed)
        ReclaimName();
    Stop();
    RemoveSharedMemory();
}

bool JackServer::Available() { return ExecutableOnPath("jackd") && JackPluginInstalled(); }

bool JackServer::Spawn()
{
    if (m_pid > 0)
        return false;
    // Everything the child needs is made before fork: after it, only exec-safe calls.
    const std::string name = m_name;
    const char* argv[] = { "jackd", "--no-realtime", "-n", name.c_str(), "-d", "dummy", "-r",
        "44100", "-p", "1024", "-C", "2", "-P", "2", nullptr };
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        // Ends with the test even when the test crashes, and cleanly: a server that dies by
        // SIGKILL keeps its slot in JACK's registry of servers, which holds only eight.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        const int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        execvp("jackd", const_cast<char* const*>(argv));
        _exit(127);
    }
    m_pid = pid;
    m_killed = false;
    return true;
}

bool JackServer::WaitUntil(bool (*ready)())
{
    const auto deadline = std::chrono::steady_clock::now() + kServerStartPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return false;
        }
        if (ready())
            return true;
        std::this_thread::sleep_for(kPollStep);
    }
    Stop();
    return false;
}

bool JackServer::Start() { return Spawn() && WaitUntil(&JackServer::Responds); }

// Ready once a client gets through: a jack PCM of its own (not the test's configuration) opens.
bool JackServer::Responds()
{
    PrepareAlsa(); // quiet while the server is not up yet
    static const std::string kDefinition
        = "pcm.ready { type jack capture_ports { 0 system:capture_1 } }";
    snd_config_t* config = nullptr;
    snd_input_t* input = nullptr;
    if (snd_config_top(&config) < 0)
        return false;
    bool ready = false;
    if (snd_input_buffer_open(&input, kDefinition.data(), static_cast<ssize_t>(kDefinition.size()))
        == 0) {
        snd_pcm_t* pcm = nullptr;
        if (snd_config_load(config, input) == 0
            && snd_pcm_open_lconf(&pcm, "ready", SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK, config)
                == 0) {
            snd_pcm_close(pcm);
            ready = true;
        }
        snd_input_close(input);
    }
    snd_config_delete(config);
    return ready;
}

void JackServer::Kill()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGKILL);
    Reap(std::chrono::milliseconds(2000));
    RemoveSharedMemory();
    m_killed = true;
}

// A server started under the name of a killed one takes over its registry slot; stopped
// cleanly, it gives the slot back.
void JackServer::ReclaimName()
{
    if (Spawn())
        WaitUntil(&JackServer::Responds);
}

void JackServer::Stop()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    Reap(std::chrono::milliseconds(2000));
}

void JackServer::Reap(std::chrono::milliseconds patience)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

// A server that was killed leaves its semaphores and segments behind, named after it.
void JackServer::RemoveSharedMemory() const
{
    std::error_code error;
    const std::string mark = "_" + m_name + "_";
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", error)) {
        if (entry.path().filename().string().find(mark) != std::string::npos)
            std::filesystem::remove(entry.path(), error);
    }
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
