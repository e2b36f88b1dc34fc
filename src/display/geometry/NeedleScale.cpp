#include "display/geometry/NeedleScale.h"

#include "display/geometry/ScaleLaw.h"

#include <array>
#include <cmath>
#include <limits>

namespace kerrion {

namespace {

constexpr double kNoRed = std::numeric_limits<double>::quiet_NaN();

// A corner of a piecewise-linear law: a reading and its position in degrees.
struct LawPoint {
    double db;
    double pos;
};

// DIN 45406: -50 .. +5 dB, 0 dB the reference and the permitted maximum (+6 dBu), red above it.
// The printed scale gives 40 mm to 0 .. -10 dB, 27 mm to -10 .. -20 and 19 mm to -20 .. -30; the
// two lowest 10 dB steps go on shrinking by about the same ratio (13 and 9 mm; the fourth-root-
// of-voltage law other DIN needles are drawn with shrinks each step to 0.75 of the one above,
// ours to 0.68 .. 0.70) and 0 .. +5 keeps the 4 mm per dB above -10: 128 mm in all over the
// 88 degrees, linear within each step.
constexpr double kDinMm = 88.0 / 128.0;
constexpr std::array<LawPoint, 7> kDinLaw
    = { { { -50, 0 }, { -40, 9 * kDinMm }, { -30, 22 * kDinMm }, { -20, 41 * kDinMm },
        { -10, 68 * kDinMm }, { 0, 108 * kDinMm }, { 5, 88 } } };
constexpr std::array<NeedleMark, 10> kDinMarks = { { { -50, "-50", true }, { -40, "-40", true },
    { -30, "-30", true }, { -25, "", false }, { -20, "-20", true }, { -15, "", false },
    { -10, "-10", true }, { -5, "-5", true }, { 0, "0", true }, { 5, "+5", true } } };

// Nordic (IEC 60268-10 Type I, Nordic scale): -36 .. +12 dB linear in dB, TEST at the
// alignment level, a mark every 6 dB.
constexpr std::array<LawPoint, 2> kNordicLaw = { { { -36, 0 }, { 12, 88 } } };
constexpr std::array<NeedleMark, 9> kNordicMarks = { { { -36, "-36", true }, { -30, "-30", true },
    { -24, "-24", true }, { -18, "-18", true }, { -12, "-12", true }, { -6, "-6", true },
    { 0, "TEST", true }, { 6, "+6", true }, { 12, "+12", true } } };

// BBC (IEC 60268-10 Type IIa): marks 1 .. 7 equally spaced, 4 dB apart from 2 to 7 and 6 dB
// between 1 and 2; 4 is the alignment level. There is no red band on a BBC meter.
constexpr double kBbcStep = 88.0 / 6.0;
constexpr std::array<LawPoint, 3> kBbcLaw = { { { -14, 0 }, { -8, kBbcStep }, { 12, 88 } } };
constexpr std::array<NeedleMark, 7> kBbcMarks = { { { -14, "1", true }, { -8, "2", true },
    { -4, "3", true }, { 0, "4", true }, { 4, "5", true }, { 8, "6", true }, { 12, "7", true } } };

// EBU (IEC 60268-10 Type IIb): -12 .. +12 dB linear in dB, TEST at the alignment level, a mark
// every 2 dB and a figure every 4. Red from +9 dB: the permitted maximum level, +9 dBu (2.18 V)
// with TEST at the 0 dBu alignment level (as Weinzierl's Handbuch der Audiotechnik tabulates
// the EBU meter's reference indication).
constexpr std::array<LawPoint, 2> kEbuLaw = { { { -12, 0 }, { 12, 88 } } };
constexpr std::array<NeedleMark, 13> kEbuMarks = { { { -12, "-12", true }, { -10, "", false },
    { -8, "-8", true }, { -6, "", false }, { -4, "-4", true }, { -2, "", false },
    { 0, "TEST", true }, { 2, "", false }, { 4, "+4", true }, { 6, "", false }, { 8, "+8", true },
    { 10, "", false }, { 12, "+12", true } } };

// Labels and tick lengths of the 16 entries of Meter/ScaleVU: the start of the scale, then
// -20 -10 -7 -6 -5 -4 -3 -2 -1 -0.5 0 +0.5 +1 +2 +3 VU.
constexpr std::array<const char*, kScaleMarkCount> kVuLabels
    = { "", "-20", "10", "7", "", "5", "", "3", "2", "1", "", "0", "", "1", "2", "3" };
constexpr std::array<bool, kScaleMarkCount> kVuLongTick = { true, true, true, true, false, true,
    false, true, true, true, false, true, false, true, true, true };

double Interpolate(std::span<const LawPoint> law, double db)
{
    if (std::isnan(db))
        return 0.0;
    size_t i = 1;
    while (i + 1 < law.size() && db > law[i].db)
        ++i;
    const LawPoint& a = law[i - 1];
    const LawPoint& b = law[i];
    return ClampPeakPos(a.pos + (db - a.db) * (b.pos - a.pos) / (b.db - a.db));
}

std::span<const LawPoint> LawOf(NeedleType type)
{
    switch (type) {
    case NeedleType::kPpmDin:
        return kDinLaw;
    case NeedleType::kPpmNordic:
        return kNordicLaw;
    case NeedleType::kPpmBbc:
        return kBbcLaw;
    case NeedleType::kPpmEbu:
        return kEbuLaw;
    default:
        return {};
    }
}

FaceScale VuFaceScale(const ScaleTable& table)
{
    FaceScale scale { {}, kZeroVuMark, true, table[kZeroVuMark] };
    for (size_t i = 0; i < table.size(); ++i)
        scale.marks.push_back({ table[i], kVuLabels[i], kVuLongTick[i] });
    return scale;
}

} // namespace

NeedleScale PpmScaleOf(NeedleType type)
{
    switch (type) {
    case NeedleType::kPpmDin:
        return { kDinMarks, 8, 0.0 };
    case NeedleType::kPpmNordic:
        return { kNordicMarks, 6, 0.0 };
    case NeedleType::kPpmBbc:
        return { kBbcMarks, 3, kNoRed };
    case NeedleType::kPpmEbu:
        return { kEbuMarks, 6, 9.0 };
    default:
        return { {}, 0, kNoRed };
    }
}

double NeedleDbToScalePos(NeedleType type, double db)
{
    const std::span<const LawPoint> law = LawOf(type);
    return law.empty() ? VuDbToScalePos(db) : Interpolate(law, db);
}

FaceScale FaceScaleOf(NeedleType type, const ScaleTable& vuTable)
{
    const NeedleScale ppm = PpmScaleOf(type);
    if (ppm.marks.empty())
        return VuFaceScale(vuTable);
    FaceScale scale { {}, ppm.referenceMark, !std::isnan(ppm.redFromDb),
        NeedleDbToScalePos(type, ppm.redFromDb) };
    for (const NeedleMark& mark : ppm.marks)
        scale.marks.push_back({ NeedleDbToScalePos(type, mark.db), mark.label, mark.isLong });
    return scale;
}

} // namespace kerrion
