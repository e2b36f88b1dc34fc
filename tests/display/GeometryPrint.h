#pragma once

// Readable test failure messages for the geometry's plain types.

#include "display/geometry/Shapes.h"

#include <ostream>

namespace kerrion {

inline void PrintTo(const PointI& p, std::ostream* os) { *os << "(" << p.x << ", " << p.y << ")"; }

inline void PrintTo(const BoxI& b, std::ostream* os)
{
    *os << "(" << b.left << ", " << b.top << ")-(" << b.right << ", " << b.bottom << ")";
}

} // namespace kerrion
