#pragma once

// One digital IIR stage in direct form I:
//   y[n] = b[0] x[n] + ... + b[nb-1] x[n-nb+1] - a[1] y[n-1] - ... - a[na-1] y[n-na+1]
// with a[0] = 1. A first-order stage has two coefficients on each side, a second-order stage
// three. The histories carry the state from one sample (and one block) to the next.
// Threads: designed at set-up, then used by one thread at a time (the engine thread for the VU
// ballistics); Output and OutputBlock allocate nothing.

#include <array>
#include <cstdint>

class CIIRTransferFunction {
public:
    static constexpr int kMaxLength = 3; // coefficients per side of a second-order stage

    CIIRTransferFunction() = default;
    CIIRTransferFunction(const CIIRTransferFunction&) = default;
    CIIRTransferFunction& operator=(const CIIRTransferFunction&) = default;
    virtual ~CIIRTransferFunction();

    // Takes nb numerator and na denominator coefficients (0 to kMaxLength each; lengths outside
    // that range leave the stage without coefficients) and clears the histories.
    void SetCoefficients(const double* b, int nb, const double* a, int na);
    // Clears the input and output histories when the stage has both coefficient arrays.
    void Reset();

    // Filters one sample (the stage output for input x). Per-sample path.
    double Output(double x);
    // Replaces samples[0..n-1] by the stage outputs for them, in order; the same arithmetic as
    // calling Output on each sample, with the state kept in registers. Per-block path.
    void OutputBlock(double* samples, uint32_t n);

    // Sets every history entry smaller in magnitude than `magnitude` to zero. Per-block path.
    void FlushBelow(double magnitude);

    int NumeratorLength() const { return m_nb; }
    int DenominatorLength() const { return m_na; }
    double B(int i) const { return m_b[i]; }
    double A(int i) const { return m_a[i]; }
    int InputHistoryLength() const { return m_inputLength; }
    int OutputHistoryLength() const { return m_outputLength; }
    double InputHistory(int i) const { return m_input[i]; }
    double OutputHistory(int i) const { return m_output[i]; }

private:
    void OutputBlockFirstOrder(double* samples, uint32_t n);
    void OutputBlockSecondOrder(double* samples, uint32_t n);

    std::array<double, kMaxLength> m_b {};      // numerator coefficients
    std::array<double, kMaxLength> m_a {};      // denominator coefficients, m_a[0] = 1
    int m_nb = 0;                               // numerator length (2 or 3 once designed)
    int m_na = 0;                               // denominator length (2 or 3 once designed)
    std::array<double, kMaxLength> m_output {}; // y[n-i] at index i; index 0 unused
    std::array<double, kMaxLength> m_input {};  // x[n-i] at index i
    int m_inputLength = 0;                      // entries of m_input in use (= m_nb)
    int m_outputLength = 0;                     // entries of m_output in use (= m_na)
};
