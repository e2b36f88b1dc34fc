#pragma once

// The abstract audio device: a concrete device (wave or ASIO family) fills the stream records
// when a device index is selected and supplies the device thread's procedure; the engine moves
// one block per direction per Transfer through a ring of four slots to and from that thread.
//
// Threads: the engine thread (or the UI thread for the device dialog, which only enumerates and
// selects) calls every operation here. The device thread runs the procedure given to
// StartThread with the thread context; it alone talks to the platform device after start.
// Transfer runs on the per-block path: it allocates nothing (its views live on the stack).
//
// A device thread that stops answering cannot be killed safely. EndThread waits for it a bounded
// time (EndThreadTimeout) and then abandons it: the thread keeps the context (streams, rings,
// events, the concrete device's thread state) alive by shared ownership, and the device goes on
// with a fresh context, so neither side ever touches freed memory.

#include "platform/sync/Thread.h"
#include "platform/sync/WaitSet.h"
#include "sndio/SndIOBuffer.h"
#include "sndio/SndIOThreadContext.h"

#include <memory>
#include <optional>
#include <string>

class CSndIODevice {
public:
    static constexpr int kMaxDevices = 30;
    static constexpr int kNameLength = 32; // with the NUL
    static constexpr int kListedNames = 16;
    static constexpr uint32_t kKindWave = 1;
    static constexpr uint32_t kKindAsio = 2;
    static constexpr uint32_t kDefaultBufferFrames = 4096;
    static constexpr uint32_t kReadyTimeoutMs = 300000000;
    static constexpr uint32_t kCommandTimeoutMs = 3000;
    static constexpr uint32_t kDefaultEndThreadTimeoutMs = 5000;
    static constexpr int kWaitTimedOut = CSndIOThreadContext::kReplyTimedOut;

    // The device thread's body; the context stays valid until it returns.
    using ThreadProcedure = void (*)(CSndIOThreadContext* context);

    CSndIODevice();
    virtual ~CSndIODevice();
    CSndIODevice(const CSndIODevice&) = delete;
    CSndIODevice& operator=(const CSndIODevice&) = delete;

    virtual int Initialize();
    virtual int SelectDevice(uint32_t index);
    virtual int Start();
    virtual int Close();

    int GetDeviceNames(char names[kListedNames][kNameLength]) const;
    int GetDeviceName(char (&name)[kNameLength]) const;
    // The index of the device called `name` (compared as the list holds names: cut to
    // kNameLength - 1 bytes): `hint` when that device has the name, so that the chosen one of
    // two alike devices stays chosen, else the first of that name; -1 when none has it.
    int FindDevice(const std::string& name, uint32_t hint) const;

    int AllocateRings(uint32_t frames);
    int FreeRings();
    int ClearRings();
    int StartThread(ThreadProcedure procedure);
    int StartStreaming();
    int WaitReply(uint32_t milliseconds);
    int EndThread();

    // 1 done, 512 a wait timed out, 0 no device thread (or StartStreaming's failing result).
    // Engine thread, per block; allocates nothing.
    int Transfer(CSndIOBuffer* outputBuffers, int outputCount, uint32_t outputFrames,
        CSndIOBuffer* inputBuffers, int inputCount, uint32_t& inputFrames);
    int GetPosition(uint32_t& outputPosition, uint32_t& inputPosition);
    // Writes a command code and sets the command event (the engine's stop uses 2 or 3).
    void SendCommand(int32_t code) { m_context->SendCommand(code); }

    CSndIOStream& OutputStream() { return *m_context->m_output; }
    CSndIOStream& InputStream() { return *m_context->m_input; }
    CSndIOThreadContext& Context() { return *m_context; }
    uint32_t DeviceIndex() const { return m_deviceIndex; }
    bool IsOpened() const { return m_opened != 0; }
    bool HasOutput() const { return m_hasOutput != 0; }
    bool HasInput() const { return m_hasInput != 0; }
    bool RingsAllocated() const { return m_ringsAllocated != 0; }
    bool IsStreaming() const { return m_streaming != 0; }
    // The device thread found the device gone; Transfer returns 0 until the next start.
    bool IsLost() const { return m_context->IsLost(); }
    void SetStreaming(bool streaming) { m_streaming = streaming ? 1 : 0; }
    uint32_t DeviceKind() const { return m_deviceKind; }
    uint32_t DeviceCount() const { return m_deviceCount; }
    bool HasThread() const { return m_thread.HasThread(); }
    int AbandonedThreads() const { return m_abandonedThreads; }
    void SetEndThreadTimeout(uint32_t milliseconds) { m_endThreadTimeoutMs = milliseconds; }

protected:
    // Called after a device thread was abandoned and the device took a fresh context: a
    // concrete device gives the new context fresh thread state of its own.
    virtual void OnThreadAbandoned() { }
    // Adds a name to the names table (cut to 31 characters); false when the table is full.
    bool AddDeviceName(const char* name);

    uint32_t m_deviceIndex = 0;
    uint8_t m_opened = 0;
    uint8_t m_hasOutput = 0;
    uint8_t m_hasInput = 0;
    uint8_t m_ringsAllocated = 0;
    uint8_t m_streaming = 0; // set when command 1 was acknowledged
    uint32_t m_deviceKind = 0;
    uint32_t m_deviceCount = 0;
    uint32_t m_outputDeviceCount = 0;
    uint32_t m_inputDeviceCount = 0;
    char m_deviceNames[kMaxDevices][kNameLength] = {};

private:
    void AbandonThread();
    void DestroySyncObjects();

    kerrion::Thread m_thread;
    std::shared_ptr<CSndIOThreadContext> m_context; // shared with the running device thread
    std::optional<kerrion::WaitSet> m_replyWait;    // reply event or the thread's end
    uint32_t m_endThreadTimeoutMs = kDefaultEndThreadTimeoutMs;
    int m_abandonedThreads = 0;
};
