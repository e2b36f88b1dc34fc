// The plain device's thread: keeps four wave buffers per direction queued at the wave layer and
// moves their contents to and from the ring slots of CSndIODevice. The wave callbacks (on the
// wave layer's I/O threads) only note the returned buffer and give the port's done semaphore.

#include "sndio/WmmeDeviceState.h"

#include "platform/sync/Semaphore.h"
#include "platform/sync/WaitSet.h"
#include "platform/wave/WaveDevice.h"
#include "sndio/SndIOThreadContext.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

namespace kerrion {

namespace {

constexpr uint32_t kHeaders = 4;

// One direction's wave device with its four buffers (a "wave port"). Device thread only, but
// for `returned` and `done`, which the wave callback writes.
struct WavePort {
    WaveDirection direction = WaveDirection::Playback;
    CSndIOStream* stream = nullptr;
    bool enabled = false;
    WaveDevice device;
    std::array<WaveHeader, kHeaders> headers;
    std::array<std::unique_ptr<uint8_t[]>, kHeaders> buffers;
    uint32_t bufferBytes = 0;                    // capacity of each buffer
    std::atomic<WaveHeader*> returned = nullptr; // the buffer the callback saw last
    Semaphore done { 0, kHeaders };              // buffers free (output) or holding data (input)
    uint32_t nextHeader = 0;                     // the buffer expected back next, 0..3
    uint32_t queued = 0;                         // buffers at the wave device
    uint32_t slot = 0;                           // the device side's ring slot, 0..3
    uint32_t overrunsSeen = 0;                   // wave layer overruns already counted as missed
};

void OnWaveMessage(uint32_t message, void* instance, WaveHeader* header)
{
    if (message != kWaveOutDone && message != kWaveInData)
        return;
    auto* port = static_cast<WavePort*>(instance);
    port->returned.store(header);
    port->done.Give();
}

bool IsPrepared(const WaveHeader& header)
{
    return (header.flags.load() & kWaveHeaderPrepared) != 0;
}

class WmmeThread {
public:
    WmmeThread(CSndIOThreadContext& context, const WaveEndpoints& endpoints);
    void Run();

private:
    enum class Source { Command, Output, Input };
    enum class Next { Continue, Idle, Exit };

    bool OpenPort(WavePort& port);
    void ClosePort(WavePort& port);
    void BuildWaitSets();
    bool IdleCommand();
    Next Stream();
    bool BeginStreaming();
    Next StreamingCommand();
    Next OnOutputDone();
    Next OnInputDone();
    bool Requeue(WavePort& port, WaveHeader& header);
    void ReadPositions();
    void StopSequence(bool streaming);
    void UnprepareAll(WavePort& port);
    Next Finished();

