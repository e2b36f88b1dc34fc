#include "sndio/WaveFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

using kerrion::test::ReadFileBytes;
using kerrion::test::TempDir;
using kerrion::test::WriteFileBytes;

namespace {

std::string Le16(uint16_t v) { return { static_cast<char>(v & 0xFF), static_cast<char>(v >> 8) }; }

std::string Le32(uint32_t v)
{
    return Le16(static_cast<uint16_t>(v & 0xFFFF)) + Le16(static_cast<uint16_t>(v >> 16));
}

uint32_t Le32At(const std::string& bytes, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
    return v;
}

// A chunk with its declared size (the payload's length unless given) and pad byte.
std::string Chunk(const std::string& id, const std::string& payload, int64_t declared = -1)
{
    const auto size
        = declared < 0 ? static_cast<uint32_t>(payload.size()) : static_cast<uint32_t>(declared);
    std::string chunk = id + Le32(size) + payload;
    if (payload.size() % 2 != 0)
        chunk += '\0';
    return chunk;
}

std::string Riff(const std::string& form, const std::string& body)
{
    return Chunk("RIFF", form + body);
}

std::string FormatPayload(uint16_t channels, uint32_t rate, uint16_t bits, bool withExtra = true)
{
    const auto align = static_cast<uint16_t>(channels * bits / 8);
    std::string fmt
        = Le16(1) + Le16(channels) + Le32(rate) + Le32(align * rate) + Le16(align) + Le16(bits);
    return withExtra ? fmt + Le16(0) : fmt;
}

class WaveFileTest : public ::testing::Test {
protected:
    std::string PathOf(const std::string& name) const { return (m_dir / name).string(); }

    std::string Write(const std::string& name, const std::string& bytes) const
    {
        const std::string path = PathOf(name);
        WriteFileBytes(path, bytes);
        return path;
    }

    TempDir m_dir;
};

} // namespace

TEST_F(WaveFileTest, WrittenStereoFileHasTheDocumentedHeaderAndSizes)
{
    const std::string path = PathOf("stereo.wav");
    std::vector<int16_t> frames(2000);
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] = static_cast<int16_t>(i * 7 - 5000);
    {
        CWaveFile file;
        file.SetFormat(2, 48000, 16);
        ASSERT_TRUE(file.Open(path.c_str(), CWaveFile::kModeWrite));
        EXPECT_EQ(file.DataOffset(), 46U);
        EXPECT_EQ(file.FrameBytes(), 4U);
        EXPECT_EQ(file.Frames(), 0U);
        EXPECT_EQ(file.Format().blockAlign, 4);
        EXPECT_EQ(file.Format().avgBytesPerSec, 192000U);
        EXPECT_EQ(file.WriteFrames(frames.data(), 600), 600U);
        EXPECT_EQ(file.WriteFrames(frames.data() + 1200, 400), 400U);
        EXPECT_EQ(file.Close(), 1);
        EXPECT_FALSE(file.IsOpen());
        EXPECT_STREQ(file.Path(), "");
    }
    const std::string bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 4046U);
    const std::string header = "RIFF" + Le32(4038) + "WAVE" + "fmt " + Le32(18)
        + FormatPayload(2, 48000, 16) + "data" + Le32(4000);
    EXPECT_EQ(bytes.substr(0, 46), header);
    EXPECT_EQ(std::memcmp(bytes.data() + 46, frames.data(), 4000), 0);

    CWaveFile reader;
    ASSERT_TRUE(reader.Open(path.c_str(), CWaveFile::kModeRead));
    EXPECT_EQ(reader.Frames(), 1000U);
    EXPECT_EQ(reader.DataOffset(), 46U);
    std::vector<int16_t> back(2000);
    EXPECT_EQ(reader.ReadFrames(back.data(), 5000), 1000U);
    EXPECT_EQ(back, frames);
    EXPECT_EQ(reader.ReadFrames(back.data(), 1), 0U);
    ASSERT_TRUE(reader.SeekToData());
    EXPECT_EQ(reader.ReadFrames(back.data(), 1), 1U);
}

TEST_F(WaveFileTest, OddDataGetsAPadByte)
{
    const std::string path = PathOf("mono8.wav");
    CWaveFile file;
    file.SetFormat(1, 8000, 8);
    ASSERT_TRUE(file.Open(path.c_str(), CWaveFile::kModeWrite));
    const uint8_t samples[] = { 1, 2, 3 };
    EXPECT_EQ(file.WriteFrames(samples, 3), 3U);
    file.Close();
    const std::string bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 50U);
    EXPECT_EQ(Le32At(bytes, 4), 42U);
    EXPECT_EQ(Le32At(bytes, 42), 3U);
    EXPECT_EQ(bytes[49], '\0');

    ASSERT_TRUE(file.Open(path.c_str(), CWaveFile::kModeRead));
    EXPECT_EQ(file.Frames(), 3U);
}

