#pragma once

// Real ALSA PCMs for the wave layer's tests: a configuration file of the test's own (read after
// the system's alsa.conf), the settings of a private JACK server for paced samples, and a
// collector for the buffers a wave device hands back.

#include "platform/wave/WaveDevice.h"
#include "support/JackServer.h"
#include "support/TempDir.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kerrion::test {

// Points ALSA at the system configuration plus `definitions`, written to a file of the test's
// own, for as long as the object lives.
class AlsaTestConfig {
public:
    explicit AlsaTestConfig(const std::string& definitions);
    ~AlsaTestConfig();
    AlsaTestConfig(const AlsaTestConfig&) = delete;
    AlsaTestConfig& operator=(const AlsaTestConfig&) = delete;

    std::filesystem::path File(const std::string& name) const { return m_dir / name; }

private:
    TempDir m_dir;
};

// Configuration text of a `file` PCM that captures the raw bytes of `infile` (as fast as they
// are read) and plays into /dev/null, listed under `description`.
std::string FilePcmDefinition(
    const std::string& name, const std::filesystem::path& infile, const std::string& description);

// Configuration text of a `jack` PCM on the two dummy ports of the private JACK server; it only
// runs 32-bit float samples at the server's rate (the wave layer reaches it through `plug`).
std::string JackPcmDefinition(const std::string& name, const std::string& description);

// Interleaved 16-bit stereo frames: left = (7 × frame) mod 32768, right = −left. Any stretch
// of it tells from which frame it starts.
std::string RampBytes(uint32_t firstFrame, uint32_t frames);

// Interleaved 16-bit stereo frames of two sines of `frequency` Hz at `rate` Hz, each peaking at
// its level in dBFS (relative to 32768) and rounded to the nearest sample value; both start at
// phase 0 on frame 0.
std::string StereoSineBytes(
    uint32_t frames, uint32_t rate, double frequency, double leftDb, double rightDb);

// The private JACK server behind JackPcmDefinition's PCM: the dummy driver at 44100 Hz with
// 1024-frame periods, two ports each way, named the default server for ALSA's jack plug-in.
inline constexpr JackServer::Options kJackPcmServer
    = { .rate = 44100, .period = 1024, .captures = 2, .playbacks = 2, .makeDefault = true };

// True when jackd and ALSA's jack plug-in are installed; otherwise false, with a reason.
bool JackPcmAvailable(std::string& reason);

// Records the buffers a device returns through its callback, for the test thread to wait on.
class HeaderCollector {
public:
    struct Returned {
        uint32_t message = 0;
        WaveHeader* header = nullptr;
        uint32_t bytesRecorded = 0;
        std::thread::id thread;
    };

    static void Callback(uint32_t message, void* instance, WaveHeader* header);

    // Waits until `count` buffers have come back in all; false after `timeout`.
    bool WaitFor(std::size_t count, std::chrono::milliseconds timeout);
    std::vector<Returned> Buffers();
    std::vector<uint32_t> OtherMessages();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Returned> m_buffers;
    std::vector<uint32_t> m_otherMessages; // open and close notices
};

// A 16-bit stereo or 8-bit mono format at `rate`.
WaveFormat PcmFormat(uint16_t channels, uint16_t bits, uint32_t rate);

// Buffers of `bytes` each, owned by the test.
struct TestBuffers {
    TestBuffers(std::size_t count, uint32_t bytes);
    std::vector<std::vector<uint8_t>> memory;
    std::unique_ptr<WaveHeader[]> headers;
    WaveHeader& operator[](std::size_t i) { return headers[i]; }
};

} // namespace kerrion::test
