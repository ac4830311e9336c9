#pragma once
// Character-aware scans of path text shared by the file operations. A path style with a double-byte code
// page makes a lead byte and the byte after it one character, so a trail byte that happens to be '\' (or
// an ASCII letter) is never taken for a separator or for the start of a marker.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/path_style.h"

namespace kestrin::fileops_detail {

inline constexpr std::size_t kNone = std::string_view::npos;

// True when a and b have the same length and are equal without regard to ASCII case.
bool EqualsNoCase(std::string_view a, std::string_view b);

// True when text begins with prefix, ASCII letters compared without regard to case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// Position of the first occurrence of pattern in text that begins on a character boundary, ASCII letters
// compared without regard to case; kNone when there is none. An empty pattern is found at 0.
std::size_t FindCharNoCase(std::string_view text, std::string_view pattern, const PathStyle& style);

// Position of the first separator character of text; kNone when there is none. (The last one, and
// whether text ends with one, are PathStyle::LastSeparator and PathStyle::EndsWithSeparator.)
std::size_t FirstSeparator(std::string_view text, const PathStyle& style);

// The name with a separator on either side, such as "\PublicRes\" or "/PublicRes/".
std::string Enclosed(std::string_view name, const PathStyle& style);

// The longest leading part of text that has at most limit bytes and does not split a character.
std::string_view CharPrefix(std::string_view text, std::size_t limit, const PathStyle& style);

}  // namespace kestrin::fileops_detail
