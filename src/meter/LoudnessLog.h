#pragma once

// The loudness session log: CSV lines appended to a file, one line of the broadcast loudness a
// second while metering and one at each start, stop and reset, each written out (flushed) as it
// is made, so that a crash loses at most the line being made. The first line of a new file
// names the columns:
//   time,momentary,short_term,integrated,range,true_peak_max,standard,event
//   2026-12-10 09:15:01,-23.4,-23.1,-23.0,4.2,-3.1,EBU R128,
//   2026-12-10 09:15:02,,,,,,EBU R128,stop
// Local time; loudness in LKFS, range in LU, true peak in dBTP, one decimal; an empty field for
// a value not measured yet. Either one file (kerrion-meter --log) or a file a day in a folder,
// Kerrion-YYYY-MM-DD.csv, by the line's local date. Only a regular file (or none yet) is
// written: a FIFO or a device in its place is refused, never blocked on. No Qt; one thread.

#include "meter/LoudnessReadings.h"
#include "meter/LoudnessStandard.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

namespace kerrion {

class LoudnessLog {
public:
    LoudnessLog() = default;
    ~LoudnessLog();
    LoudnessLog(const LoudnessLog&) = delete;
    LoudnessLog& operator=(const LoudnessLog&) = delete;

    // Lines go to `file`.
    void WriteTo(const std::filesystem::path& file);
    // Lines go to Kerrion-YYYY-MM-DD.csv in `folder`, by the local date of each line.
    void WriteDaily(const std::filesystem::path& folder);

    // "start", "stop" or "reset" at `when`. False when the line could not be written (Error()).
    bool Event(std::time_t when, const char* event, const LoudnessStandard& standard);
    // The readings at `when`. False when the line could not be written (Error()).
    bool Reading(std::time_t when, const LoudnessReadings& r, const LoudnessStandard& standard);

    // The file of the last line, and why it could not be written ("" after a line that was).
    const std::filesystem::path& File() const { return m_path; }
    const std::string& Error() const { return m_error; }

    // The text of one line, without its newline (for tests and kerrion-meter alike).
    static std::string Line(std::time_t when, const LoudnessReadings* r,
        const LoudnessStandard& standard, const char* event);

private:
    bool Write(std::time_t when, const std::string& line);
    bool OpenFor(const std::filesystem::path& path);
    void Close();

    std::filesystem::path m_fixed;  // the one file, or empty
    std::filesystem::path m_folder; // of the daily files, or empty
    std::filesystem::path m_path;   // the file open (or last tried)
    std::FILE* m_file = nullptr;
    std::string m_error;
};

} // namespace kerrion
