#include "JackDriver.h"

#include "DriverReplies.h"
#include "GuardedDriver.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace kerrion::jack {
namespace {

// libjack prints every failed connection attempt; the driver reports through its own message.
void Quiet(const char*) { }

// in_1 .. for capture channel 0 .., out_1 .. for playback channel 0 ..
std::string PortName(bool input, int channel)
{
    return (input ? "in_" : "out_") + std::to_string(channel + 1);
}

std::string ServerDescription()
{
    const char* name = std::getenv("JACK_DEFAULT_SERVER");
    if (name == nullptr || name[0] == '\0')
        return "JACK server";
    return std::string("JACK server \"") + name + "\"";
}

} // namespace

JackDriver::JackDriver() { sem_init(&m_notify, 0, 0); }

JackDriver::~JackDriver()
{
    CloseClient();
    StopNotifier();
    sem_destroy(&m_notify);
}

void JackDriver::Release() { delete this; }

ASIOBool JackDriver::init(void*)
{
    CloseClient();
    StopNotifier();
    std::lock_guard lock(m_clientMutex);
    m_configPath = JackConfigPath();
    m_config = LoadJackConfig(m_configPath);
    m_routing = m_savedRouting = JackRouting::Load(m_configPath);
    if (!OpenClient())
        return ASIOFalse;
    if (!RegisterPorts()) {
        CloseClient();
        return ASIOFalse;
    }
    m_quitNotifier = false;
    m_notifier = std::thread(&JackDriver::RunNotifier, this);
    return ASIOTrue;
}

bool JackDriver::OpenClient()
{
    jack_set_error_function(&Quiet);
    jack_set_info_function(&Quiet);
    jack_status_t status {};
    m_client = jack_client_open(kJackClientName, JackNoStartServer, &status);
    if (m_client == nullptr) {
        if ((status & JackServerFailed) != 0)
            m_error = ServerDescription() + " not running";
        else
            m_error = "Cannot connect to the " + ServerDescription() + " (JACK status "
                + std::to_string(static_cast<unsigned>(status)) + ")";
        return false;
    }
    m_trouble = 0;
    m_unreported = 0;
    m_rate = jack_get_sample_rate(m_client);
    TakeServerSize();
    // Registered before activation, as JACK asks; each only notes the change.
    jack_set_process_callback(m_client, &JackDriver::OnProcess, this);
    jack_set_buffer_size_callback(m_client, &JackDriver::OnBufferSize, this);
    jack_set_sample_rate_callback(m_client, &JackDriver::OnSampleRate, this);
    jack_on_info_shutdown(m_client, &JackDriver::OnShutdown, this);
    jack_set_port_connect_callback(m_client, &JackDriver::OnPortConnect, this);
    jack_set_port_registration_callback(m_client, &JackDriver::OnPortRegistration, this);
    return true;
}

bool JackDriver::RegisterPorts()
{
    for (int direction = 0; direction < 2; ++direction) {
        const bool input = direction == 0;
        const int count = input ? m_config.inputs : m_config.outputs;
        auto& ports = input ? m_inputPorts : m_outputPorts;
        for (int i = 0; i < count; ++i) {
            const std::string name = PortName(input, i);
            jack_port_t* port = jack_port_register(m_client, name.c_str(), JACK_DEFAULT_AUDIO_TYPE,
                input ? JackPortIsInput : JackPortIsOutput, 0);
            if (port == nullptr) {
                m_error
                    = "Cannot register the JACK port " + std::string(kJackClientName) + ":" + name;
                return false;
            }
            ports.push_back(port);
        }
    }
    return true;
}

void JackDriver::CloseClient()
{
    std::lock_guard lock(m_clientMutex);
    if (m_client != nullptr && (m_trouble.load() & kServerGone) != 0)
        WaitOutCloseGrace();
    if (m_client != nullptr) {
        m_running = false;
        RememberConnections(); // deactivating disconnects every port
        if (m_active)
            jack_deactivate(m_client); // returns once the process thread has left the client
        m_active = false;
        // Never from a JACK callback: from the host's threads or the notifier.
        jack_client_close(m_client);
        m_client = nullptr;
        SaveConnections();
    }
    m_inputPorts.clear();
    m_outputPorts.clear();
}

