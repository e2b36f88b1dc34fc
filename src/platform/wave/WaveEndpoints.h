#pragma once

// The plain audio endpoints of the system, listed once by Scan: the `default` PCM when it opens
// for capture, each sound card's capture devices through the `plughw` plug-in, and every PCM an
// ALSA configuration file defines with a hint to show it (except filters over another PCM and
// the `null` PCM). Index i names the same endpoint in the capture and in the playback list; an
// endpoint without playback gets ALSA's `null` PCM as its playback side, so that it can be
// metered like any other. Endpoints that can only play are left out: there is nothing to meter.
//
// Threads: Scan on one thread; afterwards the list does not change and any thread may read it.

#include "platform/wave/WaveTypes.h"

#include <string>
#include <vector>

namespace kerrion {

class WaveEndpoints {
public:
    struct Endpoint {
        std::string name;       // at most kWaveNameSize - 1 bytes, UTF-8
        std::string capturePcm; // ALSA PCM names opened for each direction
        std::string playbackPcm;
        WaveCaps captureCaps;
        WaveCaps playbackCaps;
    };

    // Lists the endpoints afresh (opening each briefly to learn its formats); their number.
    uint32_t Scan();

    uint32_t CaptureCount() const { return static_cast<uint32_t>(m_endpoints.size()); }
    uint32_t PlaybackCount() const { return static_cast<uint32_t>(m_endpoints.size()); }

    // Copies the capabilities of endpoint `index`: kWaveNoError or kWaveBadDeviceId.
    int GetCaps(uint32_t index, WaveDirection direction, WaveCaps* caps) const;

    // The ALSA PCM name behind endpoint `index` in one direction, or nullptr.
    const char* PcmName(uint32_t index, WaveDirection direction) const;

    const std::vector<Endpoint>& Endpoints() const { return m_endpoints; }

    // The name of the PCM used as the playback side of capture-only endpoints.
    static constexpr const char* kSilentPlaybackPcm = "null";

private:
    void AddDefault();
    void AddCards();
    void AddCard(int card);
    void AddHintedPcms();
    // Probes both sides and appends the endpoint; false when its capture side does not open
    // and `needCapture` asks for it.
    bool Add(
        const std::string& name, const std::string& capturePcm, bool hasPlayback, bool needCapture);
    bool HasCapturePcm(const std::string& pcm) const;

    std::vector<Endpoint> m_endpoints;
};

} // namespace kerrion
