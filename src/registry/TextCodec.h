// Text conversions at the file and registry boundaries. Inside the program text is UTF-8; the store
// keeps string values as UTF-16LE, as Windows does; 8-bit .reg files may be Windows-1252.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace karvo::text {

// UTF-8 to UTF-16LE bytes. Invalid sequences become U+FFFD.
std::string utf8ToUtf16le(std::string_view utf8);
void appendUtf16le(std::string& out, std::string_view utf8);

// UTF-16LE bytes to UTF-8. Unpaired surrogates become U+FFFD; an odd last byte is ignored.
std::string utf16leToUtf8(std::string_view bytes);

bool isValidUtf8(std::string_view bytes);

// Windows-1252 bytes to UTF-8 (the five undefined bytes map to the C1 controls of the same value).
std::string windows1252ToUtf8(std::string_view bytes);

// Decodes one code point at pos (advancing pos); U+FFFD for an invalid sequence.
char32_t nextCodePoint(std::string_view utf8, std::size_t& pos);
void appendUtf8(std::string& out, char32_t cp);

}  // namespace karvo::text
