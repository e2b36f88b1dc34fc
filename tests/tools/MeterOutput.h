#pragma once

// Reading what a kerrion-meter run printed: its lines, and the number arrays of a jsonl record.

#include <cstddef>
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
