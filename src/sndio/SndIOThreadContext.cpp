#include "sndio/SndIOThreadContext.h"

CSndIOThreadContext::CSndIOThreadContext()
    : m_output(&m_outputStream)
    , m_input(&m_inputStream)
{
}

void CSndIOThreadContext::CreateSyncObjects()
{
    m_commandEvent.Reset();
    m_replyEvent.Reset();
    m_positionEvent.Reset();
    m_commandCode = 0;
    m_replyCode = 0;
    m_outputFree.Reset(4, 4);
    m_outputFilled.Reset(0, 4);
    m_inputFilled.Reset(0, 4);
    m_inputFree.Reset(4, 4);
    m_syncCreated = true;
}

void CSndIOThreadContext::SendCommand(int32_t code)
{
    if (!m_syncCreated)
        return;
    m_commandCode = code;
    m_commandEvent.Set();
}

void CSndIOThreadContext::Reply(int32_t code)
{
    m_replyCode = code;
    m_replyEvent.Set();
}

void CSndIOThreadContext::MarkLost()
{
    m_lost.store(true, std::memory_order_release);
    m_inputFilled.Give();
    m_outputFree.Give();
}
