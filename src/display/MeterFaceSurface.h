#pragma once

// The static face of one meter: frame, background, printed VU scale and logo, rendered by
// DrawFace once per settings change and copied by every paint of its meter window. Owned by the
// main window; user-interface thread only.

#include <QImage>
#include <QSize>

class MeterFaceSurface {
public:
    static constexpr int kMaxSide = 16384; // pixels; a hand-edited size is held to this

    // A surface of width x height pixels, black until drawn. Each side is held to 1 .. kMaxSide.
    MeterFaceSurface(int width, int height);
    // The size that holds a face of sizeW x sizeH face units (Meter/Size.w, Size.h) drawn at
    // display scale s: never smaller than the unscaled size, whole above a scale of 1.
    static QSize SizeFor(int sizeW, int sizeH, double s);

    QImage& Image() { return m_image; }
    const QImage& Image() const { return m_image; }

private:
    QImage m_image; // opaque 32-bit pixels, the same format as the meter's off-screen surface
};
