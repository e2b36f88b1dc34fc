#pragma once

// One open ALSA PCM in non-blocking mode, set up for one fixed interleaved format. Nothing here
// waits longer than the time it is given: transfers never block, and the wait polls the PCM
// together with a wake-up descriptor and a time limit.
//
// Threads: Open and Close on the owner's thread; everything else on the one thread that runs the
// stream (the wave device's I/O thread), which is handed the PCM after Open.

#include "platform/wave/WaveTypes.h"

#include <alsa/asoundlib.h>
#include <poll.h>

#include <array>
#include <atomic>
#include <string>

namespace kerrion {

class AlsaPcm {
public:
    enum class WaitResult { Ready, Woken, TimedOut };

    AlsaPcm() = default;
    ~AlsaPcm();
    AlsaPcm(const AlsaPcm&) = delete;
    AlsaPcm& operator=(const AlsaPcm&) = delete;

    // Opens `pcmName` and sets it up for `format`: a kWave* code (kWaveNoDriver when it does not
    // open, kWaveBadFormat when it cannot run the format exactly).
    int Open(const std::string& pcmName, WaveDirection direction, const WaveFormat& format);
    void Close();

    // Makes the stream ready to move samples: prepares it when it was stopped or ran over, and
    // starts a capture stream. False when the device has gone.
    bool Run();

    // Moves at most `frames` frames between `data` and the device without waiting. The frames
    // moved (0 when the device is not ready), or a negative errno for Recover.
    long Transfer(uint8_t* data, unsigned long frames);

    // Brings the stream back after `error` from Transfer or a state the wait found: an overrun or
    // underrun restarts it, a suspended device is resumed. False when the device has gone.
    bool Recover(int error);

    // Stops at once, dropping samples the device still holds; the stream can Run again.
    void Drop();

    // Sleeps until the device can move samples, `wakeFd` becomes readable, or `timeoutMs`
    // passes. A failing stream is recovered here; Lost() tells whether that failed.
    WaitResult Wait(int wakeFd, int timeoutMs);

    // Frames written but not yet played (playback), 0 when unknown.
    long Delay();

    // Capture overruns recovered since Open; any thread.
    uint32_t Overruns() const { return m_overruns.load(std::memory_order_relaxed); }
    bool Lost() const { return m_lost; }
    bool IsOpen() const { return m_pcm != nullptr; }
    unsigned PeriodFrames() const { return m_periodFrames; }
    unsigned BufferFrames() const { return m_bufferFrames; }

private:
    int SetHardware(const WaveFormat& format);
    int SetSoftware();
    bool CheckState();

    static constexpr std::size_t kMaxPollDescriptors = 15;

    snd_pcm_t* m_pcm = nullptr;
    bool m_capture = false;
    bool m_lost = false;                  // the device failed for good (unplugged, server gone)
    unsigned m_periodFrames = 0;          // frames per period as the device settled them
    unsigned m_bufferFrames = 0;          // frames in the device's ring
    std::atomic<uint32_t> m_overruns = 0; // written by the stream's thread
    int m_pcmDescriptors = 0;             // poll descriptors of the PCM (fixed at open)
    std::array<pollfd, kMaxPollDescriptors + 1> m_pollFds {}; // the PCM's, then the wake-up
};

} // namespace kerrion
