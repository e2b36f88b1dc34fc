#include "meter/DigitalFilter.h"

#include <new>

CDigitalFilter::~CDigitalFilter() = default;

int CDigitalFilter::Design()
{
    if (m_fixedOrder == 0)
        SetOrder(CalcOrder()); // a failed calculation (-1) keeps the previous order
    try {
        DesignPrototype();
        ScaleToCutoff();
        BilinearTransform();
    } catch (const std::bad_alloc&) {
        m_prototype.clear();
        m_scaled.clear();
        m_stages.clear();
        return 0;
    }
    Reset();
    return 1;
}

void CDigitalFilter::SetOrder(int order)
{
    if (order >= 1 && order <= kMaxOrder)
        m_order = order;
}

int CDigitalFilter::CalcOrder() { return m_order; }

double CDigitalFilter::FilterSample(double x)
{
    double y = x;
    for (CIIRTransferFunction& stage : m_stages)
        y = stage.Output(y);
    return y;
}

std::unique_ptr<double[]> CDigitalFilter::FilterArray(const double* x, int n, int& count)
{
    count = 0;
    if (n <= 0 || x == nullptr)
        return nullptr;
    std::unique_ptr<double[]> y(new (std::nothrow) double[static_cast<size_t>(n)]);
    if (!y)
        return nullptr;
    for (int i = 0; i < n; ++i)
        y[i] = FilterSample(x[i]);
    count = n;
    return y;
}

void CDigitalFilter::Reset()
{
    for (CIIRTransferFunction& stage : m_stages)
        stage.Reset();
}

void CDigitalFilter::DesignPrototype() { m_prototype.clear(); }

void CDigitalFilter::ScaleToCutoff() { m_scaled.clear(); }

void CDigitalFilter::BilinearTransform() { m_stages.clear(); }

void CDigitalFilter::FilterBlock(double* samples, uint32_t n)
{
    for (CIIRTransferFunction& stage : m_stages)
        stage.OutputBlock(samples, n);
}

void CDigitalFilter::FlushBelow(double magnitude)
{
    for (CIIRTransferFunction& stage : m_stages)
        stage.FlushBelow(magnitude);
}
