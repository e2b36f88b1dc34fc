#pragma once

// The interface between the host and a driver plug-in. A plug-in is a shared library exporting
// one C function, kAsioFactorySymbol, with the AsioFactory signature: given a class id it
// creates a driver object, or refuses. The object offers the ASIO driver call set; the host
// ends its life with Release() (so it is freed by the library that allocated it).
//
// Threads: the host calls init..outputReady from its own threads (never two at once); the
// driver calls the host's callbacks from a thread of its own between start() and stop().

#include "platform/asio/AsioTypes.h"

namespace kerrion {

// A 16-byte class id, as written "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}".
struct AsioClassId {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

bool operator==(const AsioClassId& a, const AsioClassId& b);

// Parses the registry form with braces (hex digits of any case); false when malformed.
bool ParseClassId(const char* text, AsioClassId& out);

class IAsioDriver {
public:
    virtual ASIOBool init(void* sysHandle) = 0;
    virtual void getDriverName(char* name) = 0; // at most 32 bytes with the NUL
    virtual int32_t getDriverVersion() = 0;
    virtual void getErrorMessage(char* string) = 0; // at most 124 bytes with the NUL
    virtual ASIOError start() = 0;
    virtual ASIOError stop() = 0;
    virtual ASIOError getChannels(int32_t* numInputChannels, int32_t* numOutputChannels) = 0;
    virtual ASIOError getLatencies(int32_t* inputLatency, int32_t* outputLatency) = 0;
    virtual ASIOError getBufferSize(
        int32_t* minSize, int32_t* maxSize, int32_t* preferredSize, int32_t* granularity)
        = 0;
    virtual ASIOError canSampleRate(ASIOSampleRate sampleRate) = 0;
    virtual ASIOError getSampleRate(ASIOSampleRate* sampleRate) = 0;
    virtual ASIOError setSampleRate(ASIOSampleRate sampleRate) = 0;
    virtual ASIOError getClockSources(ASIOClockSource* clocks, int32_t* numSources) = 0;
    virtual ASIOError setClockSource(int32_t reference) = 0;
    virtual ASIOError getSamplePosition(ASIOSamples* samplePosition, ASIOTimeStamp* timeStamp) = 0;
    virtual ASIOError getChannelInfo(ASIOChannelInfo* info) = 0;
    virtual ASIOError createBuffers(ASIOBufferInfo* bufferInfos, int32_t numChannels,
        int32_t bufferSize, ASIOCallbacks* callbacks)
        = 0;
    virtual ASIOError disposeBuffers() = 0;
    virtual ASIOError controlPanel() = 0;
    virtual ASIOError future(int32_t selector, void* opt) = 0;
    virtual ASIOError outputReady() = 0;
    // Ends the object's life; the host never touches it afterwards.
    virtual void Release() = 0;

protected:
    virtual ~IAsioDriver() = default;
};

// The version of this interface; a plug-in refuses a host asking for another one.
inline constexpr uint32_t kAsioDriverInterfaceVersion = 1;

// Returns 0 and a new object in *driver, or nonzero when the class id (or version) is not its own.
using AsioFactory
    = int32_t (*)(const AsioClassId* classId, uint32_t interfaceVersion, IAsioDriver** driver);
inline constexpr const char* kAsioFactorySymbol = "KerrionAsioCreateDriver";

} // namespace kerrion
