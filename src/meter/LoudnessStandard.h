#pragma once

// The delivery rules a programme's loudness is judged against: a target integrated loudness and
// a true-peak limit, with the unit name the rule uses (LKFS and LUFS are the same scale).
//   ARIB TR-B32 (the default): -24 LKFS, true peak at most -1 dBTP
//   EBU R128:                  -23 LUFS, -1 dBTP
//   ATSC A/85:                 -24 LKFS, -2 dBTP
//   custom:                    a target and limit of the user's own (in LKFS)
// The verdicts are plain text for the command line and the on-screen readout, e.g.
// "integrated -24.1 LKFS: within 1 LU of ARIB TR-B32 -24.0". No toolkit types; any thread.

#include <string>
#include <string_view>

namespace kerrion {

enum class LoudnessStandardId { Arib, Ebu, Atsc, Custom };

struct LoudnessStandard {
    static constexpr double kToleranceLu = 1.0; // "within" the target

    // How an integrated loudness stands against the target.
    enum class Level { Unknown, Within, Above, Below };

    LoudnessStandardId id = LoudnessStandardId::Arib;
    const char* key = "ARIB";         // the settings value
    const char* name = "ARIB TR-B32"; // shown to people
    const char* unit = "LKFS";
    double target = -24.0;        // LKFS
    double truePeakLimit = -1.0;  // dBTP

    // The standard `id`; the custom one takes `customTarget` and `customLimit`.
    static LoudnessStandard Of(
        LoudnessStandardId id, double customTarget = -24.0, double customLimit = -1.0);
    // The standard whose key is `key` ("ARIB", "EBU", "ATSC", "Custom"; case is ignored);
    // false, leaving `id`, for another text.
    static bool Parse(std::string_view key, LoudnessStandardId& id);

    Level Judge(double integrated) const;        // Unknown for NaN
    bool TruePeakOver(double truePeak) const;    // false for NaN
    // "integrated -24.1 LKFS: within 1 LU of ARIB TR-B32 -24.0" (or "2.5 LU above", "below",
    // or "integrated -: nothing measured yet (ARIB TR-B32 -24.0)").
    std::string IntegratedVerdict(double integrated) const;
    // "true peak -0.5 dBTP: over the ARIB TR-B32 limit -1.0" (or "within the ... limit").
    std::string TruePeakVerdict(double truePeak) const;
};

} // namespace kerrion
