#include "meter/SndSPLoudnessMarvane.h"

CSndSPLoudnessMarvane::~CSndSPLoudnessMarvane() = default;

int CSndSPLoudnessMarvane::Init()
{
    m_table.fill(0);
    return m_working.Create(kerrion::kSampleInt16, kMaxBlockFrames, kMaxChannels) ? kOk : kNoMemory;
}
