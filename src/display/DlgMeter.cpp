#include "display/DlgMeter.h"

#include "display/ImageBlit.h"
#include "display/MeterFaceSurface.h"
#include "display/QtShapes.h"
#include "display/geometry/FaceGeometry.h"
#include "display/geometry/MeterDamage.h"
#include "display/geometry/ScaleLaw.h"
#include "platform/window/WindowRoles.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimerEvent>
#include <QVarLengthArray>

#include <algorithm>
#include <array>

using namespace kerrion;

namespace {

// Text is laid out for an image's metrics, as the off-screen surface it is also drawn into
// has them, whether or not that surface exists yet.
const QImage& MetricsSurface()
{
    static const QImage surface(1, 1, QImage::Format_RGB32);
    return surface;
}

constexpr int kNameFontHeight = 60;  // face units; the meter font while the display is on
constexpr int kSmallFontHeight = 20; // face units; "Display OFF" and the diagnostic text

} // namespace

CDlgMeter::CDlgMeter(QWidget* owner)
    : QWidget(owner, kStandaloneFlags)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    setPalette(palette);
    resize(m_width, m_height);
    MakeOffscreen(m_width, m_height);
    UpdateFont();
    RebuildShapes();
}

CDlgMeter::~CDlgMeter() = default;

void CDlgMeter::SetDisplayScale(double s)
{
    m_s = s;
    UpdateFont();
    RebuildShapes();
}

void CDlgMeter::SetDisplayOn(int on)
{
    m_displayOn = on;
    Invalidate();
    UpdateFont();
    update();
}

void CDlgMeter::SetFaceSurface(const MeterFaceSurface* face)
{
    m_face = face;
    Invalidate();
}

void CDlgMeter::SetColors(const ColorSet& colors)
{
    m_colors = colors;
    Invalidate();
}

void CDlgMeter::SetName(const std::string& name, int namePos)
{
    m_name = QString::fromStdString(name);
    m_namePos = namePos;
    m_nameBox = QRect();
    Invalidate();
}

void CDlgMeter::SetOverIndicator(int enable, double thresholdPos)
{
    m_overEnable = enable;
    m_thresholdPos = thresholdPos;
    Invalidate();
}

void CDlgMeter::SetNeedle(int type, int thick, int onlyUpper)
{
    m_needleType = type;
    m_needleThick = thick;
    m_onlyUpper = onlyUpper;
    RebuildShapes();
}

void CDlgMeter::SetVisible(int vu, int peak)
{
    m_vuVisible = vu;
    m_peakVisible = peak;
    Invalidate();
}

void CDlgMeter::SetHoldMs(int ms)
{
    m_holdMs = ms;
    Invalidate();
}

void CDlgMeter::SetDiagText(const std::string& text)
{
    m_diagText = QString::fromStdString(text);
    m_changed.valid = false; // the text's place joins the changed area
}

MovingParts CDlgMeter::Moving() const
{
    return { m_vuPos, m_peakPos, m_holdPos, m_holdPos > 0.0 && m_holdMs != 0, m_lampOn == 1 };
}

// The area is asked for twice a frame (to request the repaint, then by the paint): the last
// answer is kept for as long as the parts and what they were drawn as stay the same.
QRegion CDlgMeter::ChangedArea() const
{
    if (!m_drawnValid)
        return QRegion(rect());
    const MovingParts now = Moving();
    if (m_changed.valid && m_changed.from == m_drawn && m_changed.to == now)
        return m_changed.area;
    const MovingLook look { m_s, m_width, m_height, m_vuVisible == 1, m_peakVisible == 1,
        m_overEnable == 1, m_needleType, m_needleThick };
    // The boxes are a region's rectangles as they stand (one a band, top to bottom): taken as
    // they are, not united one by one.
    QVarLengthArray<QRect, 64> rects;
    for (const BoxI& box : MeterDamage(look, m_drawn, now))
        rects.push_back(ToQRect(box));
    QRegion area;
    area.setRects(rects.data(), static_cast<int>(rects.size()));
    if (!m_diagText.isEmpty())
        area += ToQRect(DiagnosticRect(m_s));
    m_changed = { true, m_drawn, now, area };
    return area;
}

