// The main window's loudness session log: while metering with Loudness/Log on, a line a second
// and one at each start, stop and reset, in Kerrion-YYYY-MM-DD.csv in the data folder. A line
// that cannot be written is said once a run in the report line; metering goes on.
#include "display/SonaltDlg.h"

#include "app/SettingsRecord.h"
#include "platform/paths/DataPaths.h"

#include <QLabel>

#include <ctime>
#include <string_view>

void CSonaltDlg::LogLoudnessEvent(const char* event)
{
    if (m_settings.Loudness.Log != 1)
        return;
    if (std::string_view(event) == "start") {
        kerrion::CreateDataFolder();
        m_loudnessLog.WriteDaily(kerrion::DataFolder());
        m_logFailureShown = false;
    }
    if (!m_loudnessLog.Event(std::time(nullptr), event, ChosenStandard()))
        ReportLogFailure();
}

void CSonaltDlg::OnLogTick()
{
    if (m_settings.Loudness.Log != 1 || m_running != 1)
        return;
    if (m_loudnessLog.File().empty()) // turned on while metering
        LogLoudnessEvent("start");
    else if (!m_loudnessLog.Reading(
                 std::time(nullptr), m_engine->GetLoudnessR128(), ChosenStandard()))
        ReportLogFailure();
}

void CSonaltDlg::ReportLogFailure()
{
    if (m_logFailureShown)
        return;
    m_logFailureShown = true;
    m_report->setText(QStringLiteral("ラウドネスのログを書けません: %1 (%2)")
                          .arg(QString::fromStdString(m_loudnessLog.File().string()),
                              QString::fromStdString(m_loudnessLog.Error())));
}
