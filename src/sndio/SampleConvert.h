#pragma once

// The sample-by-sample conversion rules behind CSndIOBuffer::Convert, one tight loop per pair of
// types picked once per call:
// - integers are read in their own scale (code 14 minus 128, code 17 sign-extended from 24 bits,
//   the 32-bit containers as signed 32-bit values) and shifted by the difference of the integer
//   widths (left when widening, arithmetically right when narrowing);
// - into packed 24-bit (code 17) a value is first brought to the 32-bit scale and its upper three
//   bytes are stored;
// - integers become floating point in their own scale (a 16-bit full scale is 32767.0);
// - floating point becomes an integer by truncation toward zero to 32 bits, whose low bits are
//   stored without shifting. Values beyond the 32-bit range saturate and NaN becomes 0, so every
//   input has a defined result;
// - double to float converts the value, values beyond the float range become infinities.
// Any thread; allocates nothing.

#include "sndio/SampleType.h"

#include <cstdint>

namespace kerrion {

// Converts n samples from `src` (type `from`) to `dst` (type `to`). Returns false, moving
// nothing, when either code is unsupported. Equal types are one memmove. The two ranges may be
// unaligned; they must not overlap unless the types are equal.
bool ConvertSamples(
    SampleType from, const uint8_t* src, SampleType to, uint8_t* dst, uint32_t n) noexcept;

// Truncation toward zero into 32 bits, saturating at the ends of the range; NaN gives 0.
int32_t TruncateToInt32(double value) noexcept;

} // namespace kerrion
