#include "platform/wave/WaveEndpoints.h"

#include "platform/wave/AlsaSupport.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace kerrion {

namespace {

// A string ALSA allocated with malloc, freed on scope exit.
using AlsaText = std::unique_ptr<char, decltype(&std::free)>;

AlsaText HintText(const void* hint, const char* id)
{
    return AlsaText(snd_device_name_get_hint(hint, id), &std::free);
}

// Whether the configuration defines PCM `name` with a hint of its own (the name hint list may
// show every PCM), and is no filter that takes the PCM it works on as an argument (rate
// converters, up-mixers, effects): those would only list the default device again.
bool IsHintedEndpoint(const char* name)
{
    snd_config_t* top = nullptr;
    if (snd_config_update_ref(&top) < 0)
        return false;
    snd_config_t* node = nullptr;
    const bool hinted = snd_config_searchv(top, &node, "pcm", name, "hint", nullptr) == 0;
    const bool filter = snd_config_searchv(top, &node, "pcm", name, "@args", "SLAVE", nullptr) == 0;
    snd_config_unref(top);
    return hinted && !filter;
}

// The first line of a hint's description.
std::string FirstLine(const char* text)
{
    if (text == nullptr)
        return {};
    const char* end = std::strchr(text, '\n');
    return end != nullptr ? std::string(text, end) : std::string(text);
}

// Opens "plug:NAME": the plug layer converts rate, width and channel count, so that every
// endpoint can run the plain PCM formats whatever its native ones are.
std::string PlugPcm(const std::string& name) { return "plug:" + name; }

void CopyName(const std::string& name, WaveCaps* caps)
{
    std::strncpy(caps->name, name.c_str(), kWaveNameSize - 1);
    caps->name[kWaveNameSize - 1] = '\0';
}

} // namespace

uint32_t WaveEndpoints::Scan()
{
    PrepareAlsa();
    m_endpoints.clear();
    AddDefault();
    AddCards();
    AddHintedPcms();
    return CaptureCount();
}

int WaveEndpoints::GetCaps(uint32_t index, WaveDirection direction, WaveCaps* caps) const
{
    if (index >= m_endpoints.size() || caps == nullptr)
        return kWaveBadDeviceId;
    const Endpoint& endpoint = m_endpoints[index];
    *caps = direction == WaveDirection::Capture ? endpoint.captureCaps : endpoint.playbackCaps;
    return kWaveNoError;
}

const char* WaveEndpoints::PcmName(uint32_t index, WaveDirection direction) const
{
    if (index >= m_endpoints.size())
        return nullptr;
    const Endpoint& endpoint = m_endpoints[index];
    return direction == WaveDirection::Capture ? endpoint.capturePcm.c_str()
                                               : endpoint.playbackPcm.c_str();
}

void WaveEndpoints::AddDefault() { Add("Default audio device", PlugPcm("default"), true, true); }

void WaveEndpoints::AddCards()
{
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0)
        AddCard(card);
}

void WaveEndpoints::AddCard(int card)
{
    const std::string cardName = "hw:" + std::to_string(card);
    snd_ctl_t* ctl = nullptr;
    if (snd_ctl_open(&ctl, cardName.c_str(), SND_CTL_NONBLOCK) < 0)
        return;
    snd_ctl_card_info_t* cardInfo = nullptr;
    snd_pcm_info_t* pcmInfo = nullptr;
    snd_ctl_card_info_alloca(&cardInfo);
    snd_pcm_info_alloca(&pcmInfo);
    const std::string cardId
        = snd_ctl_card_info(ctl, cardInfo) == 0 ? snd_ctl_card_info_get_id(cardInfo) : cardName;
    int device = -1;
    while (snd_ctl_pcm_next_device(ctl, &device) == 0 && device >= 0) {
        snd_pcm_info_set_device(pcmInfo, static_cast<unsigned>(device));
        snd_pcm_info_set_subdevice(pcmInfo, 0);
        snd_pcm_info_set_stream(pcmInfo, SND_PCM_STREAM_PLAYBACK);
        const bool hasPlayback = snd_ctl_pcm_info(ctl, pcmInfo) == 0;
        snd_pcm_info_set_stream(pcmInfo, SND_PCM_STREAM_CAPTURE);
        if (snd_ctl_pcm_info(ctl, pcmInfo) < 0)
            continue; // nothing to meter
        const std::string address = std::to_string(card) + "," + std::to_string(device);
        const std::string name = FitEndpointName(
            cardId + ": " + snd_pcm_info_get_name(pcmInfo), " (hw:" + address + ")");
        // A busy device is listed all the same (without formats): it may be free at start.
        Add(name, "plughw:" + address, hasPlayback, false);
    }
    snd_ctl_close(ctl);
}

void WaveEndpoints::AddHintedPcms()
{
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0)
        return;
    for (void** hint = hints; *hint != nullptr; ++hint) {
        const AlsaText name = HintText(*hint, "NAME");
        const AlsaText ioid = HintText(*hint, "IOID");
        if (name == nullptr || std::strchr(name.get(), ':') != nullptr
            || std::strcmp(name.get(), "default") == 0
            || std::strcmp(name.get(), kSilentPlaybackPcm) == 0
            || (ioid != nullptr && std::strcmp(ioid.get(), "Output") == 0)
            || !IsHintedEndpoint(name.get()))
            continue;
        const AlsaText description = HintText(*hint, "DESC");
        const std::string label = FirstLine(description.get());
        const std::string fitted = label.empty()
            ? FitEndpointName(name.get(), "")
            : FitEndpointName(label, " (" + std::string(name.get()) + ")");
        const bool mayPlay = ioid == nullptr || std::strcmp(ioid.get(), "Input") != 0;
        Add(fitted, PlugPcm(name.get()), mayPlay, true);
    }
    snd_device_name_free_hint(hints);
}

bool WaveEndpoints::Add(
    const std::string& name, const std::string& capturePcm, bool hasPlayback, bool needCapture)
{
    if (HasCapturePcm(capturePcm))
        return false;
    Endpoint endpoint;
    endpoint.name = name;
    endpoint.capturePcm = capturePcm;
    if (!ProbePcm(capturePcm, WaveDirection::Capture, &endpoint.captureCaps) && needCapture)
        return false;
    endpoint.playbackPcm = capturePcm;
    if (!hasPlayback
        || !ProbePcm(endpoint.playbackPcm, WaveDirection::Playback, &endpoint.playbackCaps)) {
        endpoint.playbackPcm = kSilentPlaybackPcm;
        ProbePcm(endpoint.playbackPcm, WaveDirection::Playback, &endpoint.playbackCaps);
    }
    CopyName(name, &endpoint.captureCaps);
    CopyName(name, &endpoint.playbackCaps);
    m_endpoints.push_back(std::move(endpoint));
    return true;
}

bool WaveEndpoints::HasCapturePcm(const std::string& pcm) const
{
    for (const Endpoint& endpoint : m_endpoints) {
        if (endpoint.capturePcm == pcm)
            return true;
    }
    return false;
}

} // namespace kerrion
