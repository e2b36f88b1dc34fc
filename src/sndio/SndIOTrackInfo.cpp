#include "sndio/SndIOTrackInfo.h"

#include <cmath>

CSndIOTrackInfo::CSndIOTrackInfo()
{
    m_gainParam1.fill(1);
    m_gainLinear.fill(1.0);
}

void CSndIOTrackInfo::ApplyGain(bool mute, double gainDb)
{
    const bool silent = mute || gainDb == kMutedDb;
    for (int half = 0; half < kGainHalves; ++half) {
        if (m_gainEnabled[half] == 0)
            continue;
        m_gainLinear[half] = silent ? 0.0 : std::pow(10.0, (m_gainDb[half] + gainDb) / 20.0);
    }
}
