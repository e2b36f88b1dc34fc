#pragma once

// A joinable thread. The owner (one thread) starts it, waits for its end with a time limit, and
// either joins it or abandons it. An abandoned thread runs on by itself: its body keeps alive
// whatever it captured (shared ownership) and is destroyed on that thread when it returns, so a
// thread that stopped answering never leaves freed memory under its feet.

#include "platform/sync/Event.h"

#include <functional>
#include <memory>
#include <pthread.h>

namespace kerrion {

class Thread {
public:
    enum class Priority { Normal, AboveNormal };

    Thread() = default;
    // Joins a thread still owned (waits for its end without limit); an abandoned one is left.
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts `body` on a new thread. AboveNormal is best effort: a system that refuses the raised
    // priority still runs the thread at normal priority. False when no thread could be created.
    bool Start(std::function<void()> body, Priority priority = Priority::Normal);

    // Waits up to `milliseconds` for the body to return; joins the thread and returns true when
    // it did (also when there is no thread), false on time-out (the thread is still owned).
    bool Join(uint32_t milliseconds = kWaitForever);

    // Gives up the thread without waiting; it ends on its own (or never).
    void Abandon();

    bool HasThread() const { return m_shared != nullptr; }
    // True once the body has returned (and false when there is no thread).
    bool HasEnded();
    // Set when the body has returned: can be part of a WaitSet while the thread is owned.
    Waitable* EndedEvent();

private:
    struct Shared {
        std::function<void()> body;
        Event ended { true }; // manual-reset: stays set once the body has returned
        Priority priority = Priority::Normal;
    };
    static void* Run(void* parameter);

    std::shared_ptr<Shared> m_shared; // also held by the running thread until it ends
    pthread_t m_handle {};
};

} // namespace kerrion
