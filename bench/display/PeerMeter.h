#pragma once

// The cost of the lightest needle meter on the same machine, the same server and the same
// signal, measured in the same run as Kerrion: meterbridge (Debian package meterbridge) with
// eight VU needles on the player's eight outputs. What a machine charges for a wake-up and a
// flushed pixel changes from one machine, and one day, to the next; a figure beside Kerrion's is
// a reference that the figures of another day are not.

#include <optional>
#include <string>
#include <vector>

namespace kerrion::bench {

struct PeerCost {
    double program = 0.0; // share of one core
    double xServer = 0.0; // share of one core; 0 when the X server cannot be read
};

// Runs meterbridge on the JACK server named by JACK_DEFAULT_SERVER for `seconds` after a warm-up,
// metering `ports`; nothing when it is not installed or did not run through.
std::optional<PeerCost> MeasurePeerMeter(const std::vector<std::string>& ports, int seconds);

} // namespace kerrion::bench