void CDlgMeter::Invalidate()
{
    m_drawnValid = false;
    m_changed.valid = false;
}

void CDlgMeter::RepaintMoving()
{
    if (m_displayOn == 1)
        update(ChangedArea());
}

void CDlgMeter::UpdatePeak(double p)
{
    p = ClampPeakPos(p);
    m_peakPos = p;
    // A new maximum, compared in tenths of a degree, restarts the hold.
    if (static_cast<int>(p * 10) >= static_cast<int>(m_holdPos * 10)) {
        m_holdPos = p;
        m_holdTimer.stop();
        if (m_holdMs != 0)
            m_holdTimer.start(m_holdMs, this);
    }
    if (p >= m_thresholdPos) {
        m_lampOn = 1;
        m_lampTimer.stop();
        if (m_holdMs != 0)
            m_lampTimer.start(m_holdMs, this);
        return;
    }
    // With a hold time the lamp stays lit until its timer ends.
    if (m_holdMs == 0)
        m_lampOn = 0;
}

void CDlgMeter::ResetPeak()
{
    m_holdTimer.stop();
    m_lampTimer.stop();
    m_holdPos = 0.0;
    m_lampOn = 0;
}

void CDlgMeter::Rest()
{
    ResetPeak();
    m_vuPos = 0.0;
    m_peakPos = 0.0;
}

bool CDlgMeter::TimerRunning(int id) const
{
    if (id == TIMER_PEAK_HOLD)
        return m_holdTimer.isActive();
    if (id == TIMER_OVER_LAMP)
        return m_lampTimer.isActive();
    return false;
}

void CDlgMeter::timerEvent(QTimerEvent* event)
{
    // The change shows with the next repaint of the sweep region, which holds the lamp.
    if (event->timerId() == m_holdTimer.timerId()) {
        m_holdTimer.stop();
        m_holdPos = 0.0;
    } else if (event->timerId() == m_lampTimer.timerId()) {
        m_lampTimer.stop();
        m_lampOn = 0;
    } else {
        QWidget::timerEvent(event);
    }
}

void CDlgMeter::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key >= Qt::Key_F1 && key <= Qt::Key_F9) {
        // The meter has no commands of its own: the owner handles the function keys.
        if (QWidget* owner = parentWidget())
            QCoreApplication::sendEvent(owner, event);
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        event->accept(); // never close a meter window
        return;
    }
    QWidget::keyPressEvent(event);
}

void CDlgMeter::showEvent(QShowEvent* event)
{
    // A window manager drops the window's states when it is hidden; they are set again before
    // every mapping, which follows this event.
    if (isWindow())
        KeepOutOfTaskbar(*this);
    QWidget::showEvent(event);
}

void CDlgMeter::SetMeterSize(int w, int h)
{
    resize(w, h);
    if (w != m_width || h != m_height)
        ApplySize(w, h);
}

void CDlgMeter::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // A hidden window hears of its new size only when it is shown; SetMeterSize acted already.
    if (width() != m_width || height() != m_height)
        ApplySize(width(), height());
}

void CDlgMeter::ApplySize(int w, int h)
{
    MakeOffscreen(w, h);
    // The font follows the display state, so a meter switched off keeps its small font.
    UpdateFont();
    RebuildShapes();
}

void CDlgMeter::MakeOffscreen(int w, int h)
{
    m_width = w;
    m_height = h;
    m_offscreen = QImage(); // made again, black, by the next composition that needs it
    // A fresh surface: black text, left/top alignment.
    m_text = { QColor(Qt::black), static_cast<int>(HAlign::Left), static_cast<int>(VAlign::Top) };
}

void CDlgMeter::UpdateFont()
{
    m_font = MeterFont(FontPixelHeight(m_s, m_displayOn == 1 ? kNameFontHeight : kSmallFontHeight));
    m_nameBox = QRect(); // the name's place follows the font and the scale
}

void CDlgMeter::RebuildShapes()
{
    Invalidate();
    m_needleClip = ToQRegion(NeedleClip(m_onlyUpper == 1, m_width, m_height, m_s));
    m_peakRing = ToQRegion(PeakBarRing(m_s)).intersected(QRect(0, 0, m_width, m_height));
}

