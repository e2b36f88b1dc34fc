#pragma once

// A digital filter: its design parameters and a cascade of IIR stages that filters one sample
// at a time, keeping its state between calls. The design sequence (order from the stopband
// requirements when the order is not fixed, analog prototype, frequency scaling, bilinear
// transform, reset) is run by Design(); this base class knows no prototype and so designs no
// stages (a filter without stages passes samples unchanged). CBwLPF supplies the Butterworth
// low-pass design.
//
// Threads: parameters are set and Design() runs at set-up (allocates); FilterSample and
// FilterBlock run on the per-block path (engine thread) and allocate nothing.

#include "meter/IIRTransferFunction.h"
#include "meter/LPFTransferFunction.h"

#include <cstdint>
#include <memory>
#include <vector>

class CDigitalFilter {
public:
    // Highest order the order setter accepts: far above any useful ballistics filter, low
    // enough that a hand-edited order can never ask for gigabytes of sections.
    static constexpr int kMaxOrder = 64;

    CDigitalFilter() = default;
    CDigitalFilter(const CDigitalFilter&) = delete;
    CDigitalFilter& operator=(const CDigitalFilter&) = delete;
    virtual ~CDigitalFilter();

    // Runs the design sequence; returns 1 (0 when memory runs out, leaving no stages).
    virtual int Design();

    // Setters of frequencies and attenuations keep only values above 0.0; the order setter
    // keeps only 1 to kMaxOrder; the other setters keep any value.
    double GetFs() const { return m_fs; }
    void SetFs(double hz) { SetPositive(m_fs, hz); }
    double GetFcutoff() const { return m_fcutoff; }
    void SetFcutoff(double hz) { SetPositive(m_fcutoff, hz); }
    double GetFcutoff2() const { return m_fcutoff2; }
    void SetFcutoff2(double hz) { SetPositive(m_fcutoff2, hz); }
    double GetFstop() const { return m_fstop; }
    void SetFstop(double hz) { SetPositive(m_fstop, hz); }
    double GetFstop2() const { return m_fstop2; }
    void SetFstop2(double hz) { SetPositive(m_fstop2, hz); }
    double GetF1() const { return m_f1; }
    void SetF1(double hz) { SetPositive(m_f1, hz); }
    double GetF2() const { return m_f2; }
    void SetF2(double hz) { SetPositive(m_f2, hz); }
    int GetOrder() const { return m_order; }
    void SetOrder(int order);
    uint8_t GetFixedOrder() const { return m_fixedOrder; }
    void SetFixedOrder(uint8_t fixed) { m_fixedOrder = fixed; }
    int GetParam1() const { return m_param1; }
    void SetParam1(int value) { m_param1 = value; }
    int GetParam2() const { return m_param2; }
    void SetParam2(int value) { m_param2 = value; }
    double GetApass() const { return m_apass; }
    void SetApass(double db) { SetPositive(m_apass, db); }
    double GetAstop() const { return m_astop; }
    void SetAstop(double db) { SetPositive(m_astop, db); }

    // The order the stopband requirements need; this base returns the current order.
    virtual int CalcOrder();

    // Filters one sample through every stage in order. Per-sample path.
    virtual double FilterSample(double x);
    // A new array (the caller's) of FilterSample(x[i]) in order, and its length in count;
    // null with count 0 when n <= 0 or memory runs out.
    virtual std::unique_ptr<double[]> FilterArray(const double* x, int n, int& count);
    // Clears the state of every stage.
    virtual void Reset();

    // The design steps; the base has no prototype, so its steps make no sections.
    virtual void DesignPrototype();
    virtual void ScaleToCutoff();
    virtual void BilinearTransform();

    // Replaces samples[0..n-1] by what FilterSample would return for each, in order, running
    // one stage at a time over the block (same arithmetic, same bits). Per-block path.
    void FilterBlock(double* samples, uint32_t n);

    // Sets every state value of the stages smaller in magnitude than `magnitude` to zero, so
    // that a decaying state ends at zero. Per-block path.
    void FlushBelow(double magnitude);

    int GetPrototypeCount() const { return static_cast<int>(m_prototype.size()); }
    const CLPFTransferFunction& GetPrototype(int i) const { return m_prototype[i]; }
    int GetScaledCount() const { return static_cast<int>(m_scaled.size()); }
    const CLPFTransferFunction& GetScaled(int i) const { return m_scaled[i]; }
    int GetStageCount() const { return static_cast<int>(m_stages.size()); }
    const CIIRTransferFunction& GetStage(int i) const { return m_stages[i]; }

protected:
    static void SetPositive(double& field, double value)
    {
        if (value > 0.0)
            field = value;
    }

    std::vector<CLPFTransferFunction> m_prototype; // normalised analog sections
    std::vector<CLPFTransferFunction> m_scaled;    // sections scaled to the cutoff
    std::vector<CIIRTransferFunction> m_stages;    // digital stages, run in order

private:
    double m_fs = 1000.0;      // Hz, sampling frequency
    double m_fcutoff = 100.0;  // Hz, passband edge
    double m_fcutoff2 = 100.0; // Hz, second passband edge (stored only)
    double m_fstop = 200.0;    // Hz, stopband edge
    double m_fstop2 = 200.0;   // Hz, second stopband edge (stored only)
    double m_f1 = 0.0;         // Hz, further frequency 1 (stored only; 0 = not set)
    double m_f2 = 0.0;         // Hz, further frequency 2 (stored only; 0 = not set)
    int m_order = 1;           // filter order
    uint8_t m_fixedOrder = 1;  // 1: the order is given; 0: Design computes it
    int m_param1 = 0;          // stored only
    int m_param2 = 0;          // stored only
    double m_apass = 3.0;      // dB, attenuation at the passband edge
    double m_astop = 10.0;     // dB, minimum attenuation in the stopband
};
