// The JACK side of the driver: the process callback that feeds the host's buffer switch, the
// callbacks that note a server going away or changing, and the thread that tells the host.

#include "JackDriver.h"

#include "SampleScaling.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

namespace kerrion::jack {
namespace {

ASIOSamples Split(uint64_t value)
{
    return { static_cast<uint32_t>(value >> 32), static_cast<uint32_t>(value) };
}

} // namespace

int JackDriver::OnProcess(jack_nframes_t frames, void* self)
{
    auto& driver = *static_cast<JackDriver*>(self);
    // Set before m_running is read, so that stop() either sees this switch or stops it.
    driver.m_inSwitch.store(true);
    driver.m_processThread.store(pthread_self());
    if (driver.m_running.load() && driver.m_trouble.load() == 0
        && frames == driver.m_periodFrames.load())
        driver.Switch(frames);
    else
        driver.Silence(frames);
    driver.m_inSwitch.store(false);
    return 0;
}

// Gathers the server's periods into the current half; a full half goes to the host. With one
// period per buffer the host's output is played in the cycle that produced it, as the host
// expects of a driver at its own size; with several, the output of the last switch is played
// period by period while the next half fills.
void JackDriver::Switch(jack_nframes_t frames)
{
    const int half = m_half;
    const auto offset = static_cast<size_t>(m_cycle) * frames;
    for (const Channel& channel : m_channels) {
        if (channel.isInput && channel.port != nullptr)
            FloatToInt32(static_cast<const float*>(jack_port_get_buffer(channel.port, frames)),
                channel.halves[half] + offset, frames);
    }
    const int periods = m_periods.load();
    if (periods > 1)
        PlayOutputs(half ^ 1, offset, frames);
    if (m_cycle == 0) {
        jack_nframes_t cycleFrames = 0;
        jack_time_t cycleStart = 0, nextStart = 0; // microseconds
        float period = 0.0f;                       // microseconds
        jack_get_cycle_times(m_client, &cycleFrames, &cycleStart, &nextStart, &period);
        m_halfStartTime = static_cast<uint64_t>(cycleStart) * 1000u;
    }
    if (++m_cycle < periods)
        return;
    m_cycle = 0;
    SwitchHalf(half);
    if (periods == 1)
        PlayOutputs(half, 0, frames);
    m_half = half ^ 1;
}

void JackDriver::SwitchHalf(int half)
{
    const uint64_t position = m_framesSwitched;
    const uint64_t now = m_halfStartTime;
    m_samplePosition.store(position);
    m_systemTime.store(now);
    if (m_timeInfoMode) {
        m_time = ASIOTime {};
        m_time.timeInfo.speed = 1.0;
        m_time.timeInfo.samplePosition = Split(position);
        m_time.timeInfo.systemTime = Split(now);
        m_time.timeInfo.sampleRate = m_rate.load();
        m_time.timeInfo.flags
            = kSystemTimeValid | kSamplePositionValid | kSampleRateValid | kSpeedValid;
        m_callbacks.bufferSwitchTimeInfo(&m_time, half, ASIOFalse);
    } else {
        m_callbacks.bufferSwitch(half, ASIOFalse);
    }
    m_framesSwitched = position + m_bufferFrames.load();
}

void JackDriver::PlayOutputs(int half, size_t offset, jack_nframes_t frames)
{
    for (const Channel& channel : m_channels) {
        if (!channel.isInput && channel.port != nullptr)
            Int32ToFloat(channel.halves[half] + offset,
                static_cast<float*>(jack_port_get_buffer(channel.port, frames)), frames);
    }
}

void JackDriver::Silence(jack_nframes_t frames)
{
    // JACK does not clear output ports: a stopped driver must still write its silence.
    for (jack_port_t* port : m_outputPorts)
        std::memset(jack_port_get_buffer(port, frames), 0, sizeof(float) * frames);
}

int JackDriver::OnBufferSize(jack_nframes_t frames, void* self)
{
    auto& driver = *static_cast<JackDriver*>(self);
    if (frames != driver.m_periodFrames.load()) {
        driver.m_newFrames.store(frames);
        driver.Raise(kSizeChanged);
    }
    return 0;
}

int JackDriver::OnSampleRate(jack_nframes_t rate, void* self)
{
    auto& driver = *static_cast<JackDriver*>(self);
    if (driver.m_rate.exchange(rate) != rate)
        driver.Raise(kRateChanged);
    return 0;
}

void JackDriver::OnShutdown(jack_status_t, const char*, void* self)
{
    auto& driver = *static_cast<JackDriver*>(self);
    timespec now {}; // clock_gettime is async-signal-safe; std::chrono makes no such promise
    clock_gettime(CLOCK_MONOTONIC, &now);
    driver.m_goneAtMs.store(static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000);
    driver.Raise(kServerGone);
}

// JACK's notification thread, for a connection anywhere in the graph: the notifier reads the
// bridge's own ports once the graph has settled.
void JackDriver::OnPortConnect(jack_port_id_t, jack_port_id_t, int, void* self)
{
    auto& driver = *static_cast<JackDriver*>(self);
    driver.m_routingChanged.store(true);
    sem_post(&driver.m_notify);
}

// JACK's notification thread: a program that comes back after the bridge (a player restarted
// with its server) is connected again as remembered, by the notifier.
void JackDriver::OnPortRegistration(jack_port_id_t, int registered, void* self)
{
    if (registered == 0)
        return;
    auto& driver = *static_cast<JackDriver*>(self);
    driver.m_portsAppeared.store(true);
    sem_post(&driver.m_notify);
}

// Async-signal-safe: an atomic update and sem_post.
void JackDriver::Raise(uint32_t trouble)
{
    const uint32_t before = m_trouble.fetch_or(trouble);
    if ((before & trouble) == trouble)
        return;
    m_unreported.fetch_or(trouble);
    sem_post(&m_notify);
}

void JackDriver::RunNotifier()
{
    for (;;) {
        // A wait with a time-out (FollowRouting's) takes the posts that come meanwhile: what
        // they flagged is handled without waiting again.
        const bool flagged
            = m_portsAppeared.load() || m_routingChanged.load() || m_unreported.load() != 0;
        if (flagged ? m_quitNotifier.load() : !WaitNotice(-1))
            return;
        if (m_portsAppeared.exchange(false)) {
            std::lock_guard lock(m_clientMutex);
            if (m_client != nullptr && m_active && (m_trouble.load() & kServerGone) == 0)
                ConnectRememberedPeers();
        }
        if (m_routingChanged.exchange(false) && !FollowRouting())
            return;
        const uint32_t trouble = m_unreported.exchange(0);
        ASIOCallbacks callbacks;
        {
            std::lock_guard lock(m_callbackMutex);
            callbacks = m_callbacks;
        }
        // Without buffers there is nobody to tell; the next createBuffers or start says why.
        if (trouble != 0 && callbacks.asioMessage != nullptr) {
            if ((trouble & kRateChanged) != 0 && callbacks.sampleRateDidChange != nullptr)
                callbacks.sampleRateDidChange(m_rate.load());
            // The host has to stop, dispose of its buffers and set the driver up again.
            callbacks.asioMessage(kAsioResetRequest, 0, nullptr, nullptr);
        }
        if ((trouble & kServerGone) != 0) {
            // A client left attached to a dead server is freed by libjack itself when this
            // process next opens a client, under the driver's feet; so it is closed here unless
            // the host releases the driver first. Not at once: a stopping server still writes
            // to its clients, and dies of SIGPIPE if one has closed.
            if (!WaitNotice(kCloseGraceMilliseconds))
                return;
            CloseClient();
        }
    }
}

// Reads the ports' connections once the graph has settled and writes what changed to jack.ini,
// no sooner than kRoutingSaveMilliseconds after the last write, so a burst of changes (a patch
// bay restoring a session) costs a write a second; a change reaches the file within about two
// seconds, so a killed host loses no more. False once told to quit.
bool JackDriver::FollowRouting()
{
    do {
        const auto sinceSave = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - m_lastRoutingWrite);
        const auto wait = std::clamp<int64_t>(kRoutingSaveMilliseconds - sinceSave.count(),
            kRoutingSettleMilliseconds, kRoutingSaveMilliseconds);
        if (!WaitNotice(static_cast<int>(wait), true))
            return false;
        if (m_unreported.load() != 0) {
            // The host hears of trouble first; the routing is followed on the next round.
            m_routingChanged = true;
            sem_post(&m_notify);
            return true;
        }
        std::unique_lock lock(m_clientMutex);
        try {
            const JackRouting before = m_routing;
            RememberConnections();
            if (m_routing.Forgets(before)) {
                // A program that quits disconnects its ports just before it unregisters them,
                // and on a busy machine the second can come well after the first: a connection
                // is forgotten only if its peer is still there a moment later.
                m_routing = before;
                lock.unlock();
                if (!WaitNotice(kLeaveGraceMilliseconds, true))
                    return false;
                lock.lock();
                RememberConnections();
            }
            if (WriteRouting())
                m_lastRoutingWrite = std::chrono::steady_clock::now();
        } catch (...) {
            // Out of memory: the file keeps what it had; the next change or the close tries again.
        }
    } while (m_routingChanged.exchange(false));
    return true;
}

// Waits for a post (up to `milliseconds`, or for ever when negative); false once told to quit.
bool JackDriver::WaitNotice(int milliseconds, bool wakeOnTrouble)
{
    if (milliseconds < 0) {
        while (sem_wait(&m_notify) != 0 && errno == EINTR) { }
        return !m_quitNotifier.load();
    }
    timespec deadline {};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_nsec -= 1000000000L;
        ++deadline.tv_sec;
    }
    while (!m_quitNotifier.load()) {
        if (sem_timedwait(&m_notify, &deadline) != 0 && errno == ETIMEDOUT)
            return true;
        if (wakeOnTrouble && m_unreported.load() != 0)
            return true;
    }
    return false;
}

void JackDriver::StopNotifier()
{
    if (!m_notifier.joinable())
        return;
    m_quitNotifier = true;
    sem_post(&m_notify);
    // A host that releases the driver from its message callback runs on the notifier itself.
    if (m_notifier.get_id() == std::this_thread::get_id())
        m_notifier.detach();
    else
        m_notifier.join();
}

} // namespace kerrion::jack
