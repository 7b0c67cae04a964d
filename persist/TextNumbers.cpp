#include "persist/TextNumbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace corvinta {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view SkipSpace(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    return text.substr(i);
}

// A number too large for a double reads as an infinity of its sign, which no
// setting accepts, so validation gives the default; one too small is 0.
double OutOfRange(std::string_view number)
{
    const bool negative = !number.empty() && number[0] == '-';
    // The decimal exponent of the first significant digit decides which.
    int64_t magnitude = 0;
    bool seenDigit = false, seenPoint = false;
    size_t i = negative ? 1 : 0;
    for (; i < number.size() && number[i] != 'e' && number[i] != 'E'; ++i) {
        if (number[i] == '.') {
            seenPoint = true;
        } else if (!seenDigit && number[i] == '0') {
            if (seenPoint)
                --magnitude;
        } else if (!seenDigit) {
            seenDigit = true;
            if (seenPoint)
                --magnitude;
        } else if (!seenPoint) {
            ++magnitude;
        }
    }
    if (i < number.size())
        magnitude += ReadInt(number.substr(i + 1));
    if (!seenDigit || magnitude < 0)
        return negative ? -0.0 : 0.0;
    return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
}

} // namespace

int64_t ReadInt64(std::string_view text)
{
    text = SkipSpace(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    // Accumulate as a negative number, which reaches the 64-bit minimum.
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    int64_t value = 0;
    bool saturated = false;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        const int digit = c - '0';
        if (value < (kMin + digit) / 10) {
            saturated = true;
            break;
        }
        value = value * 10 - digit;
    }
    if (saturated)
        return negative ? kMin : std::numeric_limits<int64_t>::max();
    if (negative)
        return value;
    return value == kMin ? std::numeric_limits<int64_t>::max() : -value;
}

int32_t ReadInt(std::string_view text)
{
    const int64_t v = ReadInt64(text);
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

double ReadReal(std::string_view text)
{
    text = SkipSpace(text);
    if (!text.empty() && text[0] == '+')
        text.remove_prefix(1);
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range)
        return OutOfRange(text.substr(0, size_t(result.ptr - text.data())));
    if (result.ec != std::errc{})
        return 0.0;
    return value;
}

std::string FormatReal3(double value)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
    if (result.ec != std::errc{})
        return "0.000";
    return std::string(buffer, result.ptr);
}

} // namespace corvinta
