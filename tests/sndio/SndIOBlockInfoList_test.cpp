#include "sndio/SndIOBlockInfoList.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

// A segment holding `tracks` tracks whose ids are 1, 2, ...
CSndIOSegmentInfo SegmentWithTracks(int tracks)
{
    CSndIOSegmentInfo segment;
    EXPECT_EQ(segment.m_tracks.SetSize(tracks), 1);
    int id = 1;
    for (CSndIOTrackInfo& track : segment.m_tracks)
        track.m_trackId = id++;
    return segment;
}

} // namespace

TEST(SndIORecords, DefaultsOfEachRecord)
{
    const CSndIOTrackInfo track;
    EXPECT_EQ(track.m_trackId, 0);
    EXPECT_STREQ(track.m_path, "");
    EXPECT_EQ(track.m_playPosition, 0);
    for (int half = 0; half < CSndIOTrackInfo::kGainHalves; ++half) {
        EXPECT_EQ(track.m_gainEnabled[half], 0);
        EXPECT_EQ(track.m_gainParam1[half], 1);
        EXPECT_EQ(track.m_gainParam2[half], 0);
        EXPECT_EQ(track.m_gainLinear[half], 1.0);
        EXPECT_EQ(track.m_gainDb[half], 0.0);
    }

    const CSndIOSegmentInfo segment;
    EXPECT_EQ(segment.m_tracks.GetCount(), 0);
    EXPECT_EQ(segment.m_playParams[0] | segment.m_playParams[1], 0U);

    const CSndIOBlockInfo entry;
    EXPECT_EQ(entry.m_segments.GetCount(), 0);
    EXPECT_EQ(entry.m_repeatCount, 1);
    EXPECT_EQ(entry.m_playFlag, 0);

    const CSndIOBlockInfoList list;
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.m_outputChannelLimit, 0);
    EXPECT_EQ(list.m_inputChannelLimit, 0);
    EXPECT_EQ(list.m_trackSlots, 64);
}

TEST(SndIORecordList, SetSizeGrowsAndShrinksAtTheTail)
{
    CSndIOTrackInfoList tracks = SegmentWithTracks(5).m_tracks;
    const CSndIOTrackInfo* first = tracks.GetAt(0);
    ASSERT_EQ(tracks.SetSize(3), 1);
    ASSERT_EQ(tracks.GetCount(), 3);
    EXPECT_EQ(tracks.GetAt(0), first) << "records keep their place";
    EXPECT_EQ(tracks.GetAt(2)->m_trackId, 3);
    EXPECT_EQ(tracks.GetAt(3), nullptr);
    EXPECT_EQ(tracks.GetAt(-1), nullptr);

    ASSERT_EQ(tracks.SetSize(4), 1);
    EXPECT_EQ(tracks.GetAt(2)->m_trackId, 3);
    EXPECT_EQ(tracks.GetAt(3)->m_trackId, 0) << "appended records are default ones";
    EXPECT_EQ(tracks.GetAt(3)->m_gainLinear[59], 1.0);

    ASSERT_EQ(tracks.SetSize(0), 1);
    EXPECT_EQ(tracks.GetCount(), 0);
    ASSERT_EQ(tracks.SetSize(2), 1);
    EXPECT_EQ(tracks.GetCount(), 2);
    ASSERT_EQ(tracks.SetSize(-3), 1);
    EXPECT_EQ(tracks.GetCount(), 0);
}

TEST(SndIORecordList, CopiesAreDeep)
{
    CSndIOBlockInfo entry;
    ASSERT_EQ(entry.m_segments.SetSize(2), 1);
    *entry.m_segments.GetAt(1) = SegmentWithTracks(2);
    std::strcpy(entry.m_segments.GetAt(1)->m_tracks.GetAt(0)->m_path, "a.wav");

    CSndIOBlockInfo copy = entry;
    copy.m_segments.GetAt(1)->m_tracks.GetAt(0)->m_path[0] = 'b';
    ASSERT_EQ(copy.m_segments.GetAt(1)->m_tracks.SetSize(0), 1);
    ASSERT_EQ(copy.m_segments.SetSize(1), 1);
    EXPECT_EQ(entry.m_segments.GetCount(), 2);
    ASSERT_EQ(entry.m_segments.GetAt(1)->m_tracks.GetCount(), 2);
    EXPECT_STREQ(entry.m_segments.GetAt(1)->m_tracks.GetAt(0)->m_path, "a.wav");

    CSndIOSegmentInfoList segments;
    ASSERT_EQ(segments.CopyFrom(entry.m_segments), 1);
    entry.m_segments.GetAt(1)->m_tracks.GetAt(1)->m_trackId = 99;
    EXPECT_EQ(segments.GetAt(1)->m_tracks.GetAt(1)->m_trackId, 2);
}

