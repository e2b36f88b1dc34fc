#include "sndio/SndIOBlockInfoList.h"

#include <new>

int CSndIOBlockInfoList::Prepare(int32_t repeatCount) noexcept
{
    if (GetCount() == 0 && SetSize(1) == 0)
        return 0;
    CSndIOBlockInfo& entry = *GetAt(0);
    // A default entry has no segments, so resetting entry 0 frees its segments and allocates
    // nothing.
    if (entry.m_segments.SetSize(0) == 0)
        return 0;
    entry.m_playParams = {};
    entry.m_playFlag = 0;
    entry.m_repeatCount = repeatCount;
    return 1;
}

int CSndIOBlockInfoList::ApplyGains(bool mute, double gainDb) noexcept
{
    if (GetCount() == 0 && SetSize(1) == 0)
        return 0;
    CSndIOSegmentInfoList& segments = GetAt(0)->m_segments;
    if (segments.GetCount() == 0 && segments.SetSize(1) == 0)
        return 0;
    for (CSndIOTrackInfo& track : segments.GetAt(0)->m_tracks)
        track.ApplyGain(mute, gainDb);
    return 1;
}
