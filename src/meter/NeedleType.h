#pragma once

// The ballistics a meter's needle follows, with the key that names it in the settings
// (meter_type), on the command line (--meter-type) and in the dialog:
//   vu          the meter's own VU (CSndSPVU, designed at 48 kHz); the default
//   vu-iec      IEC 60268-17 VU: 99 % in 300 ms, about 1.25 % overshoot, rising and falling
//   ppm-din     IEC 60268-10 Type I as DIN 45406: 5 ms burst -2 dB, return 20 dB in 1.5 s
//   ppm-nordic  IEC 60268-10 Type I: 5 ms burst -2 dB, return 20 dB in 1.7 s
//   ppm-bbc     IEC 60268-10 Type IIa: 10 ms burst -2 dB, return 24 dB in 2.8 s
//   ppm-ebu     IEC 60268-10 Type IIb: the Type II dynamics (only its scale differs)
// No toolkit types; any thread.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace kerrion {

enum class NeedleType { kVu, kVuIec, kPpmDin, kPpmNordic, kPpmBbc, kPpmEbu };

// Every type, in the order a list offers them.
inline constexpr std::array<NeedleType, 6> kNeedleTypes = { NeedleType::kVu, NeedleType::kVuIec,
    NeedleType::kPpmDin, NeedleType::kPpmNordic, NeedleType::kPpmBbc, NeedleType::kPpmEbu };

// The key of `type` ("vu", "vu-iec", "ppm-din", ...); "vu" for a value outside the enum.
const char* NeedleTypeName(NeedleType type);
// The type whose key is `name` (case is ignored); kVu for an empty or unknown name, so that a
// settings file from an older or newer version still opens with a working needle.
NeedleType ParseNeedleType(std::string_view name);
// The type whose key is `name` (case is ignored); none for any other name, for callers that
// refuse it (a command-line option).
std::optional<NeedleType> FindNeedleType(std::string_view name);
// Every key in list order, "vu, vu-iec, ...", for a message that names them.
std::string NeedleTypeKeys();

} // namespace kerrion
