#include "meter/BwLPF.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace {

// 10^(db/10), computed as the design always has: exp(db ln 10 / 10).
double PowerRatio(double db) { return std::exp(db * std::log(10.0) / 10.0); }

} // namespace

CBwLPF::~CBwLPF() = default;

int CBwLPF::CalcOrder()
{
    if (GetAstop() < 0.001) {
        std::puts("BwLPF:CalcOrder():Astop is too small.");
        return -1;
    }
    const double e = std::sqrt((PowerRatio(GetApass()) - 1.0) / (PowerRatio(GetAstop()) - 1.0));
    if (GetFcutoff() > GetFstop()) {
        std::puts("BwLPF:CalcOrder():Fstop must be larger than Fcutoff.");
        return -1;
    }
    const double t = 1.0 / GetFs();
    const double wc = std::tan(kTwoPi * GetFcutoff() * t * 0.5);
    const double ws = std::tan(kTwoPi * GetFstop() * t * 0.5);
    const double r = wc / ws;
    if (!(r > 0.0 && r < 1.0)) {
        std::puts("BwLPF:CalcOrder():Illegal value(s) of Fcutoff and/or Fstop.");
        return -1;
    }
    const double order = std::floor(std::log(e) / std::log(r)) + 1.0;
    if (!(order < static_cast<double>(std::numeric_limits<int>::max())))
        return std::numeric_limits<int>::max(); // the order setter refuses it
    return order < 1.0 ? 1 : static_cast<int>(order);
}

void CBwLPF::DesignPrototype()
{
    m_prototype.clear();
    const int n = GetOrder();
    const double epsilon = std::sqrt(PowerRatio(GetApass()) - 1.0);
    const double w0 = std::exp(-std::log(epsilon) / n);
    const int sections = n / 2 + n % 2;
    m_prototype.resize(static_cast<size_t>(sections));
    for (int k = 0; k < sections; ++k) {
        CLPFTransferFunction& s = m_prototype[static_cast<size_t>(k)];
        if (k < sections - 1 || n % 2 == 0) {
            const double theta = (2.0 * k + 1.0) * kPi * 0.5 / n;
            s.kind = CLPFTransferFunction::kSecondOrder;
            s.secondA1 = 2.0 * w0 * std::sin(theta);
            s.secondA0 = w0 * w0;
            s.secondB2 = 0.0;
            s.secondB1 = 0.0;
            s.secondB0 = w0 * w0;
        } else {
            s.kind = CLPFTransferFunction::kFirstOrder;
            s.firstA0 = w0;
            s.firstB1 = 0.0;
            s.firstB0 = w0;
        }
    }
}

void CBwLPF::ScaleToCutoff()
{
    m_scaled.clear();
    const double omega = 2.0 * GetFs() * std::tan(GetFcutoff() * kPi / GetFs());
    const double omega2 = omega * omega;
    m_scaled.reserve(m_prototype.size());
    for (const CLPFTransferFunction& p : m_prototype) {
        CLPFTransferFunction s;
        s.kind = p.kind;
        if (p.kind == CLPFTransferFunction::kFirstOrder) {
            s.firstA0 = p.firstA0 * omega;
            s.firstB1 = 0.0;
            s.firstB0 = p.firstB0 * omega;
        } else {
            s.secondA1 = p.secondA1 * omega;
            s.secondA0 = p.secondA0 * omega2;
            s.secondB2 = 0.0;
            s.secondB1 = 0.0;
            s.secondB0 = p.secondB0 * omega2;
        }
        m_scaled.push_back(s);
    }
}

void CBwLPF::BilinearTransform()
{
    m_stages.clear();
    const double k = 2.0 * GetFs();
    m_stages.resize(m_scaled.size());
    for (size_t i = 0; i < m_scaled.size(); ++i) {
        const CLPFTransferFunction& s = m_scaled[i];
        if (s.kind == CLPFTransferFunction::kFirstOrder) {
            const double d = s.firstA0 + k;
            const double b[2]
                = { (s.firstB1 * k + s.firstB0) / d, (s.firstB0 - s.firstB1 * k) / d };
            const double a[2] = { 1.0, (s.firstA0 - k) / d };
            m_stages[i].SetCoefficients(b, 2, a, 2);
        } else {
            const double kk = k * k;
            const double d = 1.0 / (kk + s.secondA1 * k + s.secondA0);
            const double a[3]
                = { 1.0, 2.0 * (s.secondA0 - kk) * d, (kk - s.secondA1 * k + s.secondA0) * d };
            const double b[3] = { (s.secondB2 * kk + s.secondB1 * k + s.secondB0) * d,
                2.0 * (s.secondB0 - s.secondB2 * kk) * d,
                (s.secondB2 * kk - s.secondB1 * k + s.secondB0) * d };
            m_stages[i].SetCoefficients(b, 3, a, 3);
        }
    }
}
