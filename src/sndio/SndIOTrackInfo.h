#pragma once

// One track of a play list segment: one WAVE file with its gain slots. A play-and-record engine
// would mix tracks into the device output; in meter mode a segment holds no tracks, and only
// the gain update below is ever applied. Copies are plain (the record owns no memory).
// Threads: see SndIORecordList.h.

#include "sndio/SndIORecordList.h"

#include <array>
#include <cstdint>

class CSndIOTrackInfo {
public:
    static constexpr int kGainSlots = 30;
    static constexpr int kGainHalves = 2 * kGainSlots; // each slot has two halves
    static constexpr int kMutedDb = -96;               // a gain of exactly this many dB mutes

    CSndIOTrackInfo();
    virtual ~CSndIOTrackInfo() = default;
    CSndIOTrackInfo(const CSndIOTrackInfo&) = default;
    CSndIOTrackInfo& operator=(const CSndIOTrackInfo&) = default;

    // Sets the linear gain of every enabled half: 0.0 when muted or when `gainDb` is the mute
    // level, else 10^((the half's gain in dB + gainDb) / 20).
    void ApplyGain(bool mute, double gainDb);

    int32_t m_trackId = 0; // the track's number within its segment
    char m_path[260] = {}; // the WAVE file, NUL-terminated; empty: no file

    // Play-mode parameters (positions, lengths, routing, play state). Meter mode never reads
    // them; they are kept and copied with the record so a play engine can give them roles.
    std::array<int32_t, 6> m_playParams {};
    int64_t m_playPosition = 0;
    std::array<int32_t, 4> m_playState {};

    // Gain slots, as parallel arrays over the 60 halves.
    std::array<int32_t, kGainHalves> m_gainEnabled {}; // 1: the half takes part in the gain update
    std::array<int32_t, kGainHalves> m_gainParam1 {};  // play-mode routing, 1 by default
    std::array<int32_t, kGainHalves> m_gainParam2 {};  // play-mode routing, 0 by default
    std::array<double, kGainHalves> m_gainLinear {};   // linear factor, 1.0 by default
    int32_t m_playFlags = 0;                           // play mode only
    std::array<uint8_t, 24> m_playReserved {};         // play mode only
    std::array<double, kGainHalves> m_gainDb {};       // dB per half, added to the segment gain
};

// The tracks of one segment.
using CSndIOTrackInfoList = kerrion::RecordList<CSndIOTrackInfo>;
