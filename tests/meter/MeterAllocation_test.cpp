// Counts every allocation of the program (the counting allocator of tests/support) to show that
// no processor allocates in Process, and fails chosen allocations to show that a processor whose
// set-up failed produces nothing.

#include "meter/SndSPLoudnessBS1770.h"
#include "meter/SndSPLoudnessMarvane.h"
#include "meter/SndSPLoudnessR128.h"
#include "meter/SndSPNeedle.h"
#include "meter/SndSPPeak.h"
#include "meter/SndSPVU.h"

#include "meter/MeterSignals.h"
#include "support/CountingAllocator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>

using kerrion::test::AllocationCount;
using kerrion::test::ChannelSet;
using kerrion::test::FailAllocationNumber;

namespace {

constexpr int kChannels = 8;

struct Processors {
    CSndSPPeak peak;
    CSndSPVU vu;
    CSndSPLoudnessMarvane marvane;
    CSndSPLoudnessBS1770 loudness;
    CSndSPLoudnessR128 r128;
    CSndSPNeedle needle;

    void Init()
    {
        r128.SetLayout(kerrion::LoudnessLayout::Surround71);
        ASSERT_EQ(r128.Init(), 1);
        ASSERT_EQ(peak.Init(), 1);
        ASSERT_EQ(vu.InitFilter(48000.0, 1.8, 4), 1);
        ASSERT_EQ(marvane.Init(), 1);
        ASSERT_EQ(loudness.Init(), 1);
        ASSERT_EQ(needle.Init(44100.0), 1);
        for (uint32_t c = 0; c < CSndSP::kMaxChannels; ++c) // every type, kVu included
            needle.SetType(c, kerrion::kNeedleTypes[c % kerrion::kNeedleTypes.size()]);
    }
    void Process(ChannelSet& out, ChannelSet& in, uint32_t channels)
    {
        for (CSndSP* p : { static_cast<CSndSP*>(&peak), static_cast<CSndSP*>(&vu),
                 static_cast<CSndSP*>(&marvane), static_cast<CSndSP*>(&loudness),
                 static_cast<CSndSP*>(&r128), static_cast<CSndSP*>(&needle) })
            p->Process(out.Data(), 70, 16384, in.Data(), channels, nullptr);
    }
};

} // namespace

TEST(MeterAllocation, ProcessAllocatesNothing)
{
    Processors processors;
    processors.Init();
    ChannelSet out(kerrion::kSampleFloat64, 16384, 70);
    std::vector<std::unique_ptr<ChannelSet>> inputs;
    for (kerrion::SampleType type : { kerrion::kSampleInt16, kerrion::kSampleInt32,
             kerrion::kSampleFloat32, kerrion::kSampleFloat64, kerrion::kSampleInt32Lsb24 })
        inputs.push_back(std::make_unique<ChannelSet>(type, 32768, 70));
    for (auto& set : inputs)
        for (int c = 0; c < 70; ++c)
            kerrion::test::Store((*set)[c], kerrion::test::Sine(1000.0 + c, 440.0, 4096));

    const long before = AllocationCount();
    for (int round = 0; round < 3; ++round) {
        for (uint32_t frames : { 1u, 63u, 64u, 256u, 1024u, 4096u }) {
            for (auto& set : inputs) {
                for (int c = 0; c < 70; ++c)
                    (*set)[c].SetCount(frames);
                processors.Process(out, *set, kChannels);
            }
        }
        processors.loudness.SetRequestedWindow(round == 1 ? 1.5 : 3.0); // window change
        processors.r128.Reset();
        processors.needle.Reset();
        processors.Process(out, *inputs[0], 0);
        processors.Process(out, *inputs[1], 70);
    }
    EXPECT_EQ(AllocationCount() - before, 0);
}

// Fails each allocation of a processor's set-up in turn: the set-up reports kNoMemory and
// the processor then writes nothing, until no allocation is left to fail.
TEST(MeterAllocation, FailedSetUpProducesNothing)
{
    const std::vector<std::pair<const char*, std::function<int(CSndSP*&)>>> makers = {
        { "peak",
            [](CSndSP*& p) {
                auto* q = new CSndSPPeak;
                p = q;
                return q->Init();
            } },
        { "vu",
            [](CSndSP*& p) {
                auto* q = new CSndSPVU;
                p = q;
                return q->InitFilter(1.8, 3);
            } },
        { "marvane",
            [](CSndSP*& p) {
                auto* q = new CSndSPLoudnessMarvane;
                p = q;
                return q->Init();
            } },
        { "loudness",
            [](CSndSP*& p) {
                auto* q = new CSndSPLoudnessBS1770;
                p = q;
                return q->Init();
            } },
        { "needle",
            [](CSndSP*& p) {
                auto* q = new CSndSPNeedle;
                p = q;
                const int result = q->Init(48000.0);
                for (uint32_t c = 0; c < kChannels; ++c)
                    q->SetType(c, kerrion::NeedleType::kPpmBbc);
                return result;
            } },
    };
    ChannelSet in(kerrion::kSampleInt16, 256, kChannels);
    ChannelSet out(kerrion::kSampleFloat64, 4, kChannels);
    for (int c = 0; c < kChannels; ++c)
        kerrion::test::Store(in[c], kerrion::test::Sine(5000.0, 1000.0, 256));

    for (const auto& [name, make] : makers) {
        int failures = 0;
        for (long k = 1;; ++k) { // allocation 0 is the processor object itself
            SCOPED_TRACE(testing::Message() << name << ", allocation " << k);
            CSndSP* processor = nullptr;
            const long failAt = AllocationCount() + k;
            FailAllocationNumber(failAt);
            const int result = make(processor);
            const bool hit = AllocationCount() > failAt;
            FailAllocationNumber(-1);
            out.Poison();
            EXPECT_EQ(
                processor->Process(out.Data(), kChannels, 4, in.Data(), kChannels, nullptr), 1);
            delete processor;
            if (!hit) {
                EXPECT_EQ(result, CSndSP::kOk);
                break;
            }
            ++failures;
            ASSERT_EQ(result, CSndSP::kNoMemory);
            for (int c = 0; c < kChannels; ++c)
                ASSERT_EQ(out[c].Count(), 0u);
        }
        EXPECT_GT(failures, 0) << name;
    }
}
