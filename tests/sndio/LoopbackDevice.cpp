#include "LoopbackDevice.h"

#include "platform/sync/WaitSet.h"

#include <cstring>
#include <string>

namespace {

void WritePositions(CSndIOThreadContext& context, uint32_t frames)
{
    context.m_output->m_position = frames;
    context.m_input->m_position = frames;
    context.m_positionEvent.Set();
}

// Copies the output slot into the next input slot; false when no input slot came free in time.
bool PlayBack(CSndIOThreadContext& context, uint32_t outSlot, uint32_t& inSlot)
{
    CSndIOStream& out = *context.m_output;
    CSndIOStream& in = *context.m_input;
    if (!in.m_enabled)
        return true;
    if (!context.m_inputFree.Wait(20u * static_cast<uint32_t>(context.m_slotMilliseconds))) {
        ++in.m_missedSlots;
        return false;
    }
    const uint32_t n = out.m_slotFrames[outSlot];
    const size_t bytes = static_cast<size_t>(n) * out.m_bytesPerSample;
    for (uint32_t c = 0; c < in.m_activeChannels && c < out.m_activeChannels; ++c)
        std::memcpy(in.m_channelBlocks[inSlot][c], out.m_channelBlocks[outSlot][c], bytes);
    if (in.m_interleaved && in.m_interleavedBlocks[inSlot] && out.m_interleavedBlocks[outSlot])
        std::memcpy(in.m_interleavedBlocks[inSlot], out.m_interleavedBlocks[outSlot],
            bytes * out.m_activeChannels);
    in.m_slotFrames[inSlot] = n;
    inSlot = (inSlot + 1) % CSndIOStream::kSlots;
    context.m_inputFilled.Give();
    return true;
}

// With output disabled: fills the next input slot with sample value = frame number (int32).
bool MakeInput(CSndIOThreadContext& context, uint32_t& inSlot, uint32_t& frames)
{
    CSndIOStream& in = *context.m_input;
    for (uint32_t c = 0; c < in.m_activeChannels; ++c) {
        auto* samples = reinterpret_cast<int32_t*>(in.m_channelBlocks[inSlot][c]);
        for (uint32_t f = 0; f < in.m_bufferFrames; ++f)
            samples[f] = static_cast<int32_t>(frames + f + 100000 * c);
    }
    in.m_slotFrames[inSlot] = in.m_bufferFrames;
    frames += in.m_bufferFrames;
    inSlot = (inSlot + 1) % CSndIOStream::kSlots;
    context.m_inputFilled.Give();
    return true;
}

void NeverAnswer(CSndIOThreadContext& context, LoopbackThreadState& state)
{
    context.Reply(CSndIOThreadContext::kReplyReady);
    state.release.Wait(kerrion::kWaitForever);
    // Long after the device gave up on it: everything touched here must still be alive.
    context.m_output->m_position = 1;
    if (context.m_output->m_channelBlocks[0][0] != nullptr)
        std::memset(
            context.m_output->m_channelBlocks[0][0], 0x55, context.m_output->m_bytesPerSample);
    context.m_outputFree.Give();
    context.Reply(CSndIOThreadContext::kReplyEnded);
    state.touchedAfterRelease = 1;
}

void LoopbackThread(CSndIOThreadContext* context)
{
    auto& state = *static_cast<LoopbackThreadState*>(context->m_deviceData.get());
    if (state.settings.mode == LoopbackSettings::kOpenFails) {
        context->Reply(CSndIOThreadContext::kReplyOpenFailed);
        return;
    }
    if (state.settings.mode == LoopbackSettings::kNeverAnswer)
        return NeverAnswer(*context, state);
    const bool outputDriven = context->m_output->m_enabled != 0;
    kerrion::Waitable* work = outputDriven
        ? static_cast<kerrion::Waitable*>(&context->m_outputFilled)
        : &context->m_inputFree;
    kerrion::WaitSet set { &context->m_commandEvent, work };
    context->Reply(CSndIOThreadContext::kReplyReady);
    bool streaming = false;
    uint32_t outSlot = 0, inSlot = 0, frames = 0;
    int served = 0;
    for (;;) {
        const bool serving
            = streaming && (state.settings.serveSlots < 0 || served < state.settings.serveSlots);
        const int which = serving ? set.Wait(kerrion::kWaitForever)
                                  : (context->m_commandEvent.Wait(kerrion::kWaitForever) ? 0 : -1);
        if (which == 1) {
            ++served;
            if (outputDriven) {
                const uint32_t n = context->m_output->m_slotFrames[outSlot];
                frames += n;
                WritePositions(*context, frames); // before the slots change hands
                PlayBack(*context, outSlot, inSlot);
                context->m_output->m_slotFrames[outSlot] = 0;
                outSlot = (outSlot + 1) % CSndIOStream::kSlots;
                context->m_outputFree.Give();
            } else {
                WritePositions(*context, frames + context->m_input->m_bufferFrames);
                MakeInput(*context, inSlot, frames);
            }
            continue;
        }
        switch (context->m_commandCode.load()) {
        case CSndIOThreadContext::kCommandStart:
            if (state.settings.mode == LoopbackSettings::kIgnoreStart)
                break;
            outSlot = inSlot = frames = 0;
            served = 0;
            streaming = true;
            context->Reply(CSndIOThreadContext::kReplyAcknowledged);
            break;
        case CSndIOThreadContext::kCommandFinish:
        case CSndIOThreadContext::kCommandStop:
            context->Reply(CSndIOThreadContext::kReplyAcknowledged);
            streaming = false;
            WritePositions(*context, frames);
            context->Reply(CSndIOThreadContext::kReplyStopped);
            break;
        case CSndIOThreadContext::kCommandQuit:
            context->Reply(CSndIOThreadContext::kReplyAcknowledged);
            context->Reply(CSndIOThreadContext::kReplyEnded);
            return;
        case CSndIOThreadContext::kCommandPosition:
            WritePositions(*context, frames);
            break;
        default:
            break;
        }
    }
}

} // namespace

