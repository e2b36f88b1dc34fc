#pragma once

// The broadcast loudness readout on the main window's dark background: momentary, short-term
// and integrated loudness, loudness range, the highest true peak and the standard they are
// judged by, with a button that starts the integration and the maxima afresh. The integrated
// loudness is coloured against the target (within 1 LU, above, below), the true peak when it
// is over the limit; a value not measured yet reads as a dash. One line where it has the room,
// two where it has not.
//
// User-interface thread only. The main window hands it the engine's readings once a frame; it
// repaints only the figures that changed.

#include "meter/LoudnessReadings.h"
#include "meter/LoudnessStandard.h"

#include <QColor>
#include <QFont>
#include <QStaticText>
#include <QString>
#include <QWidget>

#include <array>

class QFontMetrics;
class QPainter;
class QPushButton;

class CLoudnessReadout : public QWidget {
    Q_OBJECT

public:
    explicit CLoudnessReadout(QWidget* parent = nullptr);

    void SetStandard(const kerrion::LoudnessStandard& standard);
    void ShowReadings(const kerrion::LoudnessReadings& readings);
    // Lays the readout out within `area` of the parent, against its right edge: as wide as
    // its figures need, on one line or two.
    void Place(const QRect& area);
    // Whether it has room in `width` pixels, on two lines at most.
    bool Fits(int width) const;
    // What it shows, as one line of text (tests, the accessible name).
    QString Text() const;
    const QColor& IntegratedColor() const { return m_fields[kIntegrated].color; }
    const QColor& TruePeakColor() const { return m_fields[kTruePeak].color; }

signals:
    void ResetRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    enum FieldIndex { kMomentary, kShortTerm, kIntegrated, kRange, kTruePeak, kStandard, kCount };
    struct Field {
        QString label;
        QString value;
        QString unit;
        QColor color;
        bool operator==(const Field&) const = default;
    };

    // What of a field stays from frame to frame, laid out once: its label and unit, and where
    // its figure goes.
    struct FieldText {
        QStaticText labelText; // the label and a space
        QStaticText unitText;  // a space and the unit
        int labelAdvance = 0;
        int place = 0; // the figure's width, or the place of the widest figure
    };

    void UpdateFields(const kerrion::LoudnessReadings& readings);
    void DrawField(QPainter& painter, int index, const QFontMetrics& metrics);
    static int LabelAdvance(const Field& field, const QFontMetrics& metrics);
    static int FigurePlace(const Field& field, const QFontMetrics& metrics);
    int FieldWidth(const Field& field) const;
    int LineWidth(int first, int last) const;
    // Where field `index` is drawn, as wide as its widest figure.
    QRect FieldBox(int index) const;
    void LayOutFields(); // measures every field's place for the layout and the standard

    kerrion::LoudnessStandard m_standard;
    kerrion::LoudnessReadings m_readings;
    std::array<Field, kCount> m_fields;
    std::array<QRect, kCount> m_boxes; // where each field is drawn
    std::array<FieldText, kCount> m_texts;
    QFont m_font;
    QPushButton* m_reset = nullptr;
    bool m_twoLines = false;
};
