#pragma once

#include "platform/messages/MessageQueue.h"

#include <QBasicTimer>
#include <QObject>
#include <QSocketNotifier>

#include <functional>

// Delivers the messages of a CMessageQueue on the thread that owns this object (the
// user-interface thread), in posting order, from that thread's Qt event loop. Posting threads
// only touch the queue: no Qt, no allocation, no lock on their side.
//
// With a batch interval, a steady stream of messages (an engine posting per block, hundreds a
// second) wakes the thread at most once per interval: after a delivery the queue's descriptor
// rests and a timer delivers what gathered meanwhile; once a delivery finds the queue empty the
// descriptor wakes the next delivery at once, so a lone message is never held back.
class CQtMessagePump final : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const CMessageQueue::Message&)>;

    CQtMessagePump(CMessageQueue& queue, Handler handler, QObject* parent = nullptr);

    // 0 (the default) delivers on every wake.
    void SetBatchInterval(int milliseconds);

    // Delivers every message waiting now (the notifier and the timer call it; tests may too).
    void Pump();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    CMessageQueue& m_queue;
    Handler m_handler;
    QSocketNotifier m_notifier;
    QBasicTimer m_batchTimer;
    int m_batchIntervalMs = 0;
};
