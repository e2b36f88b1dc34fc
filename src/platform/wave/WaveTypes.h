#pragma once

// Records, codes and messages of the wave layer: the plain-device interface (capture and
// playback endpoints fed with fixed-size buffers) that the WMME device family is written
// against. The codes and bit values are those of the Windows wave interface, so that code
// written against this layer reads the same on either system.

#include <atomic>
#include <cstdint>

namespace kerrion {

// Result codes of every wave call.
inline constexpr int kWaveNoError = 0;
inline constexpr int kWaveError = 1;         // unspecified failure (also a request that timed out)
inline constexpr int kWaveBadDeviceId = 2;   // no endpoint with that index
inline constexpr int kWaveInvalidHandle = 5; // the device is not open
inline constexpr int kWaveNoDriver = 6;      // the endpoint cannot be opened or has gone away
inline constexpr int kWaveNoMemory = 7;
inline constexpr int kWaveInvalidParam = 11;
inline constexpr int kWaveBadFormat = 32;    // the endpoint cannot run this PCM format
inline constexpr int kWaveStillPlaying = 33; // a buffer is still queued
inline constexpr int kWaveUnprepared = 34;   // the buffer has not been prepared

// Messages passed to a device's callback.
inline constexpr uint32_t kWaveOutOpened = 955;
inline constexpr uint32_t kWaveOutClosed = 956;
inline constexpr uint32_t kWaveOutDone = 957; // a played buffer comes back
inline constexpr uint32_t kWaveInOpened = 958;
inline constexpr uint32_t kWaveInClosed = 959;
inline constexpr uint32_t kWaveInData = 960; // a recorded buffer comes back

// Format flags of an endpoint's capabilities: one bit per rate, channel count and sample width.
// Bit (4 × rate step + 2 × sixteen-bit + stereo), rate steps 11.025, 22.05, 44.1, 48, 96 kHz.
inline constexpr uint32_t kWaveFormat11kMono8 = 0x00001;
inline constexpr uint32_t kWaveFormat11kStereo8 = 0x00002;
inline constexpr uint32_t kWaveFormat11kMono16 = 0x00004;
inline constexpr uint32_t kWaveFormat11kStereo16 = 0x00008;
inline constexpr uint32_t kWaveFormatAny22k = 0x000F0;
inline constexpr uint32_t kWaveFormatAny44k = 0x00F00;
inline constexpr uint32_t kWaveFormatAny48k = 0x0F000;
inline constexpr uint32_t kWaveFormatAny96k = 0xF0000;
inline constexpr uint32_t kWaveFormatAnyStereo = 0xAAAAA;
inline constexpr uint32_t kWaveFormatAny16Bit = 0xCCCCC;

// Format tag of integer PCM (the only tag the layer opens).
inline constexpr uint16_t kWaveFormatPcm = 1;

// Header flags.
inline constexpr uint32_t kWaveHeaderDone = 0x01; // came back from the device
inline constexpr uint32_t kWaveHeaderPrepared = 0x02;
inline constexpr uint32_t kWaveHeaderInQueue = 0x10; // queued at the device

// Endpoint names hold at most this many characters plus the terminating NUL.
inline constexpr int kWaveNameSize = 32;

enum class WaveDirection { Playback, Capture };

// The PCM format a device is opened with. 8-bit samples are unsigned, wider ones signed little
// endian; samples of a frame are interleaved.
struct WaveFormat {
    uint16_t formatTag = kWaveFormatPcm;
    uint16_t channels = 0;
    uint32_t samplesPerSecond = 0;      // frames per second
    uint32_t averageBytesPerSecond = 0; // samplesPerSecond × blockAlign
    uint16_t blockAlign = 0;            // bytes per frame: channels × bitsPerSample / 8
    uint16_t bitsPerSample = 0;         // 8, 16, 24 or 32
    uint16_t extraSize = 0;
};

// What an endpoint offers in one direction.
struct WaveCaps {
    char name[kWaveNameSize] = {}; // UTF-8, NUL-terminated
    uint32_t formats = 0;          // kWaveFormat* bits the endpoint can run
    uint16_t channels = 0;         // 1 mono or 2 stereo (the most it offers, at most 2)
};

// One buffer the caller owns and lends to a device between queueing and its return. While
// queued, only the device's I/O thread touches it; `flags` may be read at any time.
struct WaveHeader {
    uint8_t* data = nullptr;         // the caller's memory
    uint32_t bufferLength = 0;       // bytes
    uint32_t bytesRecorded = 0;      // bytes; capture: valid bytes when it comes back
    uintptr_t user = 0;              // the caller's value, untouched
    std::atomic<uint32_t> flags = 0; // kWaveHeader* bits
    WaveHeader* next = nullptr;      // the device's queue link while queued
};

// Called on the device's I/O thread with a kWave* message, the instance value given at open,
// and for kWaveOutDone / kWaveInData the header that came back. It must return quickly and
// must not call back into the device.
using WaveCallback = void (*)(uint32_t message, void* instance, WaveHeader* header);

} // namespace kerrion
