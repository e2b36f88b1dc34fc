#pragma once

// One open wave endpoint in one direction: the caller queues fixed-size buffers, and they come
// back one by one, in queue order, through the callback — a playback buffer once its samples are
// handed to the device (kWaveOutDone), a capture buffer once it is full (kWaveInData, with the
// bytes recorded). An I/O thread of the device's own does every streaming ALSA call and runs
// the callback; nothing waits without a time limit, so a device that disappears never hangs
// its owner. Overruns are recovered here (the stream restarts and Overruns() counts them); a
// device that fails for good answers kWaveNoDriver from then on.
//
// A playback device plays as soon as buffers are queued; Stop pauses it, Start resumes it.
// A capture device records from Start until Stop; Stop returns the buffer being filled when it
// holds data. Reset stops either direction and returns every queued buffer before it returns;
// afterwards a playback device is ready to play again, a capture device is stopped.
//
// Threads: one owner thread calls every operation (it may be another thread than the opener's);
// GetPosition and Overruns may be called from any thread. The callback runs on the I/O thread,
// never on the owner's, and must not call back into the device.

#include "platform/wave/AlsaPcm.h"
#include "platform/wave/WaveTypes.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace kerrion {

class WaveEndpoints;

class WaveDevice {
public:
    WaveDevice() = default;
    // Resets and closes a device still open.
    ~WaveDevice();
    WaveDevice(const WaveDevice&) = delete;
    WaveDevice& operator=(const WaveDevice&) = delete;

    // Opens endpoint `index` of `endpoints` in `direction` for `format` (tag kWaveFormatPcm,
    // 8/16/24/32 bits, block align = channels × bits / 8). kWaveNoError, kWaveBadDeviceId,
    // kWaveInvalidParam (a malformed format or a device already open), kWaveBadFormat,
    // kWaveNoDriver (the endpoint does not open), kWaveNoMemory.
    int Open(const WaveEndpoints& endpoints, uint32_t index, WaveDirection direction,
        const WaveFormat& format, WaveCallback callback, void* instance);
    // The same for an ALSA PCM given by name.
    int Open(const std::string& pcmName, WaveDirection direction, const WaveFormat& format,
        WaveCallback callback, void* instance);

    int PrepareHeader(WaveHeader* header);   // kWaveStillPlaying while queued
    int UnprepareHeader(WaveHeader* header); // kWaveStillPlaying while queued
    // Appends a prepared header to the queue (write a playback buffer, add a capture buffer).
    int Queue(WaveHeader* header);

    int Start(); // capture: start recording; playback: resume after Stop
    int Stop();  // capture: stop recording; playback: pause
    int Reset();
    // kWaveStillPlaying while a header is queued.
    int Close();

    // Frames played (playback) or recorded into buffers (capture) since open or the last Reset.
    int GetPosition(uint32_t* frames) const;
    uint32_t Overruns() const { return m_pcm.Overruns(); }

    bool IsOpen() const { return m_thread.joinable(); }
    // The device failed for good (unplugged): nothing more will come back from it.
    bool IsLost() const { return m_lost.load(); }
    const WaveFormat& Format() const { return m_format; }

private:
    enum class Command { None, Start, Stop, Reset, Exit };

    // Hands `command` to the I/O thread and waits (with a time limit) for its result.
    int Request(Command command);
    void Wake();
    void ClearWake();

    // I/O thread.
    void Run();
    int Execute(Command command);
    bool Pump(WaveHeader* front);
    void Complete(WaveHeader* header, uint32_t bytes);
    void ReturnAll();
    WaveHeader* Front();
    void UpdatePlaybackPosition();
    void Notify(uint32_t message, WaveHeader* header);

    WaveFormat m_format;
    WaveDirection m_direction = WaveDirection::Playback;
    WaveCallback m_callback = nullptr;
    void* m_instance = nullptr;
    AlsaPcm m_pcm;     // streamed on the I/O thread; opened and closed by the owner
    int m_wakeFd = -1; // eventfd: the owner wakes the I/O thread's wait
    std::thread m_thread;

    std::mutex m_mutex; // guards the queue and the command hand-over
    std::condition_variable m_answered;
    WaveHeader* m_head = nullptr; // oldest queued header (being filled or played)
    WaveHeader* m_tail = nullptr;
    Command m_command = Command::None;
    uint64_t m_commandSerial = 0; // requests made
    uint64_t m_answerSerial = 0;  // requests answered
    int m_answer = kWaveNoError;

    std::atomic<bool> m_lost = false;     // the device failed for good
    std::atomic<uint32_t> m_position = 0; // frames; written by the I/O thread

    // I/O thread only.
    bool m_running = false;     // capture recording / playback not paused
    uint32_t m_headerBytes = 0; // bytes of the front header already moved
    uint64_t m_movedFrames = 0; // frames moved since open or reset
};

} // namespace kerrion
