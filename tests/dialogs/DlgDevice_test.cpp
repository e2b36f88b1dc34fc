// The device dialog over the real driver registry and plug-in loading (the signal generator
// registered under two names) and a plain family of three devices.

#include "dialogs/DlgDevice.h"
#include "sndio/SndIODevice.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include "DialogTestSupport.h"
#include "RecordingTarget.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <filesystem>

using kerrion::test::ChooseItem;
using kerrion::test::ScopedEnv;
using kerrion::test::ShowAndWait;

namespace {

constexpr const char* kSignalId = "{8D3C5A6E-2B71-4F0A-9E43-6C1D2F7B5A90}";

// Three plain devices; device i has 1 + i input channels and 2 output channels at 44.1 kHz.
class ThreePlainDevices : public CSndIODevice {
public:
    int Initialize() override
    {
        CSndIODevice::Initialize();
        m_deviceKind = kKindWave;
        for (const char* name : { "Line In (USB Audio)", "Mic Array", "HDMI Capture" })
            AddDeviceName(name);
        return 1;
    }
    int SelectDevice(uint32_t index) override
    {
        m_opened = 0;
        if (index >= m_deviceCount)
            return 0;
        m_deviceIndex = index;
        m_opened = 1;
        InputStream().m_availableChannels = 1 + index;
        OutputStream().m_availableChannels = 2;
        OutputStream().m_bufferFrames = 4096;
        InputStream().m_sampleRate = 44100.9; // shown cut to an integer
        return 1;
    }
};

std::unique_ptr<CSndIODevice> MakeThreePlainDevices()
{
    return std::make_unique<ThreePlainDevices>();
}

class DlgDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The generator registered as two drivers.
        std::string reg = "Windows Registry Editor Version 5.00\n";
        for (const char* name : { "Signal A", "Signal B" })
            reg += std::string("[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\") + name + "]\n\"CLSID\"=\""
                + kSignalId + "\"\n";
        reg += std::string("[HKEY_CLASSES_ROOT\\CLSID\\") + kSignalId + "\\InprocServer32]\n@=\""
            + KERRION_SIGNAL_DRIVER + "\"\n";
        kerrion::test::WriteFileBytes(m_dir / "asio.reg", reg);
        kerrion::test::WriteFileBytes(
            m_dir / "signal.ini", "[Signal]\nInputs=6\nOutputs=2\nRate=44100\nBufferFrames=256\n");
        m_registry
            = std::make_unique<ScopedEnv>("KERRION_ASIO_REGISTRY", (m_dir / "asio.reg").c_str());
        m_signal
            = std::make_unique<ScopedEnv>("KERRION_SIGNAL_CONFIG", (m_dir / "signal.ini").c_str());
        CDlgDevice::SetPlainDeviceFactory(&MakeThreePlainDevices);
    }
    void TearDown() override { CDlgDevice::SetPlainDeviceFactory(nullptr); }

    std::unique_ptr<CDlgDevice> Open(int type, int id, const std::string& name)
    {
        return std::make_unique<CDlgDevice>(m_settings, &m_target, type, id, name);
    }
    static QStringList Entries(CDlgDevice& dialog)
    {
        auto* list = dialog.ControlAs<QComboBox>(CDlgDevice::kIdDeviceList);
        QStringList entries;
        for (int i = 0; i < list->count(); ++i)
            entries << list->itemText(i);
        return entries;
    }
    static QString Information(CDlgDevice& dialog)
    {
        return dialog.ControlAs<QPlainTextEdit>(CDlgDevice::kIdInformation)->toPlainText();
    }

    kerrion::test::TempDir m_dir;
    std::unique_ptr<ScopedEnv> m_registry;
    std::unique_ptr<ScopedEnv> m_signal;
    CSettingsRecord m_settings;
    kerrion::test::RecordingTarget m_target;
};

} // namespace

