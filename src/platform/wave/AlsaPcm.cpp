#include "platform/wave/AlsaPcm.h"

#include "platform/wave/AlsaSupport.h"

#include <cerrno>

namespace kerrion {

namespace {

// The device's ring and period as asked for (each device settles on what it can do): half a
// second of ring absorbs a late consumer, a period of 50 ms keeps wake-ups few.
constexpr unsigned kBufferMilliseconds = 500;
constexpr unsigned kPeriodMicroseconds = 50000;

} // namespace

AlsaPcm::~AlsaPcm() { Close(); }

int AlsaPcm::Open(const std::string& pcmName, WaveDirection direction, const WaveFormat& format)
{
    Close();
    m_capture = direction == WaveDirection::Capture;
    m_lost = false;
    m_overruns.store(0, std::memory_order_relaxed);
    if (OpenPcm(pcmName, direction, &m_pcm) < 0) {
        m_pcm = nullptr;
        return kWaveNoDriver;
    }
    int result = SetHardware(format);
    if (result == kWaveNoError)
        result = SetSoftware();
    if (result == kWaveNoError) {
        const int count = snd_pcm_poll_descriptors_count(m_pcm);
        if (count <= 0 || count > static_cast<int>(kMaxPollDescriptors))
            result = kWaveNoDriver;
        m_pcmDescriptors = count;
    }
    if (result != kWaveNoError)
        Close();
    return result;
}

void AlsaPcm::Close()
{
    if (m_pcm == nullptr)
        return;
    snd_pcm_close(m_pcm);
    m_pcm = nullptr;
    m_pcmDescriptors = 0;
}

int AlsaPcm::SetHardware(const WaveFormat& format)
{
    snd_pcm_hw_params_t* params = nullptr;
    snd_pcm_hw_params_alloca(&params);
    if (snd_pcm_hw_params_any(m_pcm, params) < 0)
        return kWaveNoDriver;
    unsigned rate = format.samplesPerSecond;
    if (snd_pcm_hw_params_set_access(m_pcm, params, SND_PCM_ACCESS_RW_INTERLEAVED) < 0
        || snd_pcm_hw_params_set_format(m_pcm, params, SampleFormatOfBits(format.bitsPerSample)) < 0
        || snd_pcm_hw_params_set_channels(m_pcm, params, format.channels) < 0
        || snd_pcm_hw_params_set_rate(m_pcm, params, rate, 0) < 0)
        return kWaveBadFormat;
    // Best effort, each on a copy (a refused "near" request can leave the space empty): a
    // device that cannot come near these keeps its own choice.
    snd_pcm_hw_params_t* trial = nullptr;
    snd_pcm_hw_params_alloca(&trial);
    snd_pcm_hw_params_copy(trial, params);
    unsigned periodTime = kPeriodMicroseconds;
    int dir = 0;
    if (snd_pcm_hw_params_set_period_time_near(m_pcm, trial, &periodTime, &dir) == 0)
        snd_pcm_hw_params_copy(params, trial);
    snd_pcm_uframes_t bufferSize
        = static_cast<snd_pcm_uframes_t>(rate) * kBufferMilliseconds / 1000;
    if (snd_pcm_hw_params_set_buffer_size_near(m_pcm, trial, &bufferSize) == 0)
        snd_pcm_hw_params_copy(params, trial);
    if (snd_pcm_hw_params(m_pcm, params) < 0)
        return kWaveBadFormat;
    snd_pcm_uframes_t period = 0;
    snd_pcm_uframes_t buffer = 0;
    dir = 0;
    if (snd_pcm_hw_params_get_period_size(params, &period, &dir) < 0
        || snd_pcm_hw_params_get_buffer_size(params, &buffer) < 0 || period == 0)
        return kWaveNoDriver;
    m_periodFrames = static_cast<unsigned>(period);
    m_bufferFrames = static_cast<unsigned>(buffer);
    return kWaveNoError;
}

int AlsaPcm::SetSoftware()
{
    snd_pcm_sw_params_t* params = nullptr;
    snd_pcm_sw_params_alloca(&params);
    if (snd_pcm_sw_params_current(m_pcm, params) < 0)
        return kWaveNoDriver;
    // Playback starts once a period is queued; capture is started explicitly by Run.
    const snd_pcm_uframes_t start = m_capture ? m_bufferFrames : m_periodFrames;
    if (snd_pcm_sw_params_set_avail_min(m_pcm, params, m_periodFrames) < 0
        || snd_pcm_sw_params_set_start_threshold(m_pcm, params, start) < 0
        || snd_pcm_sw_params(m_pcm, params) < 0)
        return kWaveNoDriver;
    return kWaveNoError;
}

bool AlsaPcm::Run()
{
    if (m_lost)
        return false;
    switch (snd_pcm_state(m_pcm)) {
    case SND_PCM_STATE_OPEN:
    case SND_PCM_STATE_SETUP:
    case SND_PCM_STATE_XRUN:
    case SND_PCM_STATE_DRAINING:
        if (snd_pcm_prepare(m_pcm) < 0)
            m_lost = true;
        break;
    case SND_PCM_STATE_SUSPENDED:
        return Recover(-ESTRPIPE);
    case SND_PCM_STATE_DISCONNECTED:
        m_lost = true;
        break;
    default:
        break;
    }
    if (!m_lost && m_capture && snd_pcm_state(m_pcm) == SND_PCM_STATE_PREPARED
        && snd_pcm_start(m_pcm) < 0)
        m_lost = true;
    return !m_lost;
}

long AlsaPcm::Transfer(uint8_t* data, unsigned long frames)
{
    const snd_pcm_sframes_t moved
        = m_capture ? snd_pcm_readi(m_pcm, data, frames) : snd_pcm_writei(m_pcm, data, frames);
    return moved == -EAGAIN ? 0 : static_cast<long>(moved);
}

bool AlsaPcm::Recover(int error)
{
    if (m_lost)
        return false;
    switch (error) {
    case -EINTR:
    case -EAGAIN:
        return true;
    case -EPIPE: // overrun (capture) or underrun (playback): the stream starts over
        if (m_capture)
            m_overruns.fetch_add(1, std::memory_order_relaxed);
        break;
    case -ESTRPIPE: {
        const int resumed = snd_pcm_resume(m_pcm);
        if (resumed == -EAGAIN)
            return true; // still suspended: the next wait tries again
        if (resumed == 0)
            return true;
        break; // the device cannot resume where it was: start over
    }
    default:
        m_lost = true;
        return false;
    }
    if (snd_pcm_prepare(m_pcm) < 0 || (m_capture && snd_pcm_start(m_pcm) < 0))
        m_lost = true;
    return !m_lost;
}

void AlsaPcm::Drop()
{
    if (!m_lost)
        (void)snd_pcm_drop(m_pcm);
}

bool AlsaPcm::CheckState()
{
    switch (snd_pcm_state(m_pcm)) {
    case SND_PCM_STATE_XRUN:
        return Recover(-EPIPE);
    case SND_PCM_STATE_SUSPENDED:
        return Recover(-ESTRPIPE);
    case SND_PCM_STATE_DISCONNECTED:
        m_lost = true;
        return false;
    default:
        return true;
    }
}

AlsaPcm::WaitResult AlsaPcm::Wait(int wakeFd, int timeoutMs)
{
    const int count = snd_pcm_poll_descriptors(
        m_pcm, m_pollFds.data(), static_cast<unsigned>(m_pcmDescriptors));
    const int pcmCount = count > 0 ? count : 0;
    m_pollFds[pcmCount] = pollfd { wakeFd, POLLIN, 0 };
    const int ready = poll(m_pollFds.data(), static_cast<nfds_t>(pcmCount + 1), timeoutMs);
    if (ready < 0 || m_pollFds[pcmCount].revents != 0)
        return WaitResult::Woken;
    if (ready == 0) {
        CheckState();
        return WaitResult::TimedOut;
    }
    unsigned short events = 0;
    if (snd_pcm_poll_descriptors_revents(
            m_pcm, m_pollFds.data(), static_cast<unsigned>(pcmCount), &events)
            < 0
        || (events & (POLLERR | POLLNVAL | POLLHUP)) != 0)
        CheckState();
    return WaitResult::Ready;
}

long AlsaPcm::Delay()
{
    snd_pcm_sframes_t delay = 0;
    if (m_lost || snd_pcm_delay(m_pcm, &delay) < 0 || delay < 0)
        return 0;
    return static_cast<long>(delay);
}

} // namespace kerrion
