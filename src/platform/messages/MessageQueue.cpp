#include "platform/messages/MessageQueue.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

CMessageQueue::CMessageQueue(std::size_t capacity)
{
    std::size_t size = 2;
    while (size < capacity)
        size *= 2;
    m_cells = std::make_unique<Cell[]>(size);
    for (std::size_t i = 0; i < size; ++i)
        m_cells[i].sequence.store(i, std::memory_order_relaxed);
    m_mask = size - 1;
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

CMessageQueue::~CMessageQueue()
{
    if (m_wakeFd >= 0)
        close(m_wakeFd);
}

// Each cell's sequence tells its state: equal to a position, the cell is free for the poster
// that claims that position; one past it, the message is written and may be taken.
bool CMessageQueue::PostMessage(uint32_t message, intptr_t wParam, intptr_t lParam)
{
    std::size_t pos = m_enqueuePos.load(std::memory_order_relaxed);
    Cell* cell = nullptr;
    for (;;) {
        cell = &m_cells[pos & m_mask];
        const std::size_t sequence = cell->sequence.load(std::memory_order_acquire);
        const auto lag = static_cast<std::ptrdiff_t>(sequence - pos);
        if (lag == 0) {
            if (m_enqueuePos.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed))
                break;
        } else if (lag < 0) {
            m_dropped.fetch_add(1, std::memory_order_relaxed);
            return false;
        } else {
            pos = m_enqueuePos.load(std::memory_order_relaxed);
        }
    }
    cell->message = Message { message, wParam, lParam };
    cell->sequence.store(pos + 1, std::memory_order_release);
    Wake();
    return true;
}

bool CMessageQueue::TakeMessage(Message& out)
{
    Cell& cell = m_cells[m_dequeuePos & m_mask];
    const std::size_t sequence = cell.sequence.load(std::memory_order_acquire);
    if (sequence != m_dequeuePos + 1) {
        ClearWake();
        // A post may have completed between the check and the clearing: look once more so that
        // a message is never left without a signalled descriptor.
        if (cell.sequence.load(std::memory_order_acquire) != m_dequeuePos + 1)
            return false;
        Wake();
    }
    out = cell.message;
    cell.sequence.store(m_dequeuePos + m_mask + 1, std::memory_order_release);
    ++m_dequeuePos;
    return true;
}

bool CMessageQueue::WaitForMessage(int timeoutMs)
{
    if (m_cells[m_dequeuePos & m_mask].sequence.load(std::memory_order_acquire) == m_dequeuePos + 1)
        return true;
    pollfd descriptor { m_wakeFd, POLLIN, 0 };
    int result = 0;
    do {
        result = poll(&descriptor, 1, timeoutMs);
    } while (result < 0 && errno == EINTR);
    return result > 0
        && m_cells[m_dequeuePos & m_mask].sequence.load(std::memory_order_acquire)
        == m_dequeuePos + 1;
}

void CMessageQueue::Wake()
{
    if (m_wakePending.exchange(true, std::memory_order_acq_rel))
        return; // already signalled; one write per batch of posts is enough
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(m_wakeFd, &one, sizeof one);
}

// The descriptor is read even when no wake was pending: a poster may have set the flag before
// this and written only after the previous clear, which would otherwise leave it readable.
void CMessageQueue::ClearWake()
{
    m_wakePending.exchange(false, std::memory_order_acq_rel);
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t consumed = read(m_wakeFd, &count, sizeof count);
}
