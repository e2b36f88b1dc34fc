#include "sndio/WaveFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kerrion;

namespace {

constexpr uint32_t kFailedOffset = 0xFFFFFFFFU; // data offset after a failed open
constexpr uint32_t kMinFormatBytes = 16;        // channels and bits come from the first 16

// Opens a regular file only: a FIFO or device named by mistake must neither block nor be read.
std::FILE* OpenRegularFile(const char* path, int mode)
{
    const int flags = mode == CWaveFile::kModeRead ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC;
    const int fd = ::open(path, flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)
        || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, mode == CWaveFile::kModeRead ? "rb" : "wb");
    if (file == nullptr)
        ::close(fd);
    return file;
}

void ParseFormat(const uint8_t* bytes, uint32_t length, WaveFormat& format)
{
    format.formatTag = ReadLe16(bytes);
    format.channels = ReadLe16(bytes + 2);
    format.samplesPerSec = ReadLe32(bytes + 4);
    format.avgBytesPerSec = ReadLe32(bytes + 8);
    format.blockAlign = ReadLe16(bytes + 12);
    format.bitsPerSample = ReadLe16(bytes + 14);
    format.extraSize = length >= kWaveFormatBytes ? ReadLe16(bytes + 16) : 0;
}

void SerializeFormat(const WaveFormat& format, uint8_t* bytes)
{
    WriteLe16(bytes, format.formatTag);
    WriteLe16(bytes + 2, format.channels);
    WriteLe32(bytes + 4, format.samplesPerSec);
    WriteLe32(bytes + 8, format.avgBytesPerSec);
    WriteLe16(bytes + 12, format.blockAlign);
    WriteLe16(bytes + 14, format.bitsPerSample);
    WriteLe16(bytes + 16, format.extraSize);
}

} // namespace

CWaveFile::~CWaveFile()
{
    if (IsOpen()) {
        const WaveFormat requested = m_format; // the format set for this open, not the old file's
        Close();
        m_format = requested;
    }
}

void CWaveFile::SetFormat(uint16_t channels, uint32_t samplesPerSec, uint16_t bitsPerSample)
{
    m_format.channels = channels;
    m_format.samplesPerSec = samplesPerSec;
    m_format.bitsPerSample = bitsPerSample;
}

void CWaveFile::SetDataLimit(uint32_t bytes) { m_dataLimit = std::min(bytes, kWaveMaxDataBytes); }

bool CWaveFile::Open(const char* path, int mode)
{
    if (path == nullptr || path[0] == '\0' || (mode != kModeRead && mode != kModeWrite))
        return false;
    const size_t length = strnlen(path, kMaxPath);
    if (length >= kMaxPath)
        return false; // a path we cannot keep whole would name another file
    if (IsOpen()) {
        const WaveFormat requested = m_format; // the format set for this open, not the old file's
        Close();
        m_format = requested;
    }

    std::memcpy(m_path, path, length + 1);
    m_mode = mode;
    m_position = 0;
    m_riffChunk = {};
    m_dataChunk = {};
    m_frameBytes = 0;
    m_frames = 0;
    m_error = 0;
    m_dataOffset = kFailedOffset;
    if (mode == kModeRead)
        m_format = {};
    m_file.reset(OpenRegularFile(path, mode));
    if (!m_file)
        return false;
    if (!(mode == kModeRead ? OpenForReading() : OpenForWriting())) {
        m_file.reset();
        m_dataOffset = kFailedOffset;
        return false;
    }
    m_frameBytes = uint32_t { m_format.channels } * (m_format.bitsPerSample / 8U);
    if (mode == kModeRead && m_frameBytes != 0)
        m_frames = m_dataChunk.size / m_frameBytes;
    return true;
}

bool CWaveFile::OpenForReading()
{
    std::FILE* file = m_file.get();
    const int64_t length = RiffFileLength(file);
    if (length < 0)
        return false;
    const auto fileEnd = static_cast<uint64_t>(length);
    if (!RiffFindForm(file, { 0, fileEnd }, "WAVE", m_riffChunk))
        return false;
    // A RIFF size past the end of the file (a truncated copy) is bounded by the file.
    const uint64_t riffEnd
        = std::min(uint64_t { m_riffChunk.dataOffset } + m_riffChunk.size, fileEnd);
    RiffChunk formatChunk;
    if (!RiffFindChunk(
            file, { m_riffChunk.dataOffset + uint64_t { 4 }, riffEnd }, "fmt ", formatChunk)
        || !ReadFormat(formatChunk, riffEnd))
        return false;
    if (!RiffFindChunk(file, RiffRangeAfter(formatChunk, riffEnd), "data", m_dataChunk))
        return false;
    // Samples stop where the file does, whatever the data size claims.
    m_dataChunk.size = static_cast<uint32_t>(
        std::min<uint64_t>(m_dataChunk.size, fileEnd - m_dataChunk.dataOffset));
    m_dataOffset = m_dataChunk.dataOffset;
    return true;
}

