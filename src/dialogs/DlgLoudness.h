#pragma once

// The loudness settings dialog: which meters form the programme, the delivery standard (or a
// target and true-peak limit of the user's own), whether the readout is shown, whether a session
// log is kept, and the history graph's span and whether the meters make room for it. Every change
// is written into the Loudness section at once and announced with WM_USER+3 (0, -1); the
// programme's meters take effect at the next start of metering, the rest at once. Run modally from
// the configuration dialog. User-interface thread only.

#include "app/SettingsRecord.h"
#include "dialogs/TemplateDialog.h"

class CNotifyTarget;
class QLineEdit;

class CDlgLoudness : public kerrion::TemplateDialog {
    Q_OBJECT

public:
    enum ControlId : int {
        kIdLayout = 1101,   // combo: stereo, mono, 5.1, 7.1
        kIdStandard = 1102, // combo: ARIB, EBU, ATSC, Custom
        kIdTarget = 1103,   // LKFS, the custom standard's
        kIdLimit = 1104,    // dBTP, the custom standard's
        kIdShow = 1105,
        kIdLog = 1106,         // the session log while metering
        kIdHistorySpan = 1107, // combo: 1, 3, 10, 30, 60 minutes
        kIdHistoryRoom = 1108, // the meters make room for the history graph
        kIdClose = 2,
    };

    CDlgLoudness(CSettingsRecord& settings, CNotifyTarget* mainWindow, QWidget* parent = nullptr);
    ~CDlgLoudness() override;

private:
    void LoadControls();
    void ConnectControls();
    // The target and limit of the chosen standard; editable only for the custom one.
    void ShowStandard();
    // A custom figure within [low, high] is taken; any other text shows the kept one again.
    void TakeFigure(QLineEdit* edit, double& value, double low, double high);
    void Notify();

    CSettingsRecord& m_settings;
    CNotifyTarget* m_mainWindow;
};
