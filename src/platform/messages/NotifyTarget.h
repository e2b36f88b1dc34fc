#pragma once

#include <cstdint>

// Window message numbers, as the Windows program knew them: messages of one window class from
// WM_USER up, messages of the application from WM_APP up.
constexpr uint32_t WM_USER = 0x0400;
constexpr uint32_t WM_APP = 0x8000;

// Where a thread posts its notices (the engine's "window to notify"). PostMessage never blocks,
// never allocates and takes no lock, so the engine may call it once per block; it only queues
// the message for the receiving thread, which takes the messages in the order they were posted.
class CNotifyTarget {
public:
    virtual ~CNotifyTarget();

    // Any thread. Returns false when the message could not be queued (the receiver has fallen
    // so far behind that its queue is full); the message is then dropped.
    virtual bool PostMessage(uint32_t message, intptr_t wParam, intptr_t lParam) = 0;
};
