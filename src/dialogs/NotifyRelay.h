#pragma once

// A notify target that hands each message to a function: how a dialog passes on what the colour
// dialog it opened reports. User-interface thread only.

#include "platform/messages/NotifyTarget.h"

#include <functional>
#include <utility>

namespace kerrion {

class NotifyRelay : public CNotifyTarget {
public:
    using Handler = std::function<void(uint32_t message, intptr_t wParam, intptr_t lParam)>;

    explicit NotifyRelay(Handler handler)
        : m_handler(std::move(handler))
    {
    }

    bool PostMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override
    {
        m_handler(message, wParam, lParam);
        return true;
    }

private:
    Handler m_handler;
};

} // namespace kerrion
