#pragma once

// The JACK bridge driver: a JACK client "Kerrion" with capture ports in_1.. and playback ports
// out_1.., at the server's buffer size and rate, offered to the host as an ASIO driver with
// 32-bit integer channels, in buffers of one or several server periods (about 10 ms unless
// jack.ini says otherwise), so that the host wakes a hundred times a second whatever the
// server's period. The client is opened by init (never starting a server), active from
// createBuffers to disposeBuffers (so connections made by the user survive a stop and a start),
// and switches buffers only between start and stop. Its ports' connections outlive the client:
// read before it deactivates, followed while it is active, written to jack.ini within about two
// seconds of a change (at most once a second) and when it closes, and made again when the next
// client activates (JackRouting says how they are kept).
//
// Threads:
// - the host calls the driver interface from its threads, one call at a time;
// - JACK's process thread runs OnProcess, which converts the ports into their period's place in
//   the current half, plays the output the host gave at the last switch, and calls the host's
//   buffer switch once the half is full: no lock, no allocation, no system call;
// - JACK's shutdown, buffer size and rate callbacks only set m_trouble and post m_notify; its
//   port-connect and port-registration callbacks only set m_routingChanged or m_portsAppeared
//   and post m_notify;
// - the notifier thread (RunNotifier) passes that trouble on to the host's message callback,
//   so the host is never called from a signal-handler context, connects remembered peers that
//   appear after the bridge's activation (the server tells of a client's ports once it is
//   active, when they can be connected), reads the ports' connections after a change (while
//   the server is there to ask; a connection undone while its peer is there is forgotten only
//   if the peer is still there kLeaveGraceMilliseconds later) and writes them to jack.ini, and
//   closes the client of a server that went away. Files are written only there and on host
//   threads.

#include "JackConfig.h"
#include "JackRouting.h"
#include "platform/asio/AsioDriver.h"

#include <jack/jack.h>
#include <pthread.h>
#include <semaphore.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kerrion::jack {

// {7AD0EA4A-DC1A-4DDF-B8C2-445D956E3035}
inline constexpr AsioClassId kJackClassId
    = { 0x7AD0EA4A, 0xDC1A, 0x4DDF, { 0xB8, 0xC2, 0x44, 0x5D, 0x95, 0x6E, 0x30, 0x35 } };
inline constexpr const char* kJackDriverName = "JACK";
inline constexpr const char* kJackClientName = "Kerrion";

class JackDriver final : public IAsioDriver {
public:
    JackDriver();

    ASIOBool init(void* sysHandle) override;
    void getDriverName(char* name) override;
    int32_t getDriverVersion() override;
    void getErrorMessage(char* string) override;
    ASIOError start() override;
    ASIOError stop() override;
    ASIOError getChannels(int32_t* numInputChannels, int32_t* numOutputChannels) override;
    ASIOError getLatencies(int32_t* inputLatency, int32_t* outputLatency) override;
    ASIOError getBufferSize(
        int32_t* minSize, int32_t* maxSize, int32_t* preferredSize, int32_t* granularity) override;
    ASIOError canSampleRate(ASIOSampleRate sampleRate) override;
    ASIOError getSampleRate(ASIOSampleRate* sampleRate) override;
    ASIOError setSampleRate(ASIOSampleRate sampleRate) override;
    ASIOError getClockSources(ASIOClockSource* clocks, int32_t* numSources) override;
    ASIOError setClockSource(int32_t reference) override;
    ASIOError getSamplePosition(ASIOSamples* samplePosition, ASIOTimeStamp* timeStamp) override;
    ASIOError getChannelInfo(ASIOChannelInfo* info) override;
    ASIOError createBuffers(ASIOBufferInfo* bufferInfos, int32_t numChannels, int32_t bufferSize,
        ASIOCallbacks* callbacks) override;
    ASIOError disposeBuffers() override;
    ASIOError controlPanel() override;
    ASIOError future(int32_t selector, void* opt) override;
    ASIOError outputReady() override;
    void Release() override;

    // Bits of m_trouble: why switching stopped.
    static constexpr uint32_t kServerGone = 1;  // the server shut down or died
    static constexpr uint32_t kSizeChanged = 2; // the server's buffer size left the buffers' size
    static constexpr uint32_t kRateChanged = 4; // the server's rate changed
    // How long the client of a server that went away stays open for the host to release it.
    static constexpr int kCloseGraceMilliseconds = 1000;
    // How long the notifier lets the graph settle after a connection change before reading it:
    // a port that goes away is disconnected just before it is unregistered.
    static constexpr int kRoutingSettleMilliseconds = 50;
    // How long a connection undone while its peer is there waits to be forgotten: a program that
    // quits disconnects its ports first and unregisters them a moment later.
    static constexpr int kLeaveGraceMilliseconds = 500;
    // The shortest time between two writes of the routing to jack.ini while the client is active.
    static constexpr int kRoutingSaveMilliseconds = 1000;

private:
    ~JackDriver() override;

    struct Channel {
        bool isInput = false;
        int number = 0;
        jack_port_t* port = nullptr; // none for a padding channel past the configured ports
        int32_t* halves[2] = {};     // into m_samples
    };

