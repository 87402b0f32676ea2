// CP932 (Windows Japanese) text. Every text of the program is kept as CP932
// bytes; conversion happens only where text meets the screen or the keyboard.
#pragma once
#include <optional>
#include <string>
#include <string_view>

// UTF-8 to CP932. nullopt when a character has no CP932 form (an emoji, say).
// Input-method variants (U+301C wave dash, U+2212 minus, U+2016, U+2014,
// U+00A2, U+00A3, U+00AC) become their CP932 counterparts.
std::optional<std::string> toCp932(std::string_view utf8);

// As toCp932, but a character without a CP932 form becomes `replacement`.
std::string toCp932Lossy(std::string_view utf8, char replacement = '?');

// CP932 to UTF-8. A byte sequence that is not CP932 shows as U+FFFD.
std::string fromCp932(std::string_view cp932);

// The program's own texts are written in UTF-8 in the source; this gives their CP932 bytes.
inline std::string cp932(std::string_view utf8) { return toCp932Lossy(utf8); }
