#include "FileCheck.h"

#include "FileMeasurement.h"
#include "HistoryPlot.h"
#include "LevelPrinter.h"
#include "MeterRun.h"
#include "SoundFileReader.h"
#include "meter/LoudnessLayout.h"

#include <cstdio>
#include <memory>
#include <optional>

namespace kerrion::cli {
namespace {

// The programme layout: --loudness, else the one the file's channel count names.
std::optional<LoudnessLayout> LayoutFor(const MeterCommandLine& options, int channels)
{
    LoudnessLayout layout = LoudnessLayout::Stereo;
    if (options.loudnessLayout && ParseLayout(*options.loudnessLayout, layout))
        return layout;
    switch (channels) {
    case 1:
        return LoudnessLayout::Mono;
    case 2:
        return LoudnessLayout::Stereo;
    case 6:
        return LoudnessLayout::Surround51;
    case 8:
        return LoudnessLayout::Surround71;
    default:
        return std::nullopt;
    }
}

enum class Outcome { Met, NotMet, Unreadable };

// Measures one file; `history`, when given, follows every step of it.
Outcome CheckFile(const std::string& path, const MeterCommandLine& options,
    const LoudnessStandard& standard, LoudnessHistory* history)
{
    const char* name = path.c_str();
    SoundFileReader reader;
    if (!reader.Open(path)) {
        std::fprintf(
            stderr, "kerrion-meter: %s cannot be read: %s\n", name, reader.Error().c_str());
        return Outcome::Unreadable;
    }
    const std::optional<LoudnessLayout> layout = LayoutFor(options, reader.Channels());
    if (!layout) {
        std::fprintf(stderr,
            "kerrion-meter: %s has %d channels: say which are the programme with --loudness\n",
            name, reader.Channels());
        return Outcome::Unreadable;
    }
    FileMeasurement measurement(reader, *layout);
    if (!measurement.Init()) {
        std::fprintf(stderr, "kerrion-meter: %s: out of memory for the measurement\n", name);
        return Outcome::Unreadable;
    }
    std::string record;
    while (measurement.Step()) {
        if (history != nullptr)
            history->Follow(measurement.Readings(), standard.truePeakLimit);
        if (options.format == MeterFormat::Jsonl)
            record = FileJsonRecord(path, measurement.Readings().seconds, measurement.Readings());
        else if (options.format == MeterFormat::Csv)
            record = FileCsvRecord(path, measurement.Readings().seconds, measurement.Readings());
        if (!record.empty())
            std::fwrite(record.data(), 1, record.size(), stdout);
    }
    const LoudnessReadings& r = measurement.Readings();
    std::fprintf(stderr, "kerrion-meter: %s: %s, %d channels at %.0f Hz, %.1f s, %s programme\n",
        name, reader.Description().c_str(), reader.Channels(), reader.Rate(), r.seconds,
        LayoutName(*layout));
    if (!reader.Error().empty()) {
        std::fprintf(stderr, "kerrion-meter: %s cannot be read past %.1f s: %s\n", name, r.seconds,
            reader.Error().c_str());
        return Outcome::Unreadable;
    }
    if (reader.CutShort())
        std::fprintf(stderr,
            "kerrion-meter: %s holds less than its header announces (a file cut short?); what it "
            "holds was measured\n",
            name);
    if (reader.NonFiniteSamples() > 0)
        std::fprintf(stderr,
            "kerrion-meter: %s holds %llu samples that are not numbers, read as silence\n", name,
            static_cast<unsigned long long>(reader.NonFiniteSamples()));
    const bool met = standard.Judge(r.integrated) == LoudnessStandard::Level::Within
        && LoudnessReadings::Defined(r.truePeakMax) && !standard.TruePeakOver(r.truePeakMax);
    std::fprintf(stderr, "kerrion-meter: %s: %s; %s %s\n", name,
        LoudnessSummary(r, standard).c_str(), met ? "meets" : "does not meet", standard.name);
    return met ? Outcome::Met : Outcome::NotMet;
}

} // namespace

int CheckFiles(const MeterCommandLine& options, const CSettingsRecord& settings)
{
    const LoudnessStandard standard = ChooseStandard(options, settings);
    std::unique_ptr<LoudnessHistory> history;
    if (options.plotFile) {
        if (options.files.size() > 1) {
            std::fprintf(stderr,
                "kerrion-meter: --plot draws the history of one file, not of %zu\n",
                options.files.size());
            return kExitUsage;
        }
        history = std::make_unique<LoudnessHistory>();
    }
    if (options.format == MeterFormat::Csv)
        std::fputs(FileCsvHeader().c_str(), stdout);
    bool failed = false; // a file could not be read, or the plot written
    bool notMet = false;
    for (const std::string& path : options.files) {
        const Outcome outcome = CheckFile(path, options, standard, history.get());
        failed = failed || outcome == Outcome::Unreadable;
        notMet = notMet || outcome == Outcome::NotMet;
    }
    std::string why;
    if (history && !failed && !WriteHistoryPlot(*options.plotFile, *history, standard, why)) {
        std::fprintf(stderr, "kerrion-meter: cannot write the plot %s: %s\n",
            options.plotFile->c_str(), why.c_str());
        failed = true;
    }
    if (std::fflush(stdout) != 0)
        return kExitFailure;
    return failed ? kExitFailure : notMet ? kExitNotMet : kExitOk;
}

} // namespace kerrion::cli
