#include "sndio/SndIODevice.h"

#include <algorithm>
#include <cstring>

CSndIODevice::CSndIODevice()
    : m_context(std::make_shared<CSndIOThreadContext>())
{
}

CSndIODevice::~CSndIODevice() { CSndIODevice::Close(); }

int CSndIODevice::Initialize()
{
    if (m_thread.HasThread())
        EndThread();
    m_deviceIndex = 0;
    m_opened = m_hasOutput = m_hasInput = m_ringsAllocated = m_streaming = 0;
    m_deviceKind = 0;
    m_deviceCount = m_outputDeviceCount = m_inputDeviceCount = 0;
    std::memset(m_deviceNames, 0, sizeof m_deviceNames);
    m_context->m_outputStream.Clear();
    m_context->m_inputStream.Clear();
    m_context->m_output = &m_context->m_outputStream;
    m_context->m_input = &m_context->m_inputStream;
    return 1;
}

int CSndIODevice::SelectDevice(uint32_t index)
{
    if (index >= m_deviceCount)
        return 0;
    m_deviceIndex = index;
    OutputStream().m_deviceIndex = index;
    InputStream().m_deviceIndex = index;
    return 1;
}

int CSndIODevice::Start() { return 0; }

int CSndIODevice::Close()
{
    if (m_thread.HasThread() && m_streaming) {
        SendCommand(CSndIOThreadContext::kCommandStop);
        WaitReply(kCommandTimeoutMs);
        m_streaming = 0;
    }
    EndThread();
    if (m_opened) {
        if (m_hasOutput)
            OutputStream().FreeRing();
        if (m_hasInput)
            InputStream().FreeRing();
        m_ringsAllocated = 0;
    }
    return 1;
}

bool CSndIODevice::AddDeviceName(const char* name)
{
    if (m_deviceCount >= kMaxDevices)
        return false;
    char* row = m_deviceNames[m_deviceCount++];
    const size_t length = strnlen(name, kNameLength - 1);
    std::memcpy(row, name, length);
    row[length] = '\0';
    return true;
}

int CSndIODevice::GetDeviceNames(char names[kListedNames][kNameLength]) const
{
    const int n = static_cast<int>(std::min<uint32_t>(m_deviceCount, kListedNames));
    for (int i = 0; i < n; ++i)
        std::memcpy(names[i], m_deviceNames[i], kNameLength);
    return n;
}

int CSndIODevice::GetDeviceName(char (&name)[kNameLength]) const
{
    if (!m_opened || m_deviceIndex >= static_cast<uint32_t>(kMaxDevices))
        return 0;
    std::memcpy(name, m_deviceNames[m_deviceIndex], kNameLength);
    return 1;
}

int CSndIODevice::FindDevice(const std::string& name, uint32_t hint) const
{
    const std::string listed = name.substr(0, kNameLength - 1);
    const auto count = std::min<uint32_t>(m_deviceCount, kMaxDevices);
    if (hint < count && listed == m_deviceNames[hint])
        return static_cast<int>(hint);
    for (uint32_t i = 0; i < count; ++i)
        if (listed == m_deviceNames[i])
            return static_cast<int>(i);
    return -1;
}

int CSndIODevice::AllocateRings(uint32_t frames)
{
    if (!m_opened)
        return 0;
    if ((m_hasOutput && OutputStream().AllocateRing(frames) != 1)
        || (m_hasInput && InputStream().AllocateRing(frames) != 1)) {
        FreeRings();
        return 0;
    }
    m_ringsAllocated = 1;
    return 1;
}

int CSndIODevice::FreeRings()
{
    if (!m_opened)
        return 0;
    if (m_hasOutput)
        OutputStream().FreeRing();
    if (m_hasInput)
        InputStream().FreeRing();
    m_ringsAllocated = 0;
    return 1;
}

int CSndIODevice::ClearRings()
{
    if (!m_hasOutput && !m_hasInput)
        return 0;
    if (m_hasOutput)
        OutputStream().ClearRing();
    if (m_hasInput)
        InputStream().ClearRing();
    return 1;
}

