#include "app/SonaltApp.h"

#include "app/SettingsFile.h"
#include "display/SonaltDlg.h"
#include "meter/SndIODeviceFactory.h"
#include "platform/instance/InstanceGuard.h"
#include "platform/paths/DataPaths.h"
#include "platform/process/TerminationSignals.h"

#include "KerrionResources.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTranslator>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Changes come in bursts (a colour dragged, a dialog's fields one after another): the file is
// written once a burst has had this long to settle, well within the 2 s a lost change may cost.
constexpr int kSaveDelayMs = 1000;

// The application whose settings an exit() saves; set while the record is loaded and not yet
// saved for good.
CSonaltApp* g_savingApp = nullptr;

QtMessageHandler g_qtMessages = nullptr; // the handler before ours: it still prints everything

// Qt's Wayland platform ends the process with _exit() when the compositor goes away, which
// skips every handler registered with atexit(); the warning it prints just before, on the
// user-interface thread, is the last moment the settings can be saved.
void SaveBeforeLostCompositor(
    QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtDebugMsg && text.startsWith(QLatin1String("The Wayland connection")))
        CSonaltApp::SaveAtExit();
    if (g_qtMessages != nullptr)
        g_qtMessages(type, context, text);
}

// Japanese texts and conventions, with "." kept as the decimal point of every number the
// program reads or writes.
void SetJapaneseLocale()
{
    if (std::setlocale(LC_ALL, "ja_JP.UTF-8") == nullptr)
        std::setlocale(LC_ALL, "C.UTF-8");
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
}