    bool OpenClient();
    bool RegisterPorts();
    void CloseClient(); // host threads or the notifier
    void WaitOutCloseGrace() const;
    // The ports' connections (JackConnections.cpp); all under m_clientMutex.
    void RestoreConnections();     // host thread, once the client is active
    void ConnectRememberedPeers(); // those of the remembered peers that are there now
    void RememberConnections();    // host threads or the notifier, while the server is there
    void SaveConnections();        // host threads or the notifier, as the client closes
    // Writes the routing when it differs from the file's; true when a write was tried. Only a
    // client that has been active writes.
    bool WriteRouting();
    bool FollowRouting(); // the notifier, after a connection change
    void ConnectPhysicalCaptures();
    bool CheckUsable();    // false (with m_error) when the server went away or changed
    void TakeServerSize(); // m_periodFrames, m_periods and m_bufferFrames from the server
    int ChannelLimit(bool input) const;

    // JACK callbacks (JackCallbacks.cpp).
    static int OnProcess(jack_nframes_t frames, void* self);
    static int OnBufferSize(jack_nframes_t frames, void* self);
    static int OnSampleRate(jack_nframes_t rate, void* self);
    static void OnShutdown(jack_status_t code, const char* reason, void* self);
    static void OnPortConnect(jack_port_id_t a, jack_port_id_t b, int connect, void* self);
    static void OnPortRegistration(jack_port_id_t port, int registered, void* self);
    void Raise(uint32_t trouble);
    void Switch(jack_nframes_t frames);
    void SwitchHalf(int half);
    void PlayOutputs(int half, size_t offset, jack_nframes_t frames);
    void Silence(jack_nframes_t frames);
    void RunNotifier();
    // Waits for a post (up to `milliseconds`, or for ever when negative); false once told to
    // quit. A timed wait lets posts pass until its end, unless `wakeOnTrouble` and trouble was
    // raised.
    bool WaitNotice(int milliseconds, bool wakeOnTrouble = false);
    void StopNotifier();

    JackConfig m_config;
    std::filesystem::path m_configPath; // jack.ini, read by init, its routing written back
    std::string m_error;                // the last failure, for getErrorMessage
    jack_client_t* m_client = nullptr;
    std::vector<jack_port_t*> m_inputPorts;
    std::vector<jack_port_t*> m_outputPorts;
    bool m_active = false; // activated by createBuffers
    // The remembered routing and what jack.ini holds of it; guarded by m_clientMutex.
    JackRouting m_routing;
    JackRouting m_savedRouting;
    // The client has been active since it opened. Only such a client's routing is written: one
    // that was only opened (a device probe, a device list) has no connections of its own and
    // must not wipe out those of the client that is metering.
    bool m_routed = false;

    // Set up by createBuffers before activation; read by the process thread.
    std::vector<Channel> m_channels;
    std::vector<int32_t> m_samples; // both halves of every channel, one allocation
    ASIOCallbacks m_callbacks {};
    bool m_timeInfoMode = false; // the host takes bufferSwitchTimeInfo

    // Process thread only while running.
    ASIOTime m_time {};
    int m_half = 0;
    int m_cycle = 0; // periods of the current half filled
    uint64_t m_framesSwitched = 0;
    uint64_t m_halfStartTime = 0; // ns, when the current half's first period began

    std::atomic<uint32_t> m_periodFrames { 0 };   // the server's period the buffers are made for
    std::atomic<int> m_periods { 1 };             // server periods per host buffer
    std::atomic<uint32_t> m_bufferFrames { 0 };   // frames per half: m_periods x m_periodFrames
    std::atomic<uint32_t> m_rate { 0 };           // Hz, the server's
    std::atomic<bool> m_running { false };        // between start and stop
    std::atomic<bool> m_inSwitch { false };       // the process callback is using the buffers
    std::atomic<uint32_t> m_trouble { 0 };        // kServerGone | kSizeChanged | kRateChanged
    std::atomic<int64_t> m_goneAtMs { 0 };        // monotonic ms of the server's shutdown notice
    std::atomic<uint32_t> m_newFrames { 0 };      // the buffer size the server changed to
    std::atomic<uint64_t> m_samplePosition { 0 }; // frames, at the last buffer switch
    std::atomic<uint64_t> m_systemTime { 0 };     // ns, at the last buffer switch

    sem_t m_notify; // posted by JACK's callbacks
    std::thread m_notifier;
    std::atomic<bool> m_quitNotifier { false };
    std::atomic<uint32_t> m_unreported { 0 };     // trouble raised and not yet passed to the host
    std::atomic<bool> m_routingChanged { false }; // a connection changed since the notifier read
    std::atomic<bool> m_portsAppeared { false };  // a client registered ports: remembered peers?
    std::chrono::steady_clock::time_point m_lastRoutingWrite {}; // notifier only
    std::mutex m_callbackMutex; // guards m_callbacks between host calls and the notifier
    // Guards m_client and the ports between host calls and the notifier, which closes the
    // client of a server that went away: a client left open then would be freed by libjack
    // itself the next time any client of this process opens, under the driver's feet.
    std::recursive_mutex m_clientMutex;
    std::atomic<pthread_t> m_processThread {}; // JACK's process thread, as last seen
};

} // namespace kerrion::jack
