#pragma once

// Strict readers of option values: the whole text must be the value, or the reader fails.

#include <optional>
#include <string>
#include <vector>

namespace kerrion::cli {

std::optional<long long> ParseInteger(const std::string& text);
// A finite number.
std::optional<double> ParseNumber(const std::string& text);
// Comma-separated integers ("0,1,-1"); nullopt when one is not an integer or the list is empty.
std::optional<std::vector<int>> ParseIntegerList(const std::string& text);
// Comma-separated items; empty items are kept as empty strings.
std::vector<std::string> SplitList(const std::string& text);

} // namespace kerrion::cli
