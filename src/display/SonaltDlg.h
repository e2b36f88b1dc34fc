#pragma once

// The main window: covers the monitor under the mouse (in the full-screen state) with a dark
// background, carries the tool bar (start, stop, settings, close), owns the eight meter windows
// and their static faces, owns the metering engine, turns the engine's levels into needle
// positions and rebuilds the meters whenever a settings dialog reports a change.
//
// Threads: user-interface thread only. The engine's worker posts its messages into m_queue,
// which the pump delivers here in order; dialogs call PostMessage on this window directly and
// have their message handled at once, as a sent window message would be.

#include "display/geometry/MeterLayout.h"
#include "display/geometry/Shapes.h"
#include "meter/LoudnessLog.h"
#include "meter/LoudnessStandard.h"
#include "meter/SndIOPlayList.h"
#include "platform/messages/MessageQueue.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QRegion>
#include <QTimer>

#include <array>
#include <memory>
#include <utility>

class CDlgMeter;
class CImageButton;
class CLoudnessHistoryView;
class CLoudnessReadout;
class CQtMessagePump;
class CSettingsRecord;
class MeterFaceSurface;
class QLabel;
class QRadioButton;
class QTableWidget;

class CSonaltDlg : public QDialog, public CNotifyTarget {
    Q_OBJECT

public:
    // Control and command IDs of the window.
    static constexpr int IDC_CLOSE = 2;
    static constexpr int IDC_START = 1002;
    static constexpr int IDC_STOP = 1003;
    static constexpr int IDC_DEVICE = 1005;
    static constexpr int IDC_REFERENCE = 1006;
    static constexpr int IDC_LIST = 1007;
    static constexpr int IDC_HOLD_NONE = 1008; // 1009 two seconds, 1010 four seconds
    static constexpr int IDC_ASSIGN = 1011;
    static constexpr int IDC_BRIGHTNESS = 1012;
    static constexpr int IDC_DISPLAY = 1013;
    static constexpr int IDC_SETTINGS = 1014;
    static constexpr int ID_TOGGLE_METER1 = 32771; // F1 .. F8: 32771 .. 32778
    static constexpr int ID_F9 = 32779;            // bound, handled by no window

    static constexpr uint32_t WM_SECOND_INSTANCE = WM_USER + 2;
    static constexpr uint32_t WM_SETTINGS_CHANGED = WM_USER + 3;

    // The window over `settings`, which must outlive it. Sets itself up at once (the meters,
    // their faces, the layout, the engine, the device probe) and shows the meters.
    explicit CSonaltDlg(CSettingsRecord& settings, QWidget* parent = nullptr);
    ~CSonaltDlg() override;

    // Dialogs and the application: the message is handled before this returns.
    bool PostMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override;
    // Dispatches one window message (the engine's, the dialogs' forwarded commands, WM_USER+2
    // and +3) and returns its result.
    intptr_t WindowProc(uint32_t message, intptr_t wParam, intptr_t lParam);
    // Runs the handler of a command (a tool bar button, F1..F8, a forwarded control ID).
    void OnCommand(int id);

    // The moving parts of a meter, in degrees, and whether two states look alike on screen
    // (a meter is repainted only when its state no longer does).
    struct NeedleState {
        double vuPos = -1.0;
        double peakPos = -1.0;
        double holdPos = -1.0;
        int lampOn = -1;
        bool operator==(const NeedleState&) const = default;
    };
    static NeedleState StateOf(const CDlgMeter& meter);
    static bool SameOnScreen(const NeedleState& a, const NeedleState& b);

    // What tests and the application look at.
    CDlgMeter& Meter(int index) const { return *m_meters[static_cast<std::size_t>(index)]; }
    CImageButton& ToolbarButton(int id) const;
    bool IsRunning() const { return m_running != 0; }
    // A device went away during metering and is awaited, to meter again once it is back.
    bool IsAwaitingDevice() const { return m_awaitTimer.isActive(); }
    const kerrion::MeterLayout& Layout() const { return m_layout; }
    const QRect& MonitorRect() const { return m_monitor; }
    const CSndIOPlayList& Engine() const { return *m_engine; }
    const QTableWidget& MeterList() const { return *m_list; }
    const CLoudnessReadout& LoudnessReadout() const { return *m_loudness; }
    const CLoudnessHistoryView& LoudnessHistory() const { return *m_history; }
    // Why the last run ended, when it ended with a failure; empty otherwise.
    QString EngineReport() const;
    int PeakHoldChoice() const;
    std::array<double, 8>& Captured() { return m_captured; }
    CMessageQueue& EngineQueue() { return m_queue; }
    // Takes every message the engine has posted so far (the event loop does it by itself).
    void PumpMessages();
    // Another start of the program: this window comes forward with its meters, and the mouse
    // goes to the start button.
    void BringToFront();

    // Shows `text` in the report line beside the tool bar (a notice of the application's).
    void ShowReport(const QString& text);

    // The session is ending: from now on a close request (the session's own, or the user's)
    // stops metering and closes instead of being refused.
    void AllowSessionEnd() { m_sessionEnding = true; }
    // Ends the window now: stops metering, closes every dialog and message box over it and
    // closes without asking.
    void EndSession();

