#pragma once

// What every plug-in hands the host in place of its own driver object: the same calls, each
// inside a catch-all, so that no exception ever crosses the plug-in boundary into the host (which
// may be built with another compiler or runtime and cannot catch it). A call that throws answers
// as a failed call (init: ASIOFalse; a call with an ASIOError: ASE_NoMemory for a failed
// allocation, else ASE_HWMalfunction), and getErrorMessage then tells what went wrong. The
// threads are those of IAsioDriver.

#include "platform/asio/AsioDriver.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace kerrion::driver {

class GuardedDriver final : public IAsioDriver {
public:
    explicit GuardedDriver(IAsioDriver* inner); // takes over `inner`, released with this object

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
    ~GuardedDriver() override = default;

    template <typename Call>
    ASIOError Guard(Call call) noexcept;
    void Fail(const char* what, const char* detail) noexcept;

    IAsioDriver* m_inner;
    std::atomic<bool> m_failed { false }; // the last call threw (any thread)
    std::mutex m_failureLock; // guards m_failure; taken only when a call threw and to read it
    char m_failure[124] = {}; // what the last call that threw said
};

// The body of a plug-in's factory: `make` creates the plug-in's driver for a matching class id
// and interface version. 0 and the guarded driver in *driver, else -1 (also when creating it
// threw).
template <typename Make>
int32_t CreateGuardedDriver(const AsioClassId* classId, uint32_t interfaceVersion,
    const AsioClassId& ownClassId, IAsioDriver** driver, Make make) noexcept
{
    if (driver == nullptr)
        return -1;
    *driver = nullptr;
    if (classId == nullptr || interfaceVersion != kAsioDriverInterfaceVersion
        || std::memcmp(classId, &ownClassId, sizeof ownClassId) != 0)
        return -1;
    try {
        IAsioDriver* inner = make();
        *driver = new GuardedDriver(inner);
        return 0;
    } catch (...) {
        return -1;
    }
}

} // namespace kerrion::driver
