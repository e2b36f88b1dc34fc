#include "display/SonaltDlg.h"

#include "MainWindowTestSupport.h"
#include "dialogs/ImageButton.h"
#include "display/DlgMeter.h"
#include "display/LoudnessReadout.h"
#include "support/ScopedEnv.h"
#include "tools/MeterOutput.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <QElapsedTimer>

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <thread>

using kerrion::test::MeterSettings;
using kerrion::test::TempDir;
using kerrion::test::WaitFor;

namespace {

// A main window metering the signal generator (device family 2, index 0) at real-time speed.
class SonaltDlgCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        kerrion::test::WriteFileBytes(
            m_dir / "signal.ini", "[Signal]\nInputs=8\nBufferFrames=512\n");
        qputenv(
            "KERRION_SIGNAL_CONFIG", QByteArray::fromStdString((m_dir / "signal.ini").string()));
        QCursor::setPos(300, 200);
    }

    static CSettingsRecord Settings() { return MeterSettings(4, "[Device]\nType=2\nID=0\n"); }

    static bool Shown(const CSonaltDlg& window, int id)
    {
        return !window.ToolbarButton(id).isHidden();
    }
    static bool Enabled(const CSonaltDlg& window, int id)
    {
        return window.ToolbarButton(id).isEnabled();
    }

    // Closes the next modal window that opens and keeps its text.
    void CloseNextModal()
    {
        QTimer::singleShot(50, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                m_modalText = box->text();
            if (modal != nullptr)
                static_cast<QDialog*>(modal)->reject();
            else
                CloseNextModal(); // not open yet
        });
    }

    TempDir m_dir;
    QString m_modalText;
};

} // namespace

TEST_F(SonaltDlgCommands, StartAndStopFollowTheEngine)
{
    CSettingsRecord settings = Settings();
    settings.Channel[1].device_ch = 0;
    settings.Channel[1].meter_type = "ppm-nordic";
    CSonaltDlg window(settings);
    window.OnCommand(CSonaltDlg::IDC_START);
    EXPECT_FALSE(Enabled(window, CSonaltDlg::IDC_START));
    EXPECT_FALSE(Enabled(window, CSonaltDlg::IDC_STOP));
    EXPECT_FALSE(Enabled(window, CSonaltDlg::IDC_SETTINGS));

    ASSERT_TRUE(WaitFor([&] { return window.IsRunning(); }));
    EXPECT_TRUE(Shown(window, CSonaltDlg::IDC_STOP));
    EXPECT_FALSE(Shown(window, CSonaltDlg::IDC_START));
    EXPECT_TRUE(Enabled(window, CSonaltDlg::IDC_STOP));
    EXPECT_FALSE(Enabled(window, CSonaltDlg::IDC_SETTINGS));

    // Input 1 is a 1 kHz sine at -20 dBFS: the needle settles at 0 VU, and on meter 2, which
    // reads it on the Nordic scale, at TEST.
    EXPECT_TRUE(WaitFor([&] { return std::abs(window.Meter(0).VuPos() - 57.4) < 1.0; }));
    EXPECT_TRUE(WaitFor([&] { return std::abs(window.Meter(1).VuPos() - 66.0) < 1.0; }));

    window.OnCommand(CSonaltDlg::IDC_STOP);
    ASSERT_TRUE(WaitFor([&] { return !window.IsRunning(); }));
    EXPECT_TRUE(Shown(window, CSonaltDlg::IDC_START));
    EXPECT_FALSE(Shown(window, CSonaltDlg::IDC_STOP));
    EXPECT_TRUE(Enabled(window, CSonaltDlg::IDC_START));
    EXPECT_TRUE(Enabled(window, CSonaltDlg::IDC_SETTINGS));
}

