// The engine metering a real ALSA PCM through the plain device family: a `file` PCM of the
// test's own supplies six seconds of two known sines. (What such a PCM delivers once its file
// has ended is ALSA's affair: the blocks after the end are not judged.)
//
// The `file` PCM is not paced: the engine meters its blocks as fast as it can, far faster than
// a test thread can read the levels in between. So the levels of every block are recorded on
// the engine thread itself, in the notify target, the moment the block has stored them.

#include "meter/SndIODeviceFactory.h"
#include "meter/SndIOPlayList.h"
#include "platform/messages/MessageQueue.h"
#include "platform/sync/Clock.h"
#include "platform/wave/AlsaTestSetup.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string>
#include <vector>

namespace kerrion::test {
namespace {

using PL = CSndIOPlayList;

constexpr uint32_t kRate = 44100;
constexpr uint32_t kSineFrames = 6 * kRate;
constexpr uint32_t kSettledFrames = 2 * kRate; // the VU ballistics have settled by then
constexpr uint32_t kBlockFrames = CSndIODevice::kDefaultBufferFrames;
constexpr const char* kDescription = "Kerrion sines";

// The index of the first plain device whose name begins with `prefix`, or -1.
int FindPlainDevice(const std::string& prefix)
{
    std::unique_ptr<CSndIODevice> device = CreateSndIODevice(CSndIODevice::kKindWave);
    if (!device || device->Initialize() != 1)
        return -1;
    char names[CSndIODevice::kListedNames][CSndIODevice::kNameLength] = {};
    const int count = device->GetDeviceNames(names);
    for (int i = 0; i < count; ++i) {
        if (std::string(names[i]).rfind(prefix, 0) == 0)
            return i;
    }
    return -1;
}

// Keeps the levels of each block as the engine thread posts its WM_SNDIO_LEVELS (taking each
// back at once, so that every block posts one), and passes every message on to a queue for the
// test thread. Allocates nothing once made.
class BlockRecorder final : public CNotifyTarget {
public:
    struct Block {
        uint32_t frames = 0;  // input frames of the block
        int64_t endFrame = 0; // input frames received up to and including the block
        uint32_t missed = 0;  // slots the device had dropped by then
        std::array<double, PL::kLevels> peak {};
        std::array<double, PL::kLevels> vu {};
    };

    BlockRecorder(CSndIOPlayList& playList, size_t capacity)
        : m_playList(playList)
        , m_blocks(capacity)
    {
    }

    bool PostMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override
    {
        const size_t n = m_count.load(std::memory_order_relaxed);
        if (message == WM_SNDIO_LEVELS && n < m_blocks.size()) {
            Block& block = m_blocks[n];
            m_playList.TakeLevelBlocks();
            const PL::Counters counters = m_playList.GetCounters();
            block.frames = counters.lastBlockFrames;
            block.endFrame = counters.inputFrames;
            block.missed = counters.missedSlots;
            m_playList.GetMeterLevels(block.peak.data(), block.vu.data());
            m_count.store(n + 1, std::memory_order_release);
        }
        return m_queue.PostMessage(message, wParam, lParam);
    }

    // Waits until `count` level messages were posted in all; false after `timeoutMs`.
    bool WaitForBlocks(size_t count, int timeoutMs)
    {
        const uint64_t end = NowMilliseconds() + static_cast<uint64_t>(timeoutMs);
        for (;;) {
            CMessageQueue::Message m;
            while (m_queue.TakeMessage(m))
                m_levels += m.message == WM_SNDIO_LEVELS ? 1 : 0;
            if (m_levels >= count)
                return true;
            const uint64_t now = NowMilliseconds();
            if (now >= end)
                return false;
            m_queue.WaitForMessage(static_cast<int>(end - now));
        }
    }

    // The blocks recorded; to be read once the engine has stopped.
    std::vector<Block> Blocks() const
    {
        const size_t n = m_count.load(std::memory_order_acquire);
        return { m_blocks.begin(), m_blocks.begin() + static_cast<std::ptrdiff_t>(n) };
    }

private:
    CSndIOPlayList& m_playList;
    std::vector<Block> m_blocks;
    std::atomic<size_t> m_count { 0 };
    CMessageQueue m_queue;
    size_t m_levels = 0; // test thread only
};

class SndIOPlayListAlsaTest : public ::testing::Test {
protected:
    SndIOPlayListAlsaTest()
        : m_config(Definitions(m_dir))
    {
    }

