#pragma once

// JACK's float samples (full scale at +-1.0) to and from the 32-bit integer samples of the
// driver's buffers (ASIO type 18), so that the host sees what a hardware driver delivers.
// Any thread; allocates nothing, calls nothing.

#include <cstdint>

namespace kerrion::jack {

// x * 2^31, truncated toward zero; 1.0 and above give INT32_MAX, -1.0 and below INT32_MIN,
// NaN gives 0.
void FloatToInt32(const float* in, int32_t* out, uint32_t count);

// x / 2^31, rounded to the nearest float.
void Int32ToFloat(const int32_t* in, float* out, uint32_t count);

} // namespace kerrion::jack
