#include "meter/IIRTransferFunction.h"

#include <cmath>

CIIRTransferFunction::~CIIRTransferFunction() = default;

void CIIRTransferFunction::SetCoefficients(const double* b, int nb, const double* a, int na)
{
    m_b.fill(0.0);
    m_a.fill(0.0);
    const bool valid = nb >= 0 && nb <= kMaxLength && na >= 0 && na <= kMaxLength;
    m_nb = valid ? nb : 0;
    m_na = valid ? na : 0;
    for (int i = 0; i < m_nb; ++i)
        m_b[i] = b[i];
    for (int i = 0; i < m_na; ++i)
        m_a[i] = a[i];
    m_inputLength = 0;
    m_outputLength = 0;
    m_input.fill(0.0);
    m_output.fill(0.0);
    Reset();
}

void CIIRTransferFunction::Reset()
{
    if (m_nb == 0 || m_na == 0)
        return;
    m_input.fill(0.0);
    m_output.fill(0.0);
    m_inputLength = m_nb;
    m_outputLength = m_na;
}

void CIIRTransferFunction::FlushBelow(double magnitude)
{
    for (double& x : m_input)
        x = std::fabs(x) < magnitude ? 0.0 : x;
    for (double& y : m_output)
        y = std::fabs(y) < magnitude ? 0.0 : y;
}

double CIIRTransferFunction::Output(double x)
{
    for (int i = m_inputLength - 1; i >= 1; --i)
        m_input[i] = m_input[i - 1];
    if (m_inputLength > 0)
        m_input[0] = x;
    double y = 0.0;
    for (int i = 0; i < m_nb && i < m_inputLength; ++i)
        y += m_b[i] * m_input[i];
    for (int i = 1; i < m_na && i < m_outputLength; ++i)
        y -= m_a[i] * m_output[i];
    for (int i = m_outputLength - 1; i >= 2; --i)
        m_output[i] = m_output[i - 1];
    if (m_outputLength > 1)
        m_output[1] = y;
    return y;
}

void CIIRTransferFunction::OutputBlock(double* samples, uint32_t n)
{
    const bool ready = m_inputLength == m_nb && m_outputLength == m_na;
    if (ready && m_nb == 2 && m_na == 2) {
        OutputBlockFirstOrder(samples, n);
    } else if (ready && m_nb == 3 && m_na == 3) {
        OutputBlockSecondOrder(samples, n);
    } else {
        for (uint32_t i = 0; i < n; ++i)
            samples[i] = Output(samples[i]);
    }
}

// The sums below keep the order of Output (0.0 + b0 x0 + b1 x1 ... - a1 y1 ...), so both paths
// give the same bits. The histories are written back exactly as Output would leave them.
void CIIRTransferFunction::OutputBlockFirstOrder(double* samples, uint32_t n)
{
    const double b0 = m_b[0], b1 = m_b[1], a1 = m_a[1];
    double x1 = m_input[0], x2 = m_input[1], y1 = m_output[1];
    for (uint32_t i = 0; i < n; ++i) {
        const double x0 = samples[i];
        double y = 0.0 + b0 * x0;
        y += b1 * x1;
        y -= a1 * y1;
        x2 = x1;
        x1 = x0;
        y1 = y;
        samples[i] = y;
    }
    m_input[0] = x1;
    m_input[1] = x2;
    m_output[1] = y1;
}

void CIIRTransferFunction::OutputBlockSecondOrder(double* samples, uint32_t n)
{
    const double b0 = m_b[0], b1 = m_b[1], b2 = m_b[2], a1 = m_a[1], a2 = m_a[2];
    double x1 = m_input[0], x2 = m_input[1], x3 = m_input[2];
    double y1 = m_output[1], y2 = m_output[2];
    for (uint32_t i = 0; i < n; ++i) {
        const double x0 = samples[i];
        double y = 0.0 + b0 * x0;
        y += b1 * x1;
        y += b2 * x2;
        y -= a1 * y1;
        y -= a2 * y2;
        x3 = x2;
        x2 = x1;
        x1 = x0;
        y2 = y1;
        y1 = y;
        samples[i] = y;
    }
    m_input[0] = x1;
    m_input[1] = x2;
    m_input[2] = x3;
    m_output[1] = y1;
    m_output[2] = y2;
}
