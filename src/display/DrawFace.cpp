#include "display/DrawFace.h"

#include "KerrionResources.h"
#include "app/SettingsRecord.h"
#include "display/MeterFaceSurface.h"
#include "display/QtShapes.h"
#include "display/geometry/FaceGeometry.h"
#include "display/geometry/NeedleScale.h"

#include <QImage>
#include <QPainter>
#include <QPen>

#include <cmath>
#include <numbers>

namespace kerrion {

namespace {

const QColor kSurround(35, 35, 35);

// Angle in 1/16 degree, counter-clockwise on screen, of a point seen from the box's centre.
int ArcAngle16(const BoxI& box, const PointI& p)
{
    const double cx = (box.left + box.right) / 2.0;
    const double cy = (box.top + box.bottom) / 2.0;
    return static_cast<int>(
        std::lround(std::atan2(cy - p.y, p.x - cx) * 180.0 / std::numbers::pi * 16.0));
}

void DrawArc(QPainter& painter, const ArcShape& arc, const QPen& pen)
{
    const int start = ArcAngle16(arc.box, arc.start);
    int span = ArcAngle16(arc.box, arc.end) - start;
    while (span <= 0)
        span += 360 * 16;
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(ToQRect(arc.box), start, span);
}

void DrawScale(QPainter& painter, const ColorSet& colors, double s, const CSettingsRecord& settings,
    NeedleType type)
{
    const FaceScale scale = FaceScaleOf(type, settings.Meter.ScaleVU);
    const ScaleMarksShape shape = ScaleMarks(scale, s);
    const QColor left = ToQColor(colors[kColorScaleL]);
    const QColor right = ToQColor(colors[kColorScaleR]);
    QPen leftPen(left, settings.Meter.VuPenWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    QPen rightPen(right, settings.Meter.VuPenWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    DrawArc(painter, shape.leftArc, leftPen);
    DrawArc(painter, shape.rightArc, rightPen);

    // Ticks start on the scale line: the disc inside it is left out while they are drawn.
    const QRect device(0, 0, painter.device()->width(), painter.device()->height());
    painter.setClipRegion(
        QRegion(device).subtracted(QRegion(ToQRect(shape.tickExclusion), QRegion::Ellipse)));
    for (const ScaleMark& mark : shape.marks) {
        const QPen& pen = mark.rightSide ? rightPen : leftPen;
        if (!mark.label.empty()) {
            painter.setPen(pen.color());
            DrawAnchoredText(painter, QString::fromStdString(mark.label),
                ToQPoint(mark.labelAnchor), HAlign::Centre, VAlign::Bottom);
        }
        LineShape tick = mark.tick;
        tick.width = pen.width();
        DrawLine(painter, tick, pen.color());
    }
    painter.setClipping(false);
    FillRegion(painter, ToQRegion(RedBand(scale, s)), right);
}

} // namespace

const QImage& LogoImage()
{
    static const QImage logo = [] {
        KerrionInitResources();
        return QImage(QStringLiteral(":/kerrion/logo.png"))
            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }();
    return logo;
}

void DrawFace(MeterFaceSurface& face, const ColorSet& colors, double s,
    const CSettingsRecord& settings, NeedleType type)
{
    QPainter painter(&face.Image());
    if (!painter.isActive())
        return;
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setFont(MeterFont(FontPixelHeight(s, 60)));

    const FaceFrame frame = FrameShape(settings.Meter.Size_w, settings.Meter.Size_h, s);
    painter.fillRect(ToQRect(frame.outline), kSurround);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ToQColor(colors[kColorMeterFrame]));
    painter.drawRoundedRect(ToQRect(frame.outline), frame.cornerSize / 2.0, frame.cornerSize / 2.0);
    painter.fillRect(ToQRect(frame.background), ToQColor(colors[kColorMeterBg]));

    if (settings.Visible.vu == 1)
        DrawScale(painter, colors, s, settings, type);

    if (!settings.Logo.file.empty()) {
        const QImage& logo = LogoImage();
        const BoxI box = LogoRect(settings.Logo.pos.x, settings.Logo.pos.y, settings.Meter.Size_h,
            logo.width(), logo.height(), s);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(ToQRect(box), logo);
    }
}

} // namespace kerrion
