#pragma once

// The plain (wave) device's own state, its device data: the endpoint list Initialize scanned,
// from which the device thread opens the selected index.
//
// Threads: the engine (or UI) thread scans in Initialize before any device thread runs; the
// device thread only reads the list.

#include "platform/wave/WaveEndpoints.h"

#include <cstdint>

class CSndIOStream;
class CSndIOThreadContext;

namespace kerrion {

struct WmmeDeviceState {
    WaveEndpoints endpoints;
};

// The wave device thread's procedure (thread context as in CSndIODevice).
void WmmeDeviceThread(CSndIOThreadContext* context);

// Bytes of one wave buffer of `stream`: a whole slot of its active channels.
uint32_t WaveBufferBytes(const CSndIOStream& stream);

} // namespace kerrion
