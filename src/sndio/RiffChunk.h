#pragma once

// The RIFF layer under CWaveFile: finding a form and a sub-chunk in a file whose sizes are not
// trusted, and writing chunks whose sizes are completed on ascending. Works on a buffered stdio
// file; every position is 64-bit, so sizes near 4 GiB never wrap. The caller's thread.

#include <cstdint>
#include <cstdio>

namespace kerrion {

inline constexpr uint32_t kChunkSizePending = 1; // RiffChunk::flags: write the size on ascending
inline constexpr uint32_t kChunkHeaderBytes = 8; // id and size

struct RiffChunk {
    char id[4] = {};         // chunk id, e.g. "fmt "
    uint32_t size = 0;       // bytes of the chunk's contents (without header and pad byte)
    char form[4] = {};       // form type of a "RIFF" chunk
    uint32_t dataOffset = 0; // file offset of the first byte of the contents
    uint32_t flags = 0;      // kChunkSizePending
};

// Byte range [begin, end) of a file in which chunks are searched.
struct RiffRange {
    uint64_t begin = 0;
    uint64_t end = 0;
};

// Length of the file in bytes, or -1 when it cannot be told.
int64_t RiffFileLength(std::FILE* file);

// Finds the first "RIFF" chunk of form type `form` among the chunks in `range`, skipping every
// other chunk. The chunk's contents start with the form type. False when none lies in the range.
bool RiffFindForm(std::FILE* file, RiffRange range, const char (&form)[5], RiffChunk& chunk);
// Finds the first chunk `id` among the chunks in `range`. The file is left at its contents.
bool RiffFindChunk(std::FILE* file, RiffRange range, const char (&id)[5], RiffChunk& chunk);
// The range after a chunk (with its pad byte) up to `end`; empty when the chunk runs past it.
RiffRange RiffRangeAfter(const RiffChunk& chunk, uint64_t end);

// Writes a chunk header at the current position (with the form type when `form` is given):
// the size is chunk.size, or 0 with kChunkSizePending to be written by RiffAscend.
bool RiffCreateChunk(std::FILE* file, RiffChunk& chunk, const char (&id)[5], const char* form);
// Closes a chunk whose contents end at the current position: adds the pad byte when the size is
// odd and, when pending, writes the size back. The file is left after the chunk.
bool RiffAscend(std::FILE* file, RiffChunk& chunk);

// Little-endian fields of a header.
uint16_t ReadLe16(const uint8_t* p);
uint32_t ReadLe32(const uint8_t* p);
void WriteLe16(uint8_t* p, uint16_t value);
void WriteLe32(uint8_t* p, uint32_t value);

} // namespace kerrion