// Meter 3 reads input 5, a -6 dBFS tone on for 250 ms in every second. A VU needle falls to
// rest between the bursts; once the dialog makes it a DIN PPM, the running engine follows it and
// the needle falls only 20 dB in 1.5 s, staying well up between them.
TEST_F(SonaltDlgCommands, ANeedleTypeChosenWhileMeteringTakesOverAtOnce)
{
    CSettingsRecord settings = Settings();
    settings.Channel[2].device_ch = 4;
    CSonaltDlg window(settings);
    window.OnCommand(CSonaltDlg::IDC_START);
    ASSERT_TRUE(WaitFor([&] { return window.IsRunning(); }));
    const auto lowestOverASecond = [&] {
        double lowest = 1000.0;
        WaitFor(
            [&] {
                std::array<double, CSndIOPlayList::kLevels> needle {};
                window.Engine().GetNeedleLevels(needle.data());
                lowest = std::min(lowest, needle[2]);
                return false;
            },
            1100);
        return lowest;
    };
    EXPECT_LT(lowestOverASecond(), -20.0);

    settings.Channel[2].meter_type = "ppm-din";
    window.WindowProc(CSonaltDlg::WM_SETTINGS_CHANGED, 0, 2);
    ASSERT_TRUE(WaitFor([&] {
        std::array<double, CSndIOPlayList::kLevels> needle {};
        window.Engine().GetNeedleLevels(needle.data());
        return needle[2] > 5.0;
    }));
    EXPECT_GT(lowestOverASecond(), -5.0);
    window.OnCommand(CSonaltDlg::IDC_STOP);
    ASSERT_TRUE(WaitFor([&] { return !window.IsRunning(); }));
}

TEST_F(SonaltDlgCommands, AFailedStartReturnsTheToolbarToIdle)
{
    CSettingsRecord settings = Settings();
    settings.Device.ID = 29; // no such driver
    CSonaltDlg window(settings);
    window.OnCommand(CSonaltDlg::IDC_START);
    ASSERT_TRUE(WaitFor([&] { return Enabled(window, CSonaltDlg::IDC_START); }));
    EXPECT_FALSE(window.IsRunning());
    EXPECT_TRUE(Shown(window, CSonaltDlg::IDC_START));
    EXPECT_EQ(window.Engine().GetStatus(), CSndIOPlayList::kStatusNoDevice);
    EXPECT_EQ(window.EngineReport(), "デバイスを開けません。デバイス設定を確認してください。");

    settings.Device.ID = 0; // a start that works clears the report
    window.OnCommand(CSonaltDlg::IDC_START);
    EXPECT_TRUE(window.EngineReport().isEmpty());
    ASSERT_TRUE(WaitFor([&] { return window.IsRunning(); }));
    window.OnCommand(CSonaltDlg::IDC_STOP);
    ASSERT_TRUE(WaitFor([&] { return !window.IsRunning(); }));
    EXPECT_TRUE(window.EngineReport().isEmpty()); // a stop is no failure
}

TEST_F(SonaltDlgCommands, StopBeforeTheEngineReportsDoesNothing)
{
    CSettingsRecord settings = Settings();
    CSonaltDlg window(settings);
    window.OnCommand(CSonaltDlg::IDC_STOP);
    EXPECT_TRUE(Enabled(window, CSonaltDlg::IDC_START));
    EXPECT_TRUE(Shown(window, CSonaltDlg::IDC_START));
}

TEST_F(SonaltDlgCommands, RefreshThreeTakesUpEveryThirdLevelMessage)
{
    CSettingsRecord settings = Settings();
    settings.Meter.Refresh = 3;
    CSonaltDlg window(settings);
    int taken = 0;
    for (int message = 0; message < 9; ++message) {
        window.Meter(0).SetVuPos(-1.0); // a mark that any level update replaces
        window.WindowProc(WM_SNDIO_LEVELS, 0, 0);
        taken += window.Meter(0).VuPos() != -1.0 ? 1 : 0;
    }
    EXPECT_EQ(taken, 3);
}

