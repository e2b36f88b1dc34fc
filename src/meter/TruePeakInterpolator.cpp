#include "meter/TruePeakInterpolator.h"

#include <algorithm>
#include <cmath>

namespace kerrion {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kOversampleHalfFrom = 96000.0; // Hz; 2x from here up

// Modified Bessel function of the first kind, order 0 (series; converges fast for x < 20).
double BesselI0(double x)
{
    double sum = 1.0;
    double term = 1.0;
    for (int k = 1; k < 40; ++k) {
        const double h = x / (2.0 * k);
        term *= h * h;
        sum += term;
    }
    return sum;
}

double Sinc(double u) { return u == 0.0 ? 1.0 : std::sin(kPi * u) / (kPi * u); }

// One vector of four floats (GCC and Clang vector extension; plain SIMD on every target).
using V4 = float __attribute__((vector_size(16)));

} // namespace

void TruePeakInterpolator::Design(double rateHz)
{
    m_factor = rateHz >= kOversampleHalfFrom ? 2 : 4;
    constexpr double half = kTaps / 2.0;
    for (int p = 0; p < kLanes; ++p) {
        const double d = static_cast<double>(p % m_factor) / m_factor;
        std::array<double, kTaps> taps {};
        double sum = 0.0;
        for (int j = 0; j < kTaps; ++j) {
            const double u = d - (j - kTaps / 2 + 1); // distance from sample m + j - 5
            const double r = u / half;
            const double window = std::fabs(r) <= 1.0
                ? BesselI0(kKaiserBeta * std::sqrt(1.0 - r * r)) / BesselI0(kKaiserBeta)
                : 0.0;
            taps[static_cast<std::size_t>(j)] = Sinc(u) * window;
            sum += taps[static_cast<std::size_t>(j)];
        }
        for (int j = 0; j < kTaps; ++j)
            m_taps[static_cast<std::size_t>(j)][static_cast<std::size_t>(p)]
                = static_cast<float>(taps[static_cast<std::size_t>(j)] / sum);
    }
    Reset();
}

void TruePeakInterpolator::Reset() { m_held.fill(0.0f); }

float TruePeakInterpolator::Run(const float* x, uint32_t n)
{
    if (n == 0)
        return 0.0f;
    V4 taps[kTaps];
    for (int k = 0; k < kTaps; ++k)
        __builtin_memcpy(&taps[k], m_taps[static_cast<std::size_t>(k)].data(), sizeof(V4));
    // The window of point m is held[m .. ] then x[..]: sample s of the joined stream is
    // held[s] for s < kTaps - 1, else x[s - (kTaps - 1)].
    constexpr uint32_t kHeld = kTaps - 1;
    const auto at = [&](uint32_t s) { return s < kHeld ? m_held[s] : x[s - kHeld]; };
    V4 peak = { 0.0f, 0.0f, 0.0f, 0.0f };
    const uint32_t edge = std::min<uint32_t>(n, kHeld); // points that still read held samples
    for (uint32_t m = 0; m < edge; ++m) {
        V4 acc = { 0.0f, 0.0f, 0.0f, 0.0f };
        for (uint32_t k = 0; k < static_cast<uint32_t>(kTaps); ++k)
            acc += taps[k] * at(m + k);
        const V4 magnitude = acc < 0.0f ? -acc : acc;
        peak = peak > magnitude ? peak : magnitude;
    }
    for (uint32_t m = edge; m < n; ++m) {
        const float* w = x + (m - kHeld);
        V4 acc = taps[0] * w[0];
        for (int k = 1; k < kTaps; ++k)
            acc += taps[k] * w[k];
        const V4 magnitude = acc < 0.0f ? -acc : acc;
        peak = peak > magnitude ? peak : magnitude;
    }
    // Keep the last kHeld samples of the joined stream for the next block.
    std::array<float, kHeld> next {};
    for (uint32_t s = 0; s < kHeld; ++s)
        next[s] = at(n + s);
    m_held = next;
    return std::max(std::max(peak[0], peak[1]), std::max(peak[2], peak[3]));
}

} // namespace kerrion
