#include "SampleScaling.h"

#include <limits>

namespace kerrion::jack {
namespace {

constexpr double kFullScale = 2147483648.0; // 2^31

} // namespace

void FloatToInt32(const float* in, int32_t* out, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        const double scaled = static_cast<double>(in[i]) * kFullScale;
        if (scaled >= kFullScale - 1.0)
            out[i] = std::numeric_limits<int32_t>::max();
        else if (scaled <= -kFullScale)
            out[i] = std::numeric_limits<int32_t>::min();
        else if (scaled == scaled)
            out[i] = static_cast<int32_t>(scaled);
        else
            out[i] = 0; // NaN: a broken client must not reach the meters as full scale
    }
}

void Int32ToFloat(const int32_t* in, float* out, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        out[i] = static_cast<float>(static_cast<double>(in[i]) / kFullScale);
}

} // namespace kerrion::jack