// The user-interface thread stalls (a long handler, a stopped process) while the engine meters
// up to 24,000 blocks, more than a level message each would need to fill the window's queue
// (16,384), and then
// loses its device: once the thread runs again, the end is seen and the tool bar comes back.
TEST_F(SonaltDlgCommands, AStalledWindowStillSeesTheDeviceGo)
{
    kerrion::test::WriteFileBytes(
        m_dir / "signal.ini", "[Signal]\nInputs=8\nBufferFrames=64\nSpeed=5\nStallAfter=24000\n");
    CSettingsRecord settings = Settings();
    CSonaltDlg window(settings);
    window.OnCommand(CSonaltDlg::IDC_START);
    ASSERT_TRUE(WaitFor([&] { return window.IsRunning(); }));
    QElapsedTimer stalled;
    stalled.start();
    while (!window.Engine().HasEnded() && stalled.elapsed() < 20000)
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // no event is handled
    ASSERT_TRUE(window.Engine().HasEnded());
    EXPECT_GT(window.Engine().GetCounters().blocks, 16384);
    EXPECT_LE(window.EngineQueue().Pending(), 3u) << "segment, levels, the end";
    EXPECT_EQ(window.EngineQueue().DroppedCount(), 0u);
    ASSERT_TRUE(WaitFor([&] { return !window.IsRunning(); }, 3000));
    EXPECT_EQ(window.Engine().GetStatus(), CSndIOPlayList::kStatusTransferFailed);
    EXPECT_FALSE(window.EngineReport().isEmpty());
    // The window waits for the device to come back; the stop button ends the wait.
    EXPECT_TRUE(window.IsAwaitingDevice());
    EXPECT_TRUE(Shown(window, CSonaltDlg::IDC_STOP));
    EXPECT_TRUE(Enabled(window, CSonaltDlg::IDC_STOP));
    window.OnCommand(CSonaltDlg::IDC_STOP);
    EXPECT_FALSE(window.IsAwaitingDevice());
    EXPECT_TRUE(Shown(window, CSonaltDlg::IDC_START));
    EXPECT_TRUE(Enabled(window, CSonaltDlg::IDC_START));
    EXPECT_TRUE(Enabled(window, CSonaltDlg::IDC_SETTINGS));
}

TEST_F(SonaltDlgCommands, AnOverOfOneMillisecondLightsTheLampAtSmallBlocks)
{
    // 64-frame blocks: 750 level messages a second, taken a frame's worth at a time. A 1 ms
    // burst a second at -1 dBFS fills one block in about fifty; the lamp must still see it.
    kerrion::test::WriteFileBytes(m_dir / "signal.ini",
        "[Signal]\nInputs=8\nBufferFrames=64\n[Input5]\nSource=burst\nFrequency=1000\n"
        "Level=-1\nBurstOn=1\nBurstOff=1000\n");
    CSettingsRecord settings = MeterSettings(
        8, "[Device]\nType=2\nID=0\n[PeakHold]\ntype=2\n[Channel5]\nover_th=-3.0\n");
    CSonaltDlg window(settings);
    window.OnCommand(CSonaltDlg::IDC_START);
    ASSERT_TRUE(WaitFor([&] { return window.IsRunning(); }));
    // The first burst comes with the first blocks; the ones that count come mid-stream.
    WaitFor([] { return false; }, 300);
    for (int burst = 0; burst < 2; ++burst) {
        window.Meter(4).ResetPeak();
        EXPECT_TRUE(WaitFor([&] { return window.Meter(4).LampOn() == 1; }, 3000)) << burst;
    }
    EXPECT_EQ(window.Meter(0).LampOn(), 0) << "a steady -20 dBFS sine stays below 0 dBFS";
    window.OnCommand(CSonaltDlg::IDC_STOP);
    ASSERT_TRUE(WaitFor([&] { return !window.IsRunning(); }));
}

TEST(SonaltDlgFrames, StatesAlikeOnScreenDifferByLessThanAPixelsFraction)
{
    using State = CSonaltDlg::NeedleState;
    const State base { 40.0, 60.0, 70.0, 0 };
    EXPECT_TRUE(CSonaltDlg::SameOnScreen(base, { 40.004, 59.996, 70.0, 0 }));
    EXPECT_FALSE(CSonaltDlg::SameOnScreen(base, { 40.006, 60.0, 70.0, 0 }));
    EXPECT_FALSE(CSonaltDlg::SameOnScreen(base, { 40.0, 60.01, 70.0, 0 }));
    EXPECT_FALSE(CSonaltDlg::SameOnScreen(base, { 40.0, 60.0, 69.9, 0 }));
    EXPECT_FALSE(CSonaltDlg::SameOnScreen(base, { 40.0, 60.0, 70.0, 1 }));
    EXPECT_FALSE(CSonaltDlg::SameOnScreen(base, State {})) << "never painted";
}

