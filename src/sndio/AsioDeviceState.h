#pragma once

// The ASIO device's own state (its device data): what SelectDevice learnt from the driver, the
// buffers it created, and what the device thread and the driver's buffer switch share.
//
// Threads: SelectDevice (engine or UI thread) fills the set-up part before any device thread
// runs. The buffer switch callbacks (driver thread) touch only the driver halves, the staging
// set at m_callbackStaging, the time fields and the driver semaphore; the device thread reads
// the staging set it has been handed through that semaphore.

#include "platform/asio/AsioTypes.h"
#include "platform/sync/Semaphore.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

class CSndIOThreadContext;

namespace kerrion {

struct AsioDeviceState {
    static constexpr int kStagingSets = 4;
    static constexpr uint32_t kDriverSemaphoreMax = 6;

    ASIODriverInfo driverInfo {};
    int32_t inputChannels = 0; // reported by the driver
    int32_t outputChannels = 0;
    int32_t minSize = 0, maxSize = 0, preferredSize = 0, granularity = 0; // frames
    double sampleRate = 0.0;                                              // Hz
    uint8_t postOutput = 0;   // the driver takes the output-ready notification
    int32_t inputBuffers = 0; // buffers created per direction
    int32_t outputBuffers = 0;
    std::vector<ASIOBufferInfo> bufferInfos; // inputs first, then outputs
    ASIOCallbacks callbacks {};
    int32_t inputLatency = 0, outputLatency = 0; // frames
    std::vector<ASIOChannelInfo> channelInfos;   // one per buffer, same order

    // Written by the buffer switch (driver thread).
    ASIOTime time {};
    double samplePosition = 0.0; // frames
    double systemTime = 0.0;     // ns
    double timeCodeSamples = 0.0;
    uint64_t switchMilliseconds = 0;
    std::atomic<uint32_t> callbackStaging { 0 }; // staging set the next switch uses, 0..3
    // A set handed to the device thread (1) is not touched by the callback until the thread
    // gives it back (0): a callback that would lap the thread plays silence instead.
    std::array<std::atomic<uint8_t>, kStagingSets> setHeldByThread {};
    std::atomic<uint32_t> overruns { 0 }; // buffer switches lost that way
    // The driver asked the host to reset it (its server stopped, its rate or buffer size
    // changed): the run cannot go on. Set from the driver's own thread, read by the device thread.
    std::atomic<bool> resetRequested { false };

    Semaphore driverSemaphore { 0, kDriverSemaphoreMax }; // given once per buffer switch
    uint32_t stagingWidth = 0;                            // bytes per sample in the staging blocks
    std::vector<uint8_t> staging;                         // every staging block, one allocation
    std::array<std::vector<uint8_t*>, kStagingSets> stagingIn;  // per set, one per input buffer
    std::array<std::vector<uint8_t*>, kStagingSets> stagingOut; // per set, one per output buffer
};

// The ASIO device thread's procedure (thread context as in CSndIODevice).
void AsioDeviceThread(CSndIOThreadContext* context);
// The callbacks handed to the driver in SelectDevice.
ASIOCallbacks AsioDeviceCallbacks();

} // namespace kerrion
