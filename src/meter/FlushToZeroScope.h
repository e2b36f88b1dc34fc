#pragma once

// While an object of this class lives, the calling thread treats subnormal floating-point
// inputs and results as zero (x86 MXCSR flush-to-zero and denormals-are-zero); the previous
// mode comes back when it goes. The filters of the processors decay towards zero in silence;
// without this their states would pass through subnormal numbers, which cost many times the
// time of normal arithmetic, so silence would cost more than signal. Values this small
// (below 2.2e-308) make no difference to any reading.
// Threads: affects only the calling thread; the processors hold one for each Process call.

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define KERRION_HAVE_MXCSR 1
#endif

namespace kerrion {

class FlushToZeroScope {
public:
#ifdef KERRION_HAVE_MXCSR
    FlushToZeroScope()
        : m_saved(_mm_getcsr())
    {
        _mm_setcsr(m_saved | kFlushToZero | kDenormalsAreZero);
    }
    ~FlushToZeroScope() { _mm_setcsr(m_saved); }
#else
    FlushToZeroScope() = default; // other processors: their default rounding modes apply
    ~FlushToZeroScope() = default;
#endif
    FlushToZeroScope(const FlushToZeroScope&) = delete;
    FlushToZeroScope& operator=(const FlushToZeroScope&) = delete;

private:
#ifdef KERRION_HAVE_MXCSR
    static constexpr unsigned kFlushToZero = 0x8000;      // MXCSR.FZ
    static constexpr unsigned kDenormalsAreZero = 0x0040; // MXCSR.DAZ
    unsigned m_saved;                                     // MXCSR on entry
#endif
};

} // namespace kerrion
