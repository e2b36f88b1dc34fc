#pragma once

// One segment of a play list entry: the tracks that play together. In meter mode an entry holds
// exactly one segment with no tracks. Copies are deep. Threads: see SndIORecordList.h.

#include "sndio/SndIORecordList.h"
#include "sndio/SndIOTrackInfo.h"

#include <array>
#include <cstdint>

class CSndIOSegmentInfo {
public:
    CSndIOSegmentInfo() = default;
    virtual ~CSndIOSegmentInfo() = default;
    CSndIOSegmentInfo(const CSndIOSegmentInfo&) = default;
    CSndIOSegmentInfo& operator=(const CSndIOSegmentInfo&) = default;

    CSndIOTrackInfoList m_tracks;            // the segment's tracks, in play order
    std::array<uint32_t, 2> m_playParams {}; // play mode only (segment placement)
};

// The segments of one entry.
using CSndIOSegmentInfoList = kerrion::RecordList<CSndIOSegmentInfo>;