// Qt's own texts (the colour chooser's buttons, message box buttons) in Japanese too.
void LoadQtTranslation(QCoreApplication& app)
{
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
            QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace

CSonaltApp::CSonaltApp(int& argc, char** argv)
    : QApplication(argc, argv)
{
    KerrionInitResources();
    setApplicationName(QStringLiteral("Kerrion"));
    setWindowIcon(QIcon(QStringLiteral(":/kerrion/icon.png")));
    setOrganizationName(QStringLiteral("Marvane"));
    setQuitOnLastWindowClosed(false); // the modal run of the main window decides the end
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(kSaveDelayMs);
    connect(&m_saveTimer, &QTimer::timeout, this, &CSonaltApp::SaveSettings);
    connect(this, &QGuiApplication::commitDataRequest, this, &CSonaltApp::OnCommitData,
        Qt::DirectConnection);
}

CSonaltApp::~CSonaltApp()
{
    if (g_savingApp == this)
        g_savingApp = nullptr;
}

bool CSonaltApp::InitInstance()
{
    if (StartUp() == StartResult::kRun)
        RunMainWindow();
    return false;
}

CSonaltApp::StartResult CSonaltApp::StartUp()
{
    m_guard = std::make_unique<CInstanceGuard>("_SONALT_EXE", m_instanceFolder);
    switch (m_guard->Acquire()) {
    case CInstanceGuard::Role::kFailed:
        m_guard.reset();
        return StartResult::kEnd;
    case CInstanceGuard::Role::kSecond:
        m_guard->NotifyFirst(); // a first instance still starting is not notified
        return StartResult::kEnd;
    case CInstanceGuard::Role::kFirst:
        break;
    }
    if (m_guard->NoticeDescriptor() >= 0) {
        m_noticeWatch
            = std::make_unique<QSocketNotifier>(m_guard->NoticeDescriptor(), QSocketNotifier::Read);
        connect(m_noticeWatch.get(), &QSocketNotifier::activated, this, &CSonaltApp::OnNotice);
    }
    WatchTerminationSignals();
    SetJapaneseLocale();
    LoadQtTranslation(*this);
    LoadSettings();
    return StartResult::kRun;
}

void CSonaltApp::RunMainWindow()
{
    CSonaltDlg window(m_settings);
    m_mainWnd = &window;
    connect(&window, &CSonaltDlg::SettingsEdited, &m_saveTimer, [this] {
        if (!m_saveTimer.isActive())
            m_saveTimer.start();
    });
    if (!m_settingsProblem.empty())
        window.ShowReport(
            QStringLiteral("設定ファイルを読めません（%1）。この実行では保存しません。")
                .arg(QString::fromStdString(m_settingsProblem)));
    if (!m_sessionEnding)
        window.exec();
    m_mainWnd = nullptr;
}

void CSonaltApp::WatchTerminationSignals()
{
    m_signals = std::make_unique<CTerminationSignals>();
    if (!m_signals->IsValid())
        return;
    m_signalWatch
        = std::make_unique<QSocketNotifier>(m_signals->Descriptor(), QSocketNotifier::Read);
    connect(
        m_signalWatch.get(), &QSocketNotifier::activated, this, &CSonaltApp::OnTerminationSignal);
}

void CSonaltApp::OnTerminationSignal()
{
    if (m_signals->TakeSignal() != 0)
        EndSession();
}

// The session manager asks every program to save before a logout or a shutdown; the windows
// are closed (or the program told to quit) afterwards, and the close must then not be refused.
void CSonaltApp::OnCommitData(QSessionManager&) { PrepareForSessionEnd(); }

void CSonaltApp::PrepareForSessionEnd()
{
    SaveSettings();
    m_sessionEnding = true;
    if (m_mainWnd != nullptr)
        m_mainWnd->AllowSessionEnd();
}

void CSonaltApp::EndSession()
{
    m_sessionEnding = true;
    SaveSettings();
    if (m_mainWnd != nullptr)
        m_mainWnd->EndSession();
}

// Another instance was started: bring this one to the front and show the user where to start.
void CSonaltApp::OnNotice()
{
    if (!m_guard->TakeNotices() || m_mainWnd == nullptr)
        return;
    m_mainWnd->BringToFront();
}

int CSonaltApp::ExitInstance()
{
    m_saveTimer.stop();
    if (m_settings.Meter.Num > 0)
        SaveSettings();
    if (g_savingApp == this)
        g_savingApp = nullptr;
    m_signalWatch.reset();
    m_signals.reset();
    m_noticeWatch.reset();
    m_guard.reset();
    return 0;
}

void CSonaltApp::LoadSettings()
{
    const std::filesystem::path path = m_iniFile ? *m_iniFile : kerrion::SettingsFilePath();
    std::error_code error;
    const bool firstStart = !std::filesystem::exists(path, error) && !error;
    const kerrion::SettingsLoad load = kerrion::LoadSettingsFile(m_settings, path);
    m_settingsProblem.clear();
    if (load.unreadable) {
        m_settingsProblem = path.string() + ": " + load.reason;
        std::fprintf(stderr,
            "kerrion: the settings file %s cannot be read (%s); it is left as it is and nothing "
            "is saved in this run\n",
            path.c_str(), load.reason.c_str());
    }
    if (firstStart)
        ChooseDeviceOnFirstStart();
    if (g_savingApp == nullptr) {
        g_savingApp = this;
        static const bool registered = std::atexit(&CSonaltApp::SaveAtExit) == 0;
        static_cast<void>(registered);
        static const QtMessageHandler previous = qInstallMessageHandler(&SaveBeforeLostCompositor);
        g_qtMessages = previous;
    }
}

// Qt ends the process with exit() when the display connection to an X server is lost, and with
// _exit() after a warning when a Wayland compositor goes away (SaveBeforeLostCompositor): the
// settings are saved on the way out, as any other end saves them.
void CSonaltApp::SaveAtExit()
{
    if (g_savingApp != nullptr)
        g_savingApp->SaveSettings();
}

// A first start on a machine without any plain audio input (no sound card) meters the signal
// generator, so that the program shows what it does; the user picks a device later as usual.
void CSonaltApp::ChooseDeviceOnFirstStart()
{
    if (m_settings.Device.Type == 2)
        return;
    std::unique_ptr<CSndIODevice> plain = kerrion::CreateSndIODevice(m_settings.Device.Type);
    if (plain && plain->Initialize() == 1 && plain->DeviceCount() > 0)
        return;
    std::unique_ptr<CSndIODevice> drivers = kerrion::CreateSndIODevice(2);
    if (!drivers || drivers->Initialize() != 1)
        return;
    char names[CSndIODevice::kListedNames][CSndIODevice::kNameLength] = {};
    const int count = drivers->GetDeviceNames(names);
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(names[i], "Kerrion Signal Generator") == 0) {
            m_settings.Device.Type = 2;
            m_settings.Device.ID = i;
            m_settings.Device.Name = names[i];
            return;
        }
    }
}

int CSonaltApp::SaveSettings()
{
    if (!m_settingsProblem.empty())
        return 0;
    return m_iniFile ? kerrion::SaveSettingsFile(m_settings, *m_iniFile)
                     : kerrion::SaveUserSettings(m_settings);
}
