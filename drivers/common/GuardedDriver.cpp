#include "GuardedDriver.h"

#include <cstdio>
#include <exception>
#include <mutex>
#include <new>

namespace kerrion::driver {

GuardedDriver::GuardedDriver(IAsioDriver* inner)
    : m_inner(inner)
{
}

template <typename Call>
ASIOError GuardedDriver::Guard(Call call) noexcept
{
    // Calls come from several threads (the buffer switch's outputReady, the engine's position):
    // a call that returns only clears the flag, and only when it is set, so the per-block path
    // touches nothing shared but that atomic; the text is written under its lock on failure.
    try {
        const ASIOError result = call();
        if (m_failed.load(std::memory_order_relaxed))
            m_failed.store(false, std::memory_order_release);
        return result;
    } catch (const std::bad_alloc&) {
        Fail("The driver ran out of memory", nullptr);
        return ASE_NoMemory;
    } catch (const std::exception& error) {
        Fail("The driver failed: ", error.what());
    } catch (...) {
        Fail("The driver failed", nullptr);
    }
    return ASE_HWMalfunction;
}

void GuardedDriver::Fail(const char* what, const char* detail) noexcept
{
    const std::lock_guard<std::mutex> lock(m_failureLock);
    std::snprintf(m_failure, sizeof m_failure, "%s%s", what, detail ? detail : "");
    m_failed.store(true, std::memory_order_release);
}

ASIOBool GuardedDriver::init(void* sysHandle)
{
    const ASIOError result
        = Guard([&] { return m_inner->init(sysHandle) ? ASE_OK : ASE_NotPresent; });
    return result == ASE_OK ? ASIOTrue : ASIOFalse;
}

void GuardedDriver::getDriverName(char* name)
{
    Guard([&] {
        m_inner->getDriverName(name);
        return ASE_OK;
    });
}

int32_t GuardedDriver::getDriverVersion()
{
    int32_t version = 0;
    Guard([&] {
        version = m_inner->getDriverVersion();
        return ASE_OK;
    });
    return version;
}

void GuardedDriver::getErrorMessage(char* string)
{
    if (m_failed.load(std::memory_order_acquire)) {
        const std::lock_guard<std::mutex> lock(m_failureLock);
        std::snprintf(string, sizeof m_failure, "%s", m_failure);
        return;
    }
    try {
        m_inner->getErrorMessage(string);
    } catch (...) {
        string[0] = '\0';
    }
}

ASIOError GuardedDriver::start()
{
    return Guard([&] { return m_inner->start(); });
}

ASIOError GuardedDriver::stop()
{
    return Guard([&] { return m_inner->stop(); });
}

ASIOError GuardedDriver::getChannels(int32_t* numInputChannels, int32_t* numOutputChannels)
{
    return Guard([&] { return m_inner->getChannels(numInputChannels, numOutputChannels); });
}

ASIOError GuardedDriver::getLatencies(int32_t* inputLatency, int32_t* outputLatency)
{
    return Guard([&] { return m_inner->getLatencies(inputLatency, outputLatency); });
}

ASIOError GuardedDriver::getBufferSize(
    int32_t* minSize, int32_t* maxSize, int32_t* preferredSize, int32_t* granularity)
{
    return Guard(
        [&] { return m_inner->getBufferSize(minSize, maxSize, preferredSize, granularity); });
}

ASIOError GuardedDriver::canSampleRate(ASIOSampleRate sampleRate)
{
    return Guard([&] { return m_inner->canSampleRate(sampleRate); });
}

ASIOError GuardedDriver::getSampleRate(ASIOSampleRate* sampleRate)
{
    return Guard([&] { return m_inner->getSampleRate(sampleRate); });
}

ASIOError GuardedDriver::setSampleRate(ASIOSampleRate sampleRate)
{
    return Guard([&] { return m_inner->setSampleRate(sampleRate); });
}

ASIOError GuardedDriver::getClockSources(ASIOClockSource* clocks, int32_t* numSources)
{
    return Guard([&] { return m_inner->getClockSources(clocks, numSources); });
}

ASIOError GuardedDriver::setClockSource(int32_t reference)
{
    return Guard([&] { return m_inner->setClockSource(reference); });
}

ASIOError GuardedDriver::getSamplePosition(ASIOSamples* samplePosition, ASIOTimeStamp* timeStamp)
{
    return Guard([&] { return m_inner->getSamplePosition(samplePosition, timeStamp); });
}

ASIOError GuardedDriver::getChannelInfo(ASIOChannelInfo* info)
{
    return Guard([&] { return m_inner->getChannelInfo(info); });
}

ASIOError GuardedDriver::createBuffers(
    ASIOBufferInfo* bufferInfos, int32_t numChannels, int32_t bufferSize, ASIOCallbacks* callbacks)
{
    return Guard(
        [&] { return m_inner->createBuffers(bufferInfos, numChannels, bufferSize, callbacks); });
}

ASIOError GuardedDriver::disposeBuffers()
{
    return Guard([&] { return m_inner->disposeBuffers(); });
}

ASIOError GuardedDriver::controlPanel()
{
    return Guard([&] { return m_inner->controlPanel(); });
}

ASIOError GuardedDriver::future(int32_t selector, void* opt)
{
    return Guard([&] { return m_inner->future(selector, opt); });
}

ASIOError GuardedDriver::outputReady()
{
    return Guard([&] { return m_inner->outputReady(); });
}

void GuardedDriver::Release()
{
    try {
        m_inner->Release();
    } catch (...) {
        // The driver is gone either way; the host must not see why.
    }
    delete this;
}

} // namespace kerrion::driver
