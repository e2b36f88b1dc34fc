#pragma once

// The application object: decides whether this process is the only running Kerrion of its user,
// prepares the process, loads the settings, runs the main window modally for the whole working
// time and saves the settings when it closes. User-interface (main) thread only.

#include "app/SettingsRecord.h"

#include <QApplication>

#include <filesystem>
#include <memory>
#include <optional>

class CInstanceGuard;
class CSonaltDlg;
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
    void SaveSettings();

    CSettingsRecord& Settings() { return m_settings; }
    CSonaltDlg* MainWindow() const { return m_mainWnd; }
    // Runs the main window modally; returns when it closes.
    void RunMainWindow();

private:
    void OnNotice();
    void ChooseDeviceOnFirstStart();

    CSettingsRecord m_settings;
    std::optional<std::filesystem::path> m_iniFile;
    std::filesystem::path m_instanceFolder; // empty: the user's run-time folder
    std::unique_ptr<CInstanceGuard> m_guard;
    std::unique_ptr<QSocketNotifier> m_noticeWatch;
    CSonaltDlg* m_mainWnd = nullptr; // while the main window runs
};