CLoopbackDevice::CLoopbackDevice(LoopbackSettings settings)
    : m_settings(settings)
{
}

CLoopbackDevice::~CLoopbackDevice() { Close(); }

int CLoopbackDevice::Initialize()
{
    CSndIODevice::Initialize();
    m_deviceKind = kKindWave;
    for (CSndIOStream* stream : { &OutputStream(), &InputStream() }) {
        stream->m_interleaved = m_settings.interleaved ? 1 : 0;
        stream->m_bufferFrames = kDefaultBufferFrames;
    }
    for (uint32_t i = 0; i < m_settings.devices; ++i)
        AddDeviceName(
            ("Loopback device number " + std::to_string(i + 1) + " with a long name").c_str());
    m_outputDeviceCount = m_inputDeviceCount = m_deviceCount;
    return m_deviceCount > 0 ? 1 : 0;
}

int CLoopbackDevice::SelectDevice(uint32_t index)
{
    if (CSndIODevice::SelectDevice(index) != 1)
        return 0;
    m_opened = 1;
    m_hasOutput = m_settings.hasOutput ? 1 : 0;
    m_hasInput = m_settings.hasInput ? 1 : 0;
    for (CSndIOStream* stream : { &OutputStream(), &InputStream() }) {
        const bool exists = stream == &OutputStream() ? m_settings.hasOutput : m_settings.hasInput;
        stream->m_availableChannels = exists ? 2 : 0;
        stream->m_activeChannels = stream->m_availableChannels;
        stream->m_sampleRate = exists ? 48000.0 : 0.0;
        stream->m_sampleType = kerrion::kSampleInt32;
        stream->m_bytesPerSample = 4;
        stream->m_bitsPerSample = 32;
        stream->m_bufferFrames = 480; // 10 ms slots
    }
    return 1;
}

int CLoopbackDevice::Start()
{
    m_threadState = std::make_shared<LoopbackThreadState>();
    m_threadState->settings = m_settings;
    Context().m_deviceData = m_threadState;
    return StartThread(&LoopbackThread);
}
