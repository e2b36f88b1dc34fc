#pragma once

// Helpers of the wave layer around the ALSA library: quiet start-up, opening PCMs without
// blocking, probing the formats a PCM can run, and fitting endpoint names into the names table.
// Any thread; nothing here is on a per-buffer path.

#include "platform/wave/WaveTypes.h"

#include <alsa/asoundlib.h>

#include <string>

namespace kerrion {

// Makes the ALSA library (and the JACK client library its jack plug-in loads) quiet: their
// messages never reach the terminal, failures travel as return codes. Idempotent; called by
// every entry point of the layer before it touches ALSA.
void PrepareAlsa();

// Opens `pcmName` in one direction without waiting for a busy device. 0 or a negative errno.
int OpenPcm(const std::string& pcmName, WaveDirection direction, snd_pcm_t** pcm);

// The kWaveFormat* bits of every rate / width / channel combination the PCM accepts with
// interleaved access, and its channel offer (1 or 2) in `channels`.
uint32_t ProbeFormats(snd_pcm_t* pcm, uint16_t* channels);

// Opens `pcmName` and probes it; false (caps left empty) when it does not open.
bool ProbePcm(const std::string& pcmName, WaveDirection direction, WaveCaps* caps);

// The ALSA sample format of a PCM sample width (8 unsigned, 16/24/32 signed little endian), or
// SND_PCM_FORMAT_UNKNOWN.
snd_pcm_format_t SampleFormatOfBits(uint16_t bitsPerSample);

// Cuts `text` to at most `maxBytes` bytes without splitting a UTF-8 character, at a word
// boundary when one leaves most of the text, without trailing spaces or punctuation.
std::string CutName(const std::string& text, std::size_t maxBytes);

// An endpoint name of at most kWaveNameSize - 1 bytes: `label` followed by `suffix` (which
// identifies the endpoint, e.g. " (hw:0,0)"), the label cut to make room. When the suffix leaves
// too little room, the label alone is cut to fit.
std::string FitEndpointName(const std::string& label, const std::string& suffix);

} // namespace kerrion
