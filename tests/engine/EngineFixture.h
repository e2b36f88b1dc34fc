#pragma once

// Shared set-up of the engine tests: a driver registry naming the signal generator (under a
// plain name and under a name containing "Yamaha"), a generator configuration written per
// test, a message queue as the notify target, and helpers that wait for messages.

#include "meter/SndIOPlayList.h"
#include "platform/messages/MessageQueue.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace kerrion::test {

// One generator input: "sine" or "burst" with frequency (Hz) and level (dBFS), or "silence".
struct GeneratorInput {
    std::string source = "silence";
    double frequency = 1000.0;
    double level = -20.0;
    double burstOn = 10.0;  // ms
    double burstOff = 10.0; // ms
};

struct GeneratorConfig {
    int inputs = 8;
    int outputs = 2;
    int bufferFrames = 512;
    int sampleType = 18;
    double speed = 10.0;
    int stallAfter = 0;
    bool failInit = false;
    std::vector<GeneratorInput> input; // Input1.. in order; the rest are silent
};

class EngineTest : public ::testing::Test {
protected:
    static constexpr int kPlainDriver = 0;  // "Kerrion Signal"
    static constexpr int kYamahaDriver = 1; // "Kerrion Yamaha Signal"
    static constexpr int kLowerDriver = 2;  // "Kerrion yamaha signal": not the case-sensitive name

    void SetUp() override;
    void Configure(const GeneratorConfig& config);

    // StartEngine on the generator (family 2) with the given meter channels.
    int Start(const std::array<int32_t, 8>& channels, int driver = kPlainDriver,
        const CSndIOPlayList::DumpConfig* dump = nullptr, int32_t repeatCount = 0);

    // Takes messages until `message` has come `count` times (more counted from before) or
    // `timeoutMs` passes; true when it came. Every message taken is kept in m_log, a level
    // message once for each block it stands for (so that the log counts blocks).
    bool WaitFor(uint32_t message, int count, int timeoutMs = 10000);
    int Count(uint32_t message) const;
    // Takes what is queued now, without waiting.
    void Drain();

    TempDir m_dir;
    std::unique_ptr<ScopedEnv> m_registry;
    std::unique_ptr<ScopedEnv> m_signal;
    CMessageQueue m_queue;
    std::vector<CMessageQueue::Message> m_log;
    CSndIOPlayList m_playList;
};

// The peak and VU levels of meters 0..7.
struct Levels {
    std::array<double, 64> peak {};
    std::array<double, 64> vu {};
};
Levels ReadLevels(const CSndIOPlayList& playList);

} // namespace kerrion::test
