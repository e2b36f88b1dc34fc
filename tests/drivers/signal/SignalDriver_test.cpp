// The signal generator, loaded as a real plug-in and driven as a host drives it.

#include "support/DriverTestHost.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

using kerrion::AsioDriverObject;
using kerrion::IAsioDriver;
using kerrion::test::ScopedEnv;
using kerrion::test::TempDir;

namespace {

kerrion::test::DriverCapture& g_capture = kerrion::test::TheCapture();
ASIOCallbacks* const g_callbacks = kerrion::test::TheCallbacks();

class SignalDriver : public ::testing::Test {
protected:
    void SetUp() override { g_capture.Reset(); }

    // Loads the plug-in with `ini` as its settings and initialises it.
    IAsioDriver* Load(const std::string& ini)
    {
        kerrion::test::WriteFileBytes(m_dir / "signal.ini", ini);
        m_config
            = std::make_unique<ScopedEnv>("KERRION_SIGNAL_CONFIG", (m_dir / "signal.ini").c_str());
        m_driver = kerrion::test::CreateDriver(
            KERRION_SIGNAL_DRIVER, "{8D3C5A6E-2B71-4F0A-9E43-6C1D2F7B5A90}", m_object);
        EXPECT_EQ(m_driver->init(nullptr), ASIOTrue);
        return m_driver;
    }

    // Creates buffers for the first `inputs` inputs and one output, runs `switches` switches.
    void Run(int inputs, size_t switches, int bytesPerSample = 4)
    {
        int32_t minSize, maxSize, preferred, granularity;
        ASSERT_EQ(m_driver->getBufferSize(&minSize, &maxSize, &preferred, &granularity), ASE_OK);
        ASSERT_EQ(kerrion::test::CreateDriverBuffers(
                      m_driver, inputs, 1, preferred, static_cast<size_t>(bytesPerSample)),
            ASE_OK);
        ASSERT_EQ(m_driver->start(), ASE_OK);
        ASSERT_TRUE(kerrion::test::WaitForCapture(
            [&](kerrion::test::DriverCapture& c) { return c.halves.size() >= switches; },
            std::chrono::seconds(20)));
        ASSERT_EQ(m_driver->stop(), ASE_OK);
        ASSERT_EQ(m_driver->disposeBuffers(), ASE_OK);
    }

    std::vector<int32_t> Int32Samples(size_t input)
    {
        std::lock_guard lock(g_capture.mutex);
        return g_capture.Int32Input(input);
    }

    void TearDown() override { m_object.reset(); }

    TempDir m_dir;
    std::unique_ptr<ScopedEnv> m_config;
    std::shared_ptr<AsioDriverObject> m_object;
    IAsioDriver* m_driver = nullptr;
};

double Peak(const std::vector<int32_t>& samples, double fullScale)
{
    double peak = 0;
    for (int32_t s : samples)
        peak = std::max(peak, std::abs(s / fullScale));
    return peak;
}

} // namespace

TEST_F(SignalDriver, DefaultsDescribeAnEightInputDevice)
{
    Load("");
    int32_t inputs = 0, outputs = 0;
    ASSERT_EQ(m_driver->getChannels(&inputs, &outputs), ASE_OK);
    EXPECT_EQ(inputs, 8);
    EXPECT_EQ(outputs, 2);
    ASIOSampleRate rate = 0;
    ASSERT_EQ(m_driver->getSampleRate(&rate), ASE_OK);
    EXPECT_EQ(rate, 48000.0);
    int32_t minSize, maxSize, preferred, granularity;
    ASSERT_EQ(m_driver->getBufferSize(&minSize, &maxSize, &preferred, &granularity), ASE_OK);
    EXPECT_EQ(preferred, 512);
    ASIOChannelInfo info {};
    info.channel = 7;
    info.isInput = ASIOTrue;
    ASSERT_EQ(m_driver->getChannelInfo(&info), ASE_OK);
    EXPECT_EQ(info.type, ASIOSTInt32LSB);
    EXPECT_STREQ(info.name, "Input 8");
    info.channel = 8;
    EXPECT_EQ(m_driver->getChannelInfo(&info), ASE_InvalidParameter);
}

