#include "platform/messages/QtMessagePump.h"

CQtMessagePump::CQtMessagePump(CMessageQueue& queue, Handler handler, QObject* parent)
    : QObject(parent)
    , m_queue(queue)
    , m_handler(std::move(handler))
    , m_notifier(queue.WakeDescriptor(), QSocketNotifier::Read)
{
    connect(&m_notifier, &QSocketNotifier::activated, this, &CQtMessagePump::Pump);
}

void CQtMessagePump::Pump()
{
    CMessageQueue::Message message;
    while (m_queue.TakeMessage(message))
        m_handler(message);
}