// A paint shows the moving parts as they are only when it reaches every place where they
// changed since the last one; a paint of less (an expose) shows them as they were drawn, so that
// the screen never holds half of each, and asks for the rest. It draws straight into the
// window's backing store: the face is copied once, only where the paint's region lies.
void CDlgMeter::paintEvent(QPaintEvent* event)
{
    if (m_face == nullptr)
        return;
    const QRegion changed = ChangedArea();
    QPainter painter(this); // clipped to the paint's region by Qt
    if (changed.subtracted(event->region()).isEmpty()) {
        Draw(painter, event->region());
        m_drawn = Moving();
        m_drawnValid = true;
    } else {
        const MovingParts now = Moving();
        if (m_drawnValid)
            SetMoving(m_drawn);
        Draw(painter, event->region());
        SetMoving(now);
        update(changed);
    }
}

void CDlgMeter::SetMoving(const MovingParts& parts)
{
    m_vuPos = parts.vuPos;
    m_peakPos = parts.peakPos;
    m_holdPos = parts.holdPos;
    m_lampOn = parts.lampOn ? 1 : 0;
}

// The same drawing into the off-screen surface, clipped to `dirty`.
void CDlgMeter::ComposeOffscreen(const QRect& dirty)
{
    const QSize size(std::max(1, m_width), std::max(1, m_height));
    if (m_offscreen.size() != size) {
        m_offscreen = QImage(size, QImage::Format_RGB32);
        m_offscreen.fill(Qt::black);
    }
    const QRect whole(QPoint(0, 0), size);
    const QRegion area(dirty.isEmpty() ? whole : dirty.intersected(whole));
    if (m_face == nullptr)
        return;
    QPainter painter(&m_offscreen);
    painter.setClipRegion(area);
    Draw(painter, area);
}

