#include "display/DlgMeter.h"

#include "display/DrawFace.h"
#include "display/MeterFaceSurface.h"
#include "display/MeterSetup.h"
#include "display/QtShapes.h"
#include "display/RenderTestSupport.h"
#include "display/geometry/FaceGeometry.h"
#include "display/geometry/ScaleLaw.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPainter>

#include <memory>

using namespace kerrion;
using namespace kerrion::test;

namespace {

constexpr ColorRef kBlack = MakeColor(0, 0, 0);

// Where two images of one size differ: the count and the bounding box of the differing pixels.
std::string Differences(const QImage& a, const QImage& b)
{
    QRect box;
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) {
                ++count;
                box |= QRect(x, y, 1, 1);
            }
    if (count == 0)
        return {};
    return std::to_string(count) + " pixels in " + std::to_string(box.x()) + ","
        + std::to_string(box.y()) + " " + std::to_string(box.width()) + "x"
        + std::to_string(box.height());
}

PointI Centre(const BoxI& b) { return { (b.left + b.right) / 2, (b.top + b.bottom) / 2 }; }

PointI OnArc(double pos, double r, double s)
{
    const PointI p = ArcPoint(ScalePosToAngle(pos), r);
    return { Px(p.x, s), Px(p.y, s) };
}

// Runs the event loop until `done` holds or `ms` pass.
template <typename Pred>
bool WaitFor(Pred done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

class DlgMeterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings.Channel[0].colors = DistinctColors();
        settings.Channel[0].color_enable = 1;
        Setup(1.0);
    }

    // Renders the face and sets the meter up as the main window does, at scale s.
    void Setup(double s)
    {
        face = std::make_unique<MeterFaceSurface>(settings.Meter.Size_w, settings.Meter.Size_h);
        DrawFace(*face, colors(), s, settings);
        meter.SetDisplayScale(s);
        meter.SetMeterSize(Px(kFaceWidth, s), Px(kFaceHeight, s));
        ApplyMeterSettings(meter, settings, 0, face.get());
    }

    const ColorSet& colors() const { return ActiveColorSet(settings, 0); }

    const QImage& Compose()
    {
        meter.ComposeOffscreen();
        return meter.Offscreen();
    }

    CSettingsRecord settings = DefaultSettings();
    std::unique_ptr<MeterFaceSurface> face;
    CDlgMeter meter;
};

TEST_F(DlgMeterTest, NothingIsPaintedWithoutAFace)
{
    CDlgMeter bare;
    bare.ComposeOffscreen();
    EXPECT_EQ(CountColor(bare.Offscreen(), { 0, 0, 1360, 768 }, kBlack), 1360 * 768);
}

TEST_F(DlgMeterTest, LampShowsTheOverColourOnlyWhenLit)
{
    const PointI lamp = Centre(LampBox(1.0));
    EXPECT_EQ(ColorAt(Compose(), lamp), colors()[kColorMeterBg]);
    meter.UpdatePeak(88.0); // the default threshold of 0 dBFS is position 88
    EXPECT_EQ(meter.LampOn(), 1);
    EXPECT_EQ(ColorAt(Compose(), lamp), colors()[kColorOver]);

    // With the indicator off the lamp is still lit inside, but nothing is drawn.
    settings.Channel[0].over_enable = 0;
    ApplyMeterSettings(meter, settings, 0, face.get());
    meter.UpdatePeak(88.0);
    EXPECT_EQ(meter.LampOn(), 1);
    EXPECT_EQ(ColorAt(Compose(), lamp), colors()[kColorMeterBg]);
    EXPECT_EQ(CountColor(Compose(), { 0, 0, 1360, 768 }, colors()[kColorOverTh]), 0);
}

TEST_F(DlgMeterTest, ThresholdDotStandsAtTheClampedThreshold)
{
    settings.Channel[0].over_th = -6.0;
    ApplyMeterSettings(meter, settings, 0, face.get());
    EXPECT_EQ(ColorAt(Compose(), Centre(ThresholdDot(PeakDbToScalePos(-6.0), 1.0))),
        colors()[kColorOverTh]);
    settings.Channel[0].over_th = 3.0;
    ApplyMeterSettings(meter, settings, 0, face.get());
    EXPECT_EQ(ColorAt(Compose(), Centre(ThresholdDot(88.0, 1.0))), colors()[kColorOverTh]);
}

