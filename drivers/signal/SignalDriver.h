#pragma once

// The signal generator driver: behaves like audio hardware with a clock of its own. Between
// start() and stop() a thread of its own switches buffers once per buffer period against an
// absolute clock (so it does not drift), filling the input halves from the configured sources
// and calling the host's buffer switch. Output halves are accepted and not played.
//
// Threads: the host calls the driver interface from its threads, one call at a time; the clock
// thread calls the host's callbacks. getSamplePosition and outputReady may be called from the
// host's buffer switch.

#include "SignalConfig.h"
#include "SignalSource.h"
#include "platform/asio/AsioDriver.h"
#include "platform/sync/FutexWord.h"

#include <array>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace kerrion::signal {

// {8D3C5A6E-2B71-4F0A-9E43-6C1D2F7B5A90}
inline constexpr AsioClassId kSignalClassId
    = { 0x8D3C5A6E, 0x2B71, 0x4F0A, { 0x9E, 0x43, 0x6C, 0x1D, 0x2F, 0x7B, 0x5A, 0x90 } };
inline constexpr const char* kSignalDriverName = "Kerrion Signal Generator";

class SignalDriver final : public IAsioDriver {
public:
    SignalDriver() = default;

    ASIOBool init(void* sysHandle) override;
    void getDriverName(char* name) override;
    int32_t getDriverVersion() override;
    void getErrorMessage(char* string) override;
    ASIOError start() override;
    ASIOError stop() override;
    ASIOError getChannels(int32_t* numInputChannels, int32_t* numOutputChannels) override;
    ASIOError getLatencies(int32_t* inputLatency, int32_t* outputLatency) override;
    ASIOError getBufferSize(
        int32_t* minSize, int32_t* maxSize, int32_t* preferredSize, int32_t* granularity) override;
    ASIOError canSampleRate(ASIOSampleRate sampleRate) override;
    ASIOError getSampleRate(ASIOSampleRate* sampleRate) override;
    ASIOError setSampleRate(ASIOSampleRate sampleRate) override;
    ASIOError getClockSources(ASIOClockSource* clocks, int32_t* numSources) override;
    ASIOError setClockSource(int32_t reference) override;
    ASIOError getSamplePosition(ASIOSamples* samplePosition, ASIOTimeStamp* timeStamp) override;
    ASIOError getChannelInfo(ASIOChannelInfo* info) override;
    ASIOError createBuffers(ASIOBufferInfo* bufferInfos, int32_t numChannels, int32_t bufferSize,
        ASIOCallbacks* callbacks) override;
    ASIOError disposeBuffers() override;
    ASIOError controlPanel() override;
    ASIOError future(int32_t selector, void* opt) override;
    ASIOError outputReady() override;
    void Release() override;

private:
    ~SignalDriver() override;

    struct Buffer {
        bool isInput = false;
        int channel = 0;
        std::vector<unsigned char> halves[2]; // bufferFrames x sample bytes each
    };

    void RunClock(); // the clock thread
    void SwitchBuffers(int half, uint64_t switches);
    void JoinClock();
    int ChannelLimit(bool input) const; // channel numbers below this take buffers

    SignalConfig m_config;
    bool m_initialised = false;
    std::string m_error;           // the last failure, for getErrorMessage
    std::vector<Buffer> m_buffers; // created by createBuffers
    ASIOCallbacks m_callbacks {};
    bool m_timeInfoMode = false; // the host takes bufferSwitchTimeInfo
    std::array<SignalSource, kMaxChannels> m_sources;
    std::vector<double> m_scratch; // one buffer of values; clock thread
    ASIOTime m_time {};            // handed to the host; clock thread

    std::thread m_clock;
    kerrion::FutexWord m_stopRequested; // 1 once stop is asked for; the clock sleeps on it
    std::atomic<bool> m_running { false };
    std::atomic<uint64_t> m_samplePosition { 0 }; // frames, at the last buffer switch
    std::atomic<uint64_t> m_systemTime { 0 };     // ns, at the last buffer switch
};

} // namespace kerrion::signal