    static std::string Definitions(const TempDir& dir)
    {
        // Left a 1 kHz sine at -20 dBFS, right one at -30 dBFS.
        WriteFileBytes(
            dir / "sines.raw", StereoSineBytes(kSineFrames, kRate, 1000.0, -20.0, -30.0));
        return FilePcmDefinition("kt_sines", dir / "sines.raw", kDescription);
    }

    TempDir m_dir;
    AlsaTestConfig m_config;
    CSndIOPlayList m_playList;
};

TEST_F(SndIOPlayListAlsaTest, KnownSinesReadTheirPeakAndVULevels)
{
    const int index = FindPlainDevice(kDescription);
    ASSERT_GE(index, 0) << "the file PCM is not among the plain devices";

    // Meters 0 and 1 show the two channels, 5 and 6 show them again; meter 2 has no channel,
    // meters 3, 4 and 7 channels the two-channel device does not have.
    const std::array<int32_t, PL::kMeters> channels { 0, 1, -1, 2, 64, 1, 0, 8 };
    const std::array<size_t, 4> silentMeters { 2, 3, 4, 7 };
    BlockRecorder recorder(m_playList, 1000);
    ASSERT_EQ(m_playList.StartEngine(0, 0, 0, 0, nullptr, channels.data(), CSndIODevice::kKindWave,
                  index, &recorder, 0.0),
        1);
    // The sines, with room for the device's four empty slots and a block beyond them.
    const size_t sineBlocks = (kSineFrames + kBlockFrames - 1) / kBlockFrames;
    const bool enough = recorder.WaitForBlocks(4 + sineBlocks + 1, 20000);
    EXPECT_EQ(m_playList.StopEngine(), PL::kStopped);
    ASSERT_TRUE(enough) << "status " << m_playList.GetStatus();

    const PL::Counters counters = m_playList.GetCounters();
    EXPECT_EQ(counters.status, PL::kStatusOk);
    EXPECT_EQ(counters.sampleRate, static_cast<double>(kRate));
    EXPECT_EQ(counters.blockFrames, kBlockFrames);
    EXPECT_EQ(counters.inputChannels, 2);

    int sine = 0;
    int settled = 0;
    for (const BlockRecorder::Block& b : recorder.Blocks()) {
        if (b.frames == 0)
            continue; // the pre-roll: no levels are measured
        const uint32_t end = static_cast<uint32_t>(b.endFrame);
        const uint32_t start = end - b.frames;
        for (size_t m : silentMeters) {
            EXPECT_EQ(b.peak[m], -96.0) << "meter " << m << " at frame " << start;
            EXPECT_EQ(b.vu[m], 0.0) << "meter " << m << " at frame " << start;
        }
        // A slot the device dropped (the engine lagged, or an overrun: an unpaced PCM has a
        // full buffer whenever nobody reads it) may have held frames of the file: only blocks
        // that surely end within the sines are judged.
        if (end + b.missed * kBlockFrames > kSineFrames)
            continue;
        ++sine;
        EXPECT_NEAR(b.peak[0], -20.0, 0.1) << "at frame " << start;
        EXPECT_NEAR(b.peak[1], -30.0, 0.1) << "at frame " << start;
        EXPECT_EQ(b.peak[6], b.peak[0]);
        EXPECT_EQ(b.peak[5], b.peak[1]);
        EXPECT_EQ(b.vu[6], b.vu[0]);
        EXPECT_EQ(b.vu[5], b.vu[1]);
        if (start >= kSettledFrames) {
            ++settled;
            // A sine peaking 20 dB below full scale reads 0 on the VU scale.
            EXPECT_NEAR(b.vu[0], 0.0, 0.2) << "at frame " << start;
            EXPECT_NEAR(b.vu[1], -10.0, 0.2) << "at frame " << start;
        }
    }
    // 64 blocks of the sines, 43 of them after the VU has settled; a busy machine may drop some.
    EXPECT_GE(sine, 40) << counters.missedSlots << " slots missed";
    EXPECT_GE(settled, 20) << counters.missedSlots << " slots missed";
}

} // namespace
} // namespace kerrion::test