TEST_F(SignalDriver, AMonoDeviceStillTakesAStereoPairOfBuffers)
{
    Load("[Signal]\nInputs=1\nOutputs=0\n");
    ASIOBufferInfo infos[4]
        = { { ASIOTrue, 0, {} }, { ASIOTrue, 1, {} }, { ASIOFalse, 0, {} }, { ASIOFalse, 1, {} } };
    ASSERT_EQ(m_driver->createBuffers(infos, 4, 512, g_callbacks), ASE_OK);
    ASIOChannelInfo info {};
    info.channel = 1;
    info.isInput = ASIOFalse;
    EXPECT_EQ(m_driver->getChannelInfo(&info), ASE_OK);
    info.channel = 2;
    EXPECT_EQ(m_driver->getChannelInfo(&info), ASE_InvalidParameter);
    EXPECT_EQ(m_driver->disposeBuffers(), ASE_OK);
}

TEST_F(SignalDriver, InputOneIsAOneKilohertzSineAtMinus20dBFS)
{
    Load("[Signal]\nSpeed=20\n");
    Run(1, 20);
    const auto samples = Int32Samples(0);
    ASSERT_GE(samples.size(), 20u * 512u);
    EXPECT_NEAR(Peak(samples, 2147483648.0), 0.1, 0.0005);
    int crossings = 0; // rising zero crossings over 10240 frames at 48 kHz: 213.3 periods
    for (size_t i = 1; i < 10240; ++i)
        crossings += samples[i - 1] < 0 && samples[i] >= 0;
    EXPECT_NEAR(crossings, 213, 1);
}

TEST_F(SignalDriver, TonesFollowTheExactSineAcrossBlocks)
{
    // A frequency that shares no factor with the rate or the block, so every block starts at a
    // new phase; each sample must be the rounded value of the exact sine.
    Load("[Signal]\nSpeed=20\nBufferFrames=100\n[Input1]\nFrequency=997.3\nLevel=-3\n"
         "[Input2]\nSource=burst\nFrequency=12345.6\nLevel=0\nBurstOn=5\nBurstOff=3\n");
    Run(2, 60);
    const double pi = 3.14159265358979323846;
    const double tone = std::pow(10.0, -3.0 / 20.0);
    const auto steady = Int32Samples(0);
    const auto burst = Int32Samples(1);
    ASSERT_GE(steady.size(), 6000u);
    double worst = 0.0;
    for (size_t n = 0; n < 6000; ++n) {
        const double phase = std::fmod(997.3 * static_cast<double>(n) / 48000.0, 1.0);
        const double exact = tone * std::sin(2.0 * pi * phase) * 2147483648.0;
        worst = std::max(worst, std::abs(steady[n] - std::min(exact, 2147483647.0)));
    }
    EXPECT_LE(worst, 1.0) << "largest error of input 1 in 32-bit steps";
    worst = 0.0;
    for (size_t n = 0; n < 6000; ++n) {
        const bool on = n % 384 < 240; // 5 ms on, 3 ms off at 48 kHz
        const double phase = std::fmod(12345.6 * static_cast<double>(n) / 48000.0, 1.0);
        const double exact = on ? std::sin(2.0 * pi * phase) * 2147483648.0 : 0.0;
        worst = std::max(worst, std::abs(burst[n] - std::min(exact, 2147483647.0)));
    }
    EXPECT_LE(worst, 1.0) << "largest error of the burst in 32-bit steps";
}

