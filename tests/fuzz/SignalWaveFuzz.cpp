// Feeds arbitrary bytes to the signal generator as a WAVE file (the first byte picks the channel
// to play) and checks that what it plays is full-scale sound of no more frames than the file has
// room for.
#include "SignalSource.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const int channel = data[0] % 10; // 0 is refused; others may lie past the file's channels
    const std::string_view file(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<double> samples { 1.0 };
    const bool read = kerrion::signal::ParseWaveChannel(file, channel, samples);
    if ((!read && !samples.empty()) || (channel == 0 && read))
        std::abort();
    if (samples.size() > file.size() / 2)
        std::abort();
    for (const double sample : samples) {
        if (!(sample >= -1.0 && sample < 1.0))
            std::abort();
    }
    return 0;
}
