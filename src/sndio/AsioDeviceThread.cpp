// The ASIO device thread and the driver callbacks: moves data between the driver's double
// buffers (through four staging sets) and the ring slots of CSndIODevice.

#include "sndio/AsioDeviceState.h"

#include "platform/asio/AsioHost.h"
#include "platform/sync/Clock.h"
#include "platform/sync/WaitSet.h"
#include "sndio/SndIOThreadContext.h"

#include <algorithm>
#include <cstring>

namespace kerrion {
namespace {

// The state of the device whose thread is running: the callbacks carry no context of their own.
std::atomic<AsioDeviceState*> g_running { nullptr };

double Combine(const ASIOSamples& value) { return value.hi * 4294967296.0 + value.lo; }

// ---- driver callbacks (driver thread) ----

ASIOTime* OnBufferSwitchTimeInfo(ASIOTime* time, int32_t half, ASIOBool)
{
    AsioDeviceState* state = g_running.load();
    if (state == nullptr || half < 0 || half > 1)
        return nullptr;
    state->time = *time;
    const uint32_t flags = time->timeInfo.flags;
    state->samplePosition
        = (flags & kSamplePositionValid) ? Combine(time->timeInfo.samplePosition) : 0.0;
    state->systemTime = (flags & kSystemTimeValid) ? Combine(time->timeInfo.systemTime) : 0.0;
    state->timeCodeSamples
        = (time->timeCode.flags & kTcValid) ? Combine(time->timeCode.timeCodeSamples) : 0.0;
    state->switchMilliseconds = NowMilliseconds();
    const uint32_t set = state->callbackStaging.load();
    const size_t bytes = static_cast<size_t>(state->preferredSize) * state->stagingWidth;
    if (state->setHeldByThread[set].load(std::memory_order_acquire) != 0) {
        for (const ASIOBufferInfo& info : state->bufferInfos) {
            if (!info.isInput)
                std::memset(info.buffers[half], 0, bytes);
        }
        ++state->overruns;
        return nullptr;
    }
    size_t inputIndex = 0, outputIndex = 0;
    for (const ASIOBufferInfo& info : state->bufferInfos) {
        if (info.isInput)
            std::memcpy(state->stagingIn[set][inputIndex++], info.buffers[half], bytes);
        else
            std::memcpy(info.buffers[half], state->stagingOut[set][outputIndex++], bytes);
    }
    if (state->postOutput)
        ASIOOutputReady();
    state->setHeldByThread[set].store(1, std::memory_order_release);
    state->callbackStaging = (set + 1) % AsioDeviceState::kStagingSets;
    state->driverSemaphore.Give();
    return nullptr;
}

void OnBufferSwitch(int32_t half, ASIOBool directProcess)
{
    ASIOTime time {};
    if (ASIOGetSamplePosition(&time.timeInfo.samplePosition, &time.timeInfo.systemTime) == ASE_OK)
        time.timeInfo.flags = kSamplePositionValid | kSystemTimeValid;
    OnBufferSwitchTimeInfo(&time, half, directProcess);
}

void OnSampleRateChanged(ASIOSampleRate) { }

int32_t OnMessage(int32_t selector, int32_t value, void*, double*)
{
    switch (selector) {
    case kAsioSelectorSupported:
        return (value == kAsioEngineVersion || value == kAsioResetRequest
                   || value == kAsioResyncRequest || value == kAsioLatenciesChanged
                   || value == kAsioSupportsTimeInfo || value == kAsioSupportsTimeCode
                   || value == kAsioSupportsInputMonitor)
            ? 1
            : 0;
    case kAsioEngineVersion:
        return 2;
    case kAsioResetRequest:
        // The driver can no longer stream as it was set up: the device thread ends the run at
        // once instead of waiting for buffer switches that will not come.
        if (AsioDeviceState* state = g_running.load()) {
            state->resetRequested.store(true);
            state->driverSemaphore.Give();
        }
        return 1;
    case kAsioResyncRequest:
    case kAsioLatenciesChanged:
    case kAsioSupportsTimeInfo:
        return 1;
    default:
        return 0;
    }
}

// ---- device thread ----

struct Streaming {
    bool running = true;
    bool driverStarted = false;
    int countdown = 6;     // pre-roll slots still to hand over before the driver starts
    int pendingOutput = 6; // output slots handed to the driver and not yet played
    int inputPending = 0;  // input switches still owed to the engine
    uint32_t framesHanded = 0;
    uint32_t k = 0; // the thread's staging set
    uint32_t outSlot = 0, inSlot = 0;
};

enum class Next { Idle, Exit };

bool AllocateStaging(AsioDeviceState& st)
{
    const size_t block = static_cast<size_t>(st.preferredSize) * st.stagingWidth;
    const size_t perSet = static_cast<size_t>(st.inputBuffers + st.outputBuffers) * block;
    try {
        st.staging.assign(perSet * AsioDeviceState::kStagingSets, 0);
        for (int s = 0; s < AsioDeviceState::kStagingSets; ++s) {
            uint8_t* base = st.staging.data() + perSet * static_cast<size_t>(s);
            st.stagingIn[s].resize(static_cast<size_t>(st.inputBuffers));
            st.stagingOut[s].resize(static_cast<size_t>(st.outputBuffers));
            for (int i = 0; i < st.inputBuffers; ++i)
                st.stagingIn[s][static_cast<size_t>(i)] = base + block * static_cast<size_t>(i);
            for (int o = 0; o < st.outputBuffers; ++o)
                st.stagingOut[s][static_cast<size_t>(o)]
                    = base + block * static_cast<size_t>(st.inputBuffers + o);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void ZeroDriverBuffers(AsioDeviceState& st)
{
    const size_t bytes = static_cast<size_t>(st.preferredSize) * st.stagingWidth;
    for (ASIOBufferInfo& info : st.bufferInfos) {
        for (void* half : info.buffers) {
            if (half != nullptr)
                std::memset(half, 0, bytes);
        }
    }
}

void WritePositions(CSndIOThreadContext& context, uint32_t frames)
{
    context.m_output->m_position = frames;
    context.m_input->m_position = frames;
    context.m_positionEvent.Set();
}

uint32_t DriverPosition(uint32_t framesHanded, bool begun)
{
    ASIOSamples position {};
    ASIOTimeStamp stamp {};
    if (!begun || ASIOGetSamplePosition(&position, &stamp) != ASE_OK)
        return framesHanded;
    // The lesser of the two, compared across the 32-bit wrap (a day at 48 kHz): they differ by
    // a few buffers, so the one behind is the one whose step to the other is positive.
    const uint32_t driver = position.lo;
    return static_cast<int32_t>(driver - framesHanded) < 0 ? driver : framesHanded;
}

// Stops the process's current driver only while this thread is the running one: a thread that
// was abandoned and ends late must not stop the driver of the device that took over since.
void StopDriver(const AsioDeviceState& st)
{
    if (g_running.load() == &st)
        ASIOStop();
}

void StopSequence(
    CSndIOThreadContext& context, const AsioDeviceState& st, uint32_t framesHanded, bool begun)
{
    WritePositions(context, DriverPosition(framesHanded, begun));
    StopDriver(st);
    context.Reply(CSndIOThreadContext::kReplyStopped);
}

void PrepareStart(CSndIOThreadContext& context, AsioDeviceState& st)
{
    st.resetRequested.store(false);
    const bool output = context.m_output->m_enabled != 0;
    const bool input = context.m_input->m_enabled != 0;
    for (int i = 0; i < 4; ++i)
        context.m_outputFree.TryWait();
    for (int i = 0; i < 4; ++i)
        context.m_outputFree.Give();
    context.m_inputFilled.TryWait();
    context.m_inputFilled.TryWait();
    if (output && input) {
        // The engine reads four silent slots while the output pre-rolls; they are its slots now,
        // so they are taken from the free ones (the ring never holds more than four).
        for (int i = 0; i < 4; ++i) {
            context.m_inputFree.TryWait();
            context.m_inputFilled.Give();
        }
    }
    if (output) {
        // Six units make the thread hand over six output slots before the driver starts.
        for (uint32_t i = 0; i < AsioDeviceState::kDriverSemaphoreMax; ++i)
            st.driverSemaphore.TryWait();
        for (uint32_t i = 0; i < AsioDeviceState::kDriverSemaphoreMax; ++i)
            st.driverSemaphore.Give();
    }
    std::fill(st.staging.begin(), st.staging.end(), 0);
    ZeroDriverBuffers(st);
    st.callbackStaging = 0;
    for (auto& held : st.setHeldByThread)
        held.store(0, std::memory_order_release);
    st.overruns = 0;
    context.Reply(CSndIOThreadContext::kReplyAcknowledged);
}

// Steps e to h for one buffer switch; returns the frames taken from the output slot.
uint32_t MoveOneSlot(CSndIOThreadContext& context, AsioDeviceState& st, Streaming& s)
{
    CSndIOStream& out = *context.m_output;
    CSndIOStream& in = *context.m_input;
    uint32_t n = 0;
    if (out.m_enabled) {
        if (s.driverStarted && s.pendingOutput > 0)
            --s.pendingOutput;
        n = std::min(out.m_slotFrames[s.outSlot], static_cast<uint32_t>(st.preferredSize));
        s.framesHanded += n;
        const uint32_t channels
            = std::min(out.m_activeChannels, static_cast<uint32_t>(st.outputBuffers));
        const size_t bytes
            = static_cast<size_t>(n) * std::min(out.m_bytesPerSample, st.stagingWidth);
        const size_t block = static_cast<size_t>(st.preferredSize) * st.stagingWidth;
        for (uint32_t c = 0; c < channels; ++c) {
            const uint8_t* source = out.m_channelBlocks[s.outSlot][c];
            if (s.countdown > 4) {
                // The first two pre-roll slots go straight into the driver's halves 0 and 1.
                const ASIOBufferInfo& info
                    = st.bufferInfos[static_cast<size_t>(st.inputBuffers) + c];
                std::memcpy(info.buffers[6 - s.countdown], source, bytes);
            } else {
                std::memset(st.stagingOut[s.k][c], 0, block);
                std::memcpy(st.stagingOut[s.k][c], source, bytes);
            }
        }
        out.m_slotFrames[s.outSlot] = 0;
        context.m_outputFree.Give();
        s.outSlot = (s.outSlot + 1) % CSndIOStream::kSlots;
    }
    if (s.countdown > 0)
        --s.countdown;
    if (s.driverStarted && n > 0)
        ++s.pendingOutput;
    // Driven by the output, the thread never waits for the engine's input side: when the engine
    // holds every input slot, this block is dropped and counted (a slot is never overwritten
    // while the engine may be reading it).
    // A dropped block settles the pending input all the same, so a finish never waits on an
    // engine that has stopped reading.
    const bool inputSlotFree = !in.m_enabled || !out.m_enabled || context.m_inputFree.TryWait();
    if (in.m_enabled) {
        if (s.inputPending > 0)
            --s.inputPending;
        if (s.running)
            ++s.inputPending;
        if (!inputSlotFree)
            ++in.m_missedSlots;
    }
    if (in.m_enabled && inputSlotFree) {
        in.m_slotFrames[s.inSlot] = in.m_bufferFrames;
        const uint32_t channels
            = std::min(in.m_activeChannels, static_cast<uint32_t>(st.inputBuffers));
        const size_t bytes = std::min(static_cast<size_t>(in.m_bufferFrames) * in.m_bytesPerSample,
            static_cast<size_t>(st.preferredSize) * st.stagingWidth);
        for (uint32_t c = 0; c < channels; ++c)
            std::memcpy(in.m_channelBlocks[s.inSlot][c], st.stagingIn[s.k][c], bytes);
        context.m_inputFilled.Give();
        s.inSlot = (s.inSlot + 1) % CSndIOStream::kSlots;
    }
    if (s.countdown < 4) {
        st.setHeldByThread[s.k].store(0, std::memory_order_release); // back to the callback
        s.k = (s.k + 1) % AsioDeviceState::kStagingSets;
    }
    return n;
}

// Handles a command while streaming; true when the streaming loop ends with `next`.
bool StreamingCommand(
    CSndIOThreadContext& context, const AsioDeviceState& st, Streaming& s, Next& next)
{
    switch (context.m_commandCode.load()) {
    case CSndIOThreadContext::kCommandFinish:
        context.Reply(CSndIOThreadContext::kReplyAcknowledged);
        s.running = false;
        return false;
    case CSndIOThreadContext::kCommandStop:
        context.Reply(CSndIOThreadContext::kReplyAcknowledged);
        StopSequence(context, st, s.framesHanded, true);
        next = Next::Idle;
        return true;
    case CSndIOThreadContext::kCommandQuit:
        context.Reply(CSndIOThreadContext::kReplyAcknowledged);
        StopDriver(st);
        next = Next::Exit;
        return true;
    case CSndIOThreadContext::kCommandPosition:
        WritePositions(context, DriverPosition(s.framesHanded, s.driverStarted));
        return false;
    default:
        return false; // a second start is ignored
    }
}

Next Stream(CSndIOThreadContext& context, AsioDeviceState& st, WaitSet& set, uint32_t& framesHanded)
{
    PrepareStart(context, st);
    Streaming s;
    const uint32_t waitMs = 20u * static_cast<uint32_t>(context.m_slotMilliseconds);
    const bool output = context.m_output->m_enabled != 0;
    // The wait for the engine's slot watches the commands too: an engine that stops while every
    // slot is full frees none, and its stop must not wait out this wait's time-out.
    WaitSet slotSet { &context.m_commandEvent,
        output ? static_cast<Waitable*>(&context.m_outputFilled) : &context.m_inputFree };
    if (!output) {
        // Only an output pre-rolls: its six slots are what the driver semaphore counts before
        // the driver starts. A device without one would wait for them for ever; it starts at once.
        s.countdown = 0;
        s.pendingOutput = 0;
    }
    for (;;) {
        framesHanded = s.framesHanded;
        if (!s.driverStarted && s.countdown == 0) {
            if (ASIOStart() != ASE_OK) {
                ASIOStop();
                return Next::Exit;
            }
            s.driverStarted = true;
        }
        const int which = set.Wait(waitMs);
        if (st.resetRequested.load() && !context.IsLost())
            context.MarkLost(); // the engine stops the thread as for any end of a run
        if (which == WaitSet::kTimedOut)
            continue;
        Next next = Next::Idle;
        if (which == 0) {
            if (StreamingCommand(context, st, s, next))
                return next;
            continue;
        }
        if (context.IsLost())
            continue; // nothing more to move; the engine's stop comes as a command
        WritePositions(context, DriverPosition(s.framesHanded, s.driverStarted));
        if (s.running) {
            const int got = slotSet.Wait(waitMs);
            if (got != 1) {
                // The driver's buffer is taken up again at the next turn.
                st.driverSemaphore.Give();
                if (got == WaitSet::kTimedOut)
                    ++(output ? context.m_output : context.m_input)->m_missedSlots;
                else if (StreamingCommand(context, st, s, next))
                    return next;
                continue;
            }
        }
        const uint32_t n = MoveOneSlot(context, st, s);
        if (!s.running && n == 0 && s.pendingOutput == 0 && s.inputPending == 0) {
            framesHanded = s.framesHanded;
            StopSequence(context, st, s.framesHanded, true);
            return Next::Idle;
        }
    }
}

} // namespace

ASIOCallbacks AsioDeviceCallbacks()
{
    return ASIOCallbacks { &OnBufferSwitch, &OnSampleRateChanged, &OnMessage,
        &OnBufferSwitchTimeInfo };
}

void AsioDeviceThread(CSndIOThreadContext* context)
{
    auto& st = *static_cast<AsioDeviceState*>(context->m_deviceData.get());
    // Keeps the driver (and its code) alive while this thread may still call into it.
    const std::shared_ptr<AsioDriverObject> driver = AsioCurrentDriver();
    st.driverSemaphore.Reset(0, AsioDeviceState::kDriverSemaphoreMax);
    st.stagingWidth = context->m_output->m_bytesPerSample;
    if (!AllocateStaging(st)) {
        context->Reply(CSndIOThreadContext::kReplyOpenFailed);
        return;
    }
    g_running = &st;
    {
        WaitSet set { &context->m_commandEvent, &st.driverSemaphore };
        context->Reply(CSndIOThreadContext::kReplyReady);
        uint32_t framesHanded = 0;
        bool exit = false;
        while (!exit) {
            context->m_commandEvent.Wait(kWaitForever);
            switch (context->m_commandCode.load()) {
            case CSndIOThreadContext::kCommandStart:
                exit = Stream(*context, st, set, framesHanded) == Next::Exit;
                break;
            case CSndIOThreadContext::kCommandFinish:
            case CSndIOThreadContext::kCommandStop:
                context->Reply(CSndIOThreadContext::kReplyAcknowledged);
                StopSequence(*context, st, framesHanded, false);
                break;
            case CSndIOThreadContext::kCommandQuit:
                context->Reply(CSndIOThreadContext::kReplyAcknowledged);
                StopDriver(st);
                exit = true;
                break;
            case CSndIOThreadContext::kCommandPosition:
                WritePositions(*context, framesHanded);
                break;
            default:
                break;
            }
        }
    }
    if (g_running.load() == &st)
        ZeroDriverBuffers(st); // a driver another device took over is no longer this thread's
    AsioDeviceState* self = &st;
    g_running.compare_exchange_strong(self, nullptr);
    st.staging.clear();
    context->Reply(CSndIOThreadContext::kReplyEnded);
}

} // namespace kerrion
