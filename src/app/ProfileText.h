#pragma once

#include <string>
#include <string_view>
#include <vector>

// The text conventions of the settings file: how its numbers and lists read and are written.
// Numbers always use "." as the decimal point, whatever the process locale.
namespace kerrion {

// Leading blanks, an optional sign, decimal digits; reading stops at the first other character.
// Text without leading digits gives 0. Values beyond the range of int saturate.
int ParseProfileInt(std::string_view text);

// The same with a decimal point and an optional exponent. Text without a number gives 0.0.
// Values beyond the range of double saturate to the largest finite value; no infinity or NaN is
// ever returned.
double ParseProfileDouble(std::string_view text);

// Cuts a list value at every comma, skipping empty pieces.
std::vector<std::string_view> SplitProfileList(std::string_view text);

// printf's "%.<decimals>f" in the C locale ("%lf" is six decimals).
std::string FormatFixed(double value, int decimals);

// The shortest text that reads back as the same double ("1.8", "88").
std::string FormatShortest(double value);

} // namespace kerrion
