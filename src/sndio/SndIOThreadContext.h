#pragma once

// What the engine side of a device and its device thread share: the two stream records, the
// command and reply protocol and the four ring semaphores. The device thread receives a pointer
// to it; the device and the running thread hold it jointly, so a device thread that stops
// answering can be abandoned with everything it can still touch kept alive.
//
// Commands flow one way (engine thread writes the code, then sets the command event) and
// replies the other (the device thread writes the code, then sets the reply event).
//
// Positions: while streaming, a device thread stores both streams' m_position before it hands
// over each slot (the engine reads them without a command); when idle it answers the position
// command by storing them and setting the position event.

#include "platform/sync/Event.h"
#include "platform/sync/Semaphore.h"
#include "sndio/SndIOStream.h"

#include <atomic>
#include <memory>

class CSndIOThreadContext {
public:
    enum Command : int32_t {
        kCommandStart = 1,
        kCommandFinish = 2,
        kCommandStop = 3,
        kCommandQuit = 4,
        kCommandPosition = 5,
    };
    enum Reply : int32_t {
        kReplyAcknowledged = 0,
        kReplyOpenFailed = 257,
        kReplyReady = 258,
        kReplyStopped = 259,
        kReplyEnded = 260,
        kReplyTimedOut = 512, // made by the waiting side
    };

    CSndIOThreadContext();
    CSndIOThreadContext(const CSndIOThreadContext&) = delete;
    CSndIOThreadContext& operator=(const CSndIOThreadContext&) = delete;

    // Resets the events and the semaphores to their starting counts (StartThread).
    void CreateSyncObjects();
    // Engine thread: write the code, then set the command event; nothing without the events.
    void SendCommand(int32_t code);
    // Device thread: write the reply code, then set the reply event.
    void Reply(int32_t code);
    // Device thread: the device went away (unplugged, its server stopped). Transfer fails from
    // now on, at once, instead of waiting out its time-outs; a Transfer that waits now is woken.
    void MarkLost();
    bool IsLost() const { return m_lost.load(std::memory_order_acquire); }

    CSndIOStream* m_output;             // points at m_outputStream
    CSndIOStream* m_input;              // points at m_inputStream
    std::shared_ptr<void> m_deviceData; // the concrete device's thread state, kept alive here
    int32_t m_slotMilliseconds = 0;     // ms per ring slot; set before the thread starts

    kerrion::Event m_commandEvent;
    std::atomic<int32_t> m_commandCode { 0 };
    kerrion::Event m_replyEvent;
    std::atomic<int32_t> m_replyCode { 0 };
    kerrion::Semaphore m_outputFree { 4, 4 };   // empty output slots the engine may fill
    kerrion::Semaphore m_outputFilled { 0, 4 }; // output slots waiting for the device
    kerrion::Semaphore m_inputFilled { 0, 4 };  // input slots waiting for the engine
    kerrion::Semaphore m_inputFree { 4, 4 };    // empty input slots the device may fill
    kerrion::Event m_positionEvent;
    bool m_syncCreated = false;         // engine thread: the objects above are in use
    std::atomic<bool> m_lost { false }; // device thread sets, StartStreaming clears

    CSndIOStream m_outputStream;
    CSndIOStream m_inputStream;
};
