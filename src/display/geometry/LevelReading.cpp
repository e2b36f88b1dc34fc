#include "display/geometry/LevelReading.h"

#include <algorithm>
#include <cmath>

namespace kerrion {

int64_t ReadingInterval(int refresh, double blocksPerSecond)
{
    const int64_t asked = std::max(refresh, 1);
    if (!(blocksPerSecond > 0.0) || !std::isfinite(blocksPerSecond))
        return asked;
    const double most = std::max(1.0, std::floor(blocksPerSecond / kMinReadingsPerSecond));
    return std::min(asked, static_cast<int64_t>(most));
}

} // namespace kerrion
