#pragma once

// A sound file read in steps through libsndfile (WAVE, FLAC, AIFF, Ogg and whatever else it
// knows), as doubles of full scale 1.0. The file is opened like every file Kerrion reads: a
// regular file, opened without blocking. A malformed or truncated file is refused or read as
// far as it goes, never trusted further: the rate and channel count are held to what the
// loudness measurement can take, and samples that are not finite numbers read as silence.
// One thread.

#include <cstdint>
#include <string>

struct sf_private_tag; // libsndfile's SNDFILE

namespace kerrion::cli {

class SoundFileReader {
public:
    static constexpr double kLowestRate = 8000.0;    // Hz
    static constexpr double kHighestRate = 768000.0; // Hz
    static constexpr int kMostChannels = 64;

    SoundFileReader() = default;
    ~SoundFileReader();
    SoundFileReader(const SoundFileReader&) = delete;
    SoundFileReader& operator=(const SoundFileReader&) = delete;

    // Opens `path`; false with Error() saying why (not found, not a regular file, not a sound
    // file libsndfile knows, a rate or channel count out of range).
    bool Open(const std::string& path);
    int Channels() const { return m_channels; }
    double Rate() const { return m_rate; }
    int64_t Frames() const { return m_frames; } // as far as the file holds them
    // The side channels of a 7.1 file come after the rear ones, as WAVE, FLAC and most other
    // formats order them unless the file's own channel map says otherwise.
    bool SidesAfterRears() const { return m_sidesAfterRears; }
    // The header announces more than the file holds (a file cut short): the rest is read.
    bool CutShort() const { return m_cutShort; }
    // "WAV (Microsoft), Signed 24 bit PCM".
    const std::string& Description() const { return m_description; }

    // Reads up to `frames` frames, interleaved, into `samples` (frames x Channels() doubles).
    // Returns the frames read: 0 at the end of the data, -1 after a read error (Error()).
    int64_t Read(double* samples, int64_t frames);
    // Samples read that were not finite numbers (a damaged floating-point file); read as 0.
    uint64_t NonFiniteSamples() const { return m_nonFinite; }
    const std::string& Error() const { return m_error; }

private:
    void Close();

    sf_private_tag* m_file = nullptr;
    int m_fd = -1; // the file m_file reads
    int m_channels = 0;
    double m_rate = 0.0; // Hz
    int64_t m_frames = 0;
    bool m_cutShort = false;
    bool m_sidesAfterRears = true;
    uint64_t m_nonFinite = 0;
    std::string m_description;
    std::string m_error;
};

} // namespace kerrion::cli