int CSndIODevice::StartThread(ThreadProcedure procedure)
{
    CSndIOStream& out = OutputStream();
    CSndIOStream& in = InputStream();
    if (procedure == nullptr || (!m_hasOutput && !m_hasInput) || (!out.m_enabled && !in.m_enabled))
        return 0;
    if (m_thread.HasThread())
        EndThread(); // one device thread at a time
    if (!m_ringsAllocated) {
        const int result = AllocateRings(out.m_bufferFrames);
        if (result != 1)
            return result;
    }
    const int cleared = ClearRings();
    if (cleared != 1)
        return cleared;
    for (CSndIOStream* stream : { &out, &in }) {
        stream->m_deviceIndex = m_deviceIndex;
        stream->m_position = 0;
        stream->m_missedSlots = 0;
    }
    // A device without output (rate 0) takes the slot duration from its input; at least 1 ms,
    // so the slot time-outs never become zero.
    const CSndIOStream& timing = out.m_sampleRate > 0.0 && out.m_bufferFrames > 0 ? out : in;
    const double slotMs
        = timing.m_sampleRate > 0.0 ? timing.m_bufferFrames / timing.m_sampleRate * 1000.0 : 0.0;
    m_context->m_slotMilliseconds = std::max(1, static_cast<int32_t>(slotMs));
    m_context->CreateSyncObjects();

    std::shared_ptr<CSndIOThreadContext> context = m_context;
    if (!m_thread.Start([context, procedure] { procedure(context.get()); },
            kerrion::Thread::Priority::AboveNormal)) {
        DestroySyncObjects();
        return 0;
    }
    m_replyWait.emplace(std::initializer_list<kerrion::Waitable*> {
        &m_context->m_replyEvent, m_thread.EndedEvent() });
    m_streaming = 0;
    if (WaitReply(kReadyTimeoutMs) == CSndIOThreadContext::kReplyReady)
        return 1;
    EndThread();
    return 0;
}

int CSndIODevice::WaitReply(uint32_t milliseconds)
{
    if (!m_thread.HasThread() || !m_context->m_syncCreated || !m_replyWait)
        return 0;
    if (m_thread.HasEnded())
        return CSndIOThreadContext::kReplyEnded;
    switch (m_replyWait->Wait(milliseconds)) {
    case 0:
        return m_context->m_replyCode.exchange(0);
    case 1:
        return CSndIOThreadContext::kReplyEnded;
    default:
        return kWaitTimedOut;
    }
}

int CSndIODevice::StartStreaming()
{
    if (!m_thread.HasThread())
        return 0;
    CSndIOThreadContext& context = *m_context;
    // The device thread is idle and starts again at slot 0: so does the engine side, with every
    // slot empty and free (an earlier run may have stopped with slots in flight).
    for (int i = 0; i < CSndIOStream::kSlots; ++i) {
        context.m_outputFilled.TryWait(); // queued output of an earlier run is dropped
        context.m_inputFilled.TryWait();  // so is input the engine never read
    }
    for (int i = 0; i < CSndIOStream::kSlots; ++i) {
        context.m_outputFree.Give(); // gives at the maximum are dropped
        context.m_inputFree.Give();
    }
    for (CSndIOStream* stream : { &OutputStream(), &InputStream() }) {
        stream->m_position = 0;
        stream->m_missedSlots = 0;
        stream->m_engineSlot = 0;
        std::fill(std::begin(stream->m_slotFrames), std::end(stream->m_slotFrames), 0u);
    }
    context.m_lost.store(false, std::memory_order_release);
    SendCommand(CSndIOThreadContext::kCommandStart);
    if (!m_thread.HasEnded() && WaitReply(kCommandTimeoutMs) == kWaitTimedOut)
        return kWaitTimedOut;
    m_streaming = 1;
    return 1;
}

