#pragma once

// One meter window: an analog meter shown by the main window. With two or more meters it is a
// child of the full-screen main window; a single meter is a frameless tool window of its own,
// owned by the main window and kept out of the task bar.
// It holds the display state of one meter and paints with double buffering: every paint copies
// the static face (rendered once per settings change by DrawFace) into its off-screen surface,
// draws the moving parts (name, lamp, threshold dot, peak bar, hold tick, needle, diagnostic
// text) on top and copies the result to the screen, where only the invalidated area shows.
//
// Threads: user-interface thread only. The main window writes the state through the setters
// when it takes up a level message or a settings change; the timers arrive on the same thread.

#include "app/ColorSet.h"
#include "display/geometry/MeterDamage.h"

#include <QBasicTimer>
#include <QFont>
#include <QImage>
#include <QRegion>
#include <QStaticText>
#include <QWidget>

#include <string>
#include <vector>

class MeterFaceSurface;

class CDlgMeter : public QWidget {
    Q_OBJECT

public:
    static constexpr int TIMER_PEAK_HOLD = 1; // ends a peak hold
    static constexpr int TIMER_OVER_LAMP = 2; // ends a lit peak indicator

    // A hidden meter window of 1360 x 768 pixels owned by `owner`: a frameless tool window until
    // the owner makes it its child.
    explicit CDlgMeter(QWidget* owner = nullptr);
    static constexpr Qt::WindowFlags kStandaloneFlags = Qt::Tool | Qt::FramelessWindowHint;
    ~CDlgMeter() override;

    // Sets the window's size and rebuilds the off-screen surface at once, shown or not.
    void SetMeterSize(int width, int height);
    int MeterWidth() const { return m_width; }
    int MeterHeight() const { return m_height; }

    // Display scale shared by every meter (pixel width / 1360); fonts and cached shapes follow.
    void SetDisplayScale(double s);
    double DisplayScale() const { return m_s; }

    // 1: the meter; 0: the black "Display OFF" screen.
    void SetDisplayOn(int on);
    int DisplayOn() const { return m_displayOn; }

    // The static face to copy; nothing is painted while it is null. Not owned.
    void SetFaceSurface(const MeterFaceSurface* face);
    void SetColors(const ColorSet& colors);
    // The channel name (UTF-8) and its position 0 .. 3; an empty name draws nothing.
    void SetName(const std::string& name, int namePos);
    // Peak indicator on/off and its threshold as an unclamped peak scale position.
    void SetOverIndicator(int enable, double thresholdPos);
    void SetNeedle(int type, int thick, int onlyUpper);
    void SetVisible(int vu, int peak);
    // Peak hold time: 0, 2000 or 4000 milliseconds.
    void SetHoldMs(int ms);
    // Diagnostic text (UTF-8), drawn word-wrapped at the bottom right; empty for none.
    void SetDiagText(const std::string& text);
    // VU scale position, 0 .. 90.
    void SetVuPos(double pos) { m_vuPos = pos; }
    // Lights or puts out the peak indicator directly (tools that render a given state).
    void SetLampOn(int on) { m_lampOn = on; }

    // Takes up one block's peak position (already clamped to 0 .. 88): the peak bar, the hold
    // and the peak indicator with their timers.
    void UpdatePeak(double p);
    // Kills both timers and clears the hold and the lamp (a new hold time, a settings change).
    void ResetPeak();
    // The needle at the left end, no peak bar, hold or lamp: a meter that has no signal to show.
    void Rest();

    double VuPos() const { return m_vuPos; }
    double PeakPos() const { return m_peakPos; }
    double HoldPos() const { return m_holdPos; }
    int LampOn() const { return m_lampOn; }
    bool TimerRunning(int id) const;
    const QFont& MeterFontInUse() const { return m_font; }

    // Asks for a repaint of what the moving parts changed since they were last painted (all of
    // the meter after a change of its settings, size or display state).
    void RepaintMoving();
    // That area.
    QRegion ChangedArea() const;

    // A paint's drawing into an off-screen surface instead of the window's backing store,
    // within `dirty` (the whole window when empty).
    void ComposeOffscreen(const QRect& dirty = QRect());
    // The rectangles the last paint or composition restored from the face.
    const std::vector<QRect>& ComposedBands() const { return m_bands; }
    const QImage& Offscreen() const { return m_offscreen; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    struct TextState { // what the off-screen surface's text settings last were
        QColor color;
        int h = 0; // kerrion::HAlign
        int v = 0; // kerrion::VAlign
    };

    kerrion::MovingParts Moving() const;
    void Invalidate(); // the screen may show anything: the next paint draws all
    // Holds the hold timer's state apart from the tick's position: only the drawn parts change.
    void SetMoving(const kerrion::MovingParts& parts);
    void ApplySize(int width, int height);
    void MakeOffscreen(int width, int height);
    void UpdateFont();
    void RebuildShapes();
    void Draw(QPainter& painter, const QRegion& area);
    void DrawName(QPainter& painter);
    void DrawPeak(QPainter& painter, const QRect& dirty);
    void DrawNeedle(QPainter& painter, const QRegion& dirty);
    void DrawDiagnostics(QPainter& painter);
    void DrawDisplayOff(QPainter& painter);

    double m_s = 1.0;   // display scale, pixels per face unit
    int m_width = 1360; // pixels; window and off-screen surface
    int m_height = 768;
    int m_displayOn = 1;
    const MeterFaceSurface* m_face = nullptr; // not owned
    QImage m_offscreen;                       // m_width x m_height, once composed into
    QFont m_font;                             // 60 face units high on, 20 off
    TextState m_text;
    ColorSet m_colors = DefaultColorSet();
    QString m_name;
    QRect m_nameBox;        // where the name may draw, for m_font and m_s; null until needed
    QStaticText m_nameText; // the name laid out in m_font; valid with m_nameBox
    QPointF m_nameTop;      // where the top of its line starts; valid with m_nameBox
    int m_namePos = 0;
    int m_overEnable = 0;
    double m_thresholdPos = 0.0; // degrees, unclamped
    int m_lampOn = 0;
    double m_vuPos = 0.0;   // degrees, 0 .. 90
    double m_peakPos = 0.0; // degrees, 0 .. 88
    double m_holdPos = 0.0; // degrees
    int m_holdMs = 0;       // milliseconds
    int m_needleType = 0;
    int m_needleThick = 0;
    int m_onlyUpper = 0;
    int m_vuVisible = 0;
    int m_peakVisible = 0;
    QString m_diagText;
    QBasicTimer m_holdTimer;      // TIMER_PEAK_HOLD
    QBasicTimer m_lampTimer;      // TIMER_OVER_LAMP
    QRegion m_needleClip;         // cached for the size, scale and needle settings
    QRegion m_peakRing;           // cached for the scale, clipped to the window
    std::vector<QRect> m_bands;   // what the last paint or composition restored
    kerrion::MovingParts m_drawn; // the moving parts as the screen shows them
    bool m_drawnValid = false;    // false: the screen may show anything (settings, size changed)
    struct ChangedCache {
        bool valid = false;
        kerrion::MovingParts from;
        kerrion::MovingParts to;
        QRegion area;
    };
    mutable ChangedCache m_changed; // the last ChangedArea and what it was asked for
};