// Restores the face within `area` (what the paint may change: for a frame, bands a few lines
// high around what moved) and draws the moving parts over it. `painter` is clipped to `area`;
// the shapes are clipped to its bounding rectangle as well, a clip the rasteriser handles fast.
void CDlgMeter::Draw(QPainter& painter, const QRegion& area)
{
    const QRect whole(0, 0, m_width, m_height);
    m_bands.assign(area.begin(), area.end());
    QRect dirty;
    for (QRect& band : m_bands) {
        band &= whole;
        dirty |= band;
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setFont(m_font);
    if (m_displayOn != 1) {
        DrawDisplayOff(painter);
        return;
    }
    // Each band is a few lines: copied one by one through a painter, they stay below the size at
    // which the raster engine hands a copy to its thread pool, whose wake-ups would cost more
    // than the copy.
    CopyImageRects(painter, m_face->Image(), m_bands);
    DrawName(painter);
    if (m_peakVisible == 1)
        DrawPeak(painter, dirty);
    if (m_vuVisible == 1)
        DrawNeedle(painter, QRegion(dirty));
    if (!m_diagText.isEmpty())
        DrawDiagnostics(painter);
}

void CDlgMeter::DrawName(QPainter& painter)
{
    if (m_name.isEmpty())
        return;
    m_text.color = ToQColor(m_colors[kColorName]);
    const TextAnchor anchor = NameAnchor(m_namePos, m_s);
    if (!anchor.valid)
        return;
    // Like a drawing context, the surface keeps this colour and alignment for later text.
    m_text.h = static_cast<int>(anchor.h);
    m_text.v = static_cast<int>(anchor.v);
    // Laying the name out costs more than the rest of a needle's paint: it is laid out once,
    // until the name, the font or the scale change, and not drawn at all when it lies wholly
    // outside the bands being composed.
    if (m_nameBox.isNull()) {
        const QPoint at = ToQPoint(anchor.point);
        const QPoint origin = AnchoredTextOrigin(
            QFontMetrics(m_font, &MetricsSurface()), m_name, at, anchor.h, anchor.v);
        m_nameBox = AnchoredTextBounds(m_font, m_name, at, anchor.h, anchor.v);
        m_nameText.setText(m_name);
        m_nameText.setTextFormat(Qt::PlainText);
        m_nameText.prepare(QTransform(), m_font);
        // A static text is drawn by the top of its line: the baseline less the ascent.
        const qreal ascent = QFontMetricsF(m_font, &MetricsSurface()).ascent();
        m_nameTop = QPointF(origin.x(), origin.y() - ascent);
    }
    const auto inBand = [this](const QRect& band) { return band.intersects(m_nameBox); };
    if (std::none_of(m_bands.begin(), m_bands.end(), inBand))
        return;
    painter.setPen(m_text.color);
    painter.drawStaticText(m_nameTop, m_nameText); // as DrawAnchoredText would
}

// What lies wholly outside `dirty` is not drawn at all: the painter's clip would drop every
// pixel of it, after the cost of building and clipping the shape.
void CDlgMeter::DrawPeak(QPainter& painter, const QRect& dirty)
{
    if (m_overEnable == 1) {
        const QRect lamp = ToQRect(LampBox(m_s));
        if (m_lampOn == 1 && lamp.intersects(dirty))
            FillRegion(painter, QRegion(lamp, QRegion::Ellipse), ToQColor(m_colors[kColorOver]));
        const QRect dot = ToQRect(ThresholdDot(m_thresholdPos, m_s));
        if (dot.intersects(dirty))
            FillRegion(painter, QRegion(dot, QRegion::Ellipse), ToQColor(m_colors[kColorOverTh]));
    }
    const QColor peak = ToQColor(m_colors[kColorPeak]);
    if (m_peakRing.boundingRect().intersects(dirty)) {
        // The sector is filled through the cached ring as a clip: the rasteriser only visits
        // the ring's spans, far cheaper than building the sector's region on every paint.
        const RegionExpr sector = PeakBarSector(m_peakPos, m_s);
        std::array<QPoint, 3> corners;
        for (size_t i = 0; i < corners.size(); ++i)
            corners[i] = ToQPoint(sector.Points()[i]);
        painter.save();
        painter.setClipRegion(m_peakRing, Qt::IntersectClip);
        painter.setPen(Qt::NoPen);
        painter.setBrush(peak);
        painter.drawPolygon(corners.data(), static_cast<int>(corners.size()), Qt::OddEvenFill);
        painter.restore();
    }
    if (m_holdPos > 0.0 && m_holdMs != 0) {
        const LineShape tick = HoldTick(m_holdPos, m_s);
        // A round-capped line is stroked as a path, the dearest shape of a frame.
        const int reach = tick.width + 2;
        const QRect box = QRect(ToQPoint(tick.from), ToQPoint(tick.to))
                              .normalized()
                              .adjusted(-reach, -reach, reach, reach);
        if (box.intersects(dirty))
            DrawLine(painter, tick, peak);
    }
}

void CDlgMeter::DrawNeedle(QPainter& painter, const QRegion& dirty)
{
    painter.save();
    painter.setClipRegion(m_needleClip.intersected(dirty));
    const QColor color = ToQColor(m_colors[kColorNeedle]);
    const double angle = ScalePosToAngle(m_vuPos);
    if (m_needleType == 0) {
        const auto corners = NeedleSword(angle, m_s);
        std::array<QPoint, 8> points;
        for (size_t i = 0; i < corners.size(); ++i)
            points[i] = ToQPoint(corners[i]);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawPolygon(points.data(), static_cast<int>(points.size()), Qt::OddEvenFill);
    } else {
        DrawLine(painter, NeedleBar(angle, m_needleThick, m_s), color);
    }
    painter.restore();
}

void CDlgMeter::DrawDiagnostics(QPainter& painter)
{
    painter.save();
    const QRect box = ToQRect(DiagnosticRect(m_s));
    painter.setClipRect(box, Qt::IntersectClip);
    painter.setFont(MeterFont(FontPixelHeight(m_s, kSmallFontHeight)));
    painter.setPen(m_text.color);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_diagText);
    painter.restore();
}

void CDlgMeter::DrawDisplayOff(QPainter& painter)
{
    painter.fillRect(QRect(0, 0, m_width, m_height), Qt::black);
    // In whatever colour and alignment the surface's text last had.
    painter.setPen(m_text.color);
    DrawAnchoredText(painter, QStringLiteral("Display OFF"),
        ToQPoint(DisplayOffAnchor(m_width, m_height)), static_cast<HAlign>(m_text.h),
        static_cast<VAlign>(m_text.v));
}