TEST_F(DlgMeterTest, PeakBarAndHoldTick)
{
    meter.UpdatePeak(40.0);
    EXPECT_EQ(ColorAt(Compose(), OnArc(20, 1565, 1.0)), colors()[kColorPeak]);
    EXPECT_EQ(ColorAt(Compose(), OnArc(60, 1565, 1.0)), colors()[kColorMeterBg]);
    // No hold time: no tick at the held position.
    meter.UpdatePeak(30.0);
    EXPECT_EQ(ColorAt(Compose(), OnArc(40, 1565, 1.0)), colors()[kColorMeterBg]);

    settings.PeakHold.type = 1;
    ApplyMeterSettings(meter, settings, 0, face.get());
    meter.UpdatePeak(70.0);
    meter.UpdatePeak(30.0);
    EXPECT_EQ(meter.HoldPos(), 70.0);
    EXPECT_EQ(ColorAt(Compose(), OnArc(70, 1565, 1.0)), colors()[kColorPeak]);
    EXPECT_EQ(ColorAt(Compose(), OnArc(50, 1565, 1.0)), colors()[kColorMeterBg]);

    settings.Visible.peak = 0;
    ApplyMeterSettings(meter, settings, 0, face.get());
    meter.UpdatePeak(88.0);
    const QImage& img = Compose();
    EXPECT_EQ(CountColor(img, { 0, 0, 1360, 768 }, colors()[kColorPeak]), 0);
    EXPECT_EQ(CountColor(img, { 0, 0, 1360, 768 }, colors()[kColorOver]), 0);
    EXPECT_EQ(CountColor(img, { 0, 0, 1360, 768 }, colors()[kColorOverTh]), 0);
}

TEST_F(DlgMeterTest, BarNeedleAtAKnownPosition)
{
    meter.SetVuPos(44.0); // straight up, 10 pixels wide with thick 1
    const QImage& img = Compose();
    for (int y : { 200, 400, 700 })
        EXPECT_EQ(ColorAt(img, { 680, y }), colors()[kColorNeedle]) << y;
    EXPECT_NE(ColorAt(img, { 680, 146 }), colors()[kColorNeedle]); // ends at the needle length
    EXPECT_EQ(ColorAt(img, { 700, 400 }), colors()[kColorMeterBg]);
    // Clipped to the interior: the frame below the pivot keeps its colour.
    EXPECT_EQ(ColorAt(img, { 680, 765 }), colors()[kColorMeterFrame]);

    settings.Visible.vu = 0;
    ApplyMeterSettings(meter, settings, 0, face.get());
    EXPECT_EQ(CountColor(Compose(), { 0, 0, 1360, 768 }, colors()[kColorNeedle]), 0);
}

TEST_F(DlgMeterTest, SwordNeedleAndTheUpperOnlyClip)
{
    settings.Needle.type = 0;
    ApplyMeterSettings(meter, settings, 0, face.get());
    meter.SetVuPos(44.0);
    EXPECT_EQ(ColorAt(Compose(), { 680, 600 }), colors()[kColorNeedle]);
    EXPECT_EQ(ColorAt(Compose(), { 672, 600 }), colors()[kColorNeedle]); // 34 units wide here
    EXPECT_EQ(ColorAt(Compose(), { 680, 155 }), colors()[kColorNeedle]);
    EXPECT_EQ(ColorAt(Compose(), { 690, 160 }), colors()[kColorMeterBg]); // tapered tip

    settings.Needle.only_upper = 1;
    ApplyMeterSettings(meter, settings, 0, face.get());
    EXPECT_EQ(ColorAt(Compose(), { 680, 600 }), colors()[kColorMeterBg]);
    EXPECT_EQ(ColorAt(Compose(), { 680, 400 }), colors()[kColorNeedle]);
}