    CSndIOThreadContext& m_context;
    const WaveEndpoints& m_endpoints;
    WavePort m_output;
    WavePort m_input;
    std::optional<WaitSet> m_setA; // command, output, input: after an input buffer
    std::optional<WaitSet> m_setB; // command, input, output: after an output buffer
    std::array<Source, 3> m_orderA {};
    std::array<Source, 3> m_orderB {};
    uint32_t m_waitMs = 0;  // 8 slots
    bool m_running = false; // streaming and not finishing
};

WmmeThread::WmmeThread(CSndIOThreadContext& context, const WaveEndpoints& endpoints)
    : m_context(context)
    , m_endpoints(endpoints)
{
    m_output.direction = WaveDirection::Playback;
    m_output.stream = context.m_output;
    m_input.direction = WaveDirection::Capture;
    m_input.stream = context.m_input;
    m_waitMs = 8u * static_cast<uint32_t>(std::max(1, context.m_slotMilliseconds));
}

void WmmeThread::Run()
{
    if (!OpenPort(m_output)) {
        m_context.Reply(CSndIOThreadContext::kReplyOpenFailed);
        return;
    }
    if (!OpenPort(m_input)) {
        ClosePort(m_output);
        m_context.Reply(CSndIOThreadContext::kReplyOpenFailed);
        return;
    }
    BuildWaitSets();
    m_context.Reply(CSndIOThreadContext::kReplyReady);
    while (!IdleCommand()) { }
    m_setA.reset();
    m_setB.reset();
    ClosePort(m_output);
    ClosePort(m_input);
    m_context.Reply(CSndIOThreadContext::kReplyEnded);
}

bool WmmeThread::OpenPort(WavePort& port)
{
    const CSndIOStream& stream = *port.stream;
    port.enabled = stream.m_enabled != 0;
    if (!port.enabled)
        return true;
    WaveFormat format;
    format.formatTag = kWaveFormatPcm;
    format.channels = static_cast<uint16_t>(stream.m_activeChannels);
    format.samplesPerSecond = static_cast<uint32_t>(stream.m_sampleRate);
    format.bitsPerSample = static_cast<uint16_t>(stream.m_bitsPerSample);
    format.blockAlign = static_cast<uint16_t>(format.channels * format.bitsPerSample / 8);
    format.averageBytesPerSecond = format.samplesPerSecond * format.blockAlign;
    if (port.device.Open(
            m_endpoints, stream.m_deviceIndex, port.direction, format, &OnWaveMessage, &port)
        != kWaveNoError)
        return false;
    port.bufferBytes = WaveBufferBytes(stream);
    for (uint32_t i = 0; i < kHeaders; ++i) {
        port.buffers[i].reset(new (std::nothrow) uint8_t[port.bufferBytes]());
        if (!port.buffers[i]) {
            for (auto& buffer : port.buffers)
                buffer.reset();
            port.device.Close();
            return false;
        }
        port.headers[i].data = port.buffers[i].get();
        port.headers[i].bufferLength = port.bufferBytes;
        port.headers[i].user = i;
        port.headers[i].flags = 0;
    }
    port.done.Reset(port.direction == WaveDirection::Playback ? kHeaders : 0, kHeaders);
    return true;
}

void WmmeThread::ClosePort(WavePort& port)
{
    if (!port.device.IsOpen())
        return;
    port.device.Reset();
    if (port.direction == WaveDirection::Capture)
        port.device.Stop();
    UnprepareAll(port);
    port.device.Close();
    for (auto& buffer : port.buffers)
        buffer.reset();
}

void WmmeThread::BuildWaitSets()
{
    Waitable* command = &m_context.m_commandEvent;
    if (m_output.enabled && m_input.enabled) {
        m_setA.emplace(std::initializer_list<Waitable*> { command, &m_output.done, &m_input.done });
        m_setB.emplace(std::initializer_list<Waitable*> { command, &m_input.done, &m_output.done });
        m_orderA = { Source::Command, Source::Output, Source::Input };
        m_orderB = { Source::Command, Source::Input, Source::Output };
        return;
    }
    WavePort& only = m_output.enabled ? m_output : m_input;
    m_setA.emplace(std::initializer_list<Waitable*> { command, &only.done });
    m_setB.emplace(std::initializer_list<Waitable*> { command, &only.done });
    m_orderA[0] = m_orderB[0] = Source::Command;
    m_orderA[1] = m_orderB[1] = m_output.enabled ? Source::Output : Source::Input;
}

// Serves one command while idle; true when the thread is to end.
bool WmmeThread::IdleCommand()
{
    m_context.m_commandEvent.Wait(kWaitForever);
    switch (m_context.m_commandCode.load()) {
    case CSndIOThreadContext::kCommandStart:
        return Stream() == Next::Exit;
    case CSndIOThreadContext::kCommandFinish:
    case CSndIOThreadContext::kCommandStop:
        m_context.Reply(CSndIOThreadContext::kReplyAcknowledged);
        StopSequence(false);
        return false;
    case CSndIOThreadContext::kCommandQuit:
        m_context.Reply(CSndIOThreadContext::kReplyAcknowledged);
        return true;
    case CSndIOThreadContext::kCommandPosition:
        m_context.m_positionEvent.Set();
        return false;
    default:
        return false;
    }
}

WmmeThread::Next WmmeThread::Stream()
{
    if (!BeginStreaming())
        return Next::Exit;
    bool afterOutput = false; // which set to wait on: B after an output buffer, else A
    for (;;) {
        WaitSet& set = afterOutput ? *m_setB : *m_setA;
        const int which = set.Wait(m_waitMs);
        if (which == WaitSet::kTimedOut) {
            // While finishing, buffers that stopped coming back (a device gone) would keep the
            // stop from ever being reported: eight slots without any ends it.
            if (!m_running)
                return Finished();
            // An unplugged device returns nothing more: the engine hears of it now rather than
            // after its own time-outs, and the run ends as lost.
            const bool gone = (m_input.enabled && m_input.device.IsLost())
                || (m_output.enabled && m_output.device.IsLost());
            if (gone && !m_context.IsLost())
                m_context.MarkLost();
            continue;
        }
        Next next = Next::Continue;
        switch ((afterOutput ? m_orderB : m_orderA)[static_cast<size_t>(which)]) {
        case Source::Command:
            next = StreamingCommand();
            break;
        case Source::Output:
            afterOutput = true;
            next = OnOutputDone();
            break;
        case Source::Input:
            afterOutput = false;
            next = OnInputDone();
            break;
        }
        if (next != Next::Continue)
            return next;
    }
}

bool WmmeThread::BeginStreaming()
{
    CSndIOThreadContext& c = m_context;
    for (uint32_t i = 0; i < kHeaders; ++i)
        c.m_outputFree.TryWait();
    c.m_outputFree.Give(); // the engine may fill one output slot before the device asks
    for (uint32_t i = 0; i < kHeaders; ++i)
        c.m_inputFilled.TryWait();
    if (m_output.enabled && m_input.enabled) {
        // The engine's first four reads return empty slots while the output fills up. They are
        // its slots until it reads them, so they are taken from the free ones: the device never
        // writes a slot the engine may be reading.
        for (uint32_t i = 0; i < kHeaders; ++i) {
            c.m_inputFree.TryWait();
            c.m_inputFilled.Give();
        }
    }
    m_output.done.Reset(kHeaders, kHeaders);
    m_input.done.Reset(0, kHeaders);
    for (WavePort* port : { &m_output, &m_input }) {
        port->nextHeader = port->queued = port->slot = 0;
        port->overrunsSeen = port->device.IsOpen() ? port->device.Overruns() : 0;
    }
    c.Reply(CSndIOThreadContext::kReplyAcknowledged);
    if (m_input.enabled) {
        for (WaveHeader& header : m_input.headers) {
            if (!Requeue(m_input, header))
                return false;
        }
        if (m_input.device.Start() != kWaveNoError)
            return false;
    }
    m_running = true;
    return true;
}

WmmeThread::Next WmmeThread::StreamingCommand()
{
    switch (m_context.m_commandCode.load()) {
    case CSndIOThreadContext::kCommandFinish:
        m_context.Reply(CSndIOThreadContext::kReplyAcknowledged);
        m_running = false;
        return Next::Continue;
    case CSndIOThreadContext::kCommandStop:
        m_context.Reply(CSndIOThreadContext::kReplyAcknowledged);
        StopSequence(true);
        return Next::Idle;
    case CSndIOThreadContext::kCommandQuit:
        m_context.Reply(CSndIOThreadContext::kReplyAcknowledged);
        return Next::Exit;
    case CSndIOThreadContext::kCommandPosition:
        ReadPositions();
        m_context.m_positionEvent.Set();
        return Next::Continue;
    default:
        return Next::Continue; // a second start is ignored
    }
}

WmmeThread::Next WmmeThread::OnOutputDone()
{
    CSndIOStream& out = *m_output.stream;
    bool haveSlot = true;
    if (m_running) {
        if (!m_context.m_outputFilled.Wait(m_waitMs)) {
            ++out.m_missedSlots;
            m_output.done.Give();
            return Next::Continue;
        }
    } else {
        // Finishing: only what the engine handed over before it stopped is played.
        haveSlot = m_context.m_outputFilled.TryWait();
    }
    ReadPositions();
    m_context.m_positionEvent.Set();
    WaveHeader& header = m_output.headers[m_output.nextHeader];
    m_output.nextHeader = (m_output.nextHeader + 1) % kHeaders;
    if (IsPrepared(header)) {
        m_output.device.UnprepareHeader(&header);
        --m_output.queued;
    }
    uint32_t length = 0;
    if (haveSlot) {
        const uint32_t s = m_output.slot;
        length = std::min(out.m_bytesPerSample * out.m_activeChannels * out.m_slotFrames[s],
            m_output.bufferBytes);
        if (length > 0)
            std::memcpy(header.data, out.m_interleavedBlocks[s], length);
        out.m_slotFrames[s] = 0;
        m_context.m_outputFree.Give();
        m_output.slot = (s + 1) % kHeaders;
    }
    if (!m_running && length == 0 && m_output.queued == 0 && m_input.queued == 0)
        return Finished();
    if (length > 0) {
        header.bufferLength = length;
        if (!Requeue(m_output, header))
            return Next::Exit;
    }
    return Next::Continue;
}

WmmeThread::Next WmmeThread::OnInputDone()
{
    CSndIOStream& in = *m_input.stream;
    bool haveSlot = true;
    if (m_running) {
        if (!m_context.m_inputFree.Wait(m_waitMs)) {
            ++in.m_missedSlots;
            m_input.done.Give();
            return Next::Continue;
        }
    } else {
        // Finishing: a block is stored only in a slot the engine has given back.
        haveSlot = m_context.m_inputFree.TryWait();
    }
    // A block the wave layer lost to an overrun counts as missed like one the engine missed.
    const uint32_t overruns = m_input.device.Overruns();
    in.m_missedSlots += overruns - m_input.overrunsSeen;
    m_input.overrunsSeen = overruns;
    ReadPositions();
    m_context.m_positionEvent.Set();
    WaveHeader& header = m_input.headers[m_input.nextHeader];
    m_input.nextHeader = (m_input.nextHeader + 1) % kHeaders;
    if (haveSlot) {
        const uint32_t s = m_input.slot;
        const uint32_t frameBytes = in.m_bytesPerSample * in.m_activeChannels;
        const uint32_t bytes = std::min(header.bytesRecorded, m_input.bufferBytes);
        std::memcpy(in.m_interleavedBlocks[s], header.data, bytes);
        in.m_slotFrames[s] = frameBytes > 0 ? bytes / frameBytes : 0;
        m_context.m_inputFilled.Give();
        m_input.slot = (s + 1) % kHeaders;
    }
    if (IsPrepared(header)) {
        m_input.device.UnprepareHeader(&header);
        --m_input.queued;
    }
    if (m_running && !Requeue(m_input, header))
        return Next::Exit;
    if (!m_running && m_output.queued == 0 && m_input.queued == 0)
        return Finished();
    return Next::Continue;
}

bool WmmeThread::Requeue(WavePort& port, WaveHeader& header)
{
    if (port.device.PrepareHeader(&header) != kWaveNoError
        || port.device.Queue(&header) != kWaveNoError)
        return false;
    ++port.queued;
    return true;
}

void WmmeThread::ReadPositions()
{
    for (WavePort* port : { &m_output, &m_input }) {
        uint32_t frames = 0;
        if (port->device.IsOpen() && port->device.GetPosition(&frames) == kWaveNoError)
            port->stream->m_position = frames;
    }
}

WmmeThread::Next WmmeThread::Finished()
{
    StopSequence(true);
    return Next::Idle;
}

void WmmeThread::StopSequence(bool streaming)
{
    if (m_input.enabled)
        m_input.device.Stop();
    if (m_output.enabled)
        m_output.device.Stop(); // pauses playback
    if (streaming)
        ReadPositions();
    m_context.m_positionEvent.Set();
    if (m_output.device.IsOpen()) {
        m_output.device.Reset();
        UnprepareAll(m_output);
    }
    if (m_input.device.IsOpen()) {
        m_input.device.Stop();
        m_input.device.Reset();
        UnprepareAll(m_input);
    }
    m_running = false;
    m_context.Reply(CSndIOThreadContext::kReplyStopped);
}

void WmmeThread::UnprepareAll(WavePort& port)
{
    for (uint32_t i = 0; i < kHeaders; ++i)
        port.device.UnprepareHeader(&port.headers[(port.nextHeader + i) % kHeaders]);
    port.queued = 0;
}

} // namespace

uint32_t WaveBufferBytes(const CSndIOStream& stream)
{
    return stream.m_bytesPerSample * stream.m_bufferFrames * stream.m_activeChannels;
}

void WmmeDeviceThread(CSndIOThreadContext* context)
{
    // The context keeps the device data alive for as long as this thread runs.
    const auto& state = *static_cast<const WmmeDeviceState*>(context->m_deviceData.get());
    WmmeThread thread(*context, state.endpoints);
    thread.Run();
}

} // namespace kerrion
