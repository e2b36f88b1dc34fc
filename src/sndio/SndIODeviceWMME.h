#pragma once

// The plain audio device (kind 1, "WMME"): pairs playback endpoint i with capture endpoint i of
// the wave layer under one device index, opens both with a 16-bit (or 8-bit) PCM format derived
// from the endpoints' format flags, and runs a device thread that keeps four wave buffers per
// direction queued and moves their contents to and from the ring slots.
//
// Threads: the engine thread (or the UI thread for the device dialog) calls the operations; the
// device thread is WmmeDeviceThread; the wave layer's I/O threads only hand buffers back.

#include "platform/wave/WaveTypes.h"
#include "sndio/SndIODevice.h"
#include "sndio/WmmeDeviceState.h"

#include <memory>

class CSndIODeviceWMME : public CSndIODevice {
public:
    CSndIODeviceWMME();
    ~CSndIODeviceWMME() override;

    int Initialize() override;
    int SelectDevice(uint32_t index) override;
    int Start() override;
    int Close() override;

    // Rate, channels, width and type of `stream` from an endpoint's format flags: 44100 Hz when
    // a 44.1 kHz format is offered, else 22050 Hz when a 22.05 kHz one is, else 11025 Hz;
    // stereo when any stereo format is offered; 16-bit when any 16-bit format is, else 8-bit
    // unsigned. Buffer frames are left as they are.
    static void FillStream(CSndIOStream& stream, const kerrion::WaveCaps& caps);

    const kerrion::WaveCaps& OutputCaps() const { return m_outputCaps; }
    const kerrion::WaveCaps& InputCaps() const { return m_inputCaps; }

protected:
    // The wave layer's enumeration roles. Kept virtual so that a test can present endpoint
    // lists the system does not have (more capture than playback endpoints, odd formats).
    virtual void ScanEndpoints();
    virtual uint32_t EndpointCount(kerrion::WaveDirection direction) const;
    virtual int EndpointCaps(
        uint32_t index, kerrion::WaveDirection direction, kerrion::WaveCaps* caps) const;

    void OnThreadAbandoned() override;

private:
    std::shared_ptr<kerrion::WmmeDeviceState> m_state; // the device data of the thread context
    kerrion::WaveCaps m_outputCaps;                    // of the selected index
    kerrion::WaveCaps m_inputCaps;
};
