#pragma once
// Character-aware scans of path text shared by the file operations. A path style with a double-byte code
// page makes a lead byte and the byte after it one character, so a trail byte that happens to be '\' is
// never taken for a separator. (The no-case comparisons and searches live in primitives/nocase.h, the
// whole-character prefix in primitives/path_text.h.)

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/path_style.h"

namespace kestrin::fileops_detail {

inline constexpr std::size_t kNone = std::string_view::npos;

// Position of the first separator character of text; kNone when there is none. (The last one, and
// whether text ends with one, are PathStyle::LastSeparator and PathStyle::EndsWithSeparator.)
std::size_t FirstSeparator(std::string_view text, const PathStyle& style);

// The name with a separator on either side, such as "\PublicRes\" or "/PublicRes/".
std::string Enclosed(std::string_view name, const PathStyle& style);

}  // namespace kestrin::fileops_detail
