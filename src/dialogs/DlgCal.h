#pragma once

// The reference level dialog: the eight meters' reference levels (dBFS that read 0 VU), typed
// or taken from the live input ("実行" copies the captured level of every checked meter into its
// field). Applies only on OK: the caller reads Levels after exec() returns Accepted and stores
// them in cal_vu. User-interface thread only; the captured table is read only when "実行" is
// pressed, on this thread, so the main window may keep rewriting it between presses.

#include "app/SettingsRecord.h"
#include "dialogs/TemplateDialog.h"

#include <array>

class CNotifyTarget;

class CDlgCal : public kerrion::TemplateDialog {
    Q_OBJECT

public:
    static constexpr int kFirstCheck = 1021; // "Meter 1" .. "Meter 8"
    static constexpr int kFirstEdit = 1031;  // reference level fields
    enum ControlId : int { kIdAllOnOff = 1029, kIdCapture = 1030, kIdOk = 1, kIdCancel = 2 };

    // The settings and the main window are not needed here: the caller stores the levels.
    // `captured` points to the main window's eight captured levels (dBFS), or is null when there
    // is nothing to capture from.
    CDlgCal(CSettingsRecord& settings, CNotifyTarget* mainWindow,
        const std::array<double, kMeterCount>& levels, const double* captured,
        QWidget* parent = nullptr);
    ~CDlgCal() override;

    // The reference levels, dBFS: the given ones until OK.
    const std::array<double, kMeterCount>& Levels() const { return m_levels; }

    void accept() override;

private:
    void ToggleAll();
    void Capture();

    std::array<double, kMeterCount> m_levels; // dBFS
    const double* m_captured;                 // 8 entries, dBFS; not owned; may be null
};
