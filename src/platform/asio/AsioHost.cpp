#include "platform/asio/AsioHost.h"

#include <atomic>
#include <cstring>

namespace kerrion {
namespace {

std::atomic<std::shared_ptr<AsioDriverObject>>& Current()
{
    static std::atomic<std::shared_ptr<AsioDriverObject>> current;
    return current;
}

void CopyText(char* target, size_t size, const char* text)
{
    const size_t length = strnlen(text, size - 1);
    std::memcpy(target, text, length);
    target[length] = '\0';
}

} // namespace

void AsioSetCurrentDriver(std::shared_ptr<AsioDriverObject> driver)
{
    Current().store(std::move(driver));
}

std::shared_ptr<AsioDriverObject> AsioCurrentDriver() { return Current().load(); }

} // namespace kerrion

using kerrion::AsioCurrentDriver;

// Forwards a call to the current driver, or answers ASE_NotPresent without one.
#define KERRION_ASIO_FORWARD(call)                                                                 \
    do {                                                                                           \
        const auto object = AsioCurrentDriver();                                                   \
        if (!object)                                                                               \
            return ASE_NotPresent;                                                                 \
        return object->Driver()->call;                                                             \
    } while (false)

ASIOError ASIOInit(ASIODriverInfo* info)
{
    info->driverVersion = 0;
    kerrion::CopyText(info->name, sizeof info->name, "No ASIO Driver");
    const auto object = AsioCurrentDriver();
    if (!object)
        return ASE_NotPresent;
    kerrion::IAsioDriver* driver = object->Driver();
    if (!driver->init(info->sysRef)) {
        char message[124] = {};
        driver->getErrorMessage(message);
        kerrion::CopyText(info->errorMessage, sizeof info->errorMessage, message);
        kerrion::AsioSetCurrentDriver(nullptr);
        return ASE_NotPresent;
    }
    kerrion::CopyText(info->errorMessage, sizeof info->errorMessage, "No ASIO Driver Error");
    char name[32] = {};
    driver->getDriverName(name);
    kerrion::CopyText(info->name, sizeof info->name, name);
    info->driverVersion = driver->getDriverVersion();
    return ASE_OK;
}

ASIOError ASIOExit()
{
    kerrion::AsioSetCurrentDriver(nullptr);
    return ASE_OK;
}

ASIOError ASIOStart() { KERRION_ASIO_FORWARD(start()); }
ASIOError ASIOStop() { KERRION_ASIO_FORWARD(stop()); }

ASIOError ASIOGetChannels(int32_t* numInputChannels, int32_t* numOutputChannels)
{
    KERRION_ASIO_FORWARD(getChannels(numInputChannels, numOutputChannels));
}

ASIOError ASIOGetLatencies(int32_t* inputLatency, int32_t* outputLatency)
{
    KERRION_ASIO_FORWARD(getLatencies(inputLatency, outputLatency));
}

ASIOError ASIOGetBufferSize(
    int32_t* minSize, int32_t* maxSize, int32_t* preferredSize, int32_t* granularity)
{
    KERRION_ASIO_FORWARD(getBufferSize(minSize, maxSize, preferredSize, granularity));
}

ASIOError ASIOCanSampleRate(ASIOSampleRate sampleRate)
{
    KERRION_ASIO_FORWARD(canSampleRate(sampleRate));
}
ASIOError ASIOGetSampleRate(ASIOSampleRate* currentRate)
{
    KERRION_ASIO_FORWARD(getSampleRate(currentRate));
}
ASIOError ASIOSetSampleRate(ASIOSampleRate sampleRate)
{
    KERRION_ASIO_FORWARD(setSampleRate(sampleRate));
}

ASIOError ASIOGetClockSources(ASIOClockSource* clocks, int32_t* numSources)
{
    KERRION_ASIO_FORWARD(getClockSources(clocks, numSources));
}

ASIOError ASIOSetClockSource(int32_t reference) { KERRION_ASIO_FORWARD(setClockSource(reference)); }

ASIOError ASIOGetSamplePosition(ASIOSamples* samplePosition, ASIOTimeStamp* timeStamp)
{
    KERRION_ASIO_FORWARD(getSamplePosition(samplePosition, timeStamp));
}

ASIOError ASIOGetChannelInfo(ASIOChannelInfo* info) { KERRION_ASIO_FORWARD(getChannelInfo(info)); }

ASIOError ASIOCreateBuffers(
    ASIOBufferInfo* bufferInfos, int32_t numChannels, int32_t bufferSize, ASIOCallbacks* callbacks)
{
    KERRION_ASIO_FORWARD(createBuffers(bufferInfos, numChannels, bufferSize, callbacks));
}

ASIOError ASIODisposeBuffers() { KERRION_ASIO_FORWARD(disposeBuffers()); }
ASIOError ASIOControlPanel() { KERRION_ASIO_FORWARD(controlPanel()); }
ASIOError ASIOFuture(int32_t selector, void* params)
{
    KERRION_ASIO_FORWARD(future(selector, params));
}
ASIOError ASIOOutputReady() { KERRION_ASIO_FORWARD(outputReady()); }
