#pragma once
// Text to number as the program converts stored grades and question counts: optional leading
// blanks, an optional sign, decimal digits, nothing after them, within the 32-bit range.
#include <string>
#include <string_view>

namespace ortavia {

// Throws Error("'<text>' is not a valid integer value").
int strToInt(std::string_view text);

} // namespace ortavia
