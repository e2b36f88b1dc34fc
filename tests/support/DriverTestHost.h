#pragma once

// The host side of the driver plug-in tests (signal generator, JACK bridge): the plug-in loaded
// as Kerrion loads it, buffers created as Kerrion creates them, and one record of what the
// host's callbacks saw. The callbacks carry no context, so there is one record per test program;
// they run on the driver's threads and write it under its mutex.

#include "platform/asio/AsioDriverObject.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace kerrion::test {

struct DriverCapture {
    std::mutex mutex;
    std::condition_variable changed;
    bool timeInfo = true;                           // the host answers that it takes time info
    int plainSwitches = 0;                          // switches through bufferSwitch
    std::vector<int> halves;                        // half index per switch
    std::vector<uint64_t> positions;                // sample position per switch (time info)
    std::vector<std::vector<unsigned char>> inputs; // bytes per created input buffer, in order
    std::vector<ASIOBufferInfo> infos;              // the created input buffers
    std::vector<ASIOBufferInfo> outputs;            // the created output buffers
    size_t frames = 0;                              // per half
    size_t bytesPerSample = 4;
    std::vector<int32_t> messages; // selectors of the driver's messages other than queries
    int32_t outputValue = 0;       // written into every output half at each switch (32-bit; else 0)

    void Reset(); // takes the mutex
    // Input `input` as 32-bit samples; the caller holds the mutex.
    std::vector<int32_t> Int32Input(size_t input) const;
};

// The record the callbacks write.
DriverCapture& TheCapture();
ASIOCallbacks* TheCallbacks();

// Loads the plug-in at `path` and creates its driver of class `classId` ("{...}").
IAsioDriver* CreateDriver(
    const char* path, const char* classId, std::shared_ptr<AsioDriverObject>& object);

// Creates buffers for inputs 0..`inputs`-1 and outputs 0..`outputs`-1 with `frames` per half
// and records them in TheCapture(); the driver's answer.
ASIOError CreateDriverBuffers(
    IAsioDriver* driver, int inputs, int outputs, int32_t frames, size_t bytesPerSample = 4);

// Waits until `done` holds for the capture, or `timeout` has passed; false then.
template <typename Predicate>
bool WaitForCapture(Predicate done, std::chrono::milliseconds timeout)
{
    DriverCapture& capture = TheCapture();
    std::unique_lock lock(capture.mutex);
    return capture.changed.wait_for(lock, timeout, [&] { return done(capture); });
}

} // namespace kerrion::test
