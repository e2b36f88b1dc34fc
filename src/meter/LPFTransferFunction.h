#pragma once

// One analog section of a low-pass design, H(s) in one of two kinds:
//   first order:  H(s) = (b1 s + b0) / (s + a0)
//   second order: H(s) = (b2 s^2 + b1 s + b0) / (s^2 + a1 s + a0)
// Only the fields of the section's kind are meaningful. A plain record, made and read while a
// filter is designed (set-up time, any single thread).
class CLPFTransferFunction {
public:
    static constexpr int kFirstOrder = 0;
    static constexpr int kSecondOrder = 1;

    CLPFTransferFunction() = default;
    CLPFTransferFunction(const CLPFTransferFunction&) = default;
    CLPFTransferFunction& operator=(const CLPFTransferFunction&) = default;
    virtual ~CLPFTransferFunction();

    // First-order section: denominator constant and numerator.
    double firstA0 = 0.0; // rad/s
    double firstB1 = 0.0;
    double firstB0 = 0.0; // rad/s
    // Second-order section: denominator and numerator.
    double secondA1 = 0.0; // rad/s
    double secondA0 = 0.0; // (rad/s)^2
    double secondB2 = 0.0;
    double secondB1 = 0.0;  // rad/s
    double secondB0 = 0.0;  // (rad/s)^2
    int kind = kFirstOrder; // kFirstOrder or kSecondOrder
};