TEST(SndIOBlockInfoList, StartingOnANewListLeavesOneEntryWithOneEmptySegment)
{
    CSndIOBlockInfoList list;
    ASSERT_EQ(list.Prepare(0), 1);
    ASSERT_EQ(list.ApplyGains(false, 0.0), 1);
    ASSERT_EQ(list.GetCount(), 1);
    const CSndIOBlockInfo& entry = *list.GetAt(0);
    EXPECT_EQ(entry.m_repeatCount, 0);
    ASSERT_EQ(entry.m_segments.GetCount(), 1);
    EXPECT_EQ(entry.m_segments.GetAt(0)->m_tracks.GetCount(), 0);
}

TEST(SndIOBlockInfoList, PrepareResetsEntryZeroAndKeepsTheRest)
{
    CSndIOBlockInfoList list;
    ASSERT_EQ(list.SetSize(2), 1);
    CSndIOBlockInfo& entry = *list.GetAt(0);
    ASSERT_EQ(entry.m_segments.SetSize(3), 1);
    entry.m_playFlag = 1;
    entry.m_playParams = { 4, 5, 6 };
    ASSERT_EQ(list.GetAt(1)->m_segments.SetSize(2), 1);

    ASSERT_EQ(list.Prepare(7), 1);
    EXPECT_EQ(list.GetCount(), 2);
    EXPECT_EQ(entry.m_segments.GetCount(), 0);
    EXPECT_EQ(entry.m_playFlag, 0);
    EXPECT_EQ(entry.m_playParams[2], 0);
    EXPECT_EQ(entry.m_repeatCount, 7);
    EXPECT_EQ(list.GetAt(1)->m_segments.GetCount(), 2);
}

TEST(SndIOBlockInfoList, GainUpdateSetsEnabledHalvesOfTheFirstSegment)
{
    CSndIOBlockInfoList list;
    ASSERT_EQ(list.SetSize(1), 1);
    CSndIOSegmentInfoList& segments = list.GetAt(0)->m_segments;
    ASSERT_EQ(segments.SetSize(2), 1);
    *segments.GetAt(0) = SegmentWithTracks(2);
    *segments.GetAt(1) = SegmentWithTracks(1);
    for (CSndIOSegmentInfo& segment : segments) {
        for (CSndIOTrackInfo& track : segment.m_tracks) {
            track.m_gainEnabled[0] = 1;
            track.m_gainEnabled[59] = 1;
            track.m_gainDb[0] = -6.0;
            track.m_gainDb[1] = -6.0;  // not enabled
            track.m_gainDb[59] = 20.0; // +6 dB with the -14 below
        }
    }
    CSndIOTrackInfo& track = *segments.GetAt(0)->m_tracks.GetAt(1);
    CSndIOTrackInfo& other = *segments.GetAt(1)->m_tracks.GetAt(0);

    ASSERT_EQ(list.ApplyGains(false, -14.0), 1);
    EXPECT_NEAR(track.m_gainLinear[0], 0.1, 1e-12); // -6 - 14 = -20 dB
    EXPECT_NEAR(track.m_gainLinear[59], 1.9952623149688795, 1e-12);
    EXPECT_EQ(track.m_gainLinear[1], 1.0);
    EXPECT_EQ(other.m_gainLinear[0], 1.0) << "only the first segment is updated";

    ASSERT_EQ(list.ApplyGains(true, 0.0), 1);
    EXPECT_EQ(track.m_gainLinear[0], 0.0);
    EXPECT_EQ(track.m_gainLinear[1], 1.0);
    ASSERT_EQ(list.ApplyGains(false, 6.0), 1);
    EXPECT_NEAR(track.m_gainLinear[0], 1.0, 1e-12);
    ASSERT_EQ(list.ApplyGains(false, -96.0), 1);
    EXPECT_EQ(track.m_gainLinear[59], 0.0) << "-96 dB is silence, whatever the half adds";
}