// A stopping server still writes to its clients and dies of SIGPIPE if one has closed: the host
// that releases the driver at once after the server's shutdown notice (it ends its run at once)
// waits until the notice is kCloseGraceMilliseconds old.
void JackDriver::WaitOutCloseGrace() const
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const int64_t age
        = static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000 - m_goneAtMs.load();
    if (age >= 0 && age < kCloseGraceMilliseconds)
        std::this_thread::sleep_for(std::chrono::milliseconds(kCloseGraceMilliseconds - age));
}

void JackDriver::getDriverName(char* name) { CopyText(name, 32, kJackDriverName); }

int32_t JackDriver::getDriverVersion() { return 1; }

void JackDriver::getErrorMessage(char* string) { CopyText(string, 124, m_error); }

bool JackDriver::CheckUsable()
{
    const uint32_t trouble = m_trouble.load();
    if ((trouble & kServerGone) != 0) {
        m_error = "The JACK server has shut down";
        return false;
    }
    if (m_client == nullptr) {
        m_error = "Not connected to a JACK server";
        return false;
    }
    if ((trouble & kSizeChanged) != 0) {
        m_error = "The JACK server's buffer size changed to " + std::to_string(m_newFrames.load())
            + " frames; select the device again";
        return false;
    }
    if ((trouble & kRateChanged) != 0) {
        m_error = "The JACK server's sample rate changed to " + std::to_string(m_rate.load())
            + " Hz; select the device again";
        return false;
    }
    return true;
}

ASIOError JackDriver::start()
{
    std::lock_guard lock(m_clientMutex);
    if (m_channels.empty())
        return ASE_InvalidMode;
    if (!CheckUsable())
        return ASE_HWMalfunction;
    if (m_running.load())
        return ASE_OK;
    // The process thread reads these only once it sees m_running set.
    m_half = 0;
    m_cycle = 0;
    std::fill(m_samples.begin(), m_samples.end(), 0); // no output of a former run is played
    m_framesSwitched = 0;
    m_samplePosition = 0;
    m_running = true;
    return ASE_OK;
}

ASIOError JackDriver::stop()
{
    m_running = false;
    // Once stop returns the host may free what its buffer switch uses, so a switch under way is
    // waited for (not from inside it, and not for ever if the host's switch never returns).
    const bool onProcessThread = pthread_equal(pthread_self(), m_processThread.load()) != 0;
    for (int i = 0; i < 10000 && !onProcessThread && m_inSwitch.load(); ++i)
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    return ASE_OK;
}

int JackDriver::ChannelLimit(bool input) const
{
    // Like many drivers, a mono (or output-less) device still takes a stereo pair of buffers:
    // the missing channel records silence or plays nowhere.
    return std::max(input ? m_config.inputs : m_config.outputs, 2);
}

ASIOError JackDriver::getChannels(int32_t* numInputChannels, int32_t* numOutputChannels)
{
    std::lock_guard lock(m_clientMutex);
    if (m_client == nullptr)
        return ASE_NotPresent;
    *numInputChannels = m_config.inputs;
    *numOutputChannels = m_config.outputs;
    return ASE_OK;
}

ASIOError JackDriver::getLatencies(int32_t* inputLatency, int32_t* outputLatency)
{
    std::lock_guard lock(m_clientMutex);
    if (m_client == nullptr)
        return ASE_NotPresent;
    // One buffer on each side plus what the ports' connections report (0 while unconnected);
    // output gathered over several periods is played a buffer later.
    const auto frames = static_cast<int32_t>(m_bufferFrames.load());
    jack_latency_range_t range { 0, 0 };
    if (!m_inputPorts.empty())
        jack_port_get_latency_range(m_inputPorts[0], JackCaptureLatency, &range);
    *inputLatency = frames + static_cast<int32_t>(range.max);
    range = { 0, 0 };
    if (!m_outputPorts.empty())
        jack_port_get_latency_range(m_outputPorts[0], JackPlaybackLatency, &range);
    *outputLatency = frames * (m_periods.load() > 1 ? 2 : 1) + static_cast<int32_t>(range.max);
    return ASE_OK;
}

