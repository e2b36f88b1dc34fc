#include "engine/EngineFixture.h"

#include "platform/sync/Clock.h"

#include <algorithm>
#include <sstream>

namespace kerrion::test {
namespace {

constexpr const char* kSignalId = "{8D3C5A6E-2B71-4F0A-9E43-6C1D2F7B5A90}";

std::string DriverKey(const std::string& key, const std::string& description)
{
    return "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\" + key + "]\n\"CLSID\"=\"" + kSignalId
        + "\"\n\"Description\"=\"" + description + "\"\n";
}

} // namespace

void EngineTest::SetUp()
{
    const std::string reg = std::string("Windows Registry Editor Version 5.00\n")
        + DriverKey("A", "Kerrion Signal") + DriverKey("B", "Kerrion Yamaha Signal")
        + DriverKey("C", "Kerrion yamaha signal") + "[HKEY_CLASSES_ROOT\\CLSID\\" + kSignalId
        + "\\InprocServer32]\n@=\"" + KERRION_SIGNAL_DRIVER + "\"\n";
    WriteFileBytes(m_dir / "asio.reg", reg);
    m_registry = std::make_unique<ScopedEnv>("KERRION_ASIO_REGISTRY", (m_dir / "asio.reg").c_str());
    Configure(GeneratorConfig {});
}

void EngineTest::Configure(const GeneratorConfig& config)
{
    std::ostringstream ini;
    ini << "[Signal]\nInputs=" << config.inputs << "\nOutputs=" << config.outputs
        << "\nRate=48000\nBufferFrames=" << config.bufferFrames
        << "\nSampleType=" << config.sampleType << "\nSpeed=" << config.speed
        << "\nStallAfter=" << config.stallAfter << "\nFailInit=" << (config.failInit ? 1 : 0)
        << "\n";
    for (int i = 0; i < 64; ++i) {
        const GeneratorInput input = i < static_cast<int>(config.input.size())
            ? config.input[static_cast<size_t>(i)]
            : GeneratorInput {};
        ini << "[Input" << i + 1 << "]\nSource=" << input.source
            << "\nFrequency=" << input.frequency << "\nLevel=" << input.level
            << "\nBurstOn=" << input.burstOn << "\nBurstOff=" << input.burstOff << "\n";
    }
    WriteFileBytes(m_dir / "signal.ini", ini.str());
    m_signal.reset();
    m_signal = std::make_unique<ScopedEnv>("KERRION_SIGNAL_CONFIG", (m_dir / "signal.ini").c_str());
}

int EngineTest::Start(const std::array<int32_t, 8>& channels, int driver,
    const CSndIOPlayList::DumpConfig* dump, int32_t repeatCount)
{
    return m_playList.StartEngine(
        0, 0, repeatCount, 0, dump, channels.data(), 2, driver, &m_queue, 0.0);
}

bool EngineTest::WaitFor(uint32_t message, int count, int timeoutMs)
{
    const uint64_t end = NowMilliseconds() + static_cast<uint64_t>(timeoutMs);
    for (;;) {
        Drain();
        if (Count(message) >= count)
            return true;
        const uint64_t now = NowMilliseconds();
        if (now >= end)
            return false;
        m_queue.WaitForMessage(static_cast<int>(end - now));
    }
}

void EngineTest::Drain()
{
    CMessageQueue::Message m;
    while (m_queue.TakeMessage(m)) {
        const int64_t blocks
            = m.message == WM_SNDIO_LEVELS ? std::max<int64_t>(1, m_playList.TakeLevelBlocks()) : 1;
        m_log.insert(m_log.end(), static_cast<size_t>(blocks), m);
    }
}

int EngineTest::Count(uint32_t message) const
{
    int n = 0;
    for (const CMessageQueue::Message& m : m_log)
        n += m.message == message ? 1 : 0;
    return n;
}

Levels ReadLevels(const CSndIOPlayList& playList)
{
    Levels levels;
    playList.GetMeterLevels(levels.peak.data(), levels.vu.data());
    return levels;
}

} // namespace kerrion::test
