#pragma once

// An event: auto-reset by default (a successful wait clears it, so one Set releases one waiter),
// or manual-reset (stays set until Reset). Any thread may set, reset or wait.

#include "platform/sync/Waitable.h"

namespace kerrion {

class Event : public Waitable {
public:
    explicit Event(bool manualReset = false, bool initiallySet = false);

    void Set();
    void Reset();
    bool IsSet();

protected:
    bool TryTakeLocked() override;

private:
    const bool m_manualReset;
    bool m_set; // guarded by m_mutex
};

} // namespace kerrion
