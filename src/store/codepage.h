#pragma once
// The course code page: Windows-1251 with the Kazakh letters of its national variant KZ-1048
// (iconv name RK1048). Every text in the core is a byte string in this code page; UTF-8 is used
// only at the widget boundary and for names handed to the operating system.
#include <optional>
#include <string>
#include <string_view>

namespace ortavia::cp {

// Code page bytes to UTF-8. Never fails: the one undefined byte (0x98) becomes U+FFFD.
std::string toUtf8(std::string_view text);

// UTF-8 to code page bytes; nullopt when the text holds a character the code page cannot hold
// (or is not valid UTF-8). Nothing is ever replaced by '?'.
std::optional<std::string> fromUtf8(std::string_view utf8);

// Lower-case form of one code page byte: Latin, Russian, Ukrainian/Belarusian/Serbian and Kazakh
// letters (Ә Ғ Қ Ң Ө Ұ Ү Һ І Ё ...); every other byte maps to itself.
unsigned char foldCase(unsigned char c);
std::string foldCase(std::string_view text);
bool equalsNoCase(std::string_view a, std::string_view b);
bool startsWithNoCase(std::string_view text, std::string_view prefix);

} // namespace ortavia::cp
