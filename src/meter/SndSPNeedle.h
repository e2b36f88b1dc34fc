#pragma once

// The ballistics of the needle types other than the meter's own VU (see NeedleType.h), per
// channel, at the device's real sample rate. The input is read as 64-bit floats scaled to full
// scale 1.0 (as the BS.1770 loudness processor reads it), full-wave rectified, and then:
//   vu-iec  a second-order low-pass (unity DC gain) follows the rectified signal, so the
//           deflection is linear in the mean rectified voltage; read at the end of the block.
//   ppm-*   a quasi-peak detector: while the rectified input is above the reading, the reading
//           moves towards it with the attack time constant; otherwise it falls at a constant
//           number of dB per second. The highest reading within the block is written, so a
//           burst shorter than a block is not lost between two block ends.
// Every reading is in dB above the reference point: a steady 1 kHz sine peaking 20 dB below
// full scale reads 0.0 on every type (as CSndSPVU with reference -20, so a meter's reference
// level applies to both alike). A reading below half a 16-bit step (as the VU's) is
// kSilenceDb.
//
// Channels of type kVu are not touched at all: their outputs keep whatever they held, so the
// engine may run CSndSPVU and this processor over the same outputs, and a kVu channel costs
// nothing here. A channel with no samples in the block writes its reading unchanged (the
// needle holds: no time has passed for it).
//
// Threads: Init, SetType and Reset at run set-up (never while Process may run; Init
// allocates); Process on the engine thread, once per block: it allocates nothing, locks
// nothing and keeps subnormal numbers out of its state.

#include "meter/NeedleType.h"
#include "meter/SndSP.h"
#include "meter/SndSPVU.h"
#include "meter/ZeroedBufferArray.h"

#include <memory>

class CSndSPNeedle : public CSndSP {
public:
    static constexpr double kDefaultRate = 48000.0; // Hz; what plain Init assumes
    static constexpr double kReferenceDbfs = -20.0; // peak of the sine that reads 0.0
    static constexpr double kSilenceDb = CSndSPVU::kSilenceDb;
    // Below half a 16-bit step of full scale 1.0 a reading is silence (the VU's threshold).
    static constexpr double kSilenceLevel = 0.5 / 32768.0;
    // States below this (full scale 1.0) are set to zero after every block, so that in
    // silence they end at zero instead of running through subnormal numbers.
    static constexpr double kFlushBelow = 1e-150;

    CSndSPNeedle() = default;
    ~CSndSPNeedle() override;

    // Init(kDefaultRate).
    int Init() override;
    // Allocates the working buffers and channel states, computes every coefficient for
    // `sampleRate` (Hz; 8000 .. 768000, anything else is taken as kDefaultRate), sets every
    // channel to kVu and clears the states. kOk, or kNoMemory leaving the processor unprepared.
    int Init(double sampleRate);
    // Channel `channel` (0 .. kMaxChannels - 1; others are ignored) follows `type` from the
    // next block, from rest. Takes effect only on an initialised processor. Set-up.
    void SetType(uint32_t channel, kerrion::NeedleType type);
    // Every needle back to rest (silence), types kept. Set-up.
    void Reset();

    // Writes the reading of every channel of 0 .. channelCount - 1 whose type is not kVu.
    // Nothing when not initialised. Engine thread; allocates nothing.
    int Process(CSndIOBuffer* outputs, uint32_t outputCount, uint32_t outputCapacity,
        const CSndIOBuffer* inputs, uint32_t channelCount, const uint32_t* frameCount) override;

private:
    // One channel's constants and state. Written by the set-up calls, then by Process only.
    struct Channel {
        kerrion::NeedleType type;
        double attack;   // PPM: fraction of (input - reading) taken per sample
        double release;  // PPM: factor per sample while falling (constant dB per second)
        double offsetDb; // added to every reading so the steady reference sine reads 0.0
        double y1, y2;   // reading (full scale 1.0) after the last and the one before
        double x1, x2;   // vu-iec: the last two rectified inputs
    };
    struct LowPass {
        double b0, a1, a2; // y = b0 (x + 2 x1 + x2) - a1 y1 - a2 y2
    };

    void SetConstants(Channel& channel) const;
    double ChannelReading(const CSndIOBuffer& input, Channel& channel, CSndIOBuffer& working);
    double RunPpm(Channel& channel, const double* x, uint32_t n, double invScale) const;
    double RunVuIec(Channel& channel, const double* x, uint32_t n, double invScale) const;
    static double ToDb(double y, double offsetDb);

    kerrion::ZeroedBufferArray m_working;  // kMaxChannels x kMaxBlockFrames doubles
    std::unique_ptr<Channel[]> m_channels; // kMaxChannels; null until Init succeeded
    LowPass m_vuIec {};                    // the vu-iec filter at m_rate
    double m_rate = kDefaultRate;          // Hz
};
