#include "platform/wave/AlsaSupport.h"

#include <dlfcn.h>

#include <array>
#include <mutex>

namespace kerrion {

namespace {

// ALSA reports through this handler instead of printing "ALSA lib ..." lines on stderr.
void DiscardAlsaError(const char*, int, const char*, int, const char*, ...) { }

void DiscardJackMessage(const char*) { }

// The jack plug-in loads the JACK client library, which prints its own connection failures
// ("Cannot connect to server socket") whenever a jack PCM is probed with no server running.
// Loading the library first (when the system has it) lets us point its message hooks at nothing;
// the plug-in later shares the same loaded library. The handle is kept for the process's life.
void SilenceJackClientLibrary()
{
    void* jack = dlopen("libjack.so.0", RTLD_LAZY | RTLD_LOCAL);
    if (jack == nullptr)
        return;
    using SetFunction = void (*)(void (*)(const char*));
    for (const char* name : { "jack_set_error_function", "jack_set_info_function" }) {
        auto set = reinterpret_cast<SetFunction>(dlsym(jack, name));
        if (set != nullptr)
            set(DiscardJackMessage);
    }
}

struct RateStep {
    unsigned rate; // Hz
    int bit;       // first flag bit of this rate
};
constexpr std::array<RateStep, 5> kRateSteps { { { 11025, 0 }, { 22050, 4 }, { 44100, 8 },
    { 48000, 12 }, { 96000, 16 } } };

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

} // namespace

void PrepareAlsa()
{
    static std::once_flag once;
    std::call_once(once, [] {
        snd_lib_error_set_handler(DiscardAlsaError);
        SilenceJackClientLibrary();
    });
}

int OpenPcm(const std::string& pcmName, WaveDirection direction, snd_pcm_t** pcm)
{
    PrepareAlsa();
    const snd_pcm_stream_t stream
        = direction == WaveDirection::Capture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
    return snd_pcm_open(pcm, pcmName.c_str(), stream, SND_PCM_NONBLOCK);
}

snd_pcm_format_t SampleFormatOfBits(uint16_t bitsPerSample)
{
    switch (bitsPerSample) {
    case 8:
        return SND_PCM_FORMAT_U8;
    case 16:
        return SND_PCM_FORMAT_S16_LE;
    case 24:
        return SND_PCM_FORMAT_S24_3LE;
    case 32:
        return SND_PCM_FORMAT_S32_LE;
    default:
        return SND_PCM_FORMAT_UNKNOWN;
    }
}

uint32_t ProbeFormats(snd_pcm_t* pcm, uint16_t* channels)
{
    *channels = 0;
    snd_pcm_hw_params_t* any = nullptr;
    snd_pcm_hw_params_t* trial = nullptr;
    snd_pcm_hw_params_alloca(&any);
    snd_pcm_hw_params_alloca(&trial);
    if (snd_pcm_hw_params_any(pcm, any) < 0
        || snd_pcm_hw_params_set_access(pcm, any, SND_PCM_ACCESS_RW_INTERLEAVED) < 0)
        return 0;
    uint32_t formats = 0;
    for (int sixteen = 0; sixteen < 2; ++sixteen) {
        for (int stereo = 0; stereo < 2; ++stereo) {
            for (const RateStep& step : kRateSteps) {
                snd_pcm_hw_params_copy(trial, any);
                if (snd_pcm_hw_params_set_format(pcm, trial, SampleFormatOfBits(sixteen ? 16 : 8))
                        < 0
                    || snd_pcm_hw_params_set_channels(pcm, trial, stereo ? 2u : 1u) < 0
                    || snd_pcm_hw_params_set_rate(pcm, trial, step.rate, 0) < 0)
                    continue;
                formats |= 1u << (step.bit + 2 * sixteen + stereo);
            }
        }
    }
    unsigned maxChannels = 0;
    if (snd_pcm_hw_params_get_channels_max(any, &maxChannels) == 0 && maxChannels > 0)
        *channels = maxChannels >= 2 ? 2 : 1;
    return formats;
}

bool ProbePcm(const std::string& pcmName, WaveDirection direction, WaveCaps* caps)
{
    caps->formats = 0;
    caps->channels = 0;
    snd_pcm_t* pcm = nullptr;
    if (OpenPcm(pcmName, direction, &pcm) < 0)
        return false;
    caps->formats = ProbeFormats(pcm, &caps->channels);
    snd_pcm_close(pcm);
    return true;
}

std::string CutName(const std::string& text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    std::size_t end = maxBytes;
    while (end > 0 && IsContinuationByte(text[end]))
        --end;
    // Prefer ending at a space, unless that throws away more than a third of the room.
    const std::size_t space = text.rfind(' ', end);
    if (space != std::string::npos && space >= maxBytes * 2 / 3)
        end = space;
    std::string cut = text.substr(0, end);
    while (!cut.empty() && std::string(" ,:;-(/").find(cut.back()) != std::string::npos)
        cut.pop_back();
    return cut;
}

std::string FitEndpointName(const std::string& label, const std::string& suffix)
{
    constexpr std::size_t kMax = kWaveNameSize - 1;
    constexpr std::size_t kLeastLabel = 8; // below this, the label says too little
    if (label.empty())
        return CutName(suffix, kMax);
    if (suffix.size() + kLeastLabel > kMax)
        return CutName(label, kMax);
    return CutName(label, kMax - suffix.size()) + suffix;
}

} // namespace kerrion
