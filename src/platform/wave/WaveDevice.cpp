#include "platform/wave/WaveDevice.h"

#include "platform/wave/AlsaSupport.h"
#include "platform/wave/WaveEndpoints.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <system_error>

namespace kerrion {

namespace {

// How long the owner waits for the I/O thread to carry out a request.
constexpr auto kRequestTimeout = std::chrono::milliseconds(3000);
// The I/O thread's longest sleep; it looks at the device's state at least this often.
constexpr int kWaitMilliseconds = 1000;
// "Above normal", not real time: a nice value a little better than the default.
constexpr int kIoThreadNice = -5;

bool IsValidFormat(const WaveFormat& format)
{
    return format.formatTag == kWaveFormatPcm && format.channels > 0
        && SampleFormatOfBits(format.bitsPerSample) != SND_PCM_FORMAT_UNKNOWN
        && format.samplesPerSecond > 0
        && format.blockAlign == format.channels * format.bitsPerSample / 8;
}

void RaiseThreadPriority()
{
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    (void)setpriority(PRIO_PROCESS, tid, kIoThreadNice); // refused: normal priority it is
}

} // namespace

WaveDevice::~WaveDevice()
{
    if (!IsOpen())
        return;
    Reset();
    Request(Command::Exit);
    m_thread.join();
    m_pcm.Close();
    close(m_wakeFd);
}

int WaveDevice::Open(const WaveEndpoints& endpoints, uint32_t index, WaveDirection direction,
    const WaveFormat& format, WaveCallback callback, void* instance)
{
    const char* pcmName = endpoints.PcmName(index, direction);
    if (pcmName == nullptr)
        return kWaveBadDeviceId;
    return Open(std::string(pcmName), direction, format, callback, instance);
}

int WaveDevice::Open(const std::string& pcmName, WaveDirection direction, const WaveFormat& format,
    WaveCallback callback, void* instance)
{
    if (IsOpen())
        return kWaveInvalidParam;
    if (!IsValidFormat(format))
        return kWaveBadFormat;
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0)
        return kWaveNoMemory;
    const int opened = m_pcm.Open(pcmName, direction, format);
    if (opened != kWaveNoError) {
        close(m_wakeFd);
        m_wakeFd = -1;
        return opened;
    }
    m_format = format;
    m_direction = direction;
    m_callback = callback;
    m_instance = instance;
    m_head = m_tail = nullptr;
    m_command = Command::None;
    m_commandSerial = m_answerSerial = 0;
    m_lost = false;
    m_position = 0;
    m_running = direction == WaveDirection::Playback;
    m_headerBytes = 0;
    m_movedFrames = 0;
    try {
        m_thread = std::thread(&WaveDevice::Run, this);
    } catch (const std::system_error&) {
        m_pcm.Close();
        close(m_wakeFd);
        m_wakeFd = -1;
        return kWaveNoMemory;
    }
    return kWaveNoError;
}

int WaveDevice::PrepareHeader(WaveHeader* header)
{
    if (!IsOpen())
        return kWaveInvalidHandle;
    if (header == nullptr || header->data == nullptr || header->bufferLength == 0)
        return kWaveInvalidParam;
    const uint32_t flags = header->flags.load();
    if ((flags & kWaveHeaderInQueue) != 0)
        return kWaveStillPlaying;
    header->flags = flags | kWaveHeaderPrepared;
    return kWaveNoError;
}

int WaveDevice::UnprepareHeader(WaveHeader* header)
{
    if (!IsOpen())
        return kWaveInvalidHandle;
    if (header == nullptr)
        return kWaveInvalidParam;
    const uint32_t flags = header->flags.load();
    if ((flags & kWaveHeaderInQueue) != 0)
        return kWaveStillPlaying;
    header->flags = flags & ~kWaveHeaderPrepared;
    return kWaveNoError;
}

