#include "display/geometry/ScaleLaw.h"

#include <cmath>

namespace kerrion {

namespace {

constexpr double kVuK = 0.13917946645309476;           // per dB
constexpr double kVuLowExponent = -2.783589329061895;  // kVuK x -20 VU
constexpr double kVuHighExponent = 0.4175383993592843; // kVuK x +3 VU

} // namespace

double VuDbToScalePos(double vuDb)
{
    const double low = std::exp(kVuLowExponent);
    const double pos
        = 1.9 + 86.1 * (std::exp(kVuK * vuDb) - low) / (std::exp(kVuHighExponent) - low);
    // Written so that NaN falls to the rest position: every comparison with NaN is false.
    if (!(pos > 0.0))
        return 0.0;
    if (!(pos < kVuPosMax))
        return kVuPosMax;
    return pos;
}

double PeakDbToScalePos(double dbfs)
{
    const double q = 86.1 / (std::pow(10.0, 0.0) - std::pow(10.0, -1.0));
    return std::pow(10.0, dbfs / 20.0) * q + (kPeakPosMax - q);
}

double ClampPeakPos(double pos)
{
    if (!(pos > 0.0))
        return 0.0;
    if (!(pos < kPeakPosMax))
        return kPeakPosMax;
    return pos;
}

double ClampMarkPos(double pos)
{
    if (!(pos > 0.0))
        return 0.0;
    if (!(pos < kVuPosMax))
        return kVuPosMax;
    return pos;
}

double ScalePosToAngle(double pos)
{
    if (!std::isfinite(pos))
        pos = 0.0;
    return (134.0 - pos) * kPi / 180.0;
}

} // namespace kerrion
