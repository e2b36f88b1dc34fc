#pragma once

// The second loudness processor: it has the processor interface, working buffers, a table and
// a parameter block that the engine fills, but measures nothing. Process is the base's: it
// writes nothing and returns kOk, so the engine's second loudness levels keep their values.
//
// Threads: SetParameters and Init at run set-up; Process on the engine thread.

#include "meter/SndSP.h"
#include "meter/ZeroedBufferArray.h"

#include <array>
#include <cstdint>

class CSndSPLoudnessMarvane : public CSndSP {
public:
    using Parameters = std::array<int16_t, 4>;
    static constexpr Parameters kDefaultParameters = { 70, 100, 0, -20 };

    CSndSPLoudnessMarvane() = default;
    ~CSndSPLoudnessMarvane() override;

    // Allocates the working buffers and clears the table.
    int Init() override;

    void SetParameters(const Parameters& parameters) { m_parameters = parameters; }
    const Parameters& GetParameters() const { return m_parameters; }

private:
    kerrion::ZeroedBufferArray m_working;         // kMaxChannels x kMaxBlockFrames, type 16
    std::array<int32_t, kMaxChannels> m_table {}; // cleared by Init; not read
    Parameters m_parameters = kDefaultParameters; // copied in by the engine; not read
};
