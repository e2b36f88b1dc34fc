#pragma once

#include "platform/messages/MessageQueue.h"

#include <QObject>
#include <QSocketNotifier>

#include <functional>

// Delivers the messages of a CMessageQueue on the thread that owns this object (the
// user-interface thread), in posting order, from that thread's Qt event loop. Posting threads
// only touch the queue: no Qt, no allocation, no lock on their side.
class CQtMessagePump final : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const CMessageQueue::Message&)>;

    CQtMessagePump(CMessageQueue& queue, Handler handler, QObject* parent = nullptr);

    // Delivers every message waiting now (the notifier calls it; tests may too).
    void Pump();

private:
    CMessageQueue& m_queue;
    Handler m_handler;
    QSocketNotifier m_notifier;
};