TEST_F(WaveFileTest, DestructionAndReopeningCompleteAWrittenFile)
{
    const std::string first = PathOf("first.wav");
    const std::string second = PathOf("second.wav");
    const int16_t frame[2] = { 1, 2 };
    {
        CWaveFile file;
        file.SetFormat(2, 44100, 16);
        ASSERT_TRUE(file.Open(first.c_str(), CWaveFile::kModeWrite));
        file.WriteFrames(frame, 1);
        file.SetFormat(1, 44100, 16);
        ASSERT_TRUE(file.Open(second.c_str(), CWaveFile::kModeWrite));
        EXPECT_EQ(file.Format().channels, 1) << "the format set for this open";
        file.WriteFrames(frame, 2);
    }
    EXPECT_EQ(Le32At(ReadFileBytes(first), 40 + 2), 4U);
    EXPECT_EQ(ReadFileBytes(second).size(), 50U);
}

TEST_F(WaveFileTest, WritingOverAnExistingFileReplacesIt)
{
    const std::string path = Write("old.wav", std::string(10000, 'x'));
    CWaveFile file;
    file.SetFormat(1, 48000, 16);
    ASSERT_TRUE(file.Open(path.c_str(), CWaveFile::kModeWrite));
    file.Close();
    EXPECT_EQ(ReadFileBytes(path).size(), 46U);
}

TEST_F(WaveFileTest, DataLimitStopsWritingAndKeepsTheSizesRight)
{
    // The default limit keeps the RIFF size (file length - 8, pad included) within 32 bits.
    EXPECT_LE(uint64_t { kerrion::kWaveMaxDataBytes } + 1 + 46 - 8, 0xFFFFFFFFULL);
    EXPECT_GT(uint64_t { kerrion::kWaveMaxDataBytes } + 2 + 46 - 8, 0xFFFFFFFFULL);

    const std::string path = PathOf("limited.wav");
    CWaveFile file;
    file.SetDataLimit(11);
    file.SetFormat(1, 48000, 24);
    ASSERT_TRUE(file.Open(path.c_str(), CWaveFile::kModeWrite));
    const uint8_t frames[30] = {};
    EXPECT_EQ(file.WriteFrames(frames, 10), 3U) << "whole frames up to the limit";
    EXPECT_EQ(file.WriteFrames(frames, 1), 0U);
    file.Close();
    const std::string bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 56U);
    EXPECT_EQ(Le32At(bytes, 42), 9U);
    EXPECT_EQ(Le32At(bytes, 4), 48U);
}

TEST_F(WaveFileTest, ReadsSixteenByteFormatsAndOtherChunks)
{
    const std::string payload = "abcdefghijkl";
    const std::string path = Write("list.wav",
        Chunk("JUNK", "xyz")
            + Riff("WAVE",
                Chunk("fmt ", FormatPayload(2, 44100, 24, false)) + Chunk("LIST", "INFOsome text")
                    + Chunk("data", payload)));
    CWaveFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CWaveFile::kModeRead));
    EXPECT_EQ(file.FrameBytes(), 6U);
    EXPECT_EQ(file.Frames(), 2U);
    EXPECT_EQ(file.Format().samplesPerSec, 44100U);
    EXPECT_EQ(file.Format().extraSize, 0) << "read from inside the chunk only";
    EXPECT_EQ(file.DataOffset(), 12U + 12 + 8 + 16 + 8 + 14 + 8);
    char frames[12];
    EXPECT_EQ(file.ReadFrames(frames, 2), 2U);
    EXPECT_EQ(std::string(frames, 12), payload);
}

TEST_F(WaveFileTest, FrameBytesTruncateTheSampleWidth)
{
    const std::string path = Write("twelve.wav",
        Riff("WAVE", Chunk("fmt ", FormatPayload(1, 8000, 12)) + Chunk("data", "abc")));
    CWaveFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CWaveFile::kModeRead));
    EXPECT_EQ(file.FrameBytes(), 1U);
    EXPECT_EQ(file.Frames(), 3U);

    const std::string none = Write("zero.wav",
        Riff("WAVE", Chunk("fmt ", FormatPayload(0, 8000, 16)) + Chunk("data", "abcd")));
    ASSERT_TRUE(file.Open(none.c_str(), CWaveFile::kModeRead));
    EXPECT_EQ(file.Frames(), 0U);
    char byte = 0;
    EXPECT_EQ(file.ReadFrames(&byte, 1), 0U);
}

