// A registry value as the registry editor shows it: its name, its type's name and its data as text.
// Standard library only; every front end and the comparison window show values alike.
#pragma once

#include "compare/Comparison.h"
#include "registry/ValueTypes.h"

#include <string>
#include <string_view>
#include <vector>

namespace karvo::compare {

// The type's name is reg::typeName.
using reg::typeName;

// "(Default)" for the key's default value, the name itself otherwise.
std::string valueName(std::string_view name);

// The data as lines: one line for every type but a multi-string, which gives one per string (and
// at least one). Data that does not fit its type (an odd-sized string, a number of the wrong size)
// is shown as hex bytes rather than guessed at. name is the value's name: the default value with
// no data at all reads "(value not set)".
std::vector<std::string> dataLines(std::string_view name, const Data& data);

// The lines on one row: a multi-string's strings separated by spaces, as the editor's list shows them.
std::string dataText(std::string_view name, const Data& data);

// Hex bytes show at most this many bytes on a row; the rest is counted, not drawn.
inline constexpr std::size_t kShownBytes = 2048;

}  // namespace karvo::compare
