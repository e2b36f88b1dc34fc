#pragma once

// Helpers for tests that check pixels of rendered faces.

#include "app/ColorSet.h"
#include "app/SettingsRecord.h"
#include "display/geometry/Shapes.h"

#include <QImage>

namespace kerrion::test {

// The pixel at p as a packed colour (red in the low byte), alpha dropped.
inline ColorRef ColorAt(const QImage& image, PointI p)
{
    const QRgb rgb = image.pixel(p.x, p.y);
    return MakeColor(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

// How many pixels of the box (clipped to the image) have the colour.
inline int CountColor(const QImage& image, const BoxI& box, ColorRef color)
{
    int count = 0;
    for (int y = std::max(0, box.top); y < std::min(image.height(), box.bottom); ++y)
        for (int x = std::max(0, box.left); x < std::min(image.width(), box.right); ++x)
            count += ColorAt(image, { x, y }) == color ? 1 : 0;
    return count;
}

// A record as loaded from an empty file: every default, four meters.
inline CSettingsRecord DefaultSettings()
{
    CSettingsRecord settings;
    settings.Meter.Num = 4;
    return settings;
}

// A colour set whose slots are all different and none is black, white or the surround grey.
inline ColorSet DistinctColors()
{
    return { MakeColor(230, 250, 170), MakeColor(120, 120, 130), MakeColor(10, 20, 200),
        MakeColor(200, 10, 150), MakeColor(60, 200, 100), MakeColor(0, 0, 90), MakeColor(250, 0, 0),
        MakeColor(255, 130, 0), MakeColor(70, 190, 255) };
}

} // namespace kerrion::test