TEST_F(WaveFileTest, ReadingStopsAtTheEndOfTheDataOrOfTheFile)
{
    const std::string fmt = Chunk("fmt ", FormatPayload(1, 8000, 16));
    const std::string garbage
        = Write("garbage.wav", Riff("WAVE", fmt + Chunk("data", "abcd")) + "trailing junk");
    CWaveFile file;
    ASSERT_TRUE(file.Open(garbage.c_str(), CWaveFile::kModeRead));
    char frames[16];
    EXPECT_EQ(file.ReadFrames(frames, 8), 2U);

    const std::string past
        = Write("past.wav", Riff("WAVE", fmt + Chunk("data", "abcdef", 0xFFFFFFF0)));
    ASSERT_TRUE(file.Open(past.c_str(), CWaveFile::kModeRead));
    EXPECT_EQ(file.Frames(), 3U);
    EXPECT_EQ(file.ReadFrames(frames, 8), 3U);
    EXPECT_EQ(file.ReadFrames(frames, 8), 0U);
}

TEST_F(WaveFileTest, UntrustedFilesFailCleanly)
{
    const std::string fmt = Chunk("fmt ", FormatPayload(1, 8000, 16));
    const std::string data = Chunk("data", "abcd");
    const std::pair<const char*, std::string> cases[] = {
        { "empty", "" },
        { "truncated header", std::string("RIFF\x10\x00", 6) },
        { "form is not WAVE", Riff("AVI ", fmt + data) },
        { "no fmt", Riff("WAVE", data) },
        { "data before fmt", Riff("WAVE", data + fmt) },
        { "no data", Riff("WAVE", fmt) },
        { "zero-length fmt", Riff("WAVE", Chunk("fmt ", "") + data) },
        { "short fmt", Riff("WAVE", Chunk("fmt ", "abcdefgh") + data) },
        { "fmt past the end", Riff("WAVE", Chunk("fmt ", "abcdefgh", 18)) },
        { "chunk past the end", Riff("WAVE", Chunk("JUNK", "x", 0x7FFFFFF0) + fmt + data) },
        { "size wraps when padded", Riff("WAVE", Chunk("JUNK", "x", 0xFFFFFFFF) + fmt + data) },
        { "RIFF size wraps", "RIFF" + Le32(0xFFFFFFFF) + "WAVE" + Chunk("JUNK", "", 0xFFFFFFFF) },
        { "RIFF size too small", "RIFF" + Le32(4) + "WAVE" + fmt + data },
    };
    for (const auto& [name, bytes] : cases) {
        const std::string path = Write("bad.wav", bytes);
        CWaveFile file;
        EXPECT_FALSE(file.Open(path.c_str(), CWaveFile::kModeRead)) << name;
        EXPECT_FALSE(file.IsOpen()) << name;
        EXPECT_STREQ(file.Path(), path.c_str()) << name;
        EXPECT_EQ(file.DataOffset(), 0xFFFFFFFFU) << name;
    }
}

TEST_F(WaveFileTest, OpenRefusesBadArgumentsAndNonFiles)
{
    CWaveFile file;
    EXPECT_FALSE(file.Open("", CWaveFile::kModeRead));
    EXPECT_FALSE(file.Open(nullptr, CWaveFile::kModeRead));
    EXPECT_FALSE(file.Open(PathOf("x.wav").c_str(), 2));
    EXPECT_FALSE(file.Open(PathOf("missing.wav").c_str(), CWaveFile::kModeRead));
    EXPECT_EQ(file.Mode(), CWaveFile::kModeRead);
    EXPECT_FALSE(file.Open(PathOf("no/such/folder.wav").c_str(), CWaveFile::kModeWrite));
    EXPECT_EQ(file.Mode(), CWaveFile::kModeWrite);
    EXPECT_FALSE(file.Open(m_dir.Path().c_str(), CWaveFile::kModeRead));
    EXPECT_FALSE(file.Open(std::string(300, 'a').c_str(), CWaveFile::kModeWrite));

    const std::string fifo = PathOf("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(file.Open(fifo.c_str(), CWaveFile::kModeRead)) << "and it does not block";
    EXPECT_FALSE(file.Open(fifo.c_str(), CWaveFile::kModeWrite));
}