TEST_F(DlgMeterTest, NameFollowsItsVisibilityAndPosition)
{
    const BoxI bottom = { 580, 620, 780, 705 };
    const BoxI topLeft = { 95, 30, 300, 105 };
    EXPECT_GT(CountColor(Compose(), bottom, colors()[kColorName]), 20); // "1", bottom centre
    settings.Channel[0].name_pos = 0;
    ApplyMeterSettings(meter, settings, 0, face.get());
    EXPECT_GT(CountColor(Compose(), topLeft, colors()[kColorName]), 20);
    EXPECT_EQ(CountColor(Compose(), bottom, colors()[kColorName]), 0);

    settings.Channel[0].name_visible = 0;
    ApplyMeterSettings(meter, settings, 0, face.get());
    EXPECT_EQ(CountColor(Compose(), { 0, 0, 1360, 768 }, colors()[kColorName]), 0);
    settings.Channel[0].name_visible = 1;
    settings.Channel[0].name_pos = 7;
    ApplyMeterSettings(meter, settings, 0, face.get());
    EXPECT_EQ(CountColor(Compose(), { 0, 0, 1360, 768 }, colors()[kColorName]), 0);
}

// The name is laid out once and drawn from that layout on every paint: it must come out pixel
// for pixel as the face with the name drawn by DrawAnchoredText, at every scale and place.
TEST_F(DlgMeterTest, TheKeptNameLayoutDrawsLikeAnchoredText)
{
    settings.Channel[0].name = "メーター Jg 1";
    for (const double s : { 0.3, 0.6, 1.0 })
        for (const int pos : { 0, 1, 2, 3 }) {
            settings.Channel[0].name_pos = pos;
            Setup(s);
            meter.SetVisible(0, 0); // the needle would cross the bottom centre
            const QImage composed = Compose().copy();
            const QImage twice = Compose().copy(); // a second paint draws from the kept layout
            QImage expected = face->Image().copy(0, 0, composed.width(), composed.height());
            QPainter painter(&expected);
            painter.setRenderHint(QPainter::TextAntialiasing, true);
            painter.setFont(meter.MeterFontInUse());
            painter.setPen(ToQColor(colors()[kColorName]));
            const TextAnchor anchor = NameAnchor(pos, s);
            DrawAnchoredText(painter, QString::fromStdString(settings.Channel[0].name),
                ToQPoint(anchor.point), anchor.h, anchor.v);
            painter.end();
            const QRect box = AnchoredTextBounds(meter.MeterFontInUse(),
                QString::fromStdString(settings.Channel[0].name), ToQPoint(anchor.point), anchor.h,
                anchor.v)
                                  .intersected(composed.rect());
            ASSERT_GT(
                CountColor(expected, { box.left(), box.top(), box.right() + 1, box.bottom() + 1 },
                    colors()[kColorName]),
                0);
            EXPECT_EQ(composed.copy(box), expected.copy(box)) << "scale " << s << " place " << pos;
            EXPECT_EQ(twice.copy(box), expected.copy(box)) << "scale " << s << " place " << pos;
        }
}

TEST_F(DlgMeterTest, DiagnosticTextInTheNameColour)
{
    meter.SetDiagText(DiagnosticText(0, 0, -3.0, -6.0, 37.0, 40.0));
    EXPECT_GT(CountColor(Compose(), DiagnosticRect(1.0), colors()[kColorName]), 50);
}

TEST_F(DlgMeterTest, DisplayOffTakesTheLastTextColour)
{
    // A fresh surface: black text on black.
    settings.Channel[0].name_visible = 0;
    ApplyMeterSettings(meter, settings, 0, face.get());
    meter.SetDisplayOn(0);
    EXPECT_EQ(CountColor(Compose(), { 0, 0, 1360, 768 }, kBlack), 1360 * 768);
    EXPECT_EQ(meter.MeterFontInUse().pixelSize(), 20);

    // Once a name was drawn the surface keeps its colour.
    settings.Channel[0].name_visible = 1;
    settings.Channel[0].colors[kColorName] = MakeColor(255, 255, 255);
    ApplyMeterSettings(meter, settings, 0, face.get());
    meter.SetDisplayOn(1);
    EXPECT_EQ(meter.MeterFontInUse().pixelSize(), 60);
    Compose();
    meter.SetDisplayOn(0);
    const QImage& img = Compose();
    const PointI at = DisplayOffAnchor(1360, 768); // centre/bottom like the name
    EXPECT_GT(
        CountColor(img, { at.x - 80, at.y - 30, at.x + 80, at.y }, MakeColor(255, 255, 255)), 20);
    EXPECT_EQ(CountColor(img, { 0, 0, 1360, 600 }, kBlack), 1360 * 600);

    // A new size makes a fresh surface, and a meter that is off keeps its small font.
    meter.SetMeterSize(816, 460);
    EXPECT_EQ(meter.MeterFontInUse().pixelSize(), 20);
    EXPECT_EQ(CountColor(Compose(), { 0, 0, 816, 460 }, kBlack), 816 * 460);
}

