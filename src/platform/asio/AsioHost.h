#pragma once

// The ASIO host calls, over the process's current driver object, with the published names and
// error codes: every call returns ASE_NotPresent while no driver is current. ASIOInit fills the
// driver info and forgets a driver whose init fails.
//
// Threads: the engine or UI thread selects and sets up a driver; the device thread starts, stops
// and asks positions; the driver's own thread may call ASIOOutputReady and ASIOGetSamplePosition
// from its buffer switch. Switching the current driver is atomic and allocates nothing for the
// callers; a thread that must keep a driver alive across the switch holds AsioCurrentDriver().

#include "platform/asio/AsioDriverObject.h"

#include <memory>

namespace kerrion {

void AsioSetCurrentDriver(std::shared_ptr<AsioDriverObject> driver); // null: none
std::shared_ptr<AsioDriverObject> AsioCurrentDriver();

} // namespace kerrion

ASIOError ASIOInit(ASIODriverInfo* info);
ASIOError ASIOExit(); // releases the current driver
ASIOError ASIOStart();
ASIOError ASIOStop();
ASIOError ASIOGetChannels(int32_t* numInputChannels, int32_t* numOutputChannels);
ASIOError ASIOGetLatencies(int32_t* inputLatency, int32_t* outputLatency);
ASIOError ASIOGetBufferSize(
    int32_t* minSize, int32_t* maxSize, int32_t* preferredSize, int32_t* granularity);
ASIOError ASIOCanSampleRate(ASIOSampleRate sampleRate);
ASIOError ASIOGetSampleRate(ASIOSampleRate* currentRate);
ASIOError ASIOSetSampleRate(ASIOSampleRate sampleRate);
ASIOError ASIOGetClockSources(ASIOClockSource* clocks, int32_t* numSources);
ASIOError ASIOSetClockSource(int32_t reference);
ASIOError ASIOGetSamplePosition(ASIOSamples* samplePosition, ASIOTimeStamp* timeStamp);
ASIOError ASIOGetChannelInfo(ASIOChannelInfo* info);
ASIOError ASIOCreateBuffers(
    ASIOBufferInfo* bufferInfos, int32_t numChannels, int32_t bufferSize, ASIOCallbacks* callbacks);
ASIOError ASIODisposeBuffers();
ASIOError ASIOControlPanel();
ASIOError ASIOFuture(int32_t selector, void* params);
ASIOError ASIOOutputReady();
