// The history graph's geometry: the loudness scale around the target, and the columns that
// gather the steps of the span, newest at the right.

#include "display/geometry/LoudnessGraph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using kerrion::GraphColumn;
using kerrion::LoudnessHistory;

namespace {

// A history of `steps` steps whose short-term loudness is -40 + step and momentary one more,
// with a true peak over the limit at the steps in `overs`.
void Fill(LoudnessHistory& history, int steps, const std::vector<int>& overs)
{
    kerrion::LoudnessReadings r;
    for (int step = 1; step <= steps; ++step) {
        r.steps = step;
        r.shortTerm = -40.0 + step;
        r.momentary = r.shortTerm + 1.0;
        r.integrated = -30.0;
        r.truePeakStep = std::find(overs.begin(), overs.end(), step) != overs.end() ? 0.0 : -6.0;
        history.Follow(r, -1.0);
    }
}

TEST(LoudnessGraph, TheScaleRunsFromNineAboveToTwentyOneBelowTheTarget)
{
    const kerrion::LoudnessGraphFrame frame = kerrion::GraphFrame(300, 121, -23.0, 1);
    EXPECT_EQ(frame.spanSteps, 600);
    EXPECT_DOUBLE_EQ(kerrion::GraphY(frame, -14.0), 0.0);
    EXPECT_DOUBLE_EQ(kerrion::GraphY(frame, -23.0), 36.0);
    EXPECT_DOUBLE_EQ(kerrion::GraphY(frame, -44.0), 120.0);
    EXPECT_DOUBLE_EQ(kerrion::GraphY(frame, 0.0), 0.0) << "held at the edge";
    EXPECT_DOUBLE_EQ(kerrion::GraphY(frame, -120.0), 120.0);
    EXPECT_EQ(kerrion::GraphFrame(300, 121, -23.0, 7).spanSteps, 6000) << "10 minutes";
}

TEST(LoudnessGraph, ColumnsGatherTheStepsOfTheSpanNewestAtTheRight)
{
    LoudnessHistory history;
    Fill(history, 700, { 690, 3 });
    // One minute over 300 px: two steps a column; the first 100 steps are out of the span.
    std::vector<GraphColumn> columns;
    kerrion::GraphColumns(history, kerrion::GraphFrame(300, 100, -23.0, 1), columns);
    ASSERT_EQ(columns.size(), 300u);
    const GraphColumn& newest = columns[299]; // steps 700 and 699
    EXPECT_TRUE(newest.any);
    EXPECT_FLOAT_EQ(newest.shortLow, 659.0f);
    EXPECT_FLOAT_EQ(newest.shortHigh, 660.0f);
    EXPECT_FLOAT_EQ(newest.momentaryHigh, 661.0f);
    EXPECT_FLOAT_EQ(newest.integrated, -30.0f);
    EXPECT_FALSE(newest.truePeakOver);
    EXPECT_TRUE(columns[294].truePeakOver);      // steps 690 and 689
    EXPECT_FLOAT_EQ(columns[0].shortLow, 61.0f); // steps 102 and 101
    int overs = 0;
    for (const GraphColumn& column : columns)
        overs += column.truePeakOver ? 1 : 0;
    EXPECT_EQ(overs, 1) << "step 3 is out of the span";

    LoudnessHistory young;
    Fill(young, 10, {});
    kerrion::GraphColumns(young, kerrion::GraphFrame(300, 100, -23.0, 1), columns);
    EXPECT_TRUE(columns[295].any);
    EXPECT_FALSE(columns[294].any) << "nothing before the programme began";
}

} // namespace
