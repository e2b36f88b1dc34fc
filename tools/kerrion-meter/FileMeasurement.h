#pragma once

// One sound file's broadcast loudness, measured through the metering engine's own loudness
// processor: the file's channels become the meters (channel n to meter n, the first eight; in
// a 7.1 file whose side channels follow the rear ones, those two pairs change places) and
// are read a step of the measurement (100 ms) at a time, so that the readings after each step
// are those of a whole number of steps. One thread.

#include "SoundFileReader.h"
#include "meter/LoudnessLayout.h"
#include "meter/LoudnessReadings.h"
#include "meter/SndSPLoudnessR128.h"
#include "sndio/SndIOBuffer.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kerrion::cli {

class FileMeasurement {
public:
    // Over `reader`, opened, which must outlive the measurement.
    FileMeasurement(SoundFileReader& reader, LoudnessLayout layout);

    // Prepares the processor; false when memory runs out.
    bool Init();
    // Measures the next step; false at the end of the file or after a read error (the
    // reader's Error() tells which).
    bool Step();
    const LoudnessReadings& Readings() const { return m_loudness.GetReadings(); }

private:
    SoundFileReader& m_reader;
    int m_meters;                         // file channels measured
    std::vector<int> m_meterOf;           // per file channel measured
    uint32_t m_frames;                    // per step
    std::vector<double> m_interleaved;    // one step as the file holds it
    std::vector<double> m_channelSamples; // m_meters runs of m_frames, m_buffers' memory
    std::unique_ptr<CSndIOBuffer[]> m_buffers;
    CSndSPLoudnessR128 m_loudness;
};

} // namespace kerrion::cli
