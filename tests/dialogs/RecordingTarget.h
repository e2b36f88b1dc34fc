#pragma once

// A stand-in for the main window: records every message a dialog posts and, like the main
// window, handles it at once on the posting thread (through an optional handler).

#include "platform/messages/NotifyTarget.h"

#include <functional>
#include <vector>

namespace kerrion::test {

struct PostedMessage {
    uint32_t message;
    intptr_t wParam;
    intptr_t lParam;
    bool operator==(const PostedMessage&) const = default;
};

class RecordingTarget : public CNotifyTarget {
public:
    std::vector<PostedMessage> messages;
    std::function<void(const PostedMessage&)> handler;

    bool PostMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override
    {
        messages.push_back({ message, wParam, lParam });
        if (handler)
            handler(messages.back());
        return true;
    }
};

} // namespace kerrion::test
