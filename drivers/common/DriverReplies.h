#pragma once

// Answers every driver plug-in gives the host in the same form.

#include "platform/asio/AsioTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kerrion {

// Copies `text` into a host buffer of `size` bytes, cut to fit, always terminated.
void CopyText(char* target, std::size_t size, const std::string& text);

// A 64-bit sample count as the host's pair of 32-bit halves.
ASIOSamples Split(uint64_t value);

// Reports one clock source, always current, named `name`.
ASIOError ReportSingleClockSource(ASIOClockSource* clocks, int32_t* numSources, const char* name);

} // namespace kerrion
