#include "meter/KWeighting.h"

#include <cmath>

namespace kerrion {
namespace {

constexpr double kPi = 3.14159265358979323846;
// The shelf's mid-band gain is the square root of its top gain (very nearly): the exponent that
// reproduces the published coefficients.
constexpr double kShelfMidExponent = 0.4996667741545416;

// tan(pi f0 / fs): the pre-warped analog frequency of the bilinear transform.
double Warp(double hz, double rateHz) { return std::tan(kPi * hz / rateHz); }

} // namespace

// H(s) = (Vh s^2 + Vb (w0/Q) s + w0^2) / (s^2 + (w0/Q) s + w0^2), through s = (z - 1) / (z + 1)
// with w0 pre-warped to K.
KWeighting::Biquad KWeighting::Shelf(double rateHz)
{
    const double k = Warp(kShelfHz, rateHz);
    const double vh = std::pow(10.0, kShelfGainDb / 20.0);
    const double vb = std::pow(vh, kShelfMidExponent);
    const double a0 = 1.0 + k / kShelfQ + k * k;
    return { (vh + vb * k / kShelfQ + k * k) / a0, 2.0 * (k * k - vh) / a0,
        (vh - vb * k / kShelfQ + k * k) / a0, 2.0 * (k * k - 1.0) / a0,
        (1.0 - k / kShelfQ + k * k) / a0 };
}

// H(s) = s^2 / (s^2 + (w0/Q) s + w0^2); the numerator is left at 1, -2, 1 as published (a gain
// of 1/a0 above the corner is part of the standard's reference filter).
KWeighting::Biquad KWeighting::HighPass(double rateHz)
{
    const double k = Warp(kHighPassHz, rateHz);
    const double a0 = 1.0 + k / kHighPassQ + k * k;
    return { 1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / kHighPassQ + k * k) / a0 };
}

} // namespace kerrion
