#include "display/ImageBlit.h"

#include <QPaintEngine>

#include <cmath>
#include <cstring>

namespace kerrion {
namespace {

// True when a pixel of `from` copied as it is into an image of `to` is the pixel the painter
// would draw there. An RGB32 pixel is an opaque ARGB32 one, premultiplied or not (its top byte is
// 0xff): a window's backing store is often premultiplied, a meter's face never has alpha.
bool SameBits(QImage::Format from, QImage::Format to)
{
    if (from == QImage::Format_RGB32)
        return to == QImage::Format_RGB32 || to == QImage::Format_ARGB32
            || to == QImage::Format_ARGB32_Premultiplied;
    return from == to
        && (from == QImage::Format_ARGB32 || from == QImage::Format_ARGB32_Premultiplied);
}

// The image the painter writes its pixels into and the offset of its logical coordinates there,
// when a straight copy of `source` gives what the painter would draw; nullptr otherwise.
QImage* DirectTarget(QPainter& painter, const QImage& source, QPoint& offset)
{
    QPaintEngine* engine = painter.paintEngine();
    if (engine == nullptr || engine->type() != QPaintEngine::Raster || painter.hasClipping())
        return nullptr;
    QPaintDevice* device = engine->paintDevice();
    if (device == nullptr || device->devType() != QInternal::Image)
        return nullptr;
    auto* image = static_cast<QImage*>(device);
    if (!SameBits(source.format(), image->format()) || image->devicePixelRatio() != 1.0
        || source.devicePixelRatio() != 1.0)
        return nullptr;
    const QTransform transform = painter.deviceTransform();
    if (transform.type() > QTransform::TxTranslate)
        return nullptr;
    const double dx = transform.dx();
    const double dy = transform.dy();
    if (dx != std::floor(dx) || dy != std::floor(dy))
        return nullptr;
    offset = QPoint(static_cast<int>(dx), static_cast<int>(dy));
    return image;
}

// One rectangle, already inside both images, row by row.
void CopyRect(const QImage& source, const QRect& from, QImage& target, const QPoint& to)
{
    const auto bytes = static_cast<size_t>(from.width()) * 4;
    const qsizetype sourceStride = source.bytesPerLine();
    const qsizetype targetStride = target.bytesPerLine();
    const uchar* in = source.constScanLine(from.top()) + qsizetype { from.left() } * 4;
    uchar* out = target.scanLine(to.y()) + qsizetype { to.x() } * 4;
    for (int y = 0; y < from.height(); ++y)
        std::memcpy(out + y * targetStride, in + y * sourceStride, bytes);
}

} // namespace

void CopyImageRects(QPainter& painter, const QImage& source, const std::vector<QRect>& rects)
{
    QPoint offset;
    QImage* target = DirectTarget(painter, source, offset);
    if (target == nullptr) {
        const QPainter::CompositionMode mode = painter.compositionMode();
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        for (const QRect& rect : rects)
            painter.drawImage(rect.topLeft(), source, rect);
        painter.setCompositionMode(mode);
        return;
    }
    for (const QRect& rect : rects) {
        // What lies outside either image is not drawn, as the painter would not draw it.
        const QRect from = rect & source.rect() & target->rect().translated(-offset);
        if (!from.isEmpty())
            CopyRect(source, from, *target, from.topLeft() + offset);
    }
}

} // namespace kerrion