TEST_F(DlgMeterTest, ScaledMeterDrawsNothingOutsideItsFace)
{
    Setup(0.6);
    meter.SetVuPos(0.0);
    meter.UpdatePeak(88.0);
    const QImage& img = Compose();
    EXPECT_EQ(img.size(), QSize(816, 460));
    EXPECT_EQ(ColorAt(img, { 0, 0 }), MakeColor(35, 35, 35));
    EXPECT_EQ(ColorAt(img, { 815, 459 }), MakeColor(35, 35, 35));
    EXPECT_EQ(ColorAt(img, Centre(LampBox(0.6))), colors()[kColorOver]);
    EXPECT_EQ(ColorAt(img, OnArc(44, 1565, 0.6)), colors()[kColorPeak]);
}

// A paint composes only its dirty rectangle: there it must match a whole composition of the same
// state (the face restored under the moved needle), and outside it nothing may change.
TEST_F(DlgMeterTest, ComposingADirtyRectangleMatchesAWholeComposition)
{
    settings.Channel[0].name_visible = 1; // the name is composed only where it is dirty
    Setup(0.6);
    meter.SetVuPos(10.0);
    meter.UpdatePeak(70.0);
    const QImage before = Compose().copy();
    meter.SetVuPos(60.0);
    meter.UpdatePeak(20.0);
    const QRect dirty(100, 50, 500, 390); // cuts through the name at the bottom centre
    meter.ComposeOffscreen(dirty);
    const QImage partial = meter.Offscreen().copy();
    const QImage whole = Compose().copy();
    ASSERT_NE(before.copy(dirty), whole.copy(dirty)); // the needle and the bar did move there
    ASSERT_GT(CountColor(whole, { 100, 50, 600, 440 }, colors()[kColorName]), 0);
    EXPECT_EQ(partial.copy(dirty), whole.copy(dirty));
    QImage outside = partial;
    for (int y = dirty.top(); y <= dirty.bottom(); ++y)
        for (int x = dirty.left(); x <= dirty.right(); ++x)
            outside.setPixel(x, y, before.pixel(x, y));
    EXPECT_EQ(outside, before);
}

// A meter skips laying out its name when the name's bounds miss the area it composes: every
// pixel the text draws must lie inside them, whatever the alignment.
TEST(AnchoredText, BoundsHoldEveryPixelTheTextDraws)
{
    const QFont font = MeterFont(60);
    const QString text = QStringLiteral("Jgy メーター 1");
    for (const HAlign h : { HAlign::Left, HAlign::Centre, HAlign::Right })
        for (const VAlign v : { VAlign::Top, VAlign::Baseline, VAlign::Bottom }) {
            QImage image(800, 300, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::TextAntialiasing, true);
            painter.setFont(font);
            painter.setPen(Qt::black);
            const QPoint anchor(400, 150);
            DrawAnchoredText(painter, text, anchor, h, v);
            painter.end();
            const QRect bounds = AnchoredTextBounds(font, text, anchor, h, v);
            int inked = 0;
            int outside = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixel(x, y) != QColor(Qt::white).rgb()) {
                        ++inked;
                        outside += bounds.contains(x, y) ? 0 : 1;
                    }
            EXPECT_GT(inked, 200);
            EXPECT_EQ(outside, 0) << "alignment " << static_cast<int>(h) << static_cast<int>(v);
            EXPECT_LT(bounds.width(), 700); // bounds, not the whole surface
        }
}

TEST(DlgMeterPeak, WithoutHoldTheLampFollowsTheLatestPeak)
{
    CDlgMeter meter;
    meter.SetOverIndicator(1, 60.0);
    meter.UpdatePeak(60.0);
    EXPECT_EQ(meter.LampOn(), 1); // equal to the threshold lights it
    EXPECT_FALSE(meter.TimerRunning(CDlgMeter::TIMER_OVER_LAMP));
    meter.UpdatePeak(59.9);
    EXPECT_EQ(meter.LampOn(), 0);
    EXPECT_FALSE(meter.TimerRunning(CDlgMeter::TIMER_PEAK_HOLD));
    EXPECT_EQ(meter.PeakPos(), 59.9);
}

