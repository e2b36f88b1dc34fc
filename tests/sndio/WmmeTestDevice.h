#pragma once

// Helpers for the plain device's tests: a device whose endpoint lists the test chooses, and the
// engine's side of Transfer with two-channel 16-bit (or one-channel 8-bit) buffers.

#include "platform/wave/WaveEndpoints.h"
#include "sndio/SndIODeviceWMME.h"

#include <string>
#include <vector>

// A plain device that enumerates the lists it is given instead of the system's endpoints;
// opening still goes through the real endpoint list (empty unless `scanSystem`).
class CStubEndpointsDevice : public CSndIODeviceWMME {
public:
    struct Endpoint {
        std::string name;
        uint32_t formats = 0;
    };

    std::vector<Endpoint> inputs;
    std::vector<Endpoint> outputs;
    bool scanSystem = false;

protected:
    void ScanEndpoints() override;
    uint32_t EndpointCount(kerrion::WaveDirection direction) const override;
    int EndpointCaps(
        uint32_t index, kerrion::WaveDirection direction, kerrion::WaveCaps* caps) const override;
};

// The engine's side of the ring: one Transfer per block with silence out.
class EngineSide {
public:
    EngineSide(kerrion::SampleType type, uint32_t frames, int channels);
    ~EngineSide();
    EngineSide(const EngineSide&) = delete;
    EngineSide& operator=(const EngineSide&) = delete;

    // One Transfer; the frames received go to `frames`.
    int Transfer(CSndIODevice& device, uint32_t& frames);
    const CSndIOBuffer& Input(int channel) const { return m_in[channel]; }

private:
    CSndIOBuffer* m_out = nullptr;
    CSndIOBuffer* m_in = nullptr;
    uint32_t m_frames = 0;
    int m_channels = 0;
};

// Enables both directions and allocates rings of `frames` frames per slot.
void PrepareStreams(CSndIODevice& device, uint32_t frames);

// Sends a finish or stop command as the engine does and returns the device thread's final
// reply (259 when it stopped). The acknowledgement and a quick 259 may arrive as one reply.
int StopStreaming(CSndIODevice& device, int32_t command);

// The index of the endpoint named `name` in the device's names table, or -1.
int FindDevice(const CSndIODevice& device, const std::string& name);
