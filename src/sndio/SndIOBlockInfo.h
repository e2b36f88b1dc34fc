#pragma once

// One entry of the play list: its segments and how often the engine runs it. Copies are deep
// (the copy owns its own segments and tracks). Threads: see SndIORecordList.h.

#include "sndio/SndIOSegmentInfo.h"

#include <array>
#include <cstdint>

class CSndIOBlockInfo {
public:
    CSndIOBlockInfo() = default;
    virtual ~CSndIOBlockInfo() = default;
    CSndIOBlockInfo(const CSndIOBlockInfo&) = default;
    CSndIOBlockInfo& operator=(const CSndIOBlockInfo&) = default;

    CSndIOSegmentInfoList m_segments;       // played in order, once per repetition
    std::array<int32_t, 3> m_playParams {}; // play mode only
    uint8_t m_playFlag = 0;                 // play mode only
    int32_t m_repeatCount = 1;              // runs of the entry; 0: until the engine is stopped
};
