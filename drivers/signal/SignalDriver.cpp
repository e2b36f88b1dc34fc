#include "SignalDriver.h"

#include "DriverReplies.h"
#include "GuardedDriver.h"

#include "SampleWriter.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace kerrion::signal {
namespace {

uint64_t NowNanoseconds()
{
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

} // namespace

SignalDriver::~SignalDriver() { disposeBuffers(); }

void SignalDriver::Release() { delete this; }

ASIOBool SignalDriver::init(void*)
{
    const auto path = SignalConfigPath();
    m_config = LoadSignalConfig(path);
    if (m_config.failInit) {
        m_error = "Signal generator refused to start (FailInit=1 in " + path.string() + ")";
        m_initialised = false;
        return ASIOFalse;
    }
    for (int i = 0; i < kMaxChannels; ++i)
        m_sources[i].Setup(m_config.input[i], m_config.rate, static_cast<uint32_t>(i + 1));
    m_scratch.assign(static_cast<size_t>(m_config.bufferFrames), 0.0);
    m_initialised = true;
    return ASIOTrue;
}

void SignalDriver::getDriverName(char* name) { CopyText(name, 32, kSignalDriverName); }

int32_t SignalDriver::getDriverVersion() { return 1; }

void SignalDriver::getErrorMessage(char* string) { CopyText(string, 124, m_error); }

ASIOError SignalDriver::start()
{
    if (!m_initialised || m_buffers.empty())
        return ASE_InvalidMode;
    if (m_running.load())
        return ASE_OK;
    JoinClock(); // a clock stopped from inside a buffer switch ends here
    m_stopRequested.Store(0);
    m_running = true;
    m_clock = std::thread(&SignalDriver::RunClock, this);
    return ASE_OK;
}

ASIOError SignalDriver::stop()
{
    m_stopRequested.Store(1);
    m_stopRequested.WakeAll();
    // Called from the host's buffer switch the clock cannot be joined here; it ends on return.
    if (m_clock.joinable() && m_clock.get_id() != std::this_thread::get_id())
        m_clock.join();
    m_running = false;
    return ASE_OK;
}

void SignalDriver::JoinClock()
{
    if (m_clock.joinable())
        m_clock.join();
}

void SignalDriver::RunClock()
{
    const std::chrono::duration<double> period(
        m_config.bufferFrames / m_config.rate / m_config.speed);
    const auto begin = std::chrono::steady_clock::now();
    uint64_t switches = 0;
    const auto stopAsked = [this] { return m_stopRequested.Load() != 0; };
    while (!stopAsked()) {
        // Deadlines count from the start, so a late switch does not delay the ones after it.
        const auto deadline = begin
            + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                period * static_cast<double>(switches + 1));
        if (m_stopRequested.WaitUntil(stopAsked, deadline))
            break;
        if (m_config.stallAfter != 0 && switches >= m_config.stallAfter) {
            m_stopRequested.WaitUntil(stopAsked); // a stalled clock: no more switches
            break;
        }
        SwitchBuffers(static_cast<int>(switches & 1u), switches);
        ++switches;
    }
}

void SignalDriver::SwitchBuffers(int half, uint64_t switches)
{
    const int frames = m_config.bufferFrames;
    for (Buffer& buffer : m_buffers) {
        if (!buffer.isInput)
            continue;
        m_sources[buffer.channel].Render(m_scratch.data(), frames);
        WriteSamples(m_config.sampleType, m_scratch.data(), frames, buffer.halves[half].data());
    }
    const uint64_t position = switches * static_cast<uint64_t>(frames);
    const uint64_t now = NowNanoseconds();
    m_samplePosition = position;
    m_systemTime = now;
    if (m_timeInfoMode) {
        m_time = ASIOTime {};
        m_time.timeInfo.speed = 1.0;
        m_time.timeInfo.samplePosition = Split(position);
        m_time.timeInfo.systemTime = Split(now);
        m_time.timeInfo.sampleRate = m_config.rate;
        m_time.timeInfo.flags
            = kSystemTimeValid | kSamplePositionValid | kSampleRateValid | kSpeedValid;
        m_callbacks.bufferSwitchTimeInfo(&m_time, half, ASIOFalse);
    } else if (m_callbacks.bufferSwitch != nullptr) {
        m_callbacks.bufferSwitch(half, ASIOFalse);
    }
}

int SignalDriver::ChannelLimit(bool input) const
{
    // Like many drivers, a mono (or output-less) device still takes a stereo pair of buffers:
    // the missing channel records silence or plays nowhere.
    return std::max(input ? m_config.inputs : m_config.outputs, 2);
}

ASIOError SignalDriver::getChannels(int32_t* numInputChannels, int32_t* numOutputChannels)
{
    if (!m_initialised)
        return ASE_NotPresent;
    *numInputChannels = m_config.inputs;
    *numOutputChannels = m_config.outputs;
    return ASE_OK;
}

ASIOError SignalDriver::getLatencies(int32_t* inputLatency, int32_t* outputLatency)
{
    if (!m_initialised)
        return ASE_NotPresent;
    *inputLatency = m_config.bufferFrames;
    *outputLatency = m_config.bufferFrames;
    return ASE_OK;
}

ASIOError SignalDriver::getBufferSize(
    int32_t* minSize, int32_t* maxSize, int32_t* preferredSize, int32_t* granularity)
{
    if (!m_initialised)
        return ASE_NotPresent;
    *minSize = *maxSize = *preferredSize = m_config.bufferFrames;
    *granularity = 0;
    return ASE_OK;
}

