#include "display/MeterFaceSurface.h"

#include <algorithm>

MeterFaceSurface::MeterFaceSurface(int width, int height)
    : m_image(std::clamp(width, 1, kMaxSide), std::clamp(height, 1, kMaxSide), QImage::Format_RGB32)
{
    m_image.fill(Qt::black);
}

QSize MeterFaceSurface::SizeFor(int sizeW, int sizeH, double s)
{
    // Truncated like the face's own fill, so the surface ends where the face does.
    const auto scaled = [s](int side) {
        const double pixels = std::clamp(side * s, 0.0, static_cast<double>(kMaxSide));
        return static_cast<int>(pixels);
    };
    return { std::clamp(std::max(sizeW, scaled(sizeW)), 1, kMaxSide),
        std::clamp(std::max(sizeH, scaled(sizeH)), 1, kMaxSide) };
}
