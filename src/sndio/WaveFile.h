#pragma once

// A RIFF WAVE file, read or written as raw interleaved little-endian frames; the samples are
// never interpreted (CSndIOBuffer converts them). Reading treats the file as untrusted: chunk
// sizes are checked against the file, and reads stop at the end of the data chunk or of the
// file, whichever comes first. Writing never lets the file pass the 4 GiB RIFF limit.
//
// Threads: one thread at a time (the engine thread while metering, or the caller of a tool).
// WriteFrames and ReadFrames do buffered file I/O, and UpdateSizes writes the header (called
// about once a second); nothing else on the per-block path does.

#include "sndio/RiffChunk.h"

#include <cstdint>
#include <cstdio>
#include <memory>

namespace kerrion {

// The 18-byte wave format record, as it is stored in the "fmt " chunk.
struct WaveFormat {
    uint16_t formatTag = 0;      // 1 = PCM
    uint16_t channels = 0;       // samples per frame
    uint32_t samplesPerSec = 0;  // Hz
    uint32_t avgBytesPerSec = 0; // bytes per second
    uint16_t blockAlign = 0;     // bytes per frame as recorded in the file
    uint16_t bitsPerSample = 0;  // bits
    uint16_t extraSize = 0;      // bytes of format data after this record
};

inline constexpr uint32_t kWaveFormatBytes = 18;
inline constexpr uint32_t kWaveHeaderBytes = 46; // RIFF, "fmt " and "data" headers as written
// The most data a written file may hold: the RIFF size (file length - 8, pad byte included)
// must still fit in 32 bits.
inline constexpr uint32_t kWaveMaxDataBytes = 0xFFFFFFFFU - (kWaveHeaderBytes - 8) - 1;

} // namespace kerrion

class CWaveFile {
public:
    static constexpr int kModeRead = 0;
    static constexpr int kModeWrite = 1;
    static constexpr size_t kMaxPath = 260; // characters, terminating NUL included

    CWaveFile() = default;
    virtual ~CWaveFile();
    CWaveFile(const CWaveFile&) = delete;
    CWaveFile& operator=(const CWaveFile&) = delete;

    // Before opening for writing: the frame layout to record. Open completes the rest.
    void SetFormat(uint16_t channels, uint32_t samplesPerSec, uint16_t bitsPerSample);
    // Caps the data a written file may take (bytes); never above kWaveMaxDataBytes. Kept across
    // Close, so a recording set up once keeps its cap.
    void SetDataLimit(uint32_t bytes);

    // Opens `path` for reading (mode 0: positioned at the first sample) or creates it for
    // writing (mode 1: the header is written, sizes pending). False on any failure; the file
    // is then closed, and path and mode keep the values of this call.
    bool Open(const char* path, int mode);
    // Completes the sizes of a written file (with the pad byte after odd data), closes the
    // file and clears every field. Always 1.
    int Close();

    // Appends whole frames at the end of a file open for writing; returns the frames written,
    // fewer when the data limit is reached or a write fails (Error then tells why).
    uint32_t WriteFrames(const void* frames, uint32_t count);
    // A file open for writing: hands what is buffered to the system and writes the RIFF and data
    // sizes of what it holds now into the header, so that the file plays up to here even if the
    // program ends without Close (a crash, kill -9). False on a failure (see Error).
    bool UpdateSizes();
    // The errno of the first write of this open that failed (a full disk, a file too large);
    // 0 while none has.
    int Error() const { return m_error; }
    // Reads up to `count` whole frames of a file open for reading; returns the frames read,
    // fewer at the end of the data chunk or of the file.
    uint32_t ReadFrames(void* frames, uint32_t count);
    // Back to the first sample of a file open for reading.
    bool SeekToData();

    bool IsOpen() const { return m_file != nullptr; }
    const char* Path() const { return m_path; }
    int Mode() const { return m_mode; }
    const kerrion::WaveFormat& Format() const { return m_format; }
    uint32_t FrameBytes() const { return m_frameBytes; }
    uint32_t DataOffset() const { return m_dataOffset; }
    uint32_t Frames() const { return m_frames; }
    uint32_t DataBytes() const { return m_dataChunk.size; }

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    bool OpenForReading();
    bool ReadFormat(const kerrion::RiffChunk& chunk, uint64_t end);
    bool OpenForWriting();

    char m_path[kMaxPath] = {};                        // NUL-terminated
    int m_mode = kModeRead;                            // kModeRead or kModeWrite
    std::unique_ptr<std::FILE, FileCloser> m_file;     // buffered stdio stream, or none
    uint64_t m_position = 0;                           // bytes read or written past the data offset
    uint32_t m_dataLimit = kerrion::kWaveMaxDataBytes; // bytes a written file may hold
    kerrion::RiffChunk m_riffChunk;                    // the "RIFF" form "WAVE"
    kerrion::RiffChunk m_dataChunk;                    // "data"; size clamped to the file when read
    kerrion::WaveFormat m_format;                      // as read, or as set and completed
    uint32_t m_frameBytes = 0;                         // channels * (bits / 8), bytes
    uint32_t m_dataOffset = 0;                         // file offset of the first sample byte
    uint32_t m_frames = 0;                             // whole frames in the data chunk (read)
    int m_error = 0;                                   // errno of the first failed write
};
