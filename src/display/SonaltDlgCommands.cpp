// The main window's commands: starting and stopping the engine and following its state, the
// reference level, peak hold, display toggles, the device probe, brightness and closing.
#include "display/SonaltDlg.h"

#include "app/SettingsRecord.h"
#include "dialogs/ImageButton.h"
#include "display/DlgMeter.h"
#include "display/LoudnessHistoryView.h"
#include "display/LoudnessReadout.h"
#include "display/MeterSetup.h"
#include "meter/SndIODeviceFactory.h"
#include "sndio/SndIODevice.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QRadioButton>

namespace {

// The graphics card's control panel, where the user loads a brightness profile.
const char* const kBrightnessProgram = "nvidia-settings";

QMessageBox::StandardButton ShowMessage(QWidget* parent, const QString& text,
    QMessageBox::Icon icon = QMessageBox::Warning,
    QMessageBox::StandardButtons buttons = QMessageBox::Ok)
{
    QMessageBox box(icon, QStringLiteral("Kerrion"), text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

// The reason a run ended, in the user's words, for a status other than success.
QString EngineStatusText(int32_t status)
{
    switch (status) {
    case CSndIOPlayList::kStatusOk:
        return {};
    case CSndIOPlayList::kStatusNoDevice:
        return QStringLiteral("デバイスを開けません。デバイス設定を確認してください。");
    case CSndIOPlayList::kStatusNoMemory:
        return QStringLiteral("メモリが不足しています。");
    case CSndIOPlayList::kStatusDumpFile:
        return QStringLiteral("ダンプファイルを作成できません。");
    case CSndIOPlayList::kStatusStartFailed:
        return QStringLiteral("デバイスを開始できません。");
    case CSndIOPlayList::kStatusTransferFailed:
        return QStringLiteral("デバイスからの入力が止まりました。");
    case CSndIOPlayList::kStatusDeviceLost:
        return QStringLiteral("デバイスが失われました。");
    default:
        return QStringLiteral("計測が停止しました (%1)。").arg(status);
    }
}

} // namespace

bool CSonaltDlg::PostMessage(uint32_t message, intptr_t wParam, intptr_t lParam)
{
    WindowProc(message, wParam, lParam);
    return true;
}

intptr_t CSonaltDlg::WindowProc(uint32_t message, intptr_t wParam, intptr_t lParam)
{
    intptr_t result = 0;
    if (ForwardedCommand(message, wParam, result))
        return result;
    switch (message) {
    case WM_SECOND_INSTANCE:
        OnSecondInstance();
        break;
    case WM_SETTINGS_CHANGED:
        ApplySettings(wParam, lParam);
        emit SettingsEdited();
        break;
    case WM_SNDIO_STARTED:
        OnStarted();
        break;
    case WM_SNDIO_SEGMENT:
        m_lastSegment = wParam;
        break;
    case WM_SNDIO_LEVELS:
        OnLevels();
        break;
    case WM_SNDIO_FINISHED:
        OnFinished();
        break;
    default:
        break;
    }
    return result;
}

// The configuration dialog forwards the commands of this window's own controls as
// WM_USER + control ID; they run the same handlers as the controls.
bool CSonaltDlg::ForwardedCommand(uint32_t message, intptr_t wParam, intptr_t& result)
{
    if (message < WM_USER + IDC_START || message > WM_USER + IDC_SETTINGS)
        return false;
    const int id = static_cast<int>(message - WM_USER);
    if (id == IDC_LIST) {
        result = OnMeterSettings(static_cast<int>(wParam));
        return true;
    }
    if (id == IDC_DISPLAY || id == IDC_SETTINGS)
        return false; // no handler for these as messages
    OnCommand(id);
    return true;
}

void CSonaltDlg::OnCommand(int id)
{
    if (id >= ID_TOGGLE_METER1 && id < ID_TOGGLE_METER1 + 8) {
        OnToggleDisplay(id - ID_TOGGLE_METER1);
        return;
    }
    switch (id) {
    case IDC_START:
        OnStart();
        break;
    case IDC_STOP:
        OnStop();
        break;
    case IDC_DEVICE:
        OnDeviceDialog();
        break;
    case IDC_REFERENCE:
        OnReferenceLevel();
        break;
    case IDC_HOLD_NONE:
    case IDC_HOLD_NONE + 1:
    case IDC_HOLD_NONE + 2:
        OnPeakHold(id - IDC_HOLD_NONE);
        break;
    case IDC_ASSIGN:
        OnAssignDialog();
        break;
    case IDC_BRIGHTNESS:
        OnBrightness();
        break;
    case IDC_SETTINGS:
        OnConfigDialog();
        break;
    case IDC_CLOSE:
        reject();
        break;
    default:
        break; // 1013 and F9 (32779): nothing
    }
}

void CSonaltDlg::SetToolbarEnabled(bool start, bool stop, bool settings)
{
    ToolbarButton(IDC_START).setEnabled(start);
    ToolbarButton(IDC_STOP).setEnabled(stop);
    ToolbarButton(IDC_SETTINGS).setEnabled(settings);
}

// Start and stop share one place in the tool bar. The keyboard stays there as they swap, so
// that the key that started a run stops it and starts the next.
void CSonaltDlg::ShowRunButton(int id)
{
    CImageButton& shown = ToolbarButton(id);
    CImageButton& hidden = ToolbarButton(id == IDC_START ? IDC_STOP : IDC_START);
    const bool keyboard = m_keyboardOnRunButton || hidden.hasFocus();
    hidden.hide();
    shown.show();
    if (keyboard)
        shown.setFocus();
    m_keyboardOnRunButton = false;
}

void CSonaltDlg::OnStart()
{
    if (m_running != 0)
        return;
    m_report->clear();
    if (!LocateConfiguredDevice())
        return;
    ClearFramePeaks(); // nothing of a former run
    PrepareEngine();
    const int started = m_engine->StartEngine(0, m_mute, m_repeatCount, 0, &m_dump,
        m_channelMap.data(), m_settings.Device.Type, m_settings.Device.ID, &m_queue, m_gainDb);
    if (started == 1) {
        m_keyboardOnRunButton = ToolbarButton(IDC_START).hasFocus();
        SetToolbarEnabled(false, false, false); // until the engine reports
    }
}

void CSonaltDlg::OnStarted()
{
    m_running = 1;
    m_resumeAfterLoss = false;
    m_deliveredChannels = m_engine->GetCounters().inputChannels;
    m_loudness->ShowReadings({}); // a run measures afresh
    m_history->Follow({});
    SetToolbarEnabled(true, true, false);
    ShowRunButton(IDC_STOP);
    LogLoudnessEvent("start");
    m_logTimer.start();
}

void CSonaltDlg::OnStop()
{
    if (IsAwaitingDevice()) {
        StopAwaiting();
        m_report->clear();
        return;
    }
    if (m_running != 1)
        return;
    if (m_engine->StopEngine() == CSndIOPlayList::kStopTimedOut)
        m_queue.PostMessage(WM_SNDIO_FINISHED, -1, 1); // the abandoned worker will not report
    else {
        m_keyboardOnRunButton = ToolbarButton(IDC_STOP).hasFocus();
        SetToolbarEnabled(false, false, false); // until the engine's own report arrives
    }
}

void CSonaltDlg::OnFinished()
{
    // A run that ended by itself says why (a device unplugged, a server gone), so that stopped
    // needles are never mistaken for silence.
    const int32_t status = m_engine->GetStatus();
    if (m_running == 1) {
        m_logTimer.stop();
        LogLoudnessEvent("stop");
    }
    m_report->setText(EngineStatusText(status));
    m_running = 0;
    SetToolbarEnabled(true, true, true);
    ShowRunButton(IDC_START);
    m_engine->StopEngine();
    m_running = 0;
    // A device that went away (or, once one has, is not back yet) is awaited: an unattended
    // meter screen meters again by itself when the interface or the server returns.
    const bool lost = status == CSndIOPlayList::kStatusDeviceLost
        || status == CSndIOPlayList::kStatusTransferFailed;
    const bool notBack = m_resumeAfterLoss
        && (status == CSndIOPlayList::kStatusNoDevice
            || status == CSndIOPlayList::kStatusStartFailed);
    // The reference level's own run (its dialog open) is not metering: nothing is awaited.
    if ((lost || notBack) && !m_sessionEnding && !m_referenceOpen)
        AwaitDevice(EngineStatusText(status));
}

// The report line says what happened; the stop button ends the wait.
void CSonaltDlg::AwaitDevice(const QString& reason)
{
    m_resumeAfterLoss = true;
    m_report->setText(reason + QStringLiteral(" 戻りしだい計測を再開します。"));
    SetToolbarEnabled(false, true, false);
    ShowRunButton(IDC_STOP);
    m_awaitTimer.start();
}

void CSonaltDlg::StopAwaiting()
{
    m_awaitTimer.stop();
    m_resumeAfterLoss = false;
    SetToolbarEnabled(true, true, true);
    ShowRunButton(IDC_START);
}

void CSonaltDlg::OnAwaitTick()
{
    if (m_running != 0 || !DeviceAvailable())
        return;
    m_awaitTimer.stop();
    ShowRunButton(IDC_START);
    OnStart();
}

// The configured device is listed (by its name) and can be opened.
bool CSonaltDlg::DeviceAvailable() const
{
    return kerrion::LocateOpenableDevice(
               m_settings.Device.Type, m_settings.Device.ID, m_settings.Device.Name)
        >= 0;
}

void CSonaltDlg::OnPeakHold(int type)
{
    for (CDlgMeter* meter : m_meters) {
        meter->ResetPeak();
        meter->SetHoldMs(kerrion::HoldMsForType(type));
    }
    m_holdChoice[static_cast<std::size_t>(type)]->setChecked(true);
    m_settings.PeakHold.type = type;
    emit SettingsEdited();
}

QString CSonaltDlg::EngineReport() const { return m_report->text(); }

int CSonaltDlg::PeakHoldChoice() const
{
    for (int i = 0; i < 3; ++i)
        if (m_holdChoice[static_cast<std::size_t>(i)]->isChecked())
            return i;
    return -1;
}

void CSonaltDlg::OnToggleDisplay(int meter)
{
    CDlgMeter& target = Meter(meter);
    target.SetDisplayOn(target.DisplayOn() == 0 ? 1 : 0);
    target.update();
    emit SettingsEdited();
}

// Opens and selects the configured device once, as a check at start-up and after the device
// dialog; the result is kept but nothing reads it.
void CSonaltDlg::ProbeDevice()
{
    m_probedChannels = 0;
    const int32_t index = kerrion::LocateDevice(
        m_settings.Device.Type, m_settings.Device.ID, m_settings.Device.Name);
    std::unique_ptr<CSndIODevice> device = kerrion::CreateSndIODevice(m_settings.Device.Type);
    if (index >= 0 && device && device->Initialize() == 1)
        m_probedChannels = device->SelectDevice(static_cast<uint32_t>(index));
}

// The device the user chose, found by its name where it is listed now (the record's index is
// updated); false, with the report line naming it, when it is not there: another device is never
// metered in its place.
bool CSonaltDlg::LocateConfiguredDevice()
{
    const int32_t index = kerrion::LocateDevice(
        m_settings.Device.Type, m_settings.Device.ID, m_settings.Device.Name);
    if (index < 0) {
        m_report->setText(
            QStringLiteral("デバイス「%1」が見つかりません。接続とデバイス設定を確認してください。")
                .arg(QString::fromStdString(m_settings.Device.Name)));
        return false;
    }
    if (index != m_settings.Device.ID) {
        m_settings.Device.ID = index;
        emit SettingsEdited();
    }
    return true;
}

void CSonaltDlg::OnBrightness()
{
    const QString text = QStringLiteral("NVIDIAコントロールパネルを開きます。\nメニューの「プロフィ"
                                        "ール」－「読み込み」から輝度ファイルを選択してください。");
    if (ShowMessage(this, text, QMessageBox::Information, QMessageBox::Ok | QMessageBox::Cancel)
        != QMessageBox::Ok)
        return;
    if (!QProcess::startDetached(QString::fromLatin1(kBrightnessProgram), {}))
        ShowMessage(this, QStringLiteral("nvidia-settings が起動できません"));
}

void CSonaltDlg::accept() { }

void CSonaltDlg::reject()
{
    if (m_sessionEnding) {
        EndSession();
        return;
    }
    if (m_running == 1) {
        ShowMessage(this, QStringLiteral("停止してから終了してください。"));
        return;
    }
    QDialog::reject();
}

void CSonaltDlg::EndSession()
{
    m_sessionEnding = true;
    m_awaitTimer.stop();
    m_engine->StopEngine();
    if (m_running == 1) {
        m_logTimer.stop();
        LogLoudnessEvent("stop");
    }
    m_running = 0;
    // Each dialog's own modal run returns once it is done; this window's run then ends too.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(window);
        if (dialog != nullptr && dialog != this && dialog->isVisible())
            dialog->done(QDialog::Rejected);
    }
    QDialog::done(QDialog::Rejected);
}

void CSonaltDlg::ShowReport(const QString& text) { m_report->setText(text); }

void CSonaltDlg::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key >= Qt::Key_F1 && key <= Qt::Key_F9 && event->modifiers() == Qt::NoModifier) {
        OnCommand(ID_TOGGLE_METER1 + (key - Qt::Key_F1));
        event->accept();
        return;
    }
    if (key == Qt::Key_H && event->modifiers() == Qt::NoModifier) {
        // The meters make room for the loudness history, or take it back.
        m_settings.Loudness.History = m_settings.Loudness.History == 1 ? 0 : 1;
        ApplyLoudnessSettings();
        emit SettingsEdited();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
