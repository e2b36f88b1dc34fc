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

void MeterPaint(benchmark::State& state, int needleType)
{
    const double s = static_cast<double>(state.range(0)) / 10.0;
    CSettingsRecord settings;
    settings.Meter.Num = 4;
    settings.Needle.type = needleType;
    settings.PeakHold.type = 1;
    MeterFaceSurface face(settings.Meter.Size_w, settings.Meter.Size_h);
    DrawFace(face, settings.Color, s, settings);
    CDlgMeter meter;
    meter.SetDisplayScale(s);
    meter.SetMeterSize(Px(kFaceWidth, s), Px(kFaceHeight, s));
    ApplyMeterSettings(meter, settings, 0, &face);
    double pos = 0.0;
    for (auto _ : state) {
        pos = pos >= 88.0 ? 0.0 : pos + 0.7; // a moving needle and peak bar
        meter.SetVuPos(pos);
        meter.UpdatePeak(pos);
        meter.ComposeOffscreen();
        benchmark::DoNotOptimize(meter.Offscreen().constBits());
    }
    state.SetLabel("scale " + std::to_string(s).substr(0, 3));
}

// One frame as the main window makes it: the meter shown, its needle sweep region repainted at
// once (face restored, moving parts drawn, the result copied to the window's surface).
void NeedleFrame(benchmark::State& state)
{
    const double s = static_cast<double>(state.range(0)) / 10.0;
    CSettingsRecord settings;
    settings.Meter.Num = 4;
    settings.PeakHold.type = 1;
    MeterFaceSurface face(settings.Meter.Size_w, settings.Meter.Size_h);
    DrawFace(face, settings.Color, s, settings);
    CDlgMeter meter;
    meter.SetDisplayScale(s);
    meter.SetMeterSize(Px(kFaceWidth, s), Px(kFaceHeight, s));
    ApplyMeterSettings(meter, settings, 0, &face);
    meter.show();
    QApplication::processEvents();
    const QRegion sweep = ToQRegion(NeedleSweepRegion(
        settings.Needle.type, settings.Needle.thick, settings.Needle.only_upper != 0, false, s));
    double pos = 0.0;
    for (auto _ : state) {
        pos = pos >= 88.0 ? 0.0 : pos + 0.7;
        meter.SetVuPos(pos);
        meter.UpdatePeak(pos);
        meter.repaint(sweep);
    }
    state.SetLabel("scale " + std::to_string(s).substr(0, 3));
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
