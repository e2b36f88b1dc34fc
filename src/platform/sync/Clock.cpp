#include "platform/sync/Clock.h"

#include <chrono>

namespace kerrion {

uint64_t NowMilliseconds()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

} // namespace kerrion
