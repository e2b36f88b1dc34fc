#pragma once

// Butterworth low-pass design: a normalised analog prototype whose attenuation at the
// normalised frequency 1 is exactly Apass, scaled to the prewarped cutoff, then mapped to
// digital stages by the bilinear transform. With the order fixed (the VU ballistics) the order
// is given; otherwise it is computed from Fstop, Apass and Astop.
//
// The constant pi is 3.1415926538 in every step (the value this design has always used; the
// difference from the exact value moves the cutoff by less than 1e-11 of itself).
//
// Threads: as CDigitalFilter (design at set-up, filtering on the per-block path).

#include "meter/DigitalFilter.h"

class CBwLPF : public CDigitalFilter {
public:
    static constexpr double kPi = 3.1415926538;
    static constexpr double kTwoPi = 6.2831853076;

    CBwLPF() = default;
    ~CBwLPF() override;

    // The order meeting Apass at Fcutoff and Astop at Fstop, at least 1; -1 with one line on
    // standard output when Astop is too small or the edges are out of order or out of range.
    int CalcOrder() override;

    // One second-order section per pole pair, and a first-order section last when the order is
    // odd; each with unity gain at 0 rad/s.
    void DesignPrototype() override;
    // Scales the prototype to Omega = 2 Fs tan(pi Fcutoff / Fs), the analog frequency that the
    // bilinear transform maps onto Fcutoff.
    void ScaleToCutoff() override;
    // One digital stage per scaled section, in the same order (s = 2 Fs (z - 1) / (z + 1)).
    void BilinearTransform() override;
};
