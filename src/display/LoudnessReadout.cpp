#include "display/LoudnessReadout.h"

#include "display/LoudnessColors.h"
#include "display/QtShapes.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

namespace {

using namespace kerrion::loudness_colors;
constexpr int kFontPixels = 16;
constexpr int kGap = 14;         // pixels between two fields
constexpr int kButtonWidth = 64; // pixels
constexpr int kLineHeight = 24;  // pixels

QString Figure(double value)
{
    return kerrion::LoudnessReadings::Defined(value) ? QString::number(value, 'f', 1)
                                                     : QStringLiteral("-");
}

} // namespace

CLoudnessReadout::CLoudnessReadout(QWidget* parent)
    : QWidget(parent)
    , m_font(kerrion::MeterFont(kFontPixels))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_reset = new QPushButton(QStringLiteral("リセット"), this);
    m_reset->setAutoDefault(false); // Enter never presses it
    m_reset->setFocusPolicy(Qt::NoFocus);
    connect(m_reset, &QPushButton::clicked, this, &CLoudnessReadout::ResetRequested);
    UpdateFields(m_readings);
    LayOutFields();
}

void CLoudnessReadout::SetStandard(const kerrion::LoudnessStandard& standard)
{
    m_standard = standard;
    UpdateFields(m_readings);
    LayOutFields();
    update();
}

// Only the figures that changed are repainted: the momentary and short-term loudness change
// nearly every frame, the rest seldom, and every place keeps its width.
void CLoudnessReadout::ShowReadings(const kerrion::LoudnessReadings& readings)
{
    m_readings = readings;
    const std::array<Field, kCount> before = m_fields;
    UpdateFields(readings);
    for (int i = 0; i < kCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        if (m_fields[index] != before[index])
            update(FieldBox(i));
    }
}

QRect CLoudnessReadout::FieldBox(int index) const
{
    return m_boxes[static_cast<std::size_t>(index)];
}

// Measuring the text costs more than drawing it: the places are measured when the layout or
// the standard's name changes, not on every frame.
void CLoudnessReadout::LayOutFields()
{
    const QFontMetrics metrics(m_font);
    int x = 0;
    int line = 0;
    for (int i = 0; i < kCount; ++i) {
        if (m_twoLines && i == kRange) {
            x = 0;
            line = 1;
        }
        const auto index = static_cast<std::size_t>(i);
        const Field& field = m_fields[index];
        const int width = FieldWidth(field);
        m_boxes[index] = QRect(x, line * kLineHeight, width, kLineHeight);
        x += width + kGap;
        FieldText& text = m_texts[index];
        text.labelText = QStaticText(field.label + u' ');
        text.unitText = QStaticText(u' ' + field.unit);
        for (QStaticText* part : { &text.labelText, &text.unitText }) {
            part->setTextFormat(Qt::PlainText);
            part->prepare(QTransform(), m_font);
        }
        text.labelAdvance = LabelAdvance(field, metrics);
        text.place = FigurePlace(field, metrics);
    }
}

void CLoudnessReadout::UpdateFields(const kerrion::LoudnessReadings& r)
{
    using Level = kerrion::LoudnessStandard::Level;
    const QString unit = QString::fromUtf8(m_standard.unit);
    QColor integrated = kPlain;
    switch (m_standard.Judge(r.integrated)) {
    case Level::Within:
        integrated = kWithin;
        break;
    case Level::Above:
        integrated = kAbove;
        break;
    case Level::Below:
        integrated = kBelow;
        break;
    case Level::Unknown:
        break;
    }
    m_fields[kMomentary] = { QStringLiteral("M"), Figure(r.momentary), unit, kPlain };
    m_fields[kShortTerm] = { QStringLiteral("S"), Figure(r.shortTerm), unit, kPlain };
    m_fields[kIntegrated] = { QStringLiteral("I"), Figure(r.integrated), unit, integrated };
    m_fields[kRange] = { QStringLiteral("LRA"), Figure(r.range), QStringLiteral("LU"), kPlain };
    m_fields[kTruePeak] = { QStringLiteral("TP max"), Figure(r.truePeakMax), QStringLiteral("dBTP"),
        m_standard.TruePeakOver(r.truePeakMax) ? kOver : kPlain };
    const QString name = m_standard.id == kerrion::LoudnessStandardId::Custom
        ? QStringLiteral("カスタム")
        : QString::fromUtf8(m_standard.name);
    m_fields[kStandard] = { QString(), name, QString(), kLabel };
}

