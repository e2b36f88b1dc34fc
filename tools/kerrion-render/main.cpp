// kerrion-render: renders meters to a PNG file without a display, with the same drawing the
// meter windows use. See RenderUsage() for the options.

#include "RenderOptions.h"

#include "app/SettingsFile.h"
#include "app/SettingsRecord.h"
#include "display/DlgMeter.h"
#include "display/DrawFace.h"
#include "display/MeterFaceSurface.h"
#include "display/MeterSetup.h"
#include "display/geometry/FaceGeometry.h"
#include "display/geometry/MeterLayout.h"
#include "display/geometry/NeedleScale.h"
#include "display/geometry/ScaleLaw.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace kerrion;

namespace {

// Renders meter `index` as the main window would show it at scale s, w x h pixels.
QImage RenderMeter(
    const CSettingsRecord& settings, const RenderOptions& o, int index, double s, int w, int h)
{
    const QSize size = MeterFaceSurface::SizeFor(settings.Meter.Size_w, settings.Meter.Size_h, s);
    MeterFaceSurface face(size.width(), size.height());
    const NeedleType type = ParseNeedleType(
        o.meterType.value_or(settings.Channel[static_cast<size_t>(index)].meter_type));
    DrawFace(face, ActiveColorSet(settings, index), s, settings, type);
    CDlgMeter meter;
    meter.SetDisplayScale(s);
    meter.SetMeterSize(w, h);
    ApplyMeterSettings(meter, settings, index, &face);
    if (o.holdDbfs && HoldMsForType(settings.PeakHold.type) == 0)
        meter.SetHoldMs(2000); // a hold asked for shows even when the settings hold nothing
    const double vuPos = NeedleDbToScalePos(type, o.vuDb);
    const double peakPos = ClampPeakPos(PeakDbToScalePos(o.peakDbfs));
    meter.SetVuPos(vuPos);
    if (o.holdDbfs)
        meter.UpdatePeak(ClampPeakPos(PeakDbToScalePos(*o.holdDbfs)));
    meter.UpdatePeak(peakPos);
    if (o.lamp)
        meter.SetLampOn(1);
    if (settings.Dump.enable == 1) {
        const auto& channel = settings.Channel[static_cast<size_t>(index)];
        meter.SetDiagText(
            DiagnosticText(index, channel.device_ch, o.vuDb, o.peakDbfs, vuPos, peakPos));
    }
    meter.SetDisplayOn(o.displayOff ? 0 : 1);
    meter.ComposeOffscreen();
    return meter.Offscreen().copy();
}

QImage RenderLayout(const CSettingsRecord& settings, const RenderOptions& o)
{
    QImage monitor(o.layoutWidth, o.layoutHeight, QImage::Format_RGB32);
    monitor.fill(QColor(35, 35, 35));
    const MeterLayout layout = ComputeLayout(o.layoutWidth, o.layoutHeight, settings.Meter.Num);
    if (!layout.valid)
        return monitor;
    QPainter painter(&monitor);
    for (int i = 0; i < settings.Meter.Num && i < kMeterCount; ++i) {
        const PointI at = MeterOrigin(layout, i);
        painter.drawImage(at.x, at.y, RenderMeter(settings, o, i, layout.s, layout.w, layout.h));
    }
    return monitor;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    const RenderOptionsResult parsed = ParseRenderOptions(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "kerrion-render: %s\n%s", parsed.error.c_str(), RenderUsage().c_str());
        return 2;
    }
    const RenderOptions& o = parsed.options;
    if (o.help) {
        std::fputs(RenderUsage().c_str(), stdout);
        return 0;
    }
    // No display is needed: draw off screen unless a platform was asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    CSettingsRecord settings;
    if (o.iniFile)
        LoadSettingsFile(settings, *o.iniFile);
    else
        LoadUserSettings(settings);

    QImage image;
    if (o.layoutWidth > 0) {
        image = RenderLayout(settings, o);
    } else {
        image = RenderMeter(
            settings, o, o.meter - 1, o.scale, Px(kFaceWidth, o.scale), Px(kFaceHeight, o.scale));
    }
    if (!image.save(QString::fromLocal8Bit(o.out.c_str()), "PNG")) {
        std::fprintf(stderr, "kerrion-render: cannot write %s\n", o.out.c_str());
        return 1;
    }
    return 0;
}
