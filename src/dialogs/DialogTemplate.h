#pragma once

// Dialog templates: each dialog's controls as a table (control ID, kind, text, position and size
// in dialog units, shown or hidden), turned into Qt widgets by one builder. Dialog units follow
// the dialog font the way the Windows dialog manager measures them: a horizontal unit is a
// quarter of the font's average character width, a vertical unit an eighth of its height.
// User-interface thread only.

#include <QRect>

#include <map>
#include <span>

class QFont;
class QWidget;

namespace kerrion {

constexpr int kStaticId = -1; // a control without an ID of its own (labels, lines, groups)

enum class ControlKind {
    Label,          // static text, left-aligned, wrapping at its width
    LabelCentered,  // static text, centred
    HorizontalLine, // etched separator
    GroupBox,       // frame with a caption
    Swatch,         // a static that reports clicks (colour swatch)
    PushButton,
    DefaultButton, // the push button Enter presses
    PushLikeCheck, // a check box drawn as a push button
    CheckBox,
    RadioFirst, // radio button that starts a new exclusive group
    Radio,      // radio button in the group of the radio before it
    ComboList,  // drop-down list; items in `text`, separated by '\n'; height = dropped list
    Edit,
    EditRight,         // edit with right-aligned text
    EditMultiReadOnly, // multi-line, read-only
    ListReport,        // report-style list without a header row
};

struct ControlTemplate {
    int id = kStaticId;
    ControlKind kind = ControlKind::Label;
    const char* text = ""; // UTF-8
    int x = 0;             // dialog units
    int y = 0;
    int width = 0;
    int height = 0;
    bool shown = true;
};

struct DialogTemplate {
    int width = 0;  // dialog units, client area
    int height = 0; // dialog units, client area
    const char* caption = "";
    int fontPoints = 12; // the Japanese UI font at this size
    std::span<const ControlTemplate> controls;
};

// The dialog font's base units in pixels, as the dialog manager measures them: x is the average
// width of the 52 Latin letters rounded up to whole pixels, y the font's cell height.
struct DialogBaseUnits {
    int x = 0;
    int y = 0;

    int ToPixelsX(int units) const; // units * x / 4, rounded to the nearest pixel
    int ToPixelsY(int units) const; // units * y / 8, rounded to the nearest pixel
    QRect ToPixels(int x, int y, int width, int height) const;
};

// The dialog font: the Japanese UI families at `points` on a screen of `dpi` dots per inch.
QFont DialogFont(int points, int dpi);
DialogBaseUnits MeasureBaseUnits(const QFont& font);

// Creates the template's controls as children of `dialog` (in template order, so that later
// controls lie above earlier ones), sets the dialog's font, caption and fixed client size, and
// returns the controls that have an ID, by ID.
std::map<int, QWidget*> BuildFromTemplate(
    QWidget& dialog, const DialogTemplate& dialogTemplate, DialogBaseUnits& baseUnits);

} // namespace kerrion
