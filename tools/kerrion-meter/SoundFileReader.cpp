#include "SoundFileReader.h"

#include "platform/paths/RegularFile.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace kerrion::cli {
namespace {

// The name libsndfile gives a major format ("WAV (Microsoft)") or a subtype ("Signed 24 bit PCM").
std::string FormatName(int format)
{
    SF_FORMAT_INFO info {};
    info.format = format;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || info.name == nullptr)
        return "an unnamed format";
    return info.name;
}

} // namespace

SoundFileReader::~SoundFileReader() { Close(); }

void SoundFileReader::Close()
{
    if (m_file != nullptr)
        sf_close(m_file);
    m_file = nullptr;
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

bool SoundFileReader::Open(const std::string& path)
{
    Close();
    m_error.clear();
    m_nonFinite = 0;
    m_fd = OpenRegularFile(path, m_error);
    if (m_fd < 0)
        return false;
    SF_INFO info {};
    m_file = sf_open_fd(m_fd, SFM_READ, &info, SF_FALSE); // the descriptor stays ours to close
    if (m_file == nullptr) {
        m_error = sf_strerror(nullptr);
        Close();
        return false;
    }
    // libsndfile reads a file cut short as far as it goes and notes in its log each chunk whose
    // size in the header is more than the file holds: "data : 3840000 (should be 1279970)".
    char log[4096] = "";
    sf_command(m_file, SFC_GET_LOG_INFO, log, sizeof log);
    m_cutShort = std::strstr(log, "(should be") != nullptr;
    m_channels = info.channels;
    std::vector<int> map(static_cast<std::size_t>(std::max(info.channels, 1)));
    m_sidesAfterRears = !(info.channels == 8
        && sf_command(m_file, SFC_GET_CHANNEL_MAP_INFO, map.data(),
               static_cast<int>(map.size() * sizeof(int)))
            == SF_TRUE
        && map[4] == SF_CHANNEL_MAP_SIDE_LEFT);
    m_rate = static_cast<double>(info.samplerate);
    m_frames = info.frames;
    m_description = FormatName(info.format & SF_FORMAT_TYPEMASK) + ", "
        + FormatName(info.format & SF_FORMAT_SUBMASK);
    if (m_rate < kLowestRate || m_rate > kHighestRate)
        m_error = "its sample rate " + std::to_string(info.samplerate)
            + " Hz is outside 8000 .. 768000 Hz";
    else if (m_channels < 1 || m_channels > kMostChannels)
        m_error = "it has " + std::to_string(m_channels) + " channels; 1 .. "
            + std::to_string(kMostChannels) + " can be measured";
    if (!m_error.empty()) {
        Close();
        return false;
    }
    return true;
}

int64_t SoundFileReader::Read(double* samples, int64_t frames)
{
    if (m_file == nullptr)
        return 0;
    const sf_count_t read = sf_readf_double(m_file, samples, frames);
    if (read <= 0) {
        if (sf_error(m_file) != SF_ERR_NO_ERROR) {
            m_error = sf_strerror(m_file);
            return -1;
        }
        return 0;
    }
    const int64_t count = read * m_channels;
    for (int64_t i = 0; i < count; ++i) {
        if (!std::isfinite(samples[i])) {
            samples[i] = 0.0;
            ++m_nonFinite;
        }
    }
    return read;
}

} // namespace kerrion::cli