// At 64-frame blocks a frame gathers some 25 level messages. Steady tones settle: their meters
// show the highest peak of each frame, which stays put, and stop repainting; a noise meter
// keeps moving.
TEST_F(SonaltDlgCommands, SettledTonesCostNoFramesAtSmallBlocks)
{
    kerrion::test::WriteFileBytes(m_dir / "signal.ini",
        "[Signal]\nInputs=8\nBufferFrames=64\n[Input1]\nSource=sine\nFrequency=1000\n"
        "Level=-20\n[Input2]\nSource=sine\nFrequency=100\nLevel=-10\n[Input3]\n"
        "Source=noise\nLevel=-24\n");
    CSettingsRecord settings = MeterSettings(3, "[Device]\nType=2\nID=0\n");
    CSonaltDlg window(settings);
    window.show(); // the meters are painted as children of the shown window
    struct PaintCounter : QObject {
        std::array<int, 3> paints {};
        std::array<QObject*, 3> meters {};
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            for (std::size_t i = 0; i < meters.size(); ++i)
                if (watched == meters[i] && event->type() == QEvent::Paint)
                    ++paints[i];
            return false;
        }
    } counter;
    for (int i = 0; i < 3; ++i) {
        counter.meters[static_cast<std::size_t>(i)] = &window.Meter(i);
        window.Meter(i).installEventFilter(&counter);
    }
    window.OnCommand(CSonaltDlg::IDC_START);
    ASSERT_TRUE(WaitFor([&] { return window.IsRunning(); }));
    WaitFor([] { return false; }, 3000); // the VU ballistics settle
    const double peak = window.Meter(1).PeakPos();
    counter.paints = {};
    WaitFor([] { return false; }, 1000);
    // A sanitized engine falls behind and hands some frames only a few blocks, whose highest
    // peak of a sine is a little lower: the cost is a plain build's figure. Sanitized, a settled
    // tone still costs at most half the frames of a second.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr int kSettledPaints = 15;
#else
    constexpr int kSettledPaints = 3;
#endif
    EXPECT_LE(counter.paints[0], kSettledPaints) << "1 kHz sine";
    EXPECT_LE(counter.paints[1], kSettledPaints) << "100 Hz sine";
    EXPECT_GE(counter.paints[2], 10) << "noise";
    EXPECT_NEAR(window.Meter(1).PeakPos(), peak, 0.005) << "the frame's highest peak stays put";
    window.OnCommand(CSonaltDlg::IDC_STOP);
    ASSERT_TRUE(WaitFor([&] { return !window.IsRunning(); }));
}

TEST_F(SonaltDlgCommands, ReferenceLevelFreezesTheNeedlesAndCapturesTheInput)
{
    // Meter 2 reads channel 20 of an eight-input device: nothing to capture there.
    CSettingsRecord settings
        = MeterSettings(4, "[Device]\nType=2\nID=0\n[Channel2]\ndevice_ch=19\n");
    CSonaltDlg window(settings);
    window.Captured()[1] = 7.0;
    window.Meter(0).SetVuPos(-1.0);
    bool checked = false;
    QTimer::singleShot(50, [&] {
        // While the dialog is open the engine runs and fills the captured table.
        WaitFor([&] { return std::abs(window.Captured()[0] - -20.0) < 0.5; });
        checked = window.Meter(0).VuPos() == -1.0;
        if (QWidget* modal = QApplication::activeModalWidget())
            static_cast<QDialog*>(modal)->reject();
    });
    window.OnCommand(CSonaltDlg::IDC_REFERENCE);
    EXPECT_TRUE(checked);
    EXPECT_NEAR(window.Captured()[0], -20.0, 0.5); // the input level that reads 0 VU
    EXPECT_EQ(window.Captured()[1], 7.0);
    WaitFor([&] {
        return !window.IsRunning() && window.ToolbarButton(CSonaltDlg::IDC_START).isEnabled();
    });
    EXPECT_FALSE(window.Engine().IsRunning());
}

