#pragma once

// Real ALSA PCMs for the wave layer's tests: a configuration file of the test's own (read after
// the system's alsa.conf), a private JACK server on the dummy driver for paced samples, and a
// collector for the buffers a wave device hands back.

#include "platform/wave/WaveDevice.h"
#include "support/TempDir.h"

#include <sys/types.h>

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

// A JACK server of the test's own (a unique name, made the JACK client library's default),
// on the dummy driver at 44100 Hz with 1024-frame periods. Stopped, and its shared memory
// removed, when the object goes, whatever the test's outcome.
class JackServer {
public:
    JackServer();
    ~JackServer();
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    // True when jackd and ALSA's jack plug-in are installed.
    static bool Available();

    // Starts the server and waits (at most a few seconds) until it takes clients.
    bool Start();
    // Ends the server at once, as a device that is unplugged.
    void Kill();
    void Stop();

private:
    bool Spawn();
    bool WaitUntil(bool (*ready)());
    static bool Responds();
    void ReclaimName();
    void Reap(std::chrono::milliseconds patience);
    void RemoveSharedMemory() const;

    std::string m_name;
    pid_t m_pid = -1;
    bool m_killed = false; // killed and not started again: its registry slot is still taken
};

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
