#include "SignalSource.h"

#include "platform/paths/RegularFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace kerrion::signal {
namespace {

uint32_t Le32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

} // namespace

bool ReadWaveChannel(const std::filesystem::path& path, int channel, std::vector<double>& samples)
{
    samples.clear();
    std::string file;
    return ReadRegularFile(path, kMaxWaveFileBytes, file) == FileRead::kRead
        && ParseWaveChannel(file, channel, samples);
}

bool ParseWaveChannel(std::string_view file, int channel, std::vector<double>& samples)
{
    samples.clear();
    const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
    if (channel < 1 || file.size() < 12 || std::memcmp(bytes, "RIFF", 4) != 0
        || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return false;
    int channels = 0;
    bool pcm16 = false;
    size_t pos = 12;
    while (pos + 8 <= file.size()) {
        const uint32_t size = Le32(&bytes[pos + 4]);
        const size_t body = pos + 8;
        const size_t available = std::min<size_t>(size, file.size() - body);
        if (std::memcmp(&bytes[pos], "fmt ", 4) == 0 && available >= 16) {
            channels = Le16(&bytes[body + 2]);
            pcm16 = Le16(&bytes[body]) == 1 && Le16(&bytes[body + 14]) == 16;
        } else if (std::memcmp(&bytes[pos], "data", 4) == 0) {
            if (!pcm16 || channels <= 0 || channel > channels)
                return false;
            const size_t frames = available / (2u * static_cast<size_t>(channels));
            samples.resize(frames);
            for (size_t f = 0; f < frames; ++f) {
                const auto* p = &bytes[body + (f * channels + (channel - 1)) * 2];
                samples[f] = static_cast<int16_t>(Le16(p)) / 32768.0;
            }
            return true;
        }
        pos = body + size + (size & 1u);
    }
    return false;
}

void SignalSource::Setup(const InputSettings& settings, double rate, uint32_t seed)
{
    m_settings = settings;
    const double level = std::pow(10.0, settings.level / 20.0);
    // Uniform noise in [-a, a] has an RMS of a / sqrt(3).
    m_amplitude = settings.source == SourceKind::Noise ? level * std::sqrt(3.0) : level;
    m_phase = 0.0;
    m_phaseStep = settings.frequency / rate;
    m_phaseStep -= std::floor(m_phaseStep);
    m_stepCos = std::cos(2.0 * std::numbers::pi * m_phaseStep);
    m_stepSin = std::sin(2.0 * std::numbers::pi * m_phaseStep);
    m_burstOnFrames
        = std::max<uint64_t>(1, static_cast<uint64_t>(settings.burstOn * rate / 1000.0));
    m_burstPeriod = m_burstOnFrames + static_cast<uint64_t>(settings.burstOff * rate / 1000.0);
    m_burstFrame = 0;
    m_noiseState = 0x9E3779B97F4A7C15ull ^ (static_cast<uint64_t>(seed) * 0xBF58476D1CE4E5B9ull);
    m_file.clear();
    m_filePosition = 0;
    if (settings.source == SourceKind::File
        && !ReadWaveChannel(settings.file, settings.fileChannel, m_file))
        m_file.clear();
}

double SignalSource::NextNoise()
{
    m_noiseState ^= m_noiseState << 13;
    m_noiseState ^= m_noiseState >> 7;
    m_noiseState ^= m_noiseState << 17;
    return static_cast<double>(m_noiseState >> 11) / 9007199254740992.0 * 2.0 - 1.0; // [-1, 1)
}

void SignalSource::Render(double* out, int frames)
{
    switch (m_settings.source) {
    case SourceKind::Sine:
    case SourceKind::Burst:
        RenderTone(out, frames);
        break;
    case SourceKind::Noise:
        for (int i = 0; i < frames; ++i)
            out[i] = m_amplitude * NextNoise();
        break;
    case SourceKind::File:
        for (int i = 0; i < frames; ++i) {
            if (m_filePosition >= m_file.size() && m_settings.loop)
                m_filePosition = 0;
            out[i] = m_filePosition < m_file.size() ? m_file[m_filePosition++] : 0.0;
        }
        break;
    case SourceKind::Silence:
        std::fill(out, out + frames, 0.0);
        break;
    }
}

// The phase is kept exactly per block; within a block a unit phasor is turned by one step per
// frame, which costs two multiplications where a sine per frame cost twenty times as much. The
// rounding of a block's turns stays near 1e-13, far below the last bit of a 24-bit sample.
void SignalSource::RenderTone(double* out, int frames)
{
    const double angle = 2.0 * std::numbers::pi * m_phase;
    double s = std::sin(angle);
    double c = std::cos(angle);
    const bool steady = m_settings.source == SourceKind::Sine;
    for (int i = 0; i < frames; ++i) {
        out[i] = steady || m_burstFrame < m_burstOnFrames ? m_amplitude * s : 0.0;
        const double turned = s * m_stepCos + c * m_stepSin;
        c = c * m_stepCos - s * m_stepSin;
        s = turned;
        if (++m_burstFrame >= m_burstPeriod)
            m_burstFrame = 0;
    }
    m_phase += m_phaseStep * frames;
    m_phase -= std::floor(m_phase);
}

} // namespace kerrion::signal