TEST_F(SonaltDlgCommands, FunctionKeysToggleSingleMeters)
{
    CSettingsRecord settings = Settings();
    CSonaltDlg window(settings);
    QKeyEvent f5(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
    QApplication::sendEvent(&window, &f5);
    EXPECT_EQ(window.Meter(4).DisplayOn(), 0);
    QApplication::sendEvent(&window.Meter(0), &f5); // a meter window passes it on
    EXPECT_EQ(window.Meter(4).DisplayOn(), 1);
    QKeyEvent f9(QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier);
    QApplication::sendEvent(&window, &f9);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(window.Meter(i).DisplayOn(), 1) << i;
}

TEST_F(SonaltDlgCommands, PeakHoldChoiceClearsLampsAndIsSavedOnClosing)
{
    CSettingsRecord settings = Settings();
    CSonaltDlg window(settings);
    for (int i = 0; i < 8; ++i) {
        window.Meter(i).SetLampOn(1);
        window.Meter(i).UpdatePeak(80.0);
    }
    window.OnCommand(CSonaltDlg::IDC_HOLD_NONE + 1);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(window.Meter(i).LampOn(), 0) << i;
        EXPECT_EQ(window.Meter(i).HoldPos(), 0.0) << i;
    }
    EXPECT_EQ(window.PeakHoldChoice(), 1);
    window.reject();
    EXPECT_EQ(settings.PeakHold.type, 1);
}

TEST_F(SonaltDlgCommands, ClosingWhileMeteringIsRefused)
{
    CSettingsRecord settings = Settings();
    CSonaltDlg window(settings);
    window.show();
    window.OnCommand(CSonaltDlg::IDC_START);
    ASSERT_TRUE(WaitFor([&] { return window.IsRunning(); }));
    CloseNextModal();
    window.OnCommand(CSonaltDlg::IDC_CLOSE);
    EXPECT_EQ(m_modalText, "停止してから終了してください。");
    EXPECT_TRUE(window.isVisible());

    window.OnCommand(CSonaltDlg::IDC_STOP);
    ASSERT_TRUE(WaitFor([&] { return !window.IsRunning(); }));
    window.OnCommand(CSonaltDlg::IDC_CLOSE);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(SonaltDlgCommands, BrightnessCommandExplainsAndReportsAMissingControlPanel)
{
    CSettingsRecord settings = Settings();
    CSonaltDlg window(settings);
    qputenv("PATH", QByteArray::fromStdString(m_dir.Path().string())); // no nvidia-settings here
    QStringList texts;
    std::function<void()> answer = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            QTimer::singleShot(20, answer);
            return;
        }
        texts << box->text();
        box->done(QMessageBox::Ok); // confirm the first box, close the second
        if (texts.size() < 2)
            QTimer::singleShot(20, answer);
    };
    QTimer::singleShot(20, answer);
    window.OnCommand(CSonaltDlg::IDC_BRIGHTNESS);
    ASSERT_EQ(texts.size(), 2);
    EXPECT_TRUE(texts[0].startsWith("NVIDIAコントロールパネルを開きます。"));
    EXPECT_EQ(texts[1], "nvidia-settings が起動できません");
}

