// Time of one paint of the loudness history graph at the size eight meters leave it on a
// 1920 x 1080 monitor (1890 x 374), with the span full of moving loudness: the window paints it
// once per new 100 ms step, ten times a second while metering. Run with
// QT_QPA_PLATFORM=offscreen.

#include "display/LoudnessGraphPainter.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cmath>

namespace {

void GraphPaint(benchmark::State& state)
{
    const int minutes = static_cast<int>(state.range(0));
    kerrion::LoudnessHistory history;
    kerrion::LoudnessReadings r;
    for (long long step = 1; step <= minutes * 600LL; ++step) {
        r.steps = step;
        r.shortTerm = -23.0 + 6.0 * std::sin(static_cast<double>(step) / 40.0);
        r.momentary = r.shortTerm + 2.0 * std::sin(static_cast<double>(step) / 3.0);
        r.integrated = -23.5;
        r.truePeakStep = step % 997 == 0 ? 0.0 : -6.0;
        history.Follow(r, -1.0);
    }
    const auto ebu = kerrion::LoudnessStandard::Of(kerrion::LoudnessStandardId::Ebu);
    QImage image(1890, 374, QImage::Format_ARGB32_Premultiplied); // as the window's backing store
    kerrion::LoudnessGraphPainter graph;
    for (auto _ : state) {
        QPainter painter(&image);
        graph.Paint(painter, image.rect(), history, ebu, minutes);
    }
}

} // namespace

BENCHMARK(GraphPaint)->Arg(1)->Arg(10)->Arg(60)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
