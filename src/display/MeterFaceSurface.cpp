#include "display/MeterFaceSurface.h"

#include <algorithm>

MeterFaceSurface::MeterFaceSurface(int width, int height)
    : m_image(std::clamp(width, 1, kMaxSide), std::clamp(height, 1, kMaxSide), QImage::Format_RGB32)
{
    m_image.fill(Qt::black);
}
