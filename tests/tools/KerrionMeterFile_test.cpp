// kerrion-meter --file on sound files written here with libsndfile: published loudness cases in
// several formats, rates and layouts, judged by the standard and answered with the exit status;
// libebur128's readings of longer programmes read back from the same files; several files in one
// call, among them files that cannot be read.

#include "meter/R128Programme.h"
#include "support/TempDir.h"
#include "tools/MeterOutput.h"

#include <ebur128.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using kerrion::test::Level;
using kerrion::test::ReadFileBytes;
using kerrion::test::Result;
using kerrion::test::Segment;
using kerrion::test::TempDir;
using kerrion::test::Waveform;
using kerrion::test::WriteFileBytes;

namespace {

constexpr double kSilent = kerrion::test::kSilent;

// The programme's samples, interleaved, channel c at segment.dbfs[c].
std::vector<double> Render(
    const std::vector<Segment>& segments, Waveform wave, double rate, int channels)
{
    std::vector<double> samples;
    uint64_t n = 0;
    for (const Segment& segment : segments) {
        const auto frames = static_cast<uint64_t>(std::llround(segment.seconds * rate));
        for (uint64_t i = 0; i < frames; ++i, ++n) {
            const double x = wave.At(n, rate);
            for (int c = 0; c < channels; ++c) {
                const double db = segment.dbfs[static_cast<std::size_t>(c)];
                samples.push_back(std::isnan(db) ? 0.0 : x * std::pow(10.0, db / 20.0));
            }
        }
    }
    return samples;
}

void WriteSound(const std::string& path, const std::vector<double>& samples, int channels,
    double rate, int format)
{
    SF_INFO info {};
    info.channels = channels;
    info.samplerate = static_cast<int>(rate);
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const auto frames = static_cast<sf_count_t>(samples.size()) / channels;
    EXPECT_EQ(sf_writef_double(file, samples.data(), frames), frames);
    sf_close(file);
}

// The samples as kerrion-meter reads them back (quantised by the format).
std::vector<double> ReadSound(const std::string& path)
{
    SF_INFO info {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<double> samples(static_cast<std::size_t>(info.frames * info.channels));
    if (file != nullptr) {
        sf_readf_double(file, samples.data(), info.frames);
        sf_close(file);
    }
    return samples;
}

// A number field of a jsonl record; NaN for null or a missing field.
double JsonNumber(const std::string& record, const std::string& field)
{
    const std::string key = "\"" + field + "\":";
    const std::size_t at = record.find(key);
    if (at == std::string::npos || record.compare(at + key.size(), 4, "null") == 0)
        return kSilent;
    return std::strtod(record.c_str() + at + key.size(), nullptr);
}

Segment Surround50(double seconds)
{
    return { seconds, { -28.0, -28.0, -24.0, kSilent, -30.0, -30.0, kSilent, kSilent } };
}

class KerrionMeterFile : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    Result Run(const std::string& args) const
    {
        return kerrion::test::RunCaptured(
            std::string(KERRION_METER_PATH) + " --ini '" + Path("none.ini") + "' " + args,
            m_dir.Path());
    }

    // The last jsonl record of one file's check.
    std::string LastRecord(const std::string& file, const std::string& options, int& status) const
    {
        const Result r = Run("--format jsonl " + options + " --file '" + file + "'");
        status = r.status;
        const std::vector<std::string> lines = kerrion::test::Lines(r.out);
        EXPECT_FALSE(lines.empty()) << r.err;
        return lines.empty() ? std::string() : lines.back();
    }

    TempDir m_dir;
};

struct PublishedCase {
    const char* name;
    const char* file;
    int format;
    double rate;
    int channels;
    std::vector<Segment> segments;
    Waveform wave;
    const char* field; // the reading the case publishes
    double expected;
    double tolerance;
    int status; // judged by EBU R128: 0 meets, 5 does not
};

// EBU Tech 3341 and 3342 cases, each in another format, rate or layout; the programme layout
// comes from the file's channel count.
TEST_F(KerrionMeterFile, PublishedCasesReadTheirLoudnessAndAreJudged)
{
    const PublishedCase cases[] = {
        { "3341-1", "c1.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, { Level(20, -23) }, {},
            "integrated", -23.0, 0.1, 0 },
        { "3341-2", "c2.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 44100, 2, { Level(20, -33) }, {},
            "integrated", -33.0, 0.1, 5 },
        { "3341-6", "c6.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 6, { Surround50(20) }, {},
            "integrated", -23.0, 0.1, 0 },
        { "3341-2 mono", "m.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 96000, 1,
            { Level(20, -33, 1) }, {}, "integrated", -36.0, 0.1, 5 },
        { "3342-4", "r4.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 96000, 2,
            { Level(20, -50), Level(20, -35), Level(20, -20), Level(20, -35), Level(20, -50) }, {},
            "range", 15.0, 1.0, 5 },
        // The side pair of a 7.1 WAVE file comes last in it and weighs 1.41 each.
        { "7.1 sides", "s71.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 8,
            { { 10, { kSilent, kSilent, kSilent, kSilent, kSilent, kSilent, -23.0, -23.0 } } }, {},
            "integrated", -21.5, 0.1, 5 },
        { "3341-19", "tp.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, { Level(3, 3.0) },
            Waveform { 12000.0, 45.0, 0.05 }, "true_peak_max", 3.0, 0.2, 5 },
    };
    for (const PublishedCase& c : cases) {
        SCOPED_TRACE(c.name);
        WriteSound(Path(c.file), Render(c.segments, c.wave, c.rate, c.channels), c.channels, c.rate,
            c.format);
        int status = -1;
        const std::string record = LastRecord(Path(c.file), "--standard EBU", status);
        EXPECT_NEAR(JsonNumber(record, c.field), c.expected, c.tolerance) << record;
        EXPECT_EQ(status, c.status);
    }
}

// Longer programmes of noise at changing levels, as a stereo 24-bit and a 5.1 float file at
// other rates: kerrion-meter and libebur128 read the same samples.
TEST_F(KerrionMeterFile, LongProgrammesAgreeWithLibebur128)
{
    struct Programme {
        const char* file;
        int format;
        double rate;
        int channels;
    };
    const std::vector<Segment> changing = { Level(15, -30, 6), Level(12, -18, 6), Level(20, -26, 6),
        Level(10, -45, 6), Level(15, -22, 6), Level(12, -14, 6), Level(18, -36, 6),
        Level(15, -20, 6), Level(8, -80, 6), Level(15, -24, 6) };
    for (const Programme& p :
        { Programme { "long.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2 },
            Programme { "long51.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 6 } }) {
        SCOPED_TRACE(p.file);
        WriteSound(Path(p.file), Render(changing, Waveform { 0.0 }, p.rate, p.channels), p.channels,
            p.rate, p.format);
        const std::vector<double> samples = ReadSound(Path(p.file));
        std::unique_ptr<ebur128_state, void (*)(ebur128_state*)> reference(
            ebur128_init(static_cast<unsigned>(p.channels), static_cast<unsigned long>(p.rate),
                EBUR128_MODE_S | EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK),
            [](ebur128_state* s) { ebur128_destroy(&s); });
        ASSERT_NE(reference, nullptr);
        if (p.channels == 6) {
            const int map[] = { EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_UNUSED,
                EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND };
            for (unsigned c = 0; c < 6; ++c)
                ebur128_set_channel(reference.get(), c, map[c]);
        }
        // Short-term loudness the way this meter takes it: after every 100 ms.
        const auto step = static_cast<std::size_t>(p.rate / 10.0);
        const std::size_t frames = samples.size() / static_cast<std::size_t>(p.channels);
        double shortTermMax = -HUGE_VAL;
        for (std::size_t at = 0; at < frames; at += step) {
            const std::size_t n = std::min(step, frames - at);
            ebur128_add_frames_double(
                reference.get(), samples.data() + at * static_cast<std::size_t>(p.channels), n);
            double s = 0.0;
            if (at + n >= static_cast<std::size_t>(3 * p.rate)
                && ebur128_loudness_shortterm(reference.get(), &s) == EBUR128_SUCCESS)
                shortTermMax = std::max(shortTermMax, s);
        }
        double integrated = 0.0, range = 0.0, truePeak = 0.0;
        ebur128_loudness_global(reference.get(), &integrated);
        ebur128_loudness_range(reference.get(), &range);
        for (unsigned c = 0; c < static_cast<unsigned>(p.channels); ++c) {
            double peak = 0.0;
            ebur128_true_peak(reference.get(), c, &peak);
            truePeak = std::max(truePeak, peak);
        }
        int status = -1;
        const std::string record = LastRecord(Path(p.file), "", status);
        EXPECT_NEAR(JsonNumber(record, "integrated"), integrated, 0.1) << record;
        EXPECT_NEAR(JsonNumber(record, "short_term_max"), shortTermMax, 0.1) << record;
        EXPECT_NEAR(JsonNumber(record, "range"), range, 0.1) << record;
        EXPECT_NEAR(JsonNumber(record, "true_peak_max"), 20.0 * std::log10(truePeak), 0.2);
    }
}

// One call, one verdict a file; files that cannot be read are named with the reason, the others
// are still checked, and the exit status says a file could not be read.
TEST_F(KerrionMeterFile, SeveralFilesGetAVerdictEachAndUnreadableOnesAreNamed)
{
    WriteSound(Path("good.wav"), Render({ Level(10, -23) }, {}, 48000, 2), 2, 48000,
        SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::string good = ReadFileBytes(Path("good.wav"));
    WriteFileBytes(Path("cut.wav"), good.substr(0, good.size() / 3));
    WriteFileBytes(Path("text.wav"), "[Meter]\nNum=4\n");
    WriteSound(Path("three.wav"), Render({ Level(5, -23, 3) }, {}, 48000, 3), 3, 48000,
        SF_FORMAT_WAV | SF_FORMAT_PCM_16);

    Result r = Run("--standard EBU --file '" + Path("good.wav") + "' '" + Path("cut.wav") + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("good.wav: integrated -23.0 LUFS"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("cut.wav: WAV (Microsoft), Signed 16 bit PCM, 2 channels at 48000 Hz, "
                         "3.3 s"),
        std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("cut.wav holds less than its header announces"), std::string::npos);

    r = Run("--standard EBU --file '" + Path("good.wav") + "' '" + Path("text.wav") + "' '"
        + Path("missing.wav") + "' '" + m_dir.Path().string() + "' '" + Path("three.wav") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("good.wav: integrated -23.0 LUFS"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("meets EBU R128"), std::string::npos);
    EXPECT_NE(r.err.find("text.wav cannot be read: Format not recognised"), std::string::npos);
    EXPECT_NE(
        r.err.find("missing.wav cannot be read: No such file or directory"), std::string::npos);
    EXPECT_NE(r.err.find("cannot be read: it is a folder"), std::string::npos);
    EXPECT_NE(r.err.find("three.wav has 3 channels: say which are the programme with --loudness"),
        std::string::npos);

    r = Run("--loudness mono --file '" + Path("three.wav") + "'");
    EXPECT_EQ(r.status, 5) << r.err; // -23 dBFS on one channel is far below ARIB's -24
}

// --plot draws the history of the one file checked into a PNG image; it refuses several files
// and says when the image cannot be written.
TEST_F(KerrionMeterFile, PlotDrawsTheHistoryOfOneFile)
{
    WriteSound(Path("good.wav"), Render({ Level(10, -23) }, {}, 48000, 2), 2, 48000,
        SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::string good = " --file '" + Path("good.wav") + "'";
    Result r = Run("--standard EBU --plot '" + Path("plot.png") + "'" + good);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFileBytes(Path("plot.png")).substr(0, 4), "\x89PNG");

    r = Run("--plot '" + Path("two.png") + "'" + good + " '" + Path("good.wav") + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--plot draws the history of one file, not of 2"), std::string::npos);
    r = Run("--standard EBU --plot '" + m_dir.Path().string() + "'" + good);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write the plot"), std::string::npos) << r.err;
}

} // namespace
