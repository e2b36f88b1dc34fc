#pragma once

// The application object: decides whether this process is the only running Kerrion of its user,
// prepares the process, loads the settings, runs the main window modally for the whole working
// time and keeps the settings on disk. User-interface (main) thread only.
//
// A day rarely ends with the close button, so the settings are saved at every end: when the
// window closes, at a termination signal (SIGTERM, SIGINT, SIGHUP), when the session manager
// asks the program to save before a logout, when the display server goes away (Qt's ending by
// exit() from an X server, its warning before _exit() from a Wayland compositor) and, so that
// even SIGKILL or a power cut costs at most a moment's changes, about a second after every change
// the main window reports. A file that could not be read at start is never written in that run.

#include "app/SettingsFile.h"
#include "app/SettingsRecord.h"

#include <QApplication>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <optional>

class CInstanceGuard;
class CSonaltDlg;
class CTerminationSignals;
class QSessionManager;
class QSocketNotifier;

class CSonaltApp : public QApplication {
    Q_OBJECT

public:
    enum class StartResult { kEnd, kRun };

    CSonaltApp(int& argc, char** argv);
    ~CSonaltApp() override;

    // Uses `path` instead of the per-user Kerrion.ini (the --ini option).
    void SetSettingsFile(std::filesystem::path path) { m_iniFile = std::move(path); }
    // Uses `folder` for the single-instance lock and socket instead of the run-time folder.
    void SetInstanceFolder(std::filesystem::path folder) { m_instanceFolder = std::move(folder); }

    // The whole start-up and working time: returns false, always, once the main window has
    // closed or when this process is a second instance (the notice is then handed on).
    bool InitInstance();
    // Saves the settings when they were loaded (Meter/Num above 0), releases the marker.
    int ExitInstance();

    // The first part of InitInstance: the single-instance decision, the locale and the
    // settings. kRun when the main window is to be run.
    StartResult StartUp();
    void LoadSettings();
    // Writes the record when something in it changed since the file was written; never over a
    // file that could not be read at start. 1 when the file holds the record.
    int SaveSettings();
    // Why the settings file is left alone in this run; empty when it is not.
    const std::string& SettingsProblem() const { return m_settingsProblem; }

    CSettingsRecord& Settings() { return m_settings; }
    CSonaltDlg* MainWindow() const { return m_mainWnd; }
    // Runs the main window modally; returns when it closes.
    void RunMainWindow();

    // The session is ending (the session manager's request to save, a termination signal):
    // saves at once and ends the main window without asking, metering or not.
    void EndSession();
    // The session manager asked to save before a logout or a shutdown: saves at once, and the
    // close requests that follow are no longer refused, metering or not.
    void PrepareForSessionEnd();

    // Saves the settings of the running application, if any, as the process ends.
    static void SaveAtExit();

private:
    void OnNotice();
    void OnTerminationSignal();
    void OnCommitData(QSessionManager& manager);
    void ChooseDeviceOnFirstStart();
    void WatchTerminationSignals();

    CSettingsRecord m_settings;
    std::optional<std::filesystem::path> m_iniFile;
    std::filesystem::path m_instanceFolder; // empty: the user's run-time folder
    std::unique_ptr<CInstanceGuard> m_guard;
    std::unique_ptr<QSocketNotifier> m_noticeWatch;
    std::unique_ptr<CTerminationSignals> m_signals;
    std::unique_ptr<QSocketNotifier> m_signalWatch;
    QTimer m_saveTimer;              // a change waits this long for the ones that follow it
    std::string m_settingsProblem;   // the file could not be read: why; it is then never written
    bool m_sessionEnding = false;    // a signal or the session manager ends the run
    CSonaltDlg* m_mainWnd = nullptr; // while the main window runs
};