TEST(DlgMeterPeak, HoldRestartsOnTheSameTenthButNotBelow)
{
    CDlgMeter meter;
    meter.SetOverIndicator(1, 80.0);
    meter.SetHoldMs(150);
    meter.UpdatePeak(50.04);
    EXPECT_EQ(meter.HoldPos(), 50.04);
    EXPECT_TRUE(meter.TimerRunning(CDlgMeter::TIMER_PEAK_HOLD));
    meter.UpdatePeak(50.01); // same tenth: a new maximum, held again
    EXPECT_EQ(meter.HoldPos(), 50.01);
    meter.UpdatePeak(49.9);
    EXPECT_EQ(meter.HoldPos(), 50.01);

    // The hold ends with its timer; the lamp stays lit until its own timer ends.
    meter.UpdatePeak(85.0);
    meter.UpdatePeak(10.0);
    EXPECT_EQ(meter.LampOn(), 1);
    EXPECT_TRUE(WaitFor([&] { return meter.LampOn() == 0 && meter.HoldPos() == 0.0; }, 2000));
    EXPECT_FALSE(meter.TimerRunning(CDlgMeter::TIMER_PEAK_HOLD));
    EXPECT_FALSE(meter.TimerRunning(CDlgMeter::TIMER_OVER_LAMP));

    meter.UpdatePeak(85.0);
    meter.ResetPeak();
    EXPECT_EQ(meter.LampOn(), 0);
    EXPECT_EQ(meter.HoldPos(), 0.0);
    EXPECT_FALSE(meter.TimerRunning(CDlgMeter::TIMER_PEAK_HOLD));
}

// Records the keys that reach it.
class Owner : public QWidget {
public:
    std::vector<int> keys;

protected:
    void keyPressEvent(QKeyEvent* event) override { keys.push_back(event->key()); }
};

TEST(DlgMeterKeys, FunctionKeysGoToTheOwnerEnterAndEscDoNothing)
{
    Owner owner;
    auto* meter = new CDlgMeter(&owner);
    meter->show();
    for (int key : { int(Qt::Key_F1), int(Qt::Key_F8), int(Qt::Key_F9), int(Qt::Key_Escape),
             int(Qt::Key_Return), int(Qt::Key_F10) }) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(meter, &press);
    }
    EXPECT_EQ(owner.keys, (std::vector<int> { Qt::Key_F1, Qt::Key_F8, Qt::Key_F9 }));
    EXPECT_TRUE(meter->isVisible());
    EXPECT_TRUE(meter->windowFlags() & Qt::FramelessWindowHint);
}

TEST_F(DlgMeterTest, PaintCopiesTheComposedMeterToTheWindow)
{
    meter.SetVuPos(44.0);
    meter.UpdatePeak(88.0);
    const QImage shown = meter.grab().toImage();
    EXPECT_EQ(ColorAt(shown, { 680, 400 }), colors()[kColorNeedle]);
    EXPECT_EQ(ColorAt(shown, Centre(LampBox(1.0))), colors()[kColorOver]);
    EXPECT_EQ(ColorAt(shown, { 0, 0 }), MakeColor(35, 35, 35));
}

// A needle repaint covers a curved region: every pixel of it shows the composed meter, and not
// one pixel outside it is touched.
TEST_F(DlgMeterTest, PaintThroughARegionCopiesExactlyThatRegion)
{
    meter.SetVuPos(60.0);
    meter.UpdatePeak(50.0);
    const QRegion region = QRegion(300, 130, 700, 451, QRegion::Ellipse) + QRect(40, 600, 90, 7);
    const QColor untouched(255, 0, 255);
    QImage shown(1360, 768, QImage::Format_RGB32);
    shown.fill(untouched);
    meter.render(&shown, region.boundingRect().topLeft(), region); // the offset places the region
    const QImage composed = Compose();
    int inside = 0;
    int wrong = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const bool in = region.contains(QPoint(x, y));
            inside += in ? 1 : 0;
            wrong += shown.pixel(x, y) != (in ? composed.pixel(x, y) : untouched.rgb()) ? 1 : 0;
        }
    EXPECT_GT(inside, 200000);
    EXPECT_EQ(wrong, 0);
}

