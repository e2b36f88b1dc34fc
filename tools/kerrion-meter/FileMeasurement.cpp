#include "FileMeasurement.h"

#include <algorithm>

namespace kerrion::cli {

FileMeasurement::FileMeasurement(SoundFileReader& reader, LoudnessLayout layout)
    : m_reader(reader)
    , m_meters(std::min(reader.Channels(), CSndSPLoudnessR128::kChannels))
    , m_frames(static_cast<uint32_t>(
          std::clamp<double>(reader.Rate() / 10.0, 1.0, CSndSPLoudnessR128::kMaxBlockFrames)))
    , m_interleaved(
          static_cast<std::size_t>(m_frames) * static_cast<std::size_t>(reader.Channels()))
    , m_channelSamples(static_cast<std::size_t>(m_frames) * static_cast<std::size_t>(m_meters))
    , m_buffers(std::make_unique<CSndIOBuffer[]>(static_cast<std::size_t>(m_meters)))
{
    for (int c = 0; c < m_meters; ++c)
        m_meterOf.push_back(c);
    // The meters of a 7.1 programme hold the sides (weighed 1.41) before the rears.
    if (layout == LoudnessLayout::Surround71 && m_meters == 8 && reader.SidesAfterRears())
        std::rotate(m_meterOf.begin() + 4, m_meterOf.begin() + 6, m_meterOf.end());
    m_loudness.SetRate(reader.Rate());
    m_loudness.SetLayout(layout);
    for (int m = 0; m < m_meters; ++m)
        m_buffers[static_cast<std::size_t>(m)].Attach(
            &m_channelSamples[static_cast<std::size_t>(m) * m_frames], kSampleFloat64, m_frames);
}

bool FileMeasurement::Init() { return m_loudness.Init() == CSndSP::kOk; }

bool FileMeasurement::Step()
{
    const int64_t read = m_reader.Read(m_interleaved.data(), m_frames);
    if (read <= 0)
        return false;
    const auto frames = static_cast<uint32_t>(read);
    const auto stride = static_cast<std::size_t>(m_reader.Channels());
    for (int m = 0; m < m_meters; ++m) {
        CSndIOBuffer& buffer
            = m_buffers[static_cast<std::size_t>(m_meterOf[static_cast<std::size_t>(m)])];
        double* out = buffer.Samples<double>();
        const double* in = m_interleaved.data() + m;
        for (uint32_t n = 0; n < frames; ++n)
            out[n] = in[n * stride];
        buffer.SetCount(frames);
    }
    const uint32_t unread = 0;
    m_loudness.Process(nullptr, 0, 0, m_buffers.get(), static_cast<uint32_t>(m_meters), &unread);
    return true;
}

} // namespace kerrion::cli
