#pragma once

// How often the main window takes up the engine's levels. Pure functions.

#include <cstdint>

namespace kerrion {

// The needles move at least this many times a second whatever Meter/Refresh says (at every block
// when blocks come less often).
inline constexpr double kMinReadingsPerSecond = 4.0;

// Meter/Refresh as the main window uses it: every Refresh-th block's reading is taken up, so a
// value below 1 reads as 1, and one so large that fewer than kMinReadingsPerSecond readings a
// second would be left (a frozen needle) is held to the blocks of a quarter second.
// `blocksPerSecond` is the run's block rate (0 while it is not known: then only the lower bound
// applies).
int64_t ReadingInterval(int refresh, double blocksPerSecond);

} // namespace kerrion
