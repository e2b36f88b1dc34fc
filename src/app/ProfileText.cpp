#include "app/ProfileText.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace kerrion {
namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipDigits(std::string_view text, std::size_t pos)
{
    while (pos < text.size() && IsDigit(text[pos]))
        ++pos;
    return pos;
}

// Cuts `text` to the decimal number at its start: [sign] digits [. digits] [e [sign] digits],
// with at least one digit in the mantissa. Returns an empty view when there is no number.
std::string_view LeadingDecimal(std::string_view text)
{
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    const std::size_t intStart = pos;
    pos = SkipDigits(text, pos);
    std::size_t digits = pos - intStart;
    if (pos < text.size() && text[pos] == '.') {
        const std::size_t fracStart = pos + 1;
        const std::size_t fracEnd = SkipDigits(text, fracStart);
        digits += fracEnd - fracStart;
        pos = fracEnd;
    }
    if (digits == 0)
        return {};
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        std::size_t expPos = pos + 1;
        if (expPos < text.size() && (text[expPos] == '+' || text[expPos] == '-'))
            ++expPos;
        const std::size_t expEnd = SkipDigits(text, expPos);
        if (expEnd > expPos)
            pos = expEnd;
    }
    return text.substr(0, pos);
}

std::string_view SkipBlanks(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    return text.substr(pos);
}

} // namespace

int ParseProfileInt(std::string_view text)
{
    text = SkipBlanks(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    // Accumulate toward the sign so that INT_MIN itself is reachable.
    constexpr int kMax = std::numeric_limits<int>::max();
    constexpr int kMin = std::numeric_limits<int>::min();
    int value = 0;
    for (char c : text) {
        if (!IsDigit(c))
            break;
        const int digit = c - '0';
        if (negative) {
            if (value < (kMin + digit) / 10)
                return kMin;
            value = value * 10 - digit;
        } else {
            if (value > (kMax - digit) / 10)
                return kMax;
            value = value * 10 + digit;
        }
    }
    return value;
}

double ParseProfileDouble(std::string_view text)
{
    std::string_view number = LeadingDecimal(SkipBlanks(text));
    if (number.empty())
        return 0.0;
    const bool negative = number[0] == '-';
    if (number[0] == '+' || number[0] == '-')
        number.remove_prefix(1);
    double value = 0.0;
    const std::errc error = std::from_chars(
        number.data(), number.data() + number.size(), value, std::chars_format::general)
                                .ec;
    if (error == std::errc::result_out_of_range) {
        // Out of range: too large saturates, too small is zero. A negative exponent marks the
        // latter; the mantissa alone cannot overflow a double's exponent range here.
        const bool tiny = number.find("e-") != std::string_view::npos
            || number.find("E-") != std::string_view::npos;
        value = tiny ? 0.0 : std::numeric_limits<double>::max();
    } else if (error != std::errc() || !std::isfinite(value)) {
        value = 0.0;
    }
    return negative ? -value : value;
}

std::vector<std::string_view> SplitProfileList(std::string_view text)
{
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string_view::npos)
            comma = text.size();
        if (comma > start)
            pieces.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    return pieces;
}

std::string FormatFixed(double value, int decimals)
{
    char buffer[400]; // the largest double has 309 integer digits
    const auto [end, error]
        = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return error == std::errc() ? std::string(buffer, end) : std::string("0");
}

std::string FormatShortest(double value)
{
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : std::string("0");
}

} // namespace kerrion
