// The main window's settings dialogs and the reference level measurement.
#include "display/SonaltDlg.h"

#include "app/SettingsRecord.h"
#include "display/DlgMeter.h"

#include <QDialog>

void CSonaltDlg::OnReferenceLevel()
{
    if (m_running == 1)
        return;
    if (m_engine->StartEngine(0, m_mute, m_repeatCount, 0, &m_dump, m_channelMap.data(),
            m_settings.Device.Type, m_settings.Device.ID, &m_queue, m_gainDb)
        != 1)
        return;
    m_referenceOpen = true;
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("基準レベル設定"));
    dialog.exec();
    m_referenceOpen = false;
    m_engine->StopEngine();
}

void CSonaltDlg::OnDeviceDialog() { ProbeDevice(); }

void CSonaltDlg::OnAssignDialog() { }

intptr_t CSonaltDlg::OnMeterSettings(int row)
{
    if (row < 0 || row >= 8)
        return 0;
    FillMeterList();
    return 0;
}

void CSonaltDlg::OnConfigDialog()
{
    for (CDlgMeter* meter : m_meters)
        meter->setEnabled(false);
    for (CDlgMeter* meter : m_meters)
        meter->setEnabled(true);
}
