// A meter window on a real X server (Xvfb): what reaches the screen after a paint and after a
// repaint of the needle sweep region only. Skipped on a platform without a real screen.

#include "display/DlgMeter.h"

#include "display/DrawFace.h"
#include "display/MeterFaceSurface.h"
#include "display/MeterSetup.h"
#include "display/QtShapes.h"
#include "display/RenderTestSupport.h"
#include "display/geometry/FaceGeometry.h"
#include "support/QtTestApp.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>

using namespace kerrion;
using namespace kerrion::test;

namespace {

void Settle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(DlgMeterScreen, SweepRepaintMovesTheNeedleOnScreen)
{
    if (QGuiApplication::platformName() != QStringLiteral("xcb"))
        GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    const double s = 0.6;
    CSettingsRecord settings = DefaultSettings();
    MeterFaceSurface face(settings.Meter.Size_w, settings.Meter.Size_h);
    DrawFace(face, settings.Color, s, settings);
    CDlgMeter meter;
    meter.SetDisplayScale(s);
    meter.SetMeterSize(816, 460);
    meter.move(40, 30);
    ApplyMeterSettings(meter, settings, 0, &face);
    meter.SetVuPos(44.0);
    meter.show();
    Settle(300);

    QScreen* screen = QGuiApplication::primaryScreen();
    const auto shot = [&] { return screen->grabWindow(0, 40, 30, 816, 460).toImage(); };
    const ColorRef needle = settings.Color[kColorNeedle];
    const ColorRef bg = settings.Color[kColorMeterBg];
    QImage first = shot();
    EXPECT_EQ(ColorAt(first, { 408, 250 }), needle);
    first.save(QStringLiteral("DlgMeterScreen_straight_up.png"));

    // The main window's way: new values, then a repaint of the sweep region only.
    meter.SetVuPos(70.0);
    meter.UpdatePeak(88.0);
    meter.update(ToQRegion(NeedleSweepRegion(1, 1, false, false, s)));
    Settle(300);
    const QImage second = shot();
    second.save(QStringLiteral("DlgMeterScreen_moved.png"));
    EXPECT_EQ(ColorAt(second, { 408, 250 }), bg);
    EXPECT_EQ(ColorAt(second,
                  PointI { (LampBox(s).left + LampBox(s).right) / 2,
                      (LampBox(s).top + LampBox(s).bottom) / 2 }),
        settings.Color[kColorOver]);
}

} // namespace
