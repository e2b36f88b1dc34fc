#include "meter/LoudnessLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace kerrion {
namespace {

constexpr const char* kHeader
    = "time,momentary,short_term,integrated,range,true_peak_max,standard,event\n";

std::tm LocalTime(std::time_t when)
{
    std::tm local {};
    localtime_r(&when, &local);
    return local;
}

void AppendField(std::string& line, double value)
{
    line += ',';
    if (!std::isnan(value)) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", value);
        line += text;
    }
}

} // namespace

LoudnessLog::~LoudnessLog() { Close(); }

void LoudnessLog::WriteTo(const std::filesystem::path& file)
{
    Close();
    m_fixed = file;
    m_folder.clear();
}

void LoudnessLog::WriteDaily(const std::filesystem::path& folder)
{
    Close();
    m_folder = folder;
    m_fixed.clear();
}

std::string LoudnessLog::Line(std::time_t when, const LoudnessReadings* r,
    const LoudnessStandard& standard, const char* event)
{
    const std::tm local = LocalTime(when);
    char time[32];
    std::strftime(time, sizeof time, "%Y-%m-%d %H:%M:%S", &local);
    std::string line = time;
    const LoudnessReadings none;
    const LoudnessReadings& v = r != nullptr ? *r : none;
    for (double value : { v.momentary, v.shortTerm, v.integrated, v.range, v.truePeakMax })
        AppendField(line, value);
    line += ',';
    line += standard.name;
    line += ',';
    line += event != nullptr ? event : "";
    return line;
}

bool LoudnessLog::Event(std::time_t when, const char* event, const LoudnessStandard& standard)
{
    return Write(when, Line(when, nullptr, standard, event));
}

bool LoudnessLog::Reading(
    std::time_t when, const LoudnessReadings& r, const LoudnessStandard& standard)
{
    return Write(when, Line(when, &r, standard, nullptr));
}

bool LoudnessLog::Write(std::time_t when, const std::string& line)
{
    std::filesystem::path path = m_fixed;
    if (path.empty()) {
        const std::tm local = LocalTime(when);
        char name[40];
        std::strftime(name, sizeof name, "Kerrion-%Y-%m-%d.csv", &local);
        path = m_folder / name;
    }
    if ((m_file == nullptr || path != m_path) && !OpenFor(path))
        return false;
    if (std::fprintf(m_file, "%s\n", line.c_str()) < 0 || std::fflush(m_file) != 0) {
        m_error = std::strerror(errno);
        Close(); // opened again for the next line
        return false;
    }
    m_error.clear();
    return true;
}

bool LoudnessLog::OpenFor(const std::filesystem::path& path)
{
    Close();
    m_path = path;
    if (path.empty() || path.filename().empty()) {
        m_error = "there is no folder for it";
        return false;
    }
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    struct stat info { };
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)
        || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        m_error
            = fd < 0 || S_ISREG(info.st_mode) ? std::strerror(errno) : "it is not a regular file";
        if (fd >= 0)
            close(fd);
        return false;
    }
    m_file = fdopen(fd, "a");
    if (m_file == nullptr) {
        m_error = std::strerror(errno);
        close(fd);
        return false;
    }
    if (info.st_size == 0 && (std::fputs(kHeader, m_file) < 0 || std::fflush(m_file) != 0)) {
        m_error = std::strerror(errno);
        Close();
        return false;
    }
    return true;
}

void LoudnessLog::Close()
{
    if (m_file != nullptr)
        std::fclose(m_file);
    m_file = nullptr;
}

} // namespace kerrion
