#pragma once

#include "platform/messages/NotifyTarget.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

// A bounded queue of window messages: any number of threads post (lock-free, no allocation), one
// receiving thread takes them in order. A readable file descriptor tells the receiver that
// messages wait, so that an event loop (Qt's socket notifier, poll) can sleep until then.
//
// Threads: PostMessage from any thread; TakeMessage, WaitForMessage, WakeDescriptor and Pending
// from the one receiving thread only.
class CMessageQueue final : public CNotifyTarget {
public:
    struct Message {
        uint32_t message = 0;
        intptr_t wParam = 0;
        intptr_t lParam = 0;
    };

    // `capacity` is rounded up to a power of two (at least 2).
    explicit CMessageQueue(std::size_t capacity = 16384);
    ~CMessageQueue() override;
    CMessageQueue(const CMessageQueue&) = delete;
    CMessageQueue& operator=(const CMessageQueue&) = delete;

    bool PostMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override;

    // Takes the oldest message; false when the queue is empty.
    bool TakeMessage(Message& out);

    // Sleeps until a message waits or `timeoutMs` passes (negative: no limit). True when one waits.
    bool WaitForMessage(int timeoutMs);

    // Readable while messages may wait. The receiver need not read it: TakeMessage clears it.
    int WakeDescriptor() const { return m_wakeFd; }

    // Messages posted and not yet taken (one whose post is still being written counts); tells
    // how far the receiver has fallen behind.
    std::size_t Pending() const
    {
        return m_enqueuePos.load(std::memory_order_acquire) - m_dequeuePos;
    }

    // Messages dropped because the queue was full, since construction.
    uint64_t DroppedCount() const { return m_dropped.load(std::memory_order_relaxed); }

private:
    struct Cell {
        std::atomic<std::size_t> sequence { 0 };
        Message message;
    };

    void Wake();
    void ClearWake();

    std::unique_ptr<Cell[]> m_cells;
    std::size_t m_mask = 0;
    alignas(64) std::atomic<std::size_t> m_enqueuePos { 0 }; // posting threads
    alignas(64) std::size_t m_dequeuePos = 0;                // receiving thread only
    std::atomic<bool> m_wakePending { false };               // the descriptor has been signalled
    std::atomic<uint64_t> m_dropped { 0 };
    int m_wakeFd = -1; // eventfd
};