int CLoudnessReadout::LabelAdvance(const Field& field, const QFontMetrics& metrics)
{
    return field.label.isEmpty() ? 0 : metrics.horizontalAdvance(field.label + u' ');
}

// A figure's place is as wide as the widest it takes, so the line does not jump about.
int CLoudnessReadout::FigurePlace(const Field& field, const QFontMetrics& metrics)
{
    return field.label.isEmpty() ? metrics.horizontalAdvance(field.value)
                                 : metrics.horizontalAdvance(QStringLiteral("-000.0"));
}

int CLoudnessReadout::FieldWidth(const Field& field) const
{
    const QFontMetrics metrics(m_font);
    const int unit = field.unit.isEmpty() ? 0 : metrics.horizontalAdvance(u' ' + field.unit);
    return LabelAdvance(field, metrics) + FigurePlace(field, metrics) + unit;
}

int CLoudnessReadout::LineWidth(int first, int last) const
{
    int width = 0;
    for (int i = first; i <= last; ++i)
        width += FieldWidth(m_fields[static_cast<std::size_t>(i)]) + (i > first ? kGap : 0);
    return width;
}

bool CLoudnessReadout::Fits(int width) const
{
    const int text = std::max(LineWidth(kMomentary, kIntegrated), LineWidth(kRange, kStandard));
    return text + kGap + kButtonWidth <= width;
}

void CLoudnessReadout::Place(const QRect& area)
{
    const int oneLine = LineWidth(kMomentary, kStandard) + kGap + kButtonWidth;
    m_twoLines = oneLine > area.width();
    LayOutFields();
    const int text = m_twoLines
        ? std::max(LineWidth(kMomentary, kIntegrated), LineWidth(kRange, kStandard))
        : LineWidth(kMomentary, kStandard);
    const int width = std::min(area.width(), text + kGap + kButtonWidth);
    const int height = m_twoLines ? 2 * kLineHeight : kLineHeight;
    setGeometry(area.right() + 1 - width, area.top() + (area.height() - height) / 2, width, height);
    m_reset->setGeometry(
        width - kButtonWidth, (height - kLineHeight) / 2, kButtonWidth, kLineHeight);
    update();
}

QString CLoudnessReadout::Text() const
{
    QStringList parts;
    for (const Field& field : m_fields)
        parts << (field.label.isEmpty() ? field.value
                                        : field.label + u' ' + field.value + u' ' + field.unit);
    return parts.join(QStringLiteral("  "));
}

void CLoudnessReadout::paintEvent(QPaintEvent* event)
{
    QPainter painter(this); // clipped to the paint's region by Qt
    painter.fillRect(rect(), kBackground);
    painter.setFont(m_font);
    const QFontMetrics metrics(m_font);
    for (int i = 0; i < kCount; ++i)
        if (event->region().intersects(FieldBox(i)))
            DrawField(painter, i, metrics);
}

// The label and unit are drawn as laid out: they change only with the standard, which lays the
// fields out again. Only the figure is shaped on every frame.
void CLoudnessReadout::DrawField(QPainter& painter, int index, const QFontMetrics& metrics)
{
    const auto at = static_cast<std::size_t>(index);
    const Field& field = m_fields[at];
    const FieldText& text = m_texts[at];
    const QRect box = FieldBox(index);
    const int baseline = box.top() + (kLineHeight + metrics.ascent() - metrics.descent()) / 2;
    const int top = baseline - metrics.ascent(); // a static text is placed by its top
    int x = box.left();
    if (!field.label.isEmpty()) {
        painter.setPen(kLabel);
        painter.drawStaticText(x, top, text.labelText);
        x += text.labelAdvance;
    }
    painter.setPen(field.color);
    painter.drawText(
        x + text.place - metrics.horizontalAdvance(field.value), baseline, field.value);
    x += text.place;
    if (!field.unit.isEmpty()) {
        painter.setPen(kLabel);
        painter.drawStaticText(x, top, text.unitText);
    }
}
