#pragma once

// Writes full-scale values (-1.0 to 1.0) as samples of an ASIO sample type, little- or
// big-endian as the type says. Any thread; allocates nothing.

#include "platform/asio/AsioTypes.h"

#include <cstddef>

namespace kerrion::signal {

// Bytes per sample of a type code; 4 for codes the writer does not know (written as zeros).
int SampleBytes(ASIOSampleType type);

void WriteSamples(ASIOSampleType type, const double* values, int count, void* target);

} // namespace kerrion::signal
