#pragma once
// Numbers read from text the lenient way the stored files need: leading
// white space, an optional sign and the digits that follow; anything else
// ends the number, and text without one reads as 0. Independent of the
// process locale, so a decimal comma in the user's locale changes nothing.

#include <cstdint>
#include <string>
#include <string_view>

namespace corvinta {

int64_t ReadInt64(std::string_view text);   // saturates at the 64-bit range
int32_t ReadInt(std::string_view text);     // saturates at the 32-bit range
double ReadReal(std::string_view text);     // leading decimal number, 0 when none

// "%.3f" with a decimal point whatever the locale.
std::string FormatReal3(double value);

} // namespace corvinta
