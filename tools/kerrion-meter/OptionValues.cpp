#include "OptionValues.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace kerrion::cli {

std::optional<long long> ParseInteger(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0')
        return std::nullopt;
    return value;
}

std::optional<double> ParseNumber(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || end == nullptr || *end != '\0' || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::vector<std::string> SplitList(const std::string& text)
{
    std::vector<std::string> items;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type comma = text.find(',', start);
        items.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            return items;
        start = comma + 1;
    }
}

std::optional<std::vector<int>> ParseIntegerList(const std::string& text)
{
    std::vector<int> values;
    for (const std::string& item : SplitList(text)) {
        const std::optional<long long> value = ParseInteger(item);
        if (!value || *value < INT_MIN || *value > INT_MAX)
            return std::nullopt;
        values.push_back(static_cast<int>(*value));
    }
    return values;
}

} // namespace kerrion::cli
