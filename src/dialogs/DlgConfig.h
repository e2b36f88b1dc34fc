#pragma once

// The meter settings dialog for one meter r (0..7): whether and where its name is shown and
// what it says, its peak indicator and threshold, whether it uses its own colours, and its needle
// type (meter_type), which can also be given to every meter at once. Every
// change is written into Channel[r] at once and announced with WM_USER+3 (0, r); opening stores
// the name and the threshold as shown (rounded to two decimals) and so announces twice. Run
// modally (exec) by the main window. User-interface thread only.

#include "app/SettingsRecord.h"
#include "dialogs/TemplateDialog.h"

#include <QString>

class CNotifyTarget;

class CDlgConfig : public kerrion::TemplateDialog {
    Q_OBJECT

public:
    static constexpr int kNameLength = 20; // characters
    enum ControlId : int {
        kIdShowName = 1015,
        kIdName = 1014,
        kIdNamePosition = 1013,
        kIdShowPeakIndicator = 1016,
        kIdThreshold = 1017,
        kIdOwnColors = 1020,
        kIdColor = 1051,
        kIdMeterType = 1060,
        kIdMeterTypeToAll = 1061,
        kIdOk = 1,
        kIdClose = 2,
    };

    CDlgConfig(
        CSettingsRecord& settings, CNotifyTarget* mainWindow, int meter, QWidget* parent = nullptr);
    ~CDlgConfig() override;

    int Meter() const { return m_meter; }

private:
    CSettingsRecord::ChannelSection& Channel() const;
    void LoadControls();
    void ConnectControls();
    void OnNameEdited(const QString& text);
    void OnThresholdEdited(const QString& text);
    void OnMeterTypeChosen(int index);
    void ApplyMeterTypeToAll();
    void Notify();
    void OpenColors();

    CSettingsRecord& m_settings;
    CNotifyTarget* m_mainWindow; // may be null
    int m_meter;                 // 0..7
};