void JackDriver::TakeServerSize()
{
    const jack_nframes_t period = jack_get_buffer_size(m_client);
    const int periods = BufferPeriods(m_config, period, m_rate.load());
    m_periodFrames = period;
    m_periods = periods;
    m_bufferFrames = period * static_cast<uint32_t>(periods);
}

ASIOError JackDriver::getBufferSize(
    int32_t* minSize, int32_t* maxSize, int32_t* preferredSize, int32_t* granularity)
{
    std::lock_guard lock(m_clientMutex);
    if (m_client == nullptr)
        return ASE_NotPresent;
    // A whole number of the server's periods, chosen here: the host cannot choose another.
    if (m_channels.empty())
        TakeServerSize();
    *minSize = *maxSize = *preferredSize = static_cast<int32_t>(m_bufferFrames.load());
    *granularity = 0;
    return ASE_OK;
}

ASIOError JackDriver::canSampleRate(ASIOSampleRate sampleRate)
{
    std::lock_guard lock(m_clientMutex);
    if (m_client == nullptr)
        return ASE_NotPresent;
    return sampleRate == static_cast<double>(m_rate.load()) ? ASE_OK : ASE_NoClock;
}

ASIOError JackDriver::getSampleRate(ASIOSampleRate* sampleRate)
{
    std::lock_guard lock(m_clientMutex);
    if (m_client == nullptr)
        return ASE_NotPresent;
    *sampleRate = m_rate.load();
    return ASE_OK;
}

ASIOError JackDriver::setSampleRate(ASIOSampleRate sampleRate)
{
    std::lock_guard lock(m_clientMutex);
    if (m_client == nullptr)
        return ASE_NotPresent;
    // 0 asks for the external clock, which the server is.
    if (sampleRate == 0.0 || canSampleRate(sampleRate) == ASE_OK)
        return ASE_OK;
    m_error = "The JACK server runs at " + std::to_string(m_rate.load()) + " Hz, not "
        + std::to_string(static_cast<long>(sampleRate)) + " Hz; its rate is set in the server";
    return ASE_NoClock;
}

ASIOError JackDriver::getClockSources(ASIOClockSource* clocks, int32_t* numSources)
{
    return ReportSingleClockSource(clocks, numSources, "JACK server");
}

ASIOError JackDriver::setClockSource(int32_t reference)
{
    return reference == 0 ? ASE_OK : ASE_InvalidParameter;
}

ASIOError JackDriver::getSamplePosition(ASIOSamples* samplePosition, ASIOTimeStamp* timeStamp)
{
    if (!m_running.load() || m_trouble.load() != 0)
        return ASE_SPNotAdvancing;
    *samplePosition = Split(m_samplePosition.load());
    *timeStamp = Split(m_systemTime.load());
    return ASE_OK;
}

ASIOError JackDriver::getChannelInfo(ASIOChannelInfo* info)
{
    std::lock_guard lock(m_clientMutex);
    if (m_client == nullptr)
        return ASE_NotPresent;
    const bool input = info->isInput != 0;
    if (info->channel < 0 || info->channel >= ChannelLimit(input))
        return ASE_InvalidParameter;
    info->isActive = ASIOFalse;
    for (const Channel& channel : m_channels) {
        if (channel.isInput == input && channel.number == info->channel)
            info->isActive = ASIOTrue;
    }
    info->channelGroup = 0;
    info->type = ASIOSTInt32LSB;
    const auto& ports = input ? m_inputPorts : m_outputPorts;
    const bool hasPort = static_cast<size_t>(info->channel) < ports.size();
    CopyText(info->name, sizeof info->name,
        hasPort ? PortName(input, info->channel) : std::string("(none)"));
    return ASE_OK;
}

