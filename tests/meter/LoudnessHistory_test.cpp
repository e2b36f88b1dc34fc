// The loudness history follows the broadcast loudness processor step by step: its points are
// the readings at each step's end, a true peak over the limit marks the steps it happened in,
// steps a slow follower missed are held, a reset starts it afresh and an hour is all it keeps.

#include "meter/LoudnessHistory.h"

#include "meter/R128Programme.h"

#include <gtest/gtest.h>

using kerrion::LoudnessHistory;
using kerrion::LoudnessReadings;
using kerrion::test::Level;

namespace {

// 5 s of a 1 kHz sine at -23 dBFS with 0.2 s at -0.5 dBFS from 3 s: steps 31 and 32 hold
// true peaks over a -1 dBTP limit.
kerrion::test::Trace Programme()
{
    CSndSPLoudnessR128 meter;
    meter.SetRate(48000.0);
    EXPECT_EQ(meter.Init(), CSndSP::kOk);
    return kerrion::test::Run(meter, { Level(3.0, -23.0), Level(0.2, -0.5), Level(1.8, -23.0) },
        kerrion::test::Waveform {});
}

TEST(LoudnessHistory, FollowsTheStepsMarksThePeaksHoldsWhatWasMissedAndStartsAfresh)
{
    const kerrion::test::Trace trace = Programme();
    LoudnessHistory every;
    LoudnessHistory slow; // sees every 40th block of 10 ms: 4 steps at a time
    for (std::size_t i = 0; i < trace.readings.size(); ++i) {
        every.Follow(trace.readings[i], -1.0);
        if (i % 40 == 39)
            slow.Follow(trace.readings[i], -1.0);
    }
    const LoudnessReadings& end = trace.readings.back();
    ASSERT_EQ(every.Steps(), 50);
    ASSERT_EQ(every.Size(), 50u);
    EXPECT_FLOAT_EQ(every.Back(0).shortTerm, static_cast<float>(end.shortTerm));
    EXPECT_FLOAT_EQ(every.Back(0).integrated, static_cast<float>(end.integrated));
    EXPECT_TRUE(std::isnan(every.Back(49).momentary)) << "not defined in the first 400 ms";
    for (std::size_t age = 0; age < every.Size(); ++age) {
        const long long step = every.Steps() - static_cast<long long>(age);
        // The peaks of a block count at the step that ends after it: steps 31 to 33.
        EXPECT_EQ(every.Back(age).truePeakOver, step >= 31 && step <= 33) << "step " << step;
    }
    // Each step the slow follower missed holds what it saw at the end of the four.
    ASSERT_EQ(slow.Steps(), 48);
    ASSERT_EQ(slow.Size(), 48u);
    for (std::size_t age = 0; age < slow.Size(); ++age) {
        const LoudnessHistory::Point& seen = every.Back(2 + age / 4 * 4);
        EXPECT_EQ(std::isnan(slow.Back(age).momentary), std::isnan(seen.momentary)) << age;
        if (!std::isnan(seen.momentary)) {
            EXPECT_FLOAT_EQ(slow.Back(age).momentary, seen.momentary) << age;
        }
    }

    LoudnessReadings reset; // a reset: the step count starts again
    reset.steps = 2;
    every.Follow(reset, -1.0);
    EXPECT_EQ(every.Size(), 2u);
    reset.steps = static_cast<long long>(LoudnessHistory::kSteps) + 7;
    every.Follow(reset, -1.0);
    EXPECT_EQ(every.Size(), LoudnessHistory::kSteps) << "an hour at most";
}

} // namespace