bool CWaveFile::ReadFormat(const RiffChunk& chunk, uint64_t end)
{
    // The record is read from inside the chunk only; one too short to hold the channels and the
    // sample width (an empty one included) is refused.
    const uint64_t inFile = end > chunk.dataOffset ? end - chunk.dataOffset : 0;
    const auto length = static_cast<uint32_t>(
        std::min<uint64_t>({ uint64_t { kWaveFormatBytes }, chunk.size, inFile }));
    if (length < kMinFormatBytes)
        return false;
    uint8_t bytes[kWaveFormatBytes] = {};
    if (std::fread(bytes, 1, length, m_file.get()) != length)
        return false;
    ParseFormat(bytes, length, m_format);
    return true;
}

bool CWaveFile::OpenForWriting()
{
    m_format.formatTag = 1;
    m_format.blockAlign
        = static_cast<uint16_t>(uint32_t { m_format.channels } * m_format.bitsPerSample / 8U);
    m_format.avgBytesPerSec = uint32_t { m_format.blockAlign } * m_format.samplesPerSec;
    m_format.extraSize = 0;

    std::FILE* file = m_file.get();
    RiffChunk formatChunk;
    formatChunk.size = kWaveFormatBytes;
    uint8_t record[kWaveFormatBytes];
    SerializeFormat(m_format, record);
    if (!RiffCreateChunk(file, m_riffChunk, "RIFF", "WAVE")
        || !RiffCreateChunk(file, formatChunk, "fmt ", nullptr)
        || std::fwrite(record, 1, sizeof record, file) != sizeof record
        || !RiffCreateChunk(file, m_dataChunk, "data", nullptr))
        return false;
    m_dataOffset = m_dataChunk.dataOffset;
    return true;
}

int CWaveFile::Close()
{
    if (IsOpen() && m_mode == kModeWrite) {
        std::FILE* file = m_file.get();
        // Failures here leave the sizes as they were; the file is closed all the same.
        if (fseeko(file, static_cast<off_t>(m_dataOffset + m_position), SEEK_SET) == 0
            && RiffAscend(file, m_dataChunk))
            RiffAscend(file, m_riffChunk);
        std::fflush(file);
    }
    m_file.reset();
    m_path[0] = '\0';
    m_mode = kModeRead;
    m_position = 0;
    m_riffChunk = {};
    m_dataChunk = {};
    m_format = {};
    m_frameBytes = 0;
    m_dataOffset = 0;
    m_frames = 0;
    m_error = 0;
    return 1;
}

uint32_t CWaveFile::WriteFrames(const void* frames, uint32_t count)
{
    if (!IsOpen() || m_mode != kModeWrite || m_frameBytes == 0 || frames == nullptr)
        return 0;
    const uint64_t room = m_dataLimit > m_position ? m_dataLimit - m_position : 0;
    const uint64_t whole = std::min<uint64_t>(count, room / m_frameBytes);
    errno = 0;
    const size_t written = std::fwrite(frames, 1, whole * m_frameBytes, m_file.get());
    if (written != whole * m_frameBytes && m_error == 0)
        m_error = errno != 0 ? errno : EIO;
    m_position += written;
    return static_cast<uint32_t>(written / m_frameBytes);
}

bool CWaveFile::UpdateSizes()
{
    if (!IsOpen() || m_mode != kModeWrite)
        return false;
    // The RIFF size counts the pad byte that Close writes after odd data.
    const uint64_t data = m_position;
    const uint64_t riff = m_dataOffset + data + (data & 1U) - 8;
    uint8_t riffSize[4];
    uint8_t dataSize[4];
    WriteLe32(riffSize, static_cast<uint32_t>(riff));
    WriteLe32(dataSize, static_cast<uint32_t>(data));
    errno = 0;
    const int fd = fileno(m_file.get());
    const bool written = std::fflush(m_file.get()) == 0
        && ::pwrite(fd, riffSize, 4, m_riffChunk.dataOffset - 4) == 4
        && ::pwrite(fd, dataSize, 4, static_cast<off_t>(m_dataOffset) - 4) == 4;
    if (!written && m_error == 0)
        m_error = errno != 0 ? errno : EIO;
    return written;
}

uint32_t CWaveFile::ReadFrames(void* frames, uint32_t count)
{
    if (!IsOpen() || m_mode != kModeRead || m_frameBytes == 0 || frames == nullptr)
        return 0;
    const uint64_t left = m_dataChunk.size > m_position ? m_dataChunk.size - m_position : 0;
    const uint64_t whole = std::min<uint64_t>(count, left / m_frameBytes);
    const size_t got = std::fread(frames, 1, whole * m_frameBytes, m_file.get());
    m_position += got;
    return static_cast<uint32_t>(got / m_frameBytes);
}

bool CWaveFile::SeekToData()
{
    if (!IsOpen() || m_mode != kModeRead
        || fseeko(m_file.get(), static_cast<off_t>(m_dataOffset), SEEK_SET) != 0)
        return false;
    m_position = 0;
    return true;
}