TEST_F(DlgDevice, DriversComeFirstThenThePlainDevices)
{
    auto dialog = Open(1, 1, "");
    EXPECT_EQ(Entries(*dialog),
        (QStringList {
            "Signal A", "Signal B", "Line In (USB Audio)", "Mic Array", "HDMI Capture" }));
    EXPECT_EQ(dialog->SelectedPosition(), 3) << "plain device 1 after the two drivers";
    EXPECT_FALSE(dialog->Control(CDlgDevice::kIdProperties)->isEnabled());
    EXPECT_EQ(Information(*dialog),
        QStringLiteral(
            "number of channels: input: 2, output: 2\nBuffer Size: 4096\nSample Rate: 44100 Hz\n"));

    ASSERT_TRUE(ShowAndWait(*dialog));
    QTest::mouseClick(dialog->Control(CDlgDevice::kIdOk), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->Type(), 1);
    EXPECT_EQ(dialog->ID(), 1);
    EXPECT_EQ(dialog->Name(), "Mic Array");
}

TEST_F(DlgDevice, ChoosingAnEntryShowsItsFiguresAndTheDriversProperties)
{
    auto dialog = Open(2, 0, "Signal A");
    EXPECT_EQ(dialog->SelectedPosition(), 0);
    EXPECT_TRUE(dialog->Control(CDlgDevice::kIdProperties)->isEnabled());
    // The driver device asks for its preferred 48 kHz, which the generator accepts.
    EXPECT_EQ(Information(*dialog),
        QStringLiteral(
            "number of channels: input: 6, output: 2\nBuffer Size: 256\nSample Rate: 48000 Hz\n"));
    ASSERT_TRUE(ShowAndWait(*dialog));
    auto* list = dialog->ControlAs<QComboBox>(CDlgDevice::kIdDeviceList);
    ChooseItem(*list, 4);
    EXPECT_FALSE(dialog->Control(CDlgDevice::kIdProperties)->isEnabled());
    EXPECT_TRUE(Information(*dialog).startsWith(
        QStringLiteral("number of channels: input: 3, output: 2\n")));
    ChooseItem(*list, 1);
    EXPECT_TRUE(dialog->Control(CDlgDevice::kIdProperties)->isEnabled());
    EXPECT_TRUE(Information(*dialog).contains(QStringLiteral("Buffer Size: 256\n")));
    kerrion::test::PressKeyIn(list, Qt::Key_Return); // Enter is OK
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->Type(), 2);
    EXPECT_EQ(dialog->ID(), 1);
    EXPECT_EQ(dialog->Name(), "Signal B");
}

TEST_F(DlgDevice, TheStoredNameIsFoundAsAPrefixInAnyCaseFromTheSecondEntryOn)
{
    EXPECT_EQ(Open(1, 0, "mic")->SelectedPosition(), 3);
    EXPECT_EQ(Open(2, 0, "HDMI CAP")->SelectedPosition(), 4);
    // Both drivers begin with "signal": the search starts at the second entry.
    EXPECT_EQ(Open(2, 0, "signal")->SelectedPosition(), 1);
    EXPECT_EQ(Open(2, 1, "Signal A")->SelectedPosition(), 0) << "the first entry comes last";
    // A name no longer listed falls back to the stored index in its family.
    EXPECT_EQ(Open(1, 2, "Old Card Name")->SelectedPosition(), 4);
    EXPECT_EQ(Open(2, 1, "Gone Driver")->SelectedPosition(), 1);
    EXPECT_EQ(Open(0, 1, "")->SelectedPosition(), 1) << "an empty name finds nothing";

    const std::vector<std::string> entries { "abc", "ABD", "x" };
    EXPECT_EQ(CDlgDevice::FindPosition(entries, 2, 1, 0, "ab"), 1);
    EXPECT_EQ(CDlgDevice::FindPosition(entries, 2, 1, 0, "abc"), 0);
    EXPECT_EQ(CDlgDevice::FindPosition(entries, 2, 1, 0, "zz"), 2);
    EXPECT_EQ(CDlgDevice::FindPosition({}, 0, 1, 3, "zz"), 3);
}

