#pragma once

// Programme layouts of the broadcast loudness measurement: which meters form the programme and
// how each channel weighs in the loudness sum (ITU-R BS.1770-4: 1.41 for the surround channels
// at the sides, 1.0 for the others, the LFE left out). Meters are 0-based here.
//   stereo  meters 1-2: L, R (the default)
//   mono    meter 1
//   5.1     meters 1-6: L, R, C, LFE, Ls, Rs (Ls, Rs at 1.41)
//   7.1     meters 1-8: L, R, C, LFE, side L, side R (1.41), rear L, rear R (1.0)
// Every channel of the layout, the LFE included, has its true peak measured.
// Pure functions; any thread.

#include <array>
#include <cstdint>
#include <string_view>

namespace kerrion {

enum class LoudnessLayout : uint8_t { Stereo, Mono, Surround51, Surround71 };

struct LoudnessChannels {
    static constexpr int kMax = 8;
    int count = 0;                       // programme channels
    std::array<int, kMax> meter {};      // 0-based meter of programme channel c
    std::array<double, kMax> weight {};  // in the loudness sum; 0.0 leaves the channel out
};

LoudnessChannels ChannelsOf(LoudnessLayout layout);
// "stereo", "mono", "5.1", "7.1".
const char* LayoutName(LoudnessLayout layout);
// The layout named `name` (as LayoutName writes it); false, leaving `layout`, for another name.
bool ParseLayout(std::string_view name, LoudnessLayout& layout);

} // namespace kerrion
