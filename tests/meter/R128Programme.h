#pragma once

// Programmes for the broadcast loudness tests, built in code: a sine (or noise) whose level per
// channel changes from segment to segment, fed to a CSndSPLoudnessR128 in 10 ms blocks of
// 64-bit float samples (full scale 1.0), with the readings recorded after every block.

#include "meter/SndSPLoudnessR128.h"

#include "meter/MeterSignals.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

namespace kerrion::test {

constexpr double kSilent = std::numeric_limits<double>::quiet_NaN();

// `seconds` of the signal with channel c at peak level dbfs[c] (kSilent: no signal).
struct Segment {
    double seconds;
    std::array<double, 8> dbfs;
};

// Segments of one channel pattern: `level` on the layout's first `channels` meters.
inline Segment Level(double seconds, double level, int channels = 2)
{
    Segment s { seconds, {} };
    s.dbfs.fill(kSilent);
    for (int c = 0; c < channels; ++c)
        s.dbfs[static_cast<std::size_t>(c)] = level;
    return s;
}

// The unit waveform at sample n: a sine of `hz` starting at `phaseDeg`, or noise when hz is 0.
struct Waveform {
    double hz = 1000.0;
    double phaseDeg = 0.0;
    // s of raised-cosine fade-in: a sine that starts with a jump is not band-limited, and its
    // reconstruction rings above the sine's own peak.
    double fadeInSeconds = 0.0;
    uint64_t noise = 0x9E3779B97F4A7C15ull; // xorshift state for noise

    double At(uint64_t n, double rate)
    {
        const double t = static_cast<double>(n) / rate;
        const double fade = t < fadeInSeconds ? 0.5 - 0.5 * std::cos(kPi * t / fadeInSeconds) : 1.0;
        if (hz > 0.0)
            return fade * std::sin(2.0 * kPi * hz * t + phaseDeg * kPi / 180.0);
        noise ^= noise << 13;
        noise ^= noise >> 7;
        noise ^= noise << 17;
        return static_cast<double>(noise >> 11) * 0x1.0p-52 - 1.0; // uniform in [-1, 1)
    }
};

struct Trace {
    std::vector<double> seconds;                 // end of each block
    std::vector<kerrion::LoudnessReadings> readings; // after each block
};

// Runs the segments through `meter` (already initialised) and calls `block` with the
// interleaved samples of every 10 ms block (for a reference meter) before recording.
inline Trace Run(CSndSPLoudnessR128& meter, const std::vector<Segment>& segments, Waveform wave,
    const std::function<void(const std::vector<double>&, uint32_t)>& block = {})
{
    const double rate = meter.Rate();
    const auto blockFrames = static_cast<uint32_t>(std::lround(rate / 100.0));
    ChannelSet in(kSampleFloat64, blockFrames, 8);
    std::vector<double> interleaved(blockFrames * 8);
    Trace trace;
    uint64_t n = 0;    // samples generated
    uint64_t done = 0; // frames fed to the meter
    uint32_t fill = 0;
    const auto flush = [&]() {
        for (int c = 0; c < 8; ++c)
            in[c].SetCount(fill);
        if (block)
            block(interleaved, fill);
        meter.Process(nullptr, 0, 0, in.Data(), 8, nullptr);
        done += fill;
        trace.seconds.push_back(static_cast<double>(done) / rate);
        trace.readings.push_back(meter.GetReadings());
        fill = 0;
    };
    for (const Segment& segment : segments) {
        std::array<double, 8> gain {};
        for (std::size_t c = 0; c < 8; ++c)
            gain[c] = std::isnan(segment.dbfs[c]) ? 0.0 : std::pow(10.0, segment.dbfs[c] / 20.0);
        const auto frames = static_cast<uint64_t>(std::llround(segment.seconds * rate));
        for (uint64_t i = 0; i < frames; ++i, ++n) {
            const double x = wave.At(n, rate);
            for (int c = 0; c < 8; ++c) {
                const double v = x * gain[static_cast<std::size_t>(c)];
                in[c].Samples<double>()[fill] = v;
                interleaved[fill * 8 + static_cast<uint32_t>(c)] = v;
            }
            if (++fill == blockFrames)
                flush();
        }
    }
    if (fill > 0)
        flush();
    return trace;
}

} // namespace kerrion::test
