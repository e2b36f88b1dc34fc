#include "platform/sync/Thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kerrion {
namespace {

// A nice value a little better than the default: "above normal", not real time, so a busy
// device thread can never lock the machine up.
constexpr int kAboveNormalNice = -5;

void RaisePriority()
{
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    // Refused without the right to lower nice values: the thread simply keeps normal priority.
    (void)setpriority(PRIO_PROCESS, tid, kAboveNormalNice);
}

} // namespace

Thread::~Thread() { Join(kWaitForever); }

void* Thread::Run(void* parameter)
{
    // The thread's own reference: keeps the body's captures alive even after the owner has gone.
    std::unique_ptr<std::shared_ptr<Shared>> owned(
        static_cast<std::shared_ptr<Shared>*>(parameter));
    Shared& shared = **owned;
    if (shared.priority == Priority::AboveNormal)
        RaisePriority();
    shared.body();
    shared.body = nullptr; // release the captures here, before the owner learns of the end
    shared.ended.Set();
    return nullptr;
}

bool Thread::Start(std::function<void()> body, Priority priority)
{
    if (m_shared)
        return false;
    auto shared = std::make_shared<Shared>();
    shared->body = std::move(body);
    shared->priority = priority;
    auto* parameter = new std::shared_ptr<Shared>(shared);
    if (pthread_create(&m_handle, nullptr, &Thread::Run, parameter) != 0) {
        delete parameter;
        return false;
    }
    m_shared = std::move(shared);
    return true;
}

bool Thread::Join(uint32_t milliseconds)
{
    if (!m_shared)
        return true;
    if (!m_shared->ended.Wait(milliseconds))
        return false;
    pthread_join(m_handle, nullptr);
    m_shared.reset();
    return true;
}

void Thread::Abandon()
{
    if (!m_shared)
        return;
    pthread_detach(m_handle);
    m_shared.reset();
}

bool Thread::HasEnded() { return m_shared && m_shared->ended.IsSet(); }

Waitable* Thread::EndedEvent() { return m_shared ? &m_shared->ended : nullptr; }

} // namespace kerrion
