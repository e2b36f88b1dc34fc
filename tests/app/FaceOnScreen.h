#pragma once

// Whether a meter's face is on a screenshot whole, where the layout puts it: for the tests that
// look at the real program's screen (an X server, a Wayland compositor).

#include "display/geometry/MeterLayout.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QRect>

namespace kerrion::test {

inline const QColor kFrame(128, 128, 128);  // default frame colour
inline const QColor kFaceBg(236, 255, 172); // default face background
inline const QColor kWindowBg(35, 35, 35);  // the main window's background

inline QRect MeterRect(int screenW, int screenH, int count, int i)
{
    const kerrion::MeterLayout layout = kerrion::ComputeLayout(screenW, screenH, count);
    const kerrion::PointI origin = kerrion::MeterOrigin(layout, i);
    return { origin.x, origin.y, layout.w, layout.h };
}

// The face is on screen whole: its frame on all four edges and its background inside them.
inline ::testing::AssertionResult FaceShown(const QImage& screen, const QRect& meter)
{
    const QPoint frame[]
        = { { meter.center().x(), meter.top() + 2 }, { meter.center().x(), meter.bottom() - 2 },
              { meter.left() + 2, meter.center().y() }, { meter.right() - 2, meter.center().y() } };
    for (const QPoint& p : frame)
        if (screen.pixelColor(p) != kFrame)
            return ::testing::AssertionFailure() << "no frame at " << p.x() << "," << p.y();
    const QPoint inside[]
        = { meter.topLeft() + QPoint(20, 20), meter.bottomRight() - QPoint(20, 20) };
    for (const QPoint& p : inside)
        if (screen.pixelColor(p) != kFaceBg)
            return ::testing::AssertionFailure() << "no face at " << p.x() << "," << p.y();
    return ::testing::AssertionSuccess();
}

// Pixels of `colour` inside `area`.
inline int PixelsOf(const QImage& image, const QRect& area, const QColor& colour)
{
    int count = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            count += image.pixelColor(x, y) == colour ? 1 : 0;
    return count;
}

} // namespace kerrion::test
