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

// The graph moves by whole pixel columns: it is painted again when the newest step starts a
// column (ten times a second over one minute, about three over ten, once in two seconds over an
// hour), and when the history starts afresh.
void CLoudnessHistoryView::Follow(const kerrion::LoudnessReadings& readings)
{
    const long long before = m_history.Steps();
    m_history.Follow(readings, m_standard.truePeakLimit);
    if (m_history.Steps() == before || !isVisible())
        return;
    const long long width = kerrion::LoudnessGraphPainter::PlotRect(rect()).width();
    const long long column = m_history.Steps() * width / (m_spanMinutes * 600LL);
    if (column != m_paintedColumn || m_history.Steps() < before) {
        m_paintedColumn = column;
        update();
    }
}

void CLoudnessHistoryView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_painter.Paint(painter, rect(), m_history, m_standard, m_spanMinutes);
}
