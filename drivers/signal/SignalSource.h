#pragma once

// One input channel's signal: a generator that fills blocks of samples in full-scale units
// (-1.0 to 1.0). Driver thread only after set-up; Render allocates nothing.

#include "SignalConfig.h"

#include <string_view>
#include <vector>

namespace kerrion::signal {

class SignalSource {
public:
    // Prepares the source (reads a WAVE file's channel into memory). A file that cannot be read
    // gives silence.
    void Setup(const InputSettings& settings, double rate, uint32_t seed);
    void Render(double* out, int frames);

private:
    double NextNoise();
    void RenderTone(double* out, int frames);

    InputSettings m_settings;
    double m_amplitude = 0.0; // full scale: peak for tones, half-range for noise
    double m_phase = 0.0;     // cycles, 0..1
    double m_phaseStep = 0.0; // cycles per frame, 0..1
    double m_stepCos = 1.0;   // the phasor's turn per frame
    double m_stepSin = 0.0;
    uint64_t m_burstFrame = 0;    // frames into the current burst period
    uint64_t m_burstOnFrames = 1; // frames
    uint64_t m_burstPeriod = 1;   // frames
    uint64_t m_noiseState = 1;    // xorshift state
    std::vector<double> m_file;   // the chosen WAVE channel, full-scale units
    size_t m_filePosition = 0;    // frames
};

// The largest WAVE file the generator plays: 64 MiB, over eleven minutes of mono 16-bit sound
// at 48 kHz (held as doubles, four times the file's share of the chosen channel).
inline constexpr size_t kMaxWaveFileBytes = size_t { 64 } << 20;

// Reads channel `channel` (1-based) of a 16-bit PCM WAVE file; false when it is not one, or is
// not a regular file of at most kMaxWaveFileBytes (it is opened without blocking).
bool ReadWaveChannel(const std::filesystem::path& path, int channel, std::vector<double>& samples);
// The same from the file's bytes; a data chunk cut short gives the frames that are there.
bool ParseWaveChannel(std::string_view file, int channel, std::vector<double>& samples);

} // namespace kerrion::signal
