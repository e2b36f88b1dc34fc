// Time of one meter's paint (face copy and moving parts) at the display scales of 8, 4 and 1
// meters on a 1920 x 1080 monitor, composed whole and as a frame of the needle sweep. The face is
// rendered once beforehand, as after a settings change. Run with QT_QPA_PLATFORM=offscreen.

#include "app/SettingsRecord.h"
#include "display/DlgMeter.h"
#include "display/DrawFace.h"
#include "display/MeterFaceSurface.h"
#include "display/MeterSetup.h"
#include "display/QtShapes.h"
#include "display/geometry/FaceGeometry.h"

#include <benchmark/benchmark.h>

#include <QApplication>

using namespace kerrion;

namespace {

// A meter set up as the main window sets it up, at the display scale s, with its face.
struct BenchMeter {
    BenchMeter(double s, int needleType)
        : face(settings.Meter.Size_w, settings.Meter.Size_h)
    {
        settings.Meter.Num = 4;
        settings.Needle.type = needleType;
        settings.PeakHold.type = 1;
        DrawFace(face, settings.Color, s, settings);
        meter.SetDisplayScale(s);
        meter.SetMeterSize(Px(kFaceWidth, s), Px(kFaceHeight, s));
        ApplyMeterSettings(meter, settings, 0, &face);
    }

    // Moves the needle and the peak bar a little, as a changing level does.
    void Step()
    {
        pos = pos >= 88.0 ? 0.0 : pos + 0.7;
        meter.SetVuPos(pos);
        meter.UpdatePeak(pos);
    }

    CSettingsRecord settings;
    MeterFaceSurface face;
    CDlgMeter meter;
    double pos = 0.0;
};

double Scale(const benchmark::State& state) { return static_cast<double>(state.range(0)) / 10.0; }

void MeterPaint(benchmark::State& state, int needleType)
{
    BenchMeter bench(Scale(state), needleType);
    for (auto _ : state) {
        bench.Step();
        bench.meter.ComposeOffscreen();
        benchmark::DoNotOptimize(bench.meter.Offscreen().constBits());
    }
    state.SetLabel("scale " + std::to_string(Scale(state)).substr(0, 3));
}

// One frame as the main window makes it: the meter shown, its needle sweep region repainted at
// once (face restored, moving parts drawn, the result copied to the window's surface).
void NeedleFrame(benchmark::State& state)
{
    BenchMeter bench(Scale(state), 1);
    bench.meter.show();
    QApplication::processEvents();
    const CSettingsRecord& settings = bench.settings;
    const QRegion sweep = ToQRegion(NeedleSweepRegion(settings.Needle.type, settings.Needle.thick,
        settings.Needle.only_upper != 0, false, Scale(state)));
    for (auto _ : state) {
        bench.Step();
        bench.meter.repaint(sweep);
    }
    state.SetLabel("scale " + std::to_string(Scale(state)).substr(0, 3));
}

void BarNeedle(benchmark::State& state) { MeterPaint(state, 1); }
void SwordNeedle(benchmark::State& state) { MeterPaint(state, 0); }

BENCHMARK(BarNeedle)->Arg(3)->Arg(6)->Arg(10)->Unit(benchmark::kMicrosecond);
BENCHMARK(SwordNeedle)->Arg(3)->Arg(6)->Arg(10)->Unit(benchmark::kMicrosecond);
BENCHMARK(NeedleFrame)->Arg(3)->Arg(6)->Arg(10)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
