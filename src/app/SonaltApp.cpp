#include "app/SonaltApp.h"

#include "app/SettingsFile.h"
#include "display/SonaltDlg.h"
#include "meter/SndIODeviceFactory.h"
#include "platform/instance/InstanceGuard.h"
#include "platform/paths/DataPaths.h"

#include "KerrionResources.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTranslator>

#include <clocale>
#include <cstring>

namespace {

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
}

CSonaltApp::~CSonaltApp() = default;

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
    SetJapaneseLocale();
    LoadQtTranslation(*this);
    LoadSettings();
    return StartResult::kRun;
}

void CSonaltApp::RunMainWindow()
{
    CSonaltDlg window(m_settings);
    m_mainWnd = &window;
    window.exec();
    m_mainWnd = nullptr;
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
    if (m_settings.Meter.Num > 0)
        SaveSettings();
    m_noticeWatch.reset();
    m_guard.reset();
    return 0;
}

void CSonaltApp::LoadSettings()
{
    const std::filesystem::path path = m_iniFile ? *m_iniFile : kerrion::SettingsFilePath();
    std::error_code error;
    const bool firstStart = !std::filesystem::exists(path, error);
    kerrion::LoadSettingsFile(m_settings, path);
    if (firstStart)
        ChooseDeviceOnFirstStart();
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

void CSonaltApp::SaveSettings()
{
    if (m_iniFile)
        kerrion::SaveSettingsFile(m_settings, *m_iniFile);
    else
        kerrion::SaveUserSettings(m_settings);
}