ASIOError SignalDriver::canSampleRate(ASIOSampleRate sampleRate)
{
    return sampleRate >= 8000.0 && sampleRate <= 384000.0 ? ASE_OK : ASE_NoClock;
}

ASIOError SignalDriver::getSampleRate(ASIOSampleRate* sampleRate)
{
    if (!m_initialised)
        return ASE_NotPresent;
    *sampleRate = m_config.rate;
    return ASE_OK;
}

ASIOError SignalDriver::setSampleRate(ASIOSampleRate sampleRate)
{
    if (!m_initialised)
        return ASE_NotPresent;
    if (sampleRate == 0.0)
        return ASE_OK; // "external clock": the generator has only its own
    if (canSampleRate(sampleRate) != ASE_OK)
        return ASE_NoClock;
    if (m_running.load())
        return ASE_InvalidMode;
    m_config.rate = sampleRate;
    for (int i = 0; i < kMaxChannels; ++i)
        m_sources[i].Setup(m_config.input[i], m_config.rate, static_cast<uint32_t>(i + 1));
    return ASE_OK;
}

ASIOError SignalDriver::getClockSources(ASIOClockSource* clocks, int32_t* numSources)
{
    return ReportSingleClockSource(clocks, numSources, "Internal");
}

ASIOError SignalDriver::setClockSource(int32_t reference)
{
    return reference == 0 ? ASE_OK : ASE_InvalidParameter;
}

ASIOError SignalDriver::getSamplePosition(ASIOSamples* samplePosition, ASIOTimeStamp* timeStamp)
{
    if (!m_running.load())
        return ASE_SPNotAdvancing;
    *samplePosition = Split(m_samplePosition.load());
    *timeStamp = Split(m_systemTime.load());
    return ASE_OK;
}

ASIOError SignalDriver::getChannelInfo(ASIOChannelInfo* info)
{
    if (!m_initialised)
        return ASE_NotPresent;
    const int count = ChannelLimit(info->isInput != 0);
    if (info->channel < 0 || info->channel >= count)
        return ASE_InvalidParameter;
    info->isActive = ASIOFalse;
    for (const Buffer& buffer : m_buffers) {
        if (buffer.isInput == (info->isInput != 0) && buffer.channel == info->channel)
            info->isActive = ASIOTrue;
    }
    info->channelGroup = 0;
    info->type = m_config.sampleType;
    const std::string name
        = (info->isInput ? "Input " : "Output ") + std::to_string(info->channel + 1);
    CopyText(info->name, sizeof info->name, name);
    return ASE_OK;
}

ASIOError SignalDriver::createBuffers(
    ASIOBufferInfo* bufferInfos, int32_t numChannels, int32_t bufferSize, ASIOCallbacks* callbacks)
{
    if (!m_initialised)
        return ASE_NotPresent;
    if (!m_buffers.empty())
        return ASE_InvalidMode;
    if (callbacks == nullptr || bufferSize != m_config.bufferFrames || numChannels <= 0)
        return ASE_InvalidParameter;
    for (int32_t i = 0; i < numChannels; ++i) {
        const int count = ChannelLimit(bufferInfos[i].isInput != 0);
        if (bufferInfos[i].channelNum < 0 || bufferInfos[i].channelNum >= count)
            return ASE_InvalidParameter;
    }
    const size_t bytes
        = static_cast<size_t>(bufferSize) * static_cast<size_t>(SampleBytes(m_config.sampleType));
    m_buffers.resize(static_cast<size_t>(numChannels));
    for (int32_t i = 0; i < numChannels; ++i) {
        Buffer& buffer = m_buffers[static_cast<size_t>(i)];
        buffer.isInput = bufferInfos[i].isInput != 0;
        buffer.channel = bufferInfos[i].channelNum;
        for (int half = 0; half < 2; ++half) {
            buffer.halves[half].assign(bytes, 0);
            bufferInfos[i].buffers[half] = buffer.halves[half].data();
        }
    }
    m_callbacks = *callbacks;
    m_timeInfoMode = m_callbacks.asioMessage != nullptr
        && m_callbacks.bufferSwitchTimeInfo != nullptr
        && m_callbacks.asioMessage(kAsioSelectorSupported, kAsioSupportsTimeInfo, nullptr, nullptr)
            == 1
        && m_callbacks.asioMessage(kAsioSupportsTimeInfo, 0, nullptr, nullptr) == 1;
    return ASE_OK;
}

ASIOError SignalDriver::disposeBuffers()
{
    stop();
    JoinClock();
    const bool had = !m_buffers.empty();
    m_buffers.clear();
    m_callbacks = ASIOCallbacks {};
    return had ? ASE_OK : ASE_InvalidMode;
}

ASIOError SignalDriver::future(int32_t, void*) { return ASE_InvalidParameter; }

ASIOError SignalDriver::outputReady() { return ASE_OK; }

} // namespace kerrion::signal

extern "C" __attribute__((visibility("default"))) int32_t KerrionAsioCreateDriver(
    const kerrion::AsioClassId* classId, uint32_t interfaceVersion, kerrion::IAsioDriver** driver)
{
    return kerrion::driver::CreateGuardedDriver(classId, interfaceVersion,
        kerrion::signal::kSignalClassId, driver,
        [] { return new kerrion::signal::SignalDriver(); });
}