    void accept() override; // Enter never closes the window
    // Esc, the close button, the window manager's close: closes unless metering (or, once the
    // session is ending, always).
    void reject() override;

signals:
    // Something the settings file keeps was changed (a dialog, the peak hold choice, F1-F8).
    void SettingsEdited();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Set-up, layout, levels, settings (SonaltDlg.cpp).
    void OnInitDialog();
    void CreateToolbar();
    void CreateHiddenControls();
    // Placement (SonaltDlgPlacement.cpp).
    static bool PlatformPlacesWindows(); // false on Wayland: the compositor places windows
    QRect FindMonitorRect() const;
    void PlaceWindow();
    void ShowOnMonitor(const QRect& rect);
    kerrion::MeterLayout LayoutWithHistory(const QRect& rect, int count);
    void ComputeLayout(const QRect& rect, int count);
    void PlaceMeter(CDlgMeter& meter, bool embedded, const QPoint& screenPos);
    void Relayout();
    void RaiseStandaloneMeters();
    void OnSecondInstance();
    void WatchDisplayChanges();
    void ApplyLoudnessSettings();
    kerrion::LoudnessStandard ChosenStandard() const;
    void PlaceTopRow();
    void PrepareEngine();
    bool ChannelDelivered(int meter) const;
    void RenderFaces(int reloadMeter, bool initial);
    void RebuildSweepRegion();
    void OnLevels();
    void ScheduleRepaint();
    void ClearFramePeaks();
    void RepaintNeedles();
    void ApplySettings(intptr_t focusWindow, intptr_t meter);
    void FillMeterList();

    // Commands (SonaltDlgCommands.cpp).
    void OnStart();
    void OnStarted();
    void OnStop();
    void OnFinished();
    void AwaitDevice(const QString& reason);
    void OnAwaitTick();
    void StopAwaiting();
    bool DeviceAvailable() const;
    void OnReferenceLevel();
    void OnPeakHold(int type);
    void OnToggleDisplay(int meter);
    void ProbeDevice();
    bool LocateConfiguredDevice();
    void OnDeviceDialog();
    void OnAssignDialog();
    intptr_t OnMeterSettings(int row);
    void OnConfigDialog();
    void OnBrightness();
    void SetToolbarEnabled(bool start, bool stop, bool settings);
    void ShowRunButton(int id); // IDC_START or IDC_STOP
    bool ForwardedCommand(uint32_t message, intptr_t wParam, intptr_t& result);
    // The session log (SonaltDlgLog.cpp).
    void LogLoudnessEvent(const char* event);
    void OnLogTick();
    void ReportLogFailure();

    CSettingsRecord& m_settings;
    std::array<CDlgMeter*, 8> m_meters {};                    // children of this window
    std::array<std::unique_ptr<MeterFaceSurface>, 8> m_faces; // the whole scaled face
    QRegion m_sweepRegion;                                    // shared by all meters
    QTimer m_repaintTimer; // folds the needle repaints of many level messages into one frame
    QTimer m_awaitTimer;   // while a lost device is awaited: looks for it once a second
    QTimer m_logTimer;     // while metering: a line of the session log once a second
    kerrion::LoudnessLog m_loudnessLog; // Kerrion-YYYY-MM-DD.csv in the data folder
    bool m_logFailureShown = false;     // a write failed and the report line said so, this run
    bool m_resumeAfterLoss = false;     // a device was lost: metering resumes once it is back
    bool m_keyboardOnRunButton = false; // the start or stop button had it when it was disabled
    QElapsedTimer m_lastRepaint;
    int m_frameIntervalMs = 33;              // 1000 / Meter/FrameRate
    std::array<NeedleState, 8> m_painted {}; // what each meter showed at its last repaint
    std::array<double, 8> m_framePeakDb {};  // the highest peak read since the last repaint
    // The printed scale of each face, on which its needle is placed.
    std::array<kerrion::NeedleType, 8> m_faceTypes {};
    CMessageQueue m_queue;                    // the engine's notify target
    std::unique_ptr<CQtMessagePump> m_pump;   // m_queue -> WindowProc
    std::unique_ptr<CSndIOPlayList> m_engine; // stopped before m_queue goes
    std::array<int32_t, 8> m_channelMap {};   // device channel per meter
    int32_t m_deliveredChannels = 0;          // input channels of the run, from its start
    uint8_t m_running = 0;                    // WM_SNDIO_STARTED .. FINISHED
    CSndIOPlayList::DumpConfig m_dump;        // disabled: never dumps
    uint8_t m_mute = 0;
    int32_t m_repeatCount = 0;
    double m_gainDb = 0.0;
    std::array<double, 8> m_calVu {};    // reference levels for the dialog
    std::array<double, 8> m_captured {}; // dBFS reading 0 VU, while open
    bool m_referenceOpen = false;        // the reference dialog runs
    bool m_sessionEnding = false;        // a close is no longer refused
    intptr_t m_lastSegment = 0;          // nothing reads it
    int m_probedChannels = 0;            // nothing reads it
    QRect m_monitor { 0, 0, 1360, 768 };
    kerrion::MeterLayout m_layout;
    std::array<CImageButton*, 4> m_toolbar {};    // start, stop, settings, close
    std::array<QRadioButton*, 3> m_holdChoice {}; // hidden: the peak hold choice
    QTableWidget* m_list = nullptr;               // hidden meter summary
    QLabel* m_report = nullptr; // beside the tool bar: why the last run ended, if it failed
    CLoudnessReadout* m_loudness = nullptr;    // in the top row, before the close button
    CLoudnessHistoryView* m_history = nullptr; // below the meters, in m_historyArea
    QRect m_historyArea;                       // empty: the graph is not shown
    std::pair<int, int> m_historyLaidOutFor;   // Loudness/Show and History of m_historyArea
};
