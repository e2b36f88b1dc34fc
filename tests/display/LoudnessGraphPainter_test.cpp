// The history graph drawn into an image: the target band where the scale puts it, the
// short-term line at the loudness of each stretch of a known programme, and the true-peak mark
// above the step that passed the limit.

#include "display/LoudnessGraphPainter.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdlib>

using kerrion::LoudnessHistory;

namespace {

// Five minutes: short-term at the EBU target -23 for the first half and at -35 after it, a
// true peak over the limit at step 2400 (a minute before the end).
LoudnessHistory Programme()
{
    LoudnessHistory history;
    kerrion::LoudnessReadings r;
    for (long long step = 1; step <= 3000; ++step) {
        r.steps = step;
        r.shortTerm = step <= 1500 ? -23.0 : -35.0;
        r.momentary = r.shortTerm;
        r.integrated = -24.0;
        r.truePeakStep = step == 2400 ? 0.5 : -6.0;
        history.Follow(r, -1.0);
    }
    return history;
}

// The rows of column x whose pixel is `color`.
std::vector<int> RowsOf(const QImage& image, int x, QRgb color)
{
    std::vector<int> rows;
    for (int y = 0; y < image.height(); ++y)
        if (image.pixel(x, y) == color)
            rows.push_back(y);
    return rows;
}

TEST(LoudnessGraphPainter, DrawsTheBandTheLinesAndTheMarkWhereTheScaleSaysSo)
{
    const QRect area(0, 0, 656, 330); // a plot of 600 x 290
    QImage image(area.size(), QImage::Format_RGB32);
    QPainter painter(&image);
    kerrion::LoudnessGraphPainter graph;
    const auto ebu = kerrion::LoudnessStandard::Of(kerrion::LoudnessStandardId::Ebu);
    graph.Paint(painter, area, Programme(), ebu, 10);
    painter.end();
    if (std::getenv("KERRION_SAVE_GRAPH") != nullptr)
        image.save(std::getenv("KERRION_SAVE_GRAPH"));

    const QRect plot = kerrion::LoudnessGraphPainter::PlotRect(area);
    const auto frame = kerrion::GraphFrame(plot.width(), plot.height(), -23.0, 10);
    const auto rowOf = [&](double lkfs) {
        return plot.top() + static_cast<int>(std::lround(kerrion::GraphY(frame, lkfs)));
    };
    // Ten minutes over 600 px: a pixel a second; the programme fills the right half.
    const int firstHalf = plot.right() - 200; // 200 s before the end: -23
    const int secondHalf = plot.right() - 60; // a minute before the end: -35
    const QRgb line = qRgb(235, 235, 235);
    EXPECT_FALSE(RowsOf(image, firstHalf, line).empty());
    for (int row : RowsOf(image, firstHalf, line))
        EXPECT_NEAR(row, rowOf(-23.0), 1);
    for (int row : RowsOf(image, secondHalf, line))
        EXPECT_NEAR(row, rowOf(-35.0), 1);
    EXPECT_TRUE(RowsOf(image, plot.left() + 100, line).empty()) << "before the programme";
    // The band is the target's green over the background, from -22 to -24 LKFS.
    const QColor band = image.pixelColor(plot.left() + 100, rowOf(-23.5));
    EXPECT_GT(band.green(), band.red() + 20);
    EXPECT_EQ(image.pixelColor(plot.left() + 100, rowOf(-26.0)), QColor(35, 35, 35));
    EXPECT_EQ(image.pixelColor(secondHalf, plot.top() + 2), QColor(255, 60, 60)) << "over";
    EXPECT_EQ(image.pixelColor(secondHalf - 20, plot.top() + 2), QColor(35, 35, 35));
}

} // namespace