// The generator's 1 kHz sine at -20 dBFS and 440 Hz at -10 dBFS read about -13.2 LKFS as a
// stereo programme, with true peaks near -10 dBTP: within 1 LU of a custom -13 and over a
// custom -12 dBTP limit. The reset starts the integration afresh; a hidden readout is left out.
TEST_F(SonaltDlgCommands, LoudnessReadoutJudgesTheProgrammeAndResets)
{
    CSettingsRecord settings = MeterSettings(
        4, "[Device]\nType=2\nID=0\n[Loudness]\nStandard=Custom\nTarget=-13\nTruePeakLimit=-12\n");
    CSonaltDlg window(settings);
    const CLoudnessReadout& readout = window.LoudnessReadout();
    EXPECT_TRUE(readout.Text().contains(QStringLiteral("I - LKFS")));
    window.OnCommand(CSonaltDlg::IDC_START);
    ASSERT_TRUE(WaitFor(
        [&] {
            return readout.Text().contains(QStringLiteral("I -13."))
                && readout.Text().contains(QStringLiteral("S -13."));
        },
        8000))
        << readout.Text().toStdString();
    EXPECT_EQ(readout.IntegratedColor(), QColor(62, 198, 99)) << "within 1 LU";
    EXPECT_EQ(readout.TruePeakColor(), QColor(255, 60, 60)) << "over the limit";
    readout.findChild<QPushButton*>()->click();
    EXPECT_TRUE(WaitFor([&] { return readout.Text().contains(QStringLiteral("I - LKFS")); }, 2000));
    EXPECT_TRUE(WaitFor([&] { return readout.Text().contains(QStringLiteral("I -13.")); }, 3000));

    settings.Loudness.Show = 0;
    window.PostMessage(CSonaltDlg::WM_SETTINGS_CHANGED, 0, -1);
    EXPECT_TRUE(readout.isHidden());
    window.OnCommand(CSonaltDlg::IDC_STOP);
    ASSERT_TRUE(WaitFor([&] { return !window.IsRunning(); }));
}

// With Log=1 a run writes the day's session log in the data folder: a line at the start, one a
// second with the readings, one at the reset and one at the stop. A log that cannot be written
// is said in the report line and metering goes on.
TEST_F(SonaltDlgCommands, TheSessionLogFollowsTheRunAndAFailureIsSaid)
{
    const kerrion::test::ScopedEnv data("XDG_DATA_HOME", m_dir.Path().c_str());
    CSettingsRecord settings
        = MeterSettings(4, "[Device]\nType=2\nID=0\n[Loudness]\nStandard=EBU\nLog=1\n");
    char day[40];
    const std::time_t now = std::time(nullptr);
    std::strftime(day, sizeof day, "Kerrion-%Y-%m-%d.csv", std::localtime(&now));
    const std::filesystem::path log = m_dir / "Marvane" / "Kerrion" / day;
    {
        CSonaltDlg window(settings);
        window.OnCommand(CSonaltDlg::IDC_START);
        ASSERT_TRUE(WaitFor([&] { return window.IsRunning(); }));
        WaitFor([] { return false; }, 2300);
        window.LoudnessReadout().findChild<QPushButton*>()->click();
        window.OnCommand(CSonaltDlg::IDC_STOP);
        ASSERT_TRUE(WaitFor([&] { return !window.IsRunning(); }));
    }
    const std::vector<std::string> lines = kerrion::test::Lines(kerrion::test::ReadFileBytes(log));
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "time,momentary,short_term,integrated,range,true_peak_max,standard,event");
    EXPECT_TRUE(lines[1].ends_with(",,,,,,EBU R128,start")) << lines[1];
    EXPECT_TRUE(lines[2].find(",-13.") != std::string::npos && lines[2].ends_with("EBU R128,"))
        << lines[2];
    EXPECT_TRUE(lines[lines.size() - 2].ends_with(",reset")) << lines[lines.size() - 2];
    EXPECT_TRUE(lines.back().ends_with(",stop"));

    std::filesystem::remove(log);
    std::filesystem::create_directory(log); // in the file's place: it cannot be written
    CSonaltDlg window(settings);
    window.OnCommand(CSonaltDlg::IDC_START);
    ASSERT_TRUE(WaitFor([&] { return window.IsRunning(); }));
    EXPECT_TRUE(window.EngineReport().startsWith(QStringLiteral("ラウドネスのログを書けません:")))
        << window.EngineReport().toStdString();
    EXPECT_TRUE(WaitFor([&] { return window.Meter(0).VuPos() > 40.0; })) << "metering goes on";
    window.OnCommand(CSonaltDlg::IDC_STOP);
    ASSERT_TRUE(WaitFor([&] { return !window.IsRunning(); }));
}