// The main window's frames: the sweep region repainted again and again while the needle, the
// peak bar and the lamp move. Only bands around the region are restored from the face; each
// frame must still show exactly a fresh composition there, never an earlier needle or a name
// drawn over itself, and the bands must copy far less than the region's bounding rectangle.
TEST_F(DlgMeterTest, SweepFramesShowAFreshCompositionAndCopyLittleMoreThanTheSweep)
{
    settings.Channel[0].name_visible = 1;
    Setup(0.6);
    const QRegion sweep = ToQRegion(NeedleSweepRegion(
        settings.Needle.type, settings.Needle.thick, settings.Needle.only_upper != 0, false, 0.6));
    QImage shown(816, 460, QImage::Format_RGB32);
    for (const double pos : { 80.0, 5.0, 45.0, 60.0, 20.0 }) {
        meter.SetVuPos(pos);
        meter.UpdatePeak(pos);
        shown.fill(Qt::magenta);
        meter.render(&shown, sweep.boundingRect().topLeft(), sweep);
    }
    long covered = 0;
    for (const QRect& band : meter.ComposedBands()) {
        EXPECT_LE(band.height(), 16);
        covered += static_cast<long>(band.width()) * band.height();
    }
    long sweepArea = 0;
    for (const QRect& r : sweep)
        sweepArea += static_cast<long>(r.width()) * r.height();
    const QRect bounds = sweep.boundingRect();
    EXPECT_LT(covered, 0.75 * bounds.width() * bounds.height());
    EXPECT_GE(covered, sweepArea);

    const QImage composed = Compose();
    int wrong = 0;
    for (const QRect& r : sweep)
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                wrong += shown.pixel(x, y) != composed.pixel(x, y) ? 1 : 0;
    EXPECT_EQ(wrong, 0);
}

// Frames that repaint only what moved leave the screen exactly as a whole repaint would, for
// either needle, the upper-only clip, the lamp, the hold tick and the threshold dot; a paint
// that misses part of a change (an expose) shows the parts as they were, and the next catches up.
TEST_F(DlgMeterTest, FramesOfWhatMovedMatchAWholeRepaint)
{
    struct Look {
        int type, thick, onlyUpper, holdType;
        double s;
    };
    const Look looks[] = { { 0, 0, 0, 1, 0.6 }, { 1, 4, 1, 0, 0.3 }, { 1, 0, 0, 2, 1.0 } };
    struct Step {
        double vu, peak;
        bool reset; // the hold time ended
    };
    const Step steps[] = { { 10, 20, false }, { 12, 80, false }, { 50, 60, false },
        { 49.99, 59.9, false }, { 88, 5, true }, { 0, 0, false }, { 30, 87, false } };
    for (const Look& look : looks) {
        SCOPED_TRACE(look.type * 100 + look.onlyUpper * 10 + look.holdType);
        settings.Needle.type = look.type;
        settings.Needle.thick = look.thick;
        settings.Needle.only_upper = look.onlyUpper;
        settings.PeakHold.type = look.holdType;
        settings.Channel[0].over_enable = 1;
        settings.Channel[0].over_th = -6.0;
        Setup(look.s);
        QImage screen(meter.size(), QImage::Format_RGB32);
        meter.render(&screen, QPoint(), QRegion(meter.rect()));
        for (const Step& step : steps) {
            meter.SetVuPos(step.vu);
            meter.UpdatePeak(step.peak);
            if (step.reset)
                meter.ResetPeak();
            meter.render(&screen, QPoint(), QRegion(0, 0, 40, 40)); // an expose of a corner
            const QRegion changed = meter.ChangedArea();
            QRegion united;
            for (const QRect& r : changed)
                united += r;
            EXPECT_EQ(changed, united); // well formed, as uniting its rectangles makes it
            EXPECT_LT(changed.boundingRect().width() * changed.boundingRect().height(),
                meter.width() * meter.height());
            meter.render(&screen, changed.boundingRect().topLeft(), changed);
            EXPECT_TRUE(meter.ChangedArea().isEmpty());
            EXPECT_EQ(Differences(screen, Compose()), "") << step.vu << " " << step.peak;
        }
    }
}

} // namespace
