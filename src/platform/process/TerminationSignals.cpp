#include "platform/process/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace {

constexpr int kSignals[] = { SIGTERM, SIGINT, SIGHUP };

volatile sig_atomic_t g_writeFd = -1;
struct sigaction g_former[sizeof kSignals / sizeof kSignals[0]];

extern "C" void OnTerminationSignal(int number)
{
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(number);
    if (g_writeFd >= 0) {
        const ssize_t written = write(g_writeFd, &byte, 1); // a full pipe holds one already
        static_cast<void>(written);
    }
    errno = savedErrno;
}

} // namespace

CTerminationSignals::CTerminationSignals()
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_readFd = fds[0];
    g_writeFd = fds[1];
    struct sigaction action { };
    action.sa_handler = &OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
        sigaction(kSignals[i], &action, &g_former[i]);
}

CTerminationSignals::~CTerminationSignals()
{
    if (m_readFd < 0)
        return;
    for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
        sigaction(kSignals[i], &g_former[i], nullptr);
    const int writeFd = g_writeFd;
    g_writeFd = -1;
    close(writeFd);
    close(m_readFd);
}

int CTerminationSignals::TakeSignal()
{
    unsigned char byte = 0;
    return m_readFd >= 0 && read(m_readFd, &byte, 1) == 1 ? byte : 0;
}
