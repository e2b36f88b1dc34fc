// The main window's settings dialogs and the reference level measurement. Each dialog runs
// modally inside its handler; the engine's messages keep arriving meanwhile.
#include "display/SonaltDlg.h"

#include "app/SettingsRecord.h"
#include "dialogs/DlgAssign.h"
#include "dialogs/DlgCal.h"
#include "dialogs/DlgConfig.h"
#include "dialogs/DlgControl.h"
#include "dialogs/DlgDevice.h"
#include "display/DlgMeter.h"

#include <QTableWidget>

#include <algorithm>

void CSonaltDlg::OnReferenceLevel()
{
    if (m_running == 1 || !LocateConfiguredDevice())
        return;
    PrepareEngine();
    if (m_engine->StartEngine(0, m_mute, m_repeatCount, 0, &m_dump, m_channelMap.data(),
            m_settings.Device.Type, m_settings.Device.ID, &m_queue, m_gainDb)
        != 1)
        return;
    CDlgCal dialog(m_settings, this, m_calVu, m_captured.data(), this);
    m_referenceOpen = true;
    const int result = dialog.exec();
    m_referenceOpen = false;
    if (result == QDialog::Accepted) {
        m_calVu = dialog.Levels();
        for (std::size_t i = 0; i < m_calVu.size(); ++i)
            m_settings.Channel[i].cal_vu = m_calVu[i];
        emit SettingsEdited();
    }
    m_engine->StopEngine();
}

void CSonaltDlg::OnDeviceDialog()
{
    CDlgDevice dialog(m_settings, this, m_settings.Device.Type, m_settings.Device.ID,
        m_settings.Device.Name, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_settings.Device.Type = dialog.Type();
    m_settings.Device.ID = dialog.ID();
    m_settings.Device.Name = dialog.Name();
    emit SettingsEdited();
    ProbeDevice(); // used from the next start; a running engine keeps its device
}

void CSonaltDlg::OnAssignDialog()
{
    std::array<int, kMeterCount> map {};
    std::copy(m_channelMap.begin(), m_channelMap.end(), map.begin());
    CDlgAssign dialog(m_settings, this, map, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    for (std::size_t i = 0; i < m_channelMap.size(); ++i) {
        m_channelMap[i] = dialog.ChannelMap()[i];
        m_settings.Channel[i].device_ch = m_channelMap[i];
    }
    emit SettingsEdited();
}

intptr_t CSonaltDlg::OnMeterSettings(int row)
{
    if (row < 0 || row >= m_list->rowCount())
        return 0;
    CDlgConfig dialog(m_settings, this, row, this);
    dialog.exec();
    FillMeterList();
    emit SettingsEdited();
    return 0;
}

void CSonaltDlg::OnConfigDialog()
{
    for (CDlgMeter* meter : m_meters)
        meter->setEnabled(false);
    CDlgControl dialog(m_settings, this, this);
    dialog.exec();
    for (CDlgMeter* meter : m_meters)
        meter->setEnabled(true);
    emit SettingsEdited();
}
