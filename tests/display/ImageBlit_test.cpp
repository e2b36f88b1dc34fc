// A copy of image rectangles gives, straight or through the painter, what drawing the same
// rectangles with the painter gives.

#include "display/ImageBlit.h"

#include <gtest/gtest.h>

#include <QPainter>

using namespace kerrion;

namespace {

QImage Pattern(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x ^ y) % 256));
    return image;
}

struct Target {
    const char* name;
    QImage::Format format;
    QPointF translation;
    double scale;
    bool clip;
};

class ImageBlit : public ::testing::TestWithParam<Target> { };

// The rectangles reach past the source and past the target, and lie in the face and the
// window's coordinates as a meter's paint does.
TEST_P(ImageBlit, CopiesWhatThePainterDraws)
{
    const Target& target = GetParam();
    const QImage source = Pattern({ 120, 90 });
    const std::vector<QRect> rects
        = { { 0, 0, 17, 16 }, { 30, 40, 64, 16 }, { 100, 70, 40, 30 }, { -5, 80, 20, 20 } };
    const auto paint = [&](bool reference) {
        QImage canvas(130, 100, target.format);
        canvas.fill(Qt::darkCyan);
        QPainter painter(&canvas);
        painter.translate(target.translation);
        painter.scale(target.scale, target.scale);
        if (target.clip)
            painter.setClipRect(QRect(10, 10, 60, 50));
        if (reference) {
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            for (const QRect& rect : rects)
                painter.drawImage(rect.topLeft(), source, rect);
        } else {
            CopyImageRects(painter, source, rects);
            // The painter goes on as it was left.
            EXPECT_EQ(painter.compositionMode(), QPainter::CompositionMode_SourceOver);
        }
        return canvas;
    };
    const QImage expected = paint(true);
    EXPECT_EQ(paint(false), expected);
    QImage untouched(expected.size(), target.format);
    untouched.fill(Qt::darkCyan);
    EXPECT_NE(expected, untouched); // something was copied
}

INSTANTIATE_TEST_SUITE_P(Targets, ImageBlit,
    ::testing::Values(Target { "Direct", QImage::Format_RGB32, { 0, 0 }, 1.0, false },
        Target { "DirectOffset", QImage::Format_RGB32, { 3, 5 }, 1.0, false },
        Target { "Clipped", QImage::Format_RGB32, { 3, 5 }, 1.0, true },
        Target { "Premultiplied", QImage::Format_ARGB32_Premultiplied, { 2, 1 }, 1.0, false },
        Target { "OtherFormat", QImage::Format_RGB16, { 0, 0 }, 1.0, false },
        Target { "Scaled", QImage::Format_RGB32, { 0, 0 }, 2.0, false },
        Target { "HalfPixel", QImage::Format_RGB32, { 0.5, 0 }, 1.0, false }),
    [](const ::testing::TestParamInfo<Target>& testInfo) {
        return std::string(testInfo.param.name);
    });

} // namespace
