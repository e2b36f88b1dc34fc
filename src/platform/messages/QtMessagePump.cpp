#include "platform/messages/QtMessagePump.h"

#include <QTimerEvent>

#include <algorithm>

CQtMessagePump::CQtMessagePump(CMessageQueue& queue, Handler handler, QObject* parent)
    : QObject(parent)
    , m_queue(queue)
    , m_handler(std::move(handler))
    , m_notifier(queue.WakeDescriptor(), QSocketNotifier::Read)
{
    connect(&m_notifier, &QSocketNotifier::activated, this, &CQtMessagePump::Pump);
}

void CQtMessagePump::SetBatchInterval(int milliseconds)
{
    m_batchIntervalMs = std::max(milliseconds, 0);
    if (m_batchIntervalMs == 0) {
        m_batchTimer.stop();
        m_notifier.setEnabled(true);
    }
}

void CQtMessagePump::Pump()
{
    bool delivered = false;
    CMessageQueue::Message message;
    while (m_queue.TakeMessage(message)) {
        m_handler(message);
        delivered = true;
    }
    if (m_batchIntervalMs == 0)
        return;
    // A handler may have run a nested event loop (a modal dialog): the state is set afresh here.
    if (delivered) {
        m_notifier.setEnabled(false);
        m_batchTimer.start(m_batchIntervalMs, Qt::PreciseTimer, this);
    } else {
        m_batchTimer.stop();
        m_notifier.setEnabled(true);
    }
}

void CQtMessagePump::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_batchTimer.timerId())
        Pump();
    else
        QObject::timerEvent(event);
}
