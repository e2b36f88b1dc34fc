#pragma once

// A concrete device for the ring tests: its device thread plays each output slot back into the
// next input slot (or, with output disabled, makes input by itself), and can misbehave on
// purpose: fail to open, ignore the start command, stop serving the ring, or never answer again.

#include "platform/sync/Event.h"
#include "sndio/SndIODevice.h"

#include <atomic>
#include <memory>

struct LoopbackSettings {
    enum Mode { kLoopback, kOpenFails, kIgnoreStart, kNeverAnswer };
    Mode mode = kLoopback;
    uint32_t devices = 3;
    bool interleaved = false;
    bool hasOutput = true;
    bool hasInput = true;
    int serveSlots = -1; // output slots served before the thread stops serving (-1: always)
};

// The device thread's own state (its device data).
struct LoopbackThreadState {
    LoopbackSettings settings;
    kerrion::Event release; // kNeverAnswer: the thread wakes up only when set
    std::atomic<int> touchedAfterRelease { 0 };
};

class CLoopbackDevice : public CSndIODevice {
public:
    explicit CLoopbackDevice(LoopbackSettings settings = {});
    ~CLoopbackDevice() override;

    int Initialize() override;
    int SelectDevice(uint32_t index) override;
    int Start() override;

    LoopbackSettings m_settings;
    std::shared_ptr<LoopbackThreadState> m_threadState; // of the last started thread
};
