#include "display/LoudnessHistoryView.h"

#include <QPainter>

CLoudnessHistoryView::CLoudnessHistoryView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent); // the painter fills every pixel
}

void CLoudnessHistoryView::SetStandard(const kerrion::LoudnessStandard& standard)
{
    m_standard = standard;
    update();
}

void CLoudnessHistoryView::SetSpan(int minutes)
{
    m_spanMinutes = minutes;
    update();
}

void CLoudnessHistoryView::Follow(const kerrion::LoudnessReadings& readings)
{
    const long long before = m_history.Steps();
    m_history.Follow(readings, m_standard.truePeakLimit);
    if (m_history.Steps() != before && isVisible())
        update();
}

void CLoudnessHistoryView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_painter.Paint(painter, rect(), m_history, m_standard, m_spanMinutes);
}