ASIOError JackDriver::createBuffers(
    ASIOBufferInfo* bufferInfos, int32_t numChannels, int32_t bufferSize, ASIOCallbacks* callbacks)
{
    std::lock_guard lock(m_clientMutex);
    if (!m_channels.empty())
        return ASE_InvalidMode;
    if (!CheckUsable())
        return m_client == nullptr ? ASE_NotPresent : ASE_HWMalfunction;
    TakeServerSize();
    if (callbacks == nullptr || numChannels <= 0
        || bufferSize != static_cast<int32_t>(m_bufferFrames.load()))
        return ASE_InvalidParameter;
    for (int32_t i = 0; i < numChannels; ++i) {
        if (bufferInfos[i].channelNum < 0
            || bufferInfos[i].channelNum >= ChannelLimit(bufferInfos[i].isInput != 0))
            return ASE_InvalidParameter;
    }
    const auto frames = static_cast<size_t>(bufferSize);
    m_samples.assign(frames * 2 * static_cast<size_t>(numChannels), 0);
    m_channels.resize(static_cast<size_t>(numChannels));
    for (int32_t i = 0; i < numChannels; ++i) {
        Channel& channel = m_channels[static_cast<size_t>(i)];
        channel.isInput = bufferInfos[i].isInput != 0;
        channel.number = bufferInfos[i].channelNum;
        const auto& ports = channel.isInput ? m_inputPorts : m_outputPorts;
        channel.port = static_cast<size_t>(channel.number) < ports.size()
            ? ports[static_cast<size_t>(channel.number)]
            : nullptr;
        for (int half = 0; half < 2; ++half) {
            channel.halves[half] = m_samples.data() + frames * static_cast<size_t>(2 * i + half);
            bufferInfos[i].buffers[half] = channel.halves[half];
        }
    }
    {
        std::lock_guard callbackLock(m_callbackMutex);
        m_callbacks = *callbacks;
    }
    m_timeInfoMode = m_callbacks.asioMessage != nullptr
        && m_callbacks.bufferSwitchTimeInfo != nullptr
        && m_callbacks.asioMessage(kAsioSelectorSupported, kAsioSupportsTimeInfo, nullptr, nullptr)
            == 1
        && m_callbacks.asioMessage(kAsioSupportsTimeInfo, 0, nullptr, nullptr) == 1;
    if (jack_activate(m_client) != 0) {
        m_error = "Cannot activate the JACK client";
        disposeBuffers();
        return ASE_HWMalfunction;
    }
    m_active = true;
    RestoreConnections();
    return ASE_OK;
}

ASIOError JackDriver::disposeBuffers()
{
    std::lock_guard lock(m_clientMutex);
    stop();
    // After the server went away the client is closed already (by the notifier).
    if (m_active) {
        RememberConnections(); // deactivating disconnects every port
        // Returns once the process thread has left the client for good.
        jack_deactivate(m_client);
        m_active = false;
    }
    const bool had = !m_channels.empty();
    m_channels.clear();
    m_samples.clear();
    {
        std::lock_guard callbackLock(m_callbackMutex);
        m_callbacks = ASIOCallbacks {};
    }
    // A size or rate change concerned the buffers just freed; the next ones take the new values.
    m_trouble.fetch_and(kServerGone);
    return had ? ASE_OK : ASE_InvalidMode;
}

ASIOError JackDriver::future(int32_t, void*) { return ASE_InvalidParameter; }

ASIOError JackDriver::outputReady()
{
    // The output half is converted right after the buffer switch returns, so the notice would
    // gain nothing; saying so keeps the host from calling back during the switch.
    return ASE_NotPresent;
}

} // namespace kerrion::jack

extern "C" __attribute__((visibility("default"))) int32_t KerrionAsioCreateDriver(
    const kerrion::AsioClassId* classId, uint32_t interfaceVersion, kerrion::IAsioDriver** driver)
{
    return kerrion::driver::CreateGuardedDriver(classId, interfaceVersion,
        kerrion::jack::kJackClassId, driver, [] { return new kerrion::jack::JackDriver(); });
}