TEST_F(SignalDriver, SettingsThatAreNotFiniteKeepTheirDefaults)
{
    Load("[Signal]\nSpeed=20\n[Input1]\nFrequency=nan\nLevel=inf\n"
         "[Input2]\nSource=burst\nLevel=1e300\nBurstOn=1e300\nBurstOff=-inf\n");
    Run(2, 20);
    const auto first = Int32Samples(0);
    ASSERT_GE(first.size(), 20u * 512u);
    EXPECT_NEAR(Peak(first, 2147483648.0), 0.1, 0.0005) << "a 1 kHz sine at -20 dBFS";
    int crossings = 0;
    for (size_t i = 1; i < 10240; ++i)
        crossings += first[i - 1] < 0 && first[i] >= 0;
    EXPECT_NEAR(crossings, 213, 1);
    // A level beyond +20 dBFS clips at full scale; the hour-long burst stays on.
    const auto second = Int32Samples(1);
    EXPECT_EQ(*std::max_element(second.begin(), second.end()), 2147483647);
    EXPECT_GT(Peak(std::vector<int32_t>(second.end() - 512, second.end()), 2147483648.0), 0.99);
}

TEST_F(SignalDriver, SixteenBitInputsCarryTheSameSine)
{
    Load("[Signal]\nSpeed=20\nInputs=1\nSampleType=16\n");
    Run(1, 4, 2);
    std::lock_guard lock(g_capture.mutex);
    const auto& bytes = g_capture.inputs[0];
    int peak = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        peak = std::max(peak, std::abs(static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8))));
    EXPECT_NEAR(peak, 3277, 2);
}

TEST_F(SignalDriver, NoiseHasTheConfiguredRmsAndSilenceIsZero)
{
    Load("[Signal]\nSpeed=20\n[Input1]\nSource=noise\nLevel=-24\n[Input2]\nSource=silence\n");
    Run(2, 20);
    const auto noise = Int32Samples(0);
    double sum = 0;
    for (int32_t s : noise)
        sum += (s / 2147483648.0) * (s / 2147483648.0);
    EXPECT_NEAR(10.0 * std::log10(sum / static_cast<double>(noise.size())), -24.0, 0.3);
    EXPECT_EQ(Peak(Int32Samples(1), 2147483648.0), 0.0);
}

TEST_F(SignalDriver, BurstsAlternateToneAndSilence)
{
    Load("[Signal]\nSpeed=20\n[Input1]\nSource=burst\nLevel=-6\nFrequency=1000\nBurstOn="
         "10\nBurstOff=10\n");
    Run(1, 4);
    const auto samples = Int32Samples(0);
    const std::vector<int32_t> on(samples.begin(), samples.begin() + 480);
    const std::vector<int32_t> off(samples.begin() + 480, samples.begin() + 960);
    EXPECT_NEAR(Peak(on, 2147483648.0), 0.501, 0.002);
    EXPECT_EQ(Peak(off, 2147483648.0), 0.0);
    EXPECT_GT(
        Peak(std::vector<int32_t>(samples.begin() + 960, samples.begin() + 1440), 2147483648.0),
        0.4);
}

