#pragma once

// The K-weighting of ITU-R BS.1770 designed for any sampling rate: a high-frequency shelf (the
// head's acoustic effect) followed by the RLB high-pass, each a biquad made from its analog
// prototype by the bilinear transform with the centre frequency pre-warped, so that the response
// is the same at every rate. The prototype parameters are those that reproduce the published
// 48 kHz coefficients (to better than 1e-8); the high-pass keeps the published numerator 1, -2, 1.
// Pure functions; any thread.

namespace kerrion {

class KWeighting {
public:
    // y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2 (a0 normalised to 1).
    struct Biquad {
        double b0, b1, b2, a1, a2;
    };

    static constexpr double kShelfHz = 1681.974450955533;    // centre of the shelf
    static constexpr double kShelfGainDb = 3.999843853973347; // high-frequency gain
    static constexpr double kShelfQ = 0.7071752369554196;
    static constexpr double kHighPassHz = 38.13547087602444;
    static constexpr double kHighPassQ = 0.5003270373238773;

    // The shelf (first stage) and the RLB high-pass (second stage) at `rateHz`.
    static Biquad Shelf(double rateHz);
    static Biquad HighPass(double rateHz);
};

} // namespace kerrion
