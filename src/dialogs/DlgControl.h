#pragma once

// The configuration dialog: the summary of the eight meters and the display options of every
// meter, edited live. Every change is written into the settings record at once and announced to
// the main window with WM_USER+3; the main window's own commands (device, channel assignment,
// reference level, peak hold, one meter's settings) are forwarded to it as WM_USER + control ID.
// Run modally (exec) by the main window. User-interface thread only; the main window handles
// each message inside PostMessage, before the dialog goes on.

#include "app/SettingsRecord.h"
#include "dialogs/TemplateDialog.h"

#include <QString>

class CNotifyTarget;

class CDlgControl : public kerrion::TemplateDialog {
    Q_OBJECT

public:
    enum ControlId : int {
        kIdMeterCount = 1035, // combo " 4", " 8"
        kIdList = 1007,       // meter summary, 8 rows x 5 columns
        kIdShowVu = 1034,
        kIdSword = 1030,
        kIdBar = 1031,
        kIdThickness = 1032,  // combo, Needle/thick 0..4
        kIdScaleWidth = 1050, // combo, Meter/VuPenWidth 1..5
        kIdShowPeak = 1039,
        kIdPeakHold = 1046, // combo, PeakHold/type 0..2
        kIdDevice = 1005,
        kIdAssign = 1011,
        kIdCalibrate = 1006,
        kIdColor = 1051,
        kIdLoudness = 1052,
        kIdClose = 2,
        kIdLabelNo = 1037,
        kIdLabelName = 1040,
        kIdLabelPosition = 1041,
        kIdLabelShow = 1043,
        kIdLabelThreshold = 1044,
    };

    CDlgControl(CSettingsRecord& settings, CNotifyTarget* mainWindow, QWidget* parent = nullptr);
    ~CDlgControl() override;

    // Empties the meter list and fills its eight rows from the settings again.
    void FillList();

    // "Kerrion " and the product version of this build.
    static QString Caption();
    // The text of the list's position column for a meter.
    static QString PositionText(const CSettingsRecord::ChannelSection& channel);

private:
    void LoadControls();
    void ConnectControls();
    void SetColumnWidths();
    void Notify(intptr_t meterCountChanged);
    void Forward(int controlId, intptr_t wParam = 0);
    void OnListDoubleClicked(int row);
    void OpenColors();

    CSettingsRecord& m_settings;
    CNotifyTarget* m_mainWindow; // may be null (nothing is told)
};
