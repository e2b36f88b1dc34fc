#pragma once

// The loudness history graph on the main window: the last minutes of the broadcast loudness,
// drawn by LoudnessGraphPainter. The window hands it the engine's readings once a frame; it
// takes each new 100 ms step into its history and repaints when the graph moves by a pixel
// column (never while stopped). A new run or a reset starts it empty: the
// readings' step count goes back. User-interface thread only.

#include "display/LoudnessGraphPainter.h"
#include "meter/LoudnessHistory.h"
#include "meter/LoudnessReadings.h"
#include "meter/LoudnessStandard.h"

#include <QWidget>

class CLoudnessHistoryView : public QWidget {
public:
    explicit CLoudnessHistoryView(QWidget* parent = nullptr);

    void SetStandard(const kerrion::LoudnessStandard& standard);
    void SetSpan(int minutes); // 1, 3, 10, 30 or 60
    void Follow(const kerrion::LoudnessReadings& readings);
    const kerrion::LoudnessHistory& History() const { return m_history; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    kerrion::LoudnessHistory m_history;
    kerrion::LoudnessGraphPainter m_painter;
    kerrion::LoudnessStandard m_standard;
    int m_spanMinutes = kerrion::kDefaultGraphSpan;
    long long m_paintedColumn = -1; // of the newest step at the last update
};
