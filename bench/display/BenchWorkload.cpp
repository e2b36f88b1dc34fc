#include "BenchWorkload.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <numbers>
#include <random>

namespace kerrion::bench {

std::vector<std::vector<float>> ModulatedNoise(int channels, double rate, double seconds)
{
    const auto frames = static_cast<std::size_t>(rate * seconds);
    std::mt19937 random(12345);
    std::normal_distribution<float> noise(0.0f, 0.1f); // -20 dBFS RMS
    std::vector<std::vector<float>> loops(static_cast<std::size_t>(channels));
    for (int c = 0; c < channels; ++c) {
        const double modulation = 0.5 + 0.25 * c; // Hz; whole cycles in a loop of 4 s
        auto& loop = loops[static_cast<std::size_t>(c)];
        loop.resize(frames);
        for (std::size_t i = 0; i < frames; ++i) {
            const double t = static_cast<double>(i) / rate;
            const double gain = 0.55 + 0.45 * std::sin(2.0 * std::numbers::pi * modulation * t);
            loop[i] = std::clamp(noise(random) * static_cast<float>(gain), -1.0f, 1.0f);
        }
    }
    return loops;
}

namespace {

void Put(std::ofstream& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xff));
}

} // namespace

bool WriteWave(
    const std::filesystem::path& path, const std::vector<std::vector<float>>& loops, unsigned rate)
{
    std::ofstream out(path, std::ios::binary);
    const auto channels = static_cast<uint32_t>(loops.size());
    const auto frames = static_cast<uint32_t>(loops.empty() ? 0 : loops[0].size());
    const uint32_t data = frames * channels * 2;
    out.write("RIFF", 4);
    Put(out, 36 + data, 4);
    out.write("WAVEfmt ", 8);
    Put(out, 16, 4);
    Put(out, 1, 2); // PCM
    Put(out, channels, 2);
    Put(out, rate, 4);
    Put(out, rate * channels * 2, 4);
    Put(out, channels * 2, 2);
    Put(out, 16, 2);
    out.write("data", 4);
    Put(out, data, 4);
    for (uint32_t i = 0; i < frames; ++i)
        for (const auto& loop : loops)
            Put(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(loop[i] * 32767.0f))),
                2);
    return static_cast<bool>(out);
}

} // namespace kerrion::bench
