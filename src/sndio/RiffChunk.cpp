#include "sndio/RiffChunk.h"

#include <cstring>
#include <limits>

#include <sys/types.h>

namespace kerrion {

namespace {

constexpr uint64_t kMaxOffset = std::numeric_limits<uint32_t>::max();

bool SeekTo(std::FILE* file, uint64_t offset)
{
    return offset <= static_cast<uint64_t>(std::numeric_limits<off_t>::max())
        && fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool ReadExactly(std::FILE* file, uint8_t* bytes, size_t size)
{
    return std::fread(bytes, 1, size, file) == size;
}

bool WriteExactly(std::FILE* file, const void* bytes, size_t size)
{
    return std::fwrite(bytes, 1, size, file) == size;
}

// The offset of the chunk after the one at `at` with contents of `size` bytes, pad included.
uint64_t NextChunk(uint64_t at, uint32_t size)
{
    return at + kChunkHeaderBytes + size + (size & 1U);
}

// Walks the chunks of `range` and returns the first one `accept` takes, with the file at its
// contents. Each step moves forward by at least a header, so a walk always ends.
template <typename Accept>
bool WalkChunks(std::FILE* file, RiffRange range, RiffChunk& chunk, Accept accept)
{
    uint64_t at = range.begin;
    while (at + kChunkHeaderBytes <= range.end && at + kChunkHeaderBytes <= kMaxOffset) {
        uint8_t header[kChunkHeaderBytes];
        if (!SeekTo(file, at) || !ReadExactly(file, header, sizeof header))
            return false;
        RiffChunk found;
        std::memcpy(found.id, header, 4);
        found.size = ReadLe32(header + 4);
        found.dataOffset = static_cast<uint32_t>(at + kChunkHeaderBytes);
        if (accept(found, range.end)) {
            chunk = found;
            return SeekTo(file, found.dataOffset);
        }
        at = NextChunk(at, found.size);
    }
    return false;
}

} // namespace

uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t ReadLe32(const uint8_t* p)
{
    return uint32_t { p[0] } | (uint32_t { p[1] } << 8) | (uint32_t { p[2] } << 16)
        | (uint32_t { p[3] } << 24);
}

void WriteLe16(uint8_t* p, uint16_t value)
{
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

void WriteLe32(uint8_t* p, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

int64_t RiffFileLength(std::FILE* file)
{
    if (fseeko(file, 0, SEEK_END) != 0)
        return -1;
    const off_t length = ftello(file);
    return length < 0 ? -1 : static_cast<int64_t>(length);
}

bool RiffFindForm(std::FILE* file, RiffRange range, const char (&form)[5], RiffChunk& chunk)
{
    return WalkChunks(file, range, chunk, [file, &form](RiffChunk& found, uint64_t end) {
        if (std::memcmp(found.id, "RIFF", 4) != 0 || uint64_t { found.dataOffset } + 4 > end)
            return false;
        uint8_t type[4];
        if (!SeekTo(file, found.dataOffset) || !ReadExactly(file, type, sizeof type))
            return false;
        std::memcpy(found.form, type, 4);
        return std::memcmp(type, form, 4) == 0;
    });
}

bool RiffFindChunk(std::FILE* file, RiffRange range, const char (&id)[5], RiffChunk& chunk)
{
    return WalkChunks(file, range, chunk,
        [&id](const RiffChunk& found, uint64_t) { return std::memcmp(found.id, id, 4) == 0; });
}

RiffRange RiffRangeAfter(const RiffChunk& chunk, uint64_t end)
{
    const uint64_t next = NextChunk(chunk.dataOffset - uint64_t { kChunkHeaderBytes }, chunk.size);
    return next <= end ? RiffRange { next, end } : RiffRange { end, end };
}

bool RiffCreateChunk(std::FILE* file, RiffChunk& chunk, const char (&id)[5], const char* form)
{
    const off_t at = ftello(file);
    if (at < 0 || static_cast<uint64_t>(at) + kChunkHeaderBytes > kMaxOffset)
        return false;
    std::memcpy(chunk.id, id, 4);
    if (chunk.size == 0)
        chunk.flags |= kChunkSizePending;
    uint8_t header[12];
    std::memcpy(header, id, 4);
    WriteLe32(header + 4, chunk.size);
    size_t length = kChunkHeaderBytes;
    if (form != nullptr) {
        std::memcpy(chunk.form, form, 4);
        std::memcpy(header + 8, form, 4);
        length += 4;
    }
    chunk.dataOffset = static_cast<uint32_t>(at + kChunkHeaderBytes);
    return WriteExactly(file, header, length);
}

bool RiffAscend(std::FILE* file, RiffChunk& chunk)
{
    const off_t at = ftello(file);
    if (at < 0 || static_cast<uint64_t>(at) < chunk.dataOffset)
        return false;
    const uint64_t size = static_cast<uint64_t>(at) - chunk.dataOffset;
    if (size > kMaxOffset)
        return false;
    uint64_t end = static_cast<uint64_t>(at);
    if ((size & 1U) != 0) {
        const uint8_t pad = 0;
        if (!WriteExactly(file, &pad, 1))
            return false;
        ++end;
    }
    chunk.size = static_cast<uint32_t>(size);
    if ((chunk.flags & kChunkSizePending) != 0) {
        uint8_t bytes[4];
        WriteLe32(bytes, chunk.size);
        if (!SeekTo(file, chunk.dataOffset - uint64_t { 4 }) || !WriteExactly(file, bytes, 4))
            return false;
        chunk.flags &= ~kChunkSizePending;
    }
    return SeekTo(file, end);
}

} // namespace kerrion
