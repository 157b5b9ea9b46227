// Key and value names as the registry compares them: folded to upper case, as the Windows registry
// does, and measured in UTF-16 units, as its length limits are.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace karvo::reg::detail {

// Upper-case of one code point for the scripts registry names commonly use (ASCII, Latin-1,
// Latin Extended-A, Greek, Cyrillic); every other code point is its own upper case.
char32_t upcase(char32_t cp);

// The comparison form of a UTF-8 name: every code point upper-cased.
std::string foldName(std::string_view utf8);

// The length of a UTF-8 name in UTF-16 units.
std::size_t utf16Length(std::string_view utf8);

// Invalid UTF-8 replaced by U+FFFD, so every stored name is valid UTF-8.
std::string cleanName(std::string_view bytes);

// The components of a sub-key path; empty components (a leading, trailing or doubled "\") are
// dropped, so "a\\b\" names the same key as "a\b".
std::vector<std::string> splitKeyPath(std::string_view path);

}  // namespace karvo::reg::detail