int CSndIODevice::Transfer(CSndIOBuffer* outputBuffers, int outputCount, uint32_t outputFrames,
    CSndIOBuffer* inputBuffers, int inputCount, uint32_t& inputFrames)
{
    const uint32_t requestedInput = inputFrames;
    inputFrames = 0;
    if (!m_thread.HasThread())
        return 0;
    if (!m_streaming) {
        const int started = StartStreaming();
        if (started != 1)
            return started;
    }
    CSndIOThreadContext& context = *m_context;
    if (context.IsLost())
        return 0;
    const uint32_t slotWait = 40u * static_cast<uint32_t>(context.m_slotMilliseconds);
    CSndIOBuffer views[CSndIOStream::kMaxChannels];
    CSndIOBuffer interleaved;
    int result = 1;

    CSndIOStream& out = *context.m_output;
    if (out.m_enabled && outputBuffers != nullptr && outputCount > 0) {
        if (!context.m_outputFree.Wait(slotWait)) {
            result = kWaitTimedOut;
        } else if (context.IsLost()) {
            return 0; // woken by the loss, not by a free slot
        } else {
            const uint32_t s = out.m_engineSlot;
            out.m_engineSlot = (s + 1) % CSndIOStream::kSlots;
            const int k = std::min<int>(outputCount, static_cast<int>(out.m_activeChannels));
            const uint32_t n = std::min(outputFrames, out.m_bufferFrames);
            out.m_slotFrames[s] = n;
            for (int c = 0; c < k; ++c) {
                outputBuffers[c].SetCount(std::min(outputBuffers[c].Capacity(), n));
                views[c].Attach(out.m_channelBlocks[s][c], out.m_sampleType, out.m_bufferFrames);
                views[c].Convert(outputBuffers[c]);
            }
            if (out.m_interleaved && k > 0) {
                interleaved.Attach(out.m_interleavedBlocks[s], out.m_sampleType,
                    out.m_bufferFrames * out.m_activeChannels);
                interleaved.Interleave(views, k);
            }
            context.m_outputFilled.Give();
        }
    }

    CSndIOStream& in = *context.m_input;
    if (in.m_enabled && inputBuffers != nullptr && inputCount > 0) {
        if (!context.m_inputFilled.Wait(slotWait))
            return kWaitTimedOut;
        if (context.IsLost())
            return 0;
        const uint32_t s = in.m_engineSlot;
        in.m_engineSlot = (s + 1) % CSndIOStream::kSlots;
        const int k = std::min<int>(inputCount, static_cast<int>(in.m_activeChannels));
        const uint32_t n = std::min(requestedInput, in.m_slotFrames[s]);
        inputFrames = n;
        for (uint32_t c = 0; c < in.m_activeChannels; ++c)
            views[c].Attach(in.m_channelBlocks[s][c], in.m_sampleType, n);
        if (in.m_interleaved && k > 0) {
            interleaved.Attach(
                in.m_interleavedBlocks[s], in.m_sampleType, n * static_cast<uint32_t>(k));
            interleaved.Deinterleave(views, k);
        }
        for (int c = 0; c < k; ++c)
            inputBuffers[c].Convert(views[c]);
        context.m_inputFree.Give();
    }
    return result;
}

int CSndIODevice::GetPosition(uint32_t& outputPosition, uint32_t& inputPosition)
{
    if (!m_thread.HasThread())
        return 0;
    outputPosition = 0;
    inputPosition = 0;
    // While streaming, the device thread publishes both positions before it hands over each
    // slot, so the engine's per-block call reads them without waking that thread (at 64-frame
    // blocks the round trip cost more than the metering). An idle thread is asked.
    if (!m_streaming) {
        const auto timeout = static_cast<uint32_t>(m_context->m_slotMilliseconds * 1.2);
        m_context->m_positionEvent.Reset();
        SendCommand(CSndIOThreadContext::kCommandPosition);
        if (!m_context->m_positionEvent.Wait(timeout))
            return kWaitTimedOut;
    }
    outputPosition = OutputStream().m_position.load(std::memory_order_acquire);
    inputPosition = InputStream().m_position.load(std::memory_order_acquire);
    return 1;
}

int CSndIODevice::EndThread()
{
    if (m_thread.HasThread()) {
        SendCommand(CSndIOThreadContext::kCommandQuit);
        m_replyWait.reset();
        if (!m_thread.Join(m_endThreadTimeoutMs))
            AbandonThread();
    }
    DestroySyncObjects();
    return 1;
}

void CSndIODevice::AbandonThread()
{
    // The thread keeps the old context (and through it the rings and the concrete device's
    // thread state); the device carries on with a fresh one holding the same settings.
    m_thread.Abandon();
    ++m_abandonedThreads;
    auto fresh = std::make_shared<CSndIOThreadContext>();
    fresh->m_outputStream.CopySettingsFrom(m_context->m_outputStream);
    fresh->m_inputStream.CopySettingsFrom(m_context->m_inputStream);
    fresh->m_slotMilliseconds = m_context->m_slotMilliseconds;
    m_context = std::move(fresh);
    m_ringsAllocated = 0;
    m_streaming = 0;
    OnThreadAbandoned();
}

void CSndIODevice::DestroySyncObjects()
{
    m_replyWait.reset();
    m_context->m_syncCreated = false;
}