TEST_F(DlgDevice, AStoredIndexBeyondTheListSelectsNothingAndOkKeepsTheStoredChoice)
{
    auto dialog = Open(1, 9, "Vanished USB Box");
    EXPECT_EQ(dialog->SelectedPosition(), -1);
    EXPECT_FALSE(dialog->Control(CDlgDevice::kIdProperties)->isEnabled());
    EXPECT_TRUE(Information(*dialog).startsWith(
        QStringLiteral("number of channels: input: 0, output: 0\n")));
    ASSERT_TRUE(ShowAndWait(*dialog));
    QTest::mouseClick(dialog->Control(CDlgDevice::kIdOk), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->Type(), 1);
    EXPECT_EQ(dialog->ID(), 9);
    EXPECT_EQ(dialog->Name(), "Vanished USB Box");
    EXPECT_EQ(Open(2, -4, "")->SelectedPosition(), -1);
}

TEST_F(DlgDevice, CancelKeepsTheStoredChoice)
{
    auto dialog = Open(2, 0, "Signal A");
    ASSERT_TRUE(ShowAndWait(*dialog));
    ChooseItem(*dialog->ControlAs<QComboBox>(CDlgDevice::kIdDeviceList), 2);
    QTest::mouseClick(dialog->Control(CDlgDevice::kIdCancel), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(dialog->Type(), 2);
    EXPECT_EQ(dialog->ID(), 0);
    EXPECT_EQ(dialog->Name(), "Signal A");
}

TEST_F(DlgDevice, WithoutAnyDeviceTheListIsEmpty)
{
    kerrion::test::WriteFileBytes(m_dir / "none.reg", "Windows Registry Editor Version 5.00\n");
    ScopedEnv none("KERRION_ASIO_REGISTRY", (m_dir / "none.reg").c_str());
    CDlgDevice::SetPlainDeviceFactory([]() -> std::unique_ptr<CSndIODevice> { return nullptr; });
    auto dialog = Open(2, 0, "Signal A");
    EXPECT_TRUE(Entries(*dialog).isEmpty());
    EXPECT_EQ(dialog->SelectedPosition(), -1);
    dialog->accept();
    EXPECT_EQ(dialog->Type(), 2);
    EXPECT_EQ(dialog->Name(), "Signal A");
}

TEST_F(DlgDevice, PropertiesOpensTheDriversControlPanel)
{
    // The generator's panel opens its settings file with xdg-open: a stand-in records the call.
    const auto bin = m_dir / "bin";
    std::filesystem::create_directories(bin);
    const auto marker = m_dir / "opened.txt";
    kerrion::test::WriteFileBytes(
        bin / "xdg-open", "#!/bin/sh\necho \"$1\" > '" + marker.string() + "'\n");
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    const std::string path = bin.string() + ":" + std::getenv("PATH");
    ScopedEnv searchPath("PATH", path.c_str());

    auto dialog = Open(2, 1, "Signal B");
    ASSERT_TRUE(ShowAndWait(*dialog));
    QTest::mouseClick(dialog->Control(CDlgDevice::kIdProperties), Qt::LeftButton);
    QElapsedTimer clock;
    clock.start();
    while (!std::filesystem::exists(marker) && clock.elapsed() < 5000)
        QTest::qWait(20);
    QTest::qWait(50);
    EXPECT_EQ(kerrion::test::ReadFileBytes(marker), (m_dir / "signal.ini").string() + "\n");
}

TEST_F(DlgDevice, PropertiesWithNothingToOpenTheFileSaysWhereItIs)
{
    // xdg-open finding no program for the file ends at once with status 3.
    const auto bin = m_dir / "bin";
    std::filesystem::create_directories(bin);
    kerrion::test::WriteFileBytes(bin / "xdg-open", "#!/bin/sh\nexit 3\n");
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    ScopedEnv searchPath("PATH", bin.c_str());

    auto dialog = Open(2, 1, "Signal B");
    ASSERT_TRUE(ShowAndWait(*dialog));
    // The message box runs its own loop inside the click; a timer that dies with the test reads
    // and closes it.
    QString shown;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->done(QMessageBox::Ok);
        }
    });
    poll.start(20);
    QTest::mouseClick(dialog->Control(CDlgDevice::kIdProperties), Qt::LeftButton);
    EXPECT_TRUE(shown.contains(QString::fromStdString((m_dir / "signal.ini").string())))
        << shown.toStdString();
}
