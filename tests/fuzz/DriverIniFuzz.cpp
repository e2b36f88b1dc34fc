// Feeds arbitrary bytes to the driver plug-ins as the contents of jack.ini and signal.ini, and
// checks that every setting they take from it lies within what the drivers can run, and that
// every remembered JACK peer is a name the file could hold.
#include "JackConfig.h"
#include "JackRouting.h"
#include "SignalConfig.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckJack(const CIniProfile& ini)
{
    const kerrion::jack::JackConfig config = kerrion::jack::ReadJackConfig(ini);
    Check(config.inputs >= 1 && config.inputs <= kerrion::jack::kMaxChannels);
    Check(config.outputs >= 0 && config.outputs <= kerrion::jack::kMaxChannels);
    Check(config.bufferPeriods >= 0 && config.bufferPeriods <= kerrion::jack::kMaxBufferPeriods);
    const int periods = kerrion::jack::BufferPeriods(config, 1 + ini.Text().size() % 4096, 48000);
    Check(periods >= 1 && periods <= kerrion::jack::kMaxBufferPeriods);

    const kerrion::jack::JackRouting routing = kerrion::jack::JackRouting::Read(ini);
    for (int i = 1; i <= kerrion::jack::kMaxChannels; ++i) {
        for (const char* kind : { "in_", "out_" }) {
            for (const std::string& peer : routing.Peers(kind + std::to_string(i))) {
                // A name read back holds no separator and no line end, and has no blanks around
                // it; only CR and NUL inside a line can make it one the file would not take.
                Check(!peer.empty() && peer.find_first_of("|\n") == std::string::npos);
                Check(kerrion::jack::JackRouting::Writable(peer)
                    || peer.find_first_of(std::string("\r\0", 2)) != std::string::npos);
            }
        }
    }
}

void CheckSignal(const CIniProfile& ini)
{
    const kerrion::signal::SignalConfig config = kerrion::signal::ReadSignalConfig(ini, "/base");
    Check(config.inputs >= 0 && config.inputs <= kerrion::signal::kMaxChannels);
    Check(config.outputs >= 0 && config.outputs <= kerrion::signal::kMaxChannels);
    Check(config.rate >= 1000.0 && config.rate <= 768000.0);
    Check(config.bufferFrames >= 16 && config.bufferFrames <= 16384);
    Check(config.speed >= 0.01 && config.speed <= 1000.0);
    for (const kerrion::signal::InputSettings& input : config.input) {
        Check(std::isfinite(input.frequency) && std::isfinite(input.level) && input.level <= 20.0);
        Check(input.burstOn >= 1.0 && input.burstOn <= 3600000.0);
        Check(input.burstOff >= 0.0 && input.burstOff <= 3600000.0);
        Check(input.fileChannel >= 1 && input.fileChannel <= 65535);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const CIniProfile ini(std::string(reinterpret_cast<const char*>(data), size));
    CheckJack(ini);
    CheckSignal(ini);
    return 0;
}
