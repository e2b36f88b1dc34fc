#pragma once

// The colour dialog: nine swatches for the nine colour slots of a set (the common set or one
// meter's own), each opening the colour chooser. A confirmed colour is written into the set at
// once and announced with WM_USER+3 (0, 0) to `notify` (the dialog that opened this one, which
// passes it on to the main window); the close button undoes nothing. User-interface thread only.

#include "app/ColorSet.h"
#include "app/SettingsRecord.h"
#include "dialogs/TemplateDialog.h"

#include <QColor>

#include <functional>

class CNotifyTarget;

class CDlgColor : public kerrion::TemplateDialog {
    Q_OBJECT

public:
    static constexpr int kFirstSwatch = 1041; // slot i: 1041 + i
    enum ControlId : int { kIdClose = 2 };

    // A function that asks the user for a colour; returns an invalid colour when cancelled.
    using ColorChooser = std::function<QColor(QWidget* parent)>;

    CDlgColor(CSettingsRecord& settings, CNotifyTarget* notify, ColorSet& colors,
        QWidget* parent = nullptr);
    ~CDlgColor() override;

    // Replaces the system colour chooser (tests answer without a modal chooser).
    void SetColorChooser(ColorChooser chooser) { m_chooser = std::move(chooser); }

    // What a click on swatch `slot` does: choose, store, repaint, notify.
    void ChooseColor(int slot);

    // The system colour chooser, starting from black.
    static QColor AskSystemChooser(QWidget* parent);

private:
    void PaintSwatch(int slot);

    CNotifyTarget* m_notify; // may be null
    ColorSet& m_colors;      // the set edited in place
    ColorChooser m_chooser;
};