TEST_F(SignalDriver, FileSourcePlaysTheChosenChannelOnceOrLooped)
{
    // A 2-channel 16-bit WAVE of 100 frames; channel 2 holds a ramp of 100 per frame.
    std::string wave = "RIFF....WAVEfmt ";
    auto le = [&wave](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            wave += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    le(16, 4);
    le(1, 2);
    le(2, 2);
    le(48000, 4);
    le(48000 * 4, 4);
    le(4, 2);
    le(16, 2);
    wave += "data";
    le(400, 4);
    for (int f = 0; f < 100; ++f) {
        le(static_cast<uint32_t>(-1000) & 0xFFFF, 2);
        le(static_cast<uint32_t>(f * 100), 2);
    }
    kerrion::test::WriteFileBytes(m_dir / "ramp.wav", wave);
    // Neither a FIFO (which would block its reader) nor /dev/zero (which never ends) is read.
    ASSERT_EQ(mkfifo((m_dir / "fifo.wav").c_str(), 0600), 0);
    Load("[Signal]\nSpeed=20\nBufferFrames=64\n"
         "[Input1]\nSource=file\nFile=ramp.wav\nFileChannel=2\nLoop=0\n"
         "[Input2]\nSource=file\nFile=ramp.wav\nFileChannel=2\n"
         "[Input3]\nSource=file\nFile=fifo.wav\n[Input4]\nSource=file\nFile=/dev/zero\n");
    Run(4, 4);
    for (size_t input : { 2u, 3u }) {
        const auto silent = Int32Samples(input);
        EXPECT_EQ(std::count(silent.begin(), silent.end(), 0), std::ssize(silent)) << input;
    }
    const auto once = Int32Samples(0);
    const auto looped = Int32Samples(1);
    ASSERT_GE(once.size(), 256u);
    for (int f = 0; f < 100; ++f)
        ASSERT_EQ(once[f], (f * 100) << 16) << f;
    EXPECT_EQ(once[100], 0) << "the end of a file without loop is silence";
    EXPECT_EQ(looped[100], 0);
    EXPECT_EQ(looped[101], 100 << 16) << "a looped file starts again";
}

TEST_F(SignalDriver, ClockAdvancesOneBufferPerSwitchAtTheConfiguredSpeed)
{
    // 480 frames at 48 kHz, ten times real time: one switch per millisecond.
    Load("[Signal]\nSpeed=10\nBufferFrames=480\nInputs=1\n");
    const auto begin = std::chrono::steady_clock::now();
    Run(1, 100);
    const auto elapsed = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(elapsed, std::chrono::milliseconds(99));
    EXPECT_LT(elapsed, std::chrono::milliseconds(2000));
    std::lock_guard lock(g_capture.mutex);
    for (size_t i = 0; i < 100; ++i) {
        EXPECT_EQ(g_capture.halves[i], static_cast<int>(i % 2));
        EXPECT_EQ(g_capture.positions[i], i * 480);
    }
}

TEST_F(SignalDriver, AHostWithoutTimeInfoGetsThePlainBufferSwitch)
{
    Load("[Signal]\nSpeed=20\nInputs=1\n");
    {
        std::lock_guard lock(g_capture.mutex);
        g_capture.timeInfo = false;
    }
    Run(1, 3);
    std::lock_guard lock(g_capture.mutex);
    EXPECT_GE(g_capture.plainSwitches, 3);
}

TEST_F(SignalDriver, StallAfterStopsTheClock)
{
    Load("[Signal]\nSpeed=10\nBufferFrames=480\nStallAfter=3\nInputs=1\n");
    ASIOBufferInfo info { ASIOTrue, 0, { nullptr, nullptr } };
    ASSERT_EQ(m_driver->createBuffers(&info, 1, 480, g_callbacks), ASE_OK);
    ASSERT_EQ(m_driver->start(), ASE_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    {
        std::lock_guard lock(g_capture.mutex);
        EXPECT_EQ(g_capture.halves.size(), 3u);
    }
    EXPECT_EQ(m_driver->stop(), ASE_OK);
}

TEST_F(SignalDriver, FailInitRefusesWithAMessage)
{
    kerrion::test::WriteFileBytes(m_dir / "fail.ini", "[Signal]\nFailInit=1\n");
    ScopedEnv config("KERRION_SIGNAL_CONFIG", (m_dir / "fail.ini").c_str());
    kerrion::AsioClassId id {};
    kerrion::ParseClassId("{8D3C5A6E-2B71-4F0A-9E43-6C1D2F7B5A90}", id);
    ASSERT_EQ(
        AsioDriverObject::Create(KERRION_SIGNAL_DRIVER, id, m_object), AsioDriverObject::kCreated);
    EXPECT_EQ(m_object->Driver()->init(nullptr), ASIOFalse);
    char message[124] = {};
    m_object->Driver()->getErrorMessage(message);
    EXPECT_NE(std::string(message).find("FailInit"), std::string::npos);
    int32_t a, b;
    EXPECT_EQ(m_object->Driver()->getChannels(&a, &b), ASE_NotPresent);
}

TEST_F(SignalDriver, SampleRatesAndBufferCreationFollowTheDriverRules)
{
    Load("[Signal]\nRate=44100\n");
    EXPECT_EQ(m_driver->canSampleRate(48000.0), ASE_OK);
    EXPECT_EQ(m_driver->canSampleRate(1e6), ASE_NoClock);
    EXPECT_EQ(m_driver->setSampleRate(1e6), ASE_NoClock);
    EXPECT_EQ(m_driver->setSampleRate(0.0), ASE_OK);
    ASIOSampleRate rate = 0;
    m_driver->getSampleRate(&rate);
    EXPECT_EQ(rate, 44100.0);
    EXPECT_EQ(m_driver->setSampleRate(96000.0), ASE_OK);
    m_driver->getSampleRate(&rate);
    EXPECT_EQ(rate, 96000.0);

    EXPECT_EQ(m_driver->start(), ASE_InvalidMode) << "no buffers yet";
    ASIOSamples position {};
    ASIOTimeStamp stamp {};
    EXPECT_EQ(m_driver->getSamplePosition(&position, &stamp), ASE_SPNotAdvancing);
    ASIOBufferInfo bad { ASIOTrue, 8, { nullptr, nullptr } };
    EXPECT_EQ(m_driver->createBuffers(&bad, 1, 512, g_callbacks), ASE_InvalidParameter);
    ASIOBufferInfo good { ASIOFalse, 1, { nullptr, nullptr } };
    EXPECT_EQ(m_driver->createBuffers(&good, 1, 256, g_callbacks), ASE_InvalidParameter);
    ASSERT_EQ(m_driver->createBuffers(&good, 1, 512, g_callbacks), ASE_OK);
    EXPECT_NE(good.buffers[0], nullptr);
    EXPECT_NE(good.buffers[1], nullptr);
    EXPECT_EQ(m_driver->createBuffers(&good, 1, 512, g_callbacks), ASE_InvalidMode);
    ASIOChannelInfo info {};
    info.channel = 1;
    info.isInput = ASIOFalse;
    ASSERT_EQ(m_driver->getChannelInfo(&info), ASE_OK);
    EXPECT_EQ(info.isActive, ASIOTrue);
    EXPECT_STREQ(info.name, "Output 2");
    EXPECT_EQ(m_driver->disposeBuffers(), ASE_OK);
    EXPECT_EQ(m_driver->disposeBuffers(), ASE_InvalidMode);
    EXPECT_EQ(m_driver->outputReady(), ASE_OK);
}

TEST_F(SignalDriver, ControlPanelCreatesTheSettingsFileAndOpensIt)
{
    std::filesystem::create_directories(m_dir / "bin");
    kerrion::test::WriteFileBytes(m_dir / "bin/xdg-open",
        "#!/bin/sh\necho \"$1\" > \"" + (m_dir / "opened").string()
            + ".tmp\"\n"
              "mv \""
            + (m_dir / "opened").string() + ".tmp\" \"" + (m_dir / "opened").string() + "\"\n");
    std::filesystem::permissions(m_dir / "bin/xdg-open", std::filesystem::perms::owner_all);
    const std::string path = (m_dir / "bin").string() + ":" + std::getenv("PATH");
    ScopedEnv searchPath("PATH", path.c_str());
    const auto settings = m_dir / "new/Marvane/signal.ini";
    ScopedEnv config("KERRION_SIGNAL_CONFIG", settings.c_str());
    kerrion::AsioClassId id {};
    kerrion::ParseClassId("{8D3C5A6E-2B71-4F0A-9E43-6C1D2F7B5A90}", id);
    ASSERT_EQ(
        AsioDriverObject::Create(KERRION_SIGNAL_DRIVER, id, m_object), AsioDriverObject::kCreated);
    ASSERT_EQ(m_object->Driver()->controlPanel(), ASE_OK);
    EXPECT_NE(kerrion::test::ReadFileBytes(settings).find("[Signal]"), std::string::npos);
    for (int i = 0; i < 200 && !std::filesystem::exists(m_dir / "opened"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(kerrion::test::ReadFileBytes(m_dir / "opened"), settings.string() + "\n");
    // The written defaults read back as the built-in ones.
    EXPECT_EQ(m_object->Driver()->init(nullptr), ASIOTrue);
    int32_t inputs = 0, outputs = 0;
    m_object->Driver()->getChannels(&inputs, &outputs);
    EXPECT_EQ(inputs, 8);
}
