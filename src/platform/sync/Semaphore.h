#pragma once

// A counting semaphore with a maximum: a give at the maximum is dropped (not an error, the count
// stays at the maximum). Any thread may give, take (Wait) or reset.

#include "platform/sync/Waitable.h"

namespace kerrion {

class Semaphore : public Waitable {
public:
    Semaphore(uint32_t initialCount, uint32_t maximumCount);

    // Adds one unit; false when the count already was at the maximum and the give was dropped.
    bool Give();
    // Sets a new count and maximum (the count is clamped to the maximum).
    void Reset(uint32_t count, uint32_t maximumCount);
    uint32_t Count();

protected:
    bool TryTakeLocked() override;

private:
    uint32_t m_count;   // guarded by m_mutex
    uint32_t m_maximum; // guarded by m_mutex
};

} // namespace kerrion
