#pragma once

// Running kerrion-meter and reading what it printed: its lines, and the number arrays of a
// jsonl record.

#include "support/TempDir.h"

#include <sys/wait.h>

#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace kerrion::test {

// What a run of the program gave back.
struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `command` (a shell line: environment settings, the program, its arguments) with no input
// and its standard output and error in out.txt and err.txt of `dir`, and gives back all three.
inline Result RunCaptured(const std::string& command, const std::filesystem::path& dir)
{
    const std::string out = (dir / "out.txt").string();
    const std::string err = (dir / "err.txt").string();
    const int raw = std::system((command + " >'" + out + "' 2>'" + err + "' </dev/null").c_str());
    Result result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFileBytes(out);
    result.err = ReadFileBytes(err);
    return result;
}

inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The numbers of a JSON array field ("peak":[...]) of one record.
inline std::vector<double> JsonArray(const std::string& record, const std::string& field)
{
    std::vector<double> values;
    const std::string key = "\"" + field + "\":[";
    const std::size_t start = record.find(key);
    if (start == std::string::npos)
        return values;
    std::istringstream in(
        record.substr(start + key.size(), record.find(']', start) - start - key.size()));
    for (std::string item; std::getline(in, item, ',');)
        values.push_back(std::stod(item));
    return values;
}

} // namespace kerrion::test