int WaveDevice::Queue(WaveHeader* header)
{
    if (!IsOpen())
        return kWaveInvalidHandle;
    if (header == nullptr)
        return kWaveInvalidParam;
    const uint32_t flags = header->flags.load();
    if ((flags & kWaveHeaderPrepared) == 0)
        return kWaveUnprepared;
    if ((flags & kWaveHeaderInQueue) != 0)
        return kWaveStillPlaying;
    if (m_lost)
        return kWaveNoDriver;
    header->bytesRecorded = 0;
    header->next = nullptr;
    header->flags = (flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
    {
        std::lock_guard lock(m_mutex);
        if (m_tail != nullptr)
            m_tail->next = header;
        else
            m_head = header;
        m_tail = header;
    }
    Wake();
    return kWaveNoError;
}

int WaveDevice::Start() { return Request(Command::Start); }

int WaveDevice::Stop() { return Request(Command::Stop); }

int WaveDevice::Reset() { return Request(Command::Reset); }

int WaveDevice::Close()
{
    if (!IsOpen())
        return kWaveInvalidHandle;
    {
        std::lock_guard lock(m_mutex);
        if (m_head != nullptr)
            return kWaveStillPlaying;
    }
    Request(Command::Exit);
    m_thread.join();
    m_pcm.Close();
    close(m_wakeFd);
    m_wakeFd = -1;
    return kWaveNoError;
}

int WaveDevice::GetPosition(uint32_t* frames) const
{
    if (frames == nullptr)
        return kWaveInvalidParam;
    *frames = m_position.load(std::memory_order_relaxed);
    return kWaveNoError;
}

int WaveDevice::Request(Command command)
{
    if (!IsOpen())
        return kWaveInvalidHandle;
    std::unique_lock lock(m_mutex);
    const uint64_t serial = ++m_commandSerial;
    m_command = command;
    lock.unlock();
    Wake();
    lock.lock();
    if (!m_answered.wait_for(lock, kRequestTimeout, [&] { return m_answerSerial >= serial; }))
        return kWaveError;
    return m_answer;
}

void WaveDevice::Wake()
{
    const uint64_t one = 1;
    (void)write(m_wakeFd, &one, sizeof one);
}

void WaveDevice::ClearWake()
{
    uint64_t count = 0;
    (void)read(m_wakeFd, &count, sizeof count);
}

void WaveDevice::Run()
{
    RaiseThreadPriority();
    const bool capture = m_direction == WaveDirection::Capture;
    Notify(capture ? kWaveInOpened : kWaveOutOpened, nullptr);
    for (;;) {
        ClearWake();
        Command command = Command::None;
        uint64_t serial = 0;
        WaveHeader* front = nullptr;
        {
            std::lock_guard lock(m_mutex);
            std::swap(command, m_command);
            serial = m_commandSerial;
            front = m_head;
        }
        if (command != Command::None) {
            const int answer = Execute(command);
            {
                std::lock_guard lock(m_mutex);
                m_answer = answer;
                m_answerSerial = serial;
            }
            m_answered.notify_all();
            if (command == Command::Exit)
                break;
            continue;
        }
        if (front != nullptr && m_running && !m_lost) {
            if (!Pump(front))
                m_pcm.Wait(m_wakeFd, kWaitMilliseconds);
            if (m_pcm.Lost())
                m_lost = true;
            if (!capture)
                UpdatePlaybackPosition();
        } else {
            pollfd wake { m_wakeFd, POLLIN, 0 };
            (void)poll(&wake, 1, kWaitMilliseconds);
        }
    }
    Notify(capture ? kWaveInClosed : kWaveOutClosed, nullptr);
}

int WaveDevice::Execute(Command command)
{
    const bool capture = m_direction == WaveDirection::Capture;
    switch (command) {
    case Command::Start:
        if (m_lost)
            return kWaveNoDriver;
        m_running = true;
        if (capture && !m_pcm.Run()) {
            m_lost = true;
            return kWaveNoDriver;
        }
        return kWaveNoError;
    case Command::Stop:
        m_pcm.Drop();
        m_running = false;
        // The buffer being filled comes back with what it holds; empty ones stay queued.
        if (capture && m_headerBytes > 0)
            Complete(Front(), m_headerBytes);
        if (!capture)
            UpdatePlaybackPosition();
        return kWaveNoError;
    case Command::Reset:
        m_pcm.Drop();
        ReturnAll();
        m_running = !capture;
        m_movedFrames = 0;
        m_position = 0;
        return kWaveNoError;
    case Command::Exit:
        m_pcm.Drop();
        return kWaveNoError;
    case Command::None:
        break;
    }
    return kWaveNoError;
}

// Moves what the device has ready into or out of the front header; false when nothing moved.
bool WaveDevice::Pump(WaveHeader* front)
{
    if (!m_pcm.Run())
        return true; // lost: the loop sees it
    const uint32_t frameBytes = m_format.blockAlign;
    const unsigned long frames = (front->bufferLength - m_headerBytes) / frameBytes;
    if (frames == 0) {
        Complete(front, m_headerBytes);
        return true;
    }
    const long moved = m_pcm.Transfer(front->data + m_headerBytes, frames);
    if (moved < 0) {
        m_pcm.Recover(static_cast<int>(moved)); // a failure leaves the device lost
        return true;
    }
    if (moved == 0)
        return false;
    m_headerBytes += static_cast<uint32_t>(moved) * frameBytes;
    m_movedFrames += static_cast<uint64_t>(moved);
    if (m_direction == WaveDirection::Capture)
        m_position = static_cast<uint32_t>(m_movedFrames);
    if (front->bufferLength - m_headerBytes < frameBytes)
        Complete(front, m_headerBytes);
    return true;
}

// Takes the front header off the queue and hands it back through the callback.
void WaveDevice::Complete(WaveHeader* header, uint32_t bytes)
{
    {
        std::lock_guard lock(m_mutex);
        m_head = header->next;
        if (m_head == nullptr)
            m_tail = nullptr;
    }
    header->next = nullptr;
    m_headerBytes = 0;
    const bool capture = m_direction == WaveDirection::Capture;
    if (capture)
        header->bytesRecorded = bytes;
    header->flags = (header->flags.load() & ~kWaveHeaderInQueue) | kWaveHeaderDone;
    Notify(capture ? kWaveInData : kWaveOutDone, header);
}

void WaveDevice::ReturnAll()
{
    for (WaveHeader* head = Front(); head != nullptr; head = Front())
        Complete(head, m_headerBytes); // only the first one holds anything
}

WaveHeader* WaveDevice::Front()
{
    std::lock_guard lock(m_mutex);
    return m_head;
}

void WaveDevice::UpdatePlaybackPosition()
{
    const auto delay = static_cast<uint64_t>(m_pcm.Delay());
    const uint64_t played = m_movedFrames > delay ? m_movedFrames - delay : 0;
    m_position = static_cast<uint32_t>(played);
}

void WaveDevice::Notify(uint32_t message, WaveHeader* header)
{
    if (m_callback != nullptr)
        m_callback(message, m_instance, header);
}

} // namespace kerrion
