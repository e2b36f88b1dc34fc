#pragma once

// The floor under any metering of blocks that cross threads: a timer thread that wakes at the
// block rate and hands a token through three more threads, which do nothing else. Each hand-off
// is the cheapest the kernel offers (a futex word, woken only when its thread sleeps on it).

namespace kerrion::bench {

// Runs the chain at `rate` wake-ups a second for `seconds`; the CPU time of its four threads
// per second, as a fraction of one core.
double WakeChainCoreFraction(double rate, double seconds);

} // namespace kerrion::bench
