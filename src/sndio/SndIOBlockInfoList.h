#pragma once

// The play list's entries, with the limits the engine sets when metering starts, and the two
// operations that shape the list for a run: Prepare (entry 0 reset to a default entry) and
// ApplyGains (entry 0 given its first segment, the gains of that segment's tracks updated).
// Threads: the UI thread calls both from StartEngine before the engine thread exists; the
// engine thread reads the list afterwards. Never on the per-block path.

#include "sndio/SndIOBlockInfo.h"
#include "sndio/SndIORecordList.h"

#include <cstdint>

class CSndIOBlockInfoList : public kerrion::RecordList<CSndIOBlockInfo> {
public:
    static constexpr int32_t kDefaultTrackSlots = 64;

    // Makes entry 0 a default entry (no segments, play fields 0) running `repeatCount` times;
    // an empty list first grows to one entry. Returns 1, or 0 when memory runs out.
    int Prepare(int32_t repeatCount) noexcept;
    // Makes sure entry 0 and its first segment exist and applies the gain update to every track
    // of that segment (CSndIOTrackInfo::ApplyGain). Returns 1, or 0 when memory runs out.
    int ApplyGains(bool mute, double gainDb) noexcept;

    int32_t m_outputChannelLimit = 0;          // channels; the engine sets 64
    int32_t m_inputChannelLimit = 0;           // channels; the engine sets 64
    int32_t m_trackSlots = kDefaultTrackSlots; // tracks a segment may hold
};
