#pragma once

// A millisecond clock that never goes backwards (monotonic, unrelated to the wall clock).
// Any thread; allocates nothing.

#include <cstdint>

namespace kerrion {

uint64_t NowMilliseconds();

} // namespace kerrion
