#include "WakeChain.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cmath>
#include <ctime>
#include <thread>

namespace kerrion::bench {
namespace {

// A token one thread gives and the next takes; 0 = none, 1 = given.
class Token {
public:
    void Give()
    {
        m_word.store(1, std::memory_order_release);
        syscall(SYS_futex, &m_word, FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
    }

    void Take()
    {
        for (;;) {
            int given = 1;
            if (m_word.compare_exchange_strong(given, 0, std::memory_order_acquire))
                return;
            syscall(SYS_futex, &m_word, FUTEX_WAIT_PRIVATE, 0, nullptr, nullptr, 0);
        }
    }

private:
    std::atomic<int> m_word { 0 };
};

double ThreadCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void AddTo(std::atomic<double>& sum, double value)
{
    double seen = sum.load();
    while (!sum.compare_exchange_weak(seen, seen + value)) { }
}

} // namespace

double WakeChainCoreFraction(double rate, double seconds)
{
    std::array<Token, 3> tokens;
    std::atomic<bool> stop { false };
    std::atomic<double> cpu { 0.0 };
    const auto link = [&](size_t from) {
        for (;;) {
            tokens[from].Take();
            if (from + 1 < tokens.size())
                tokens[from + 1].Give();
            if (stop.load())
                break;
        }
        AddTo(cpu, ThreadCpuSeconds());
    };
    std::array<std::thread, 3> links
        = { std::thread(link, 0), std::thread(link, 1), std::thread(link, 2) };
    std::thread timer([&] {
        const auto period = static_cast<long>(1e9 / rate);
        const auto wakeUps = static_cast<long>(std::lround(rate * seconds));
        timespec next {};
        clock_gettime(CLOCK_MONOTONIC, &next);
        for (long i = 0; i < wakeUps; ++i) {
            next.tv_nsec += period;
            while (next.tv_nsec >= 1000000000L) {
                next.tv_nsec -= 1000000000L;
                ++next.tv_sec;
            }
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
            tokens[0].Give();
        }
        stop.store(true);
        for (Token& token : tokens)
            token.Give();
        AddTo(cpu, ThreadCpuSeconds());
    });
    timer.join();
    for (std::thread& thread : links)
        thread.join();
    return cpu.load() / seconds;
}

} // namespace kerrion::bench
