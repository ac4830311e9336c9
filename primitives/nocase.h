#pragma once
// No-case substring operations: ASCII letters compare without regard to case (the rule of
// platform/ascii_case.h), every other byte (digits, punctuation, bytes 0x80 to 0xFF) only equals itself.
// Double-byte characters are two bytes here, unless a routine is given the path style whose code page
// makes them one character: an occurrence then only starts where a character starts, so a trail byte
// that looks like an ASCII letter or a separator never begins a match.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/path_style.h"
#include "platform/ascii_case.h"

namespace kestrin {

// True when a and b are the same byte, or the same ASCII letter in either case.
inline bool NoCaseEqual(unsigned char a, unsigned char b) { return AsciiToLower(a) == AsciiToLower(b); }

// True when a and b have the same length and are equal without regard to ASCII case.
bool EqualsNoCase(std::string_view a, std::string_view b);

// True when text begins with prefix, ASCII letters compared without regard to case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// The first occurrence of pattern in text (a pointer into text), or null when there is none, when the
// pattern is null or empty, or when it is longer than the text. text is zero-terminated and not null.
const char* FindNoCase(const char* text, const char* pattern);

// Index of the first occurrence of pattern in text; -1 when there is none. An empty pattern gives 0.
// With a path style, only occurrences that begin on one of its character boundaries count.
std::int32_t IndexOfNoCase(std::string_view text, std::string_view pattern);
std::int32_t IndexOfNoCase(std::string_view text, std::string_view pattern, const PathStyle& style);

// destination = source cut at the first occurrence of pattern (true), or the whole source (false).
// An empty pattern cuts at 0. source may view destination itself. With a path style, only occurrences that
// begin on one of its character boundaries count.
bool TruncateAtNoCase(std::string& destination, std::string_view source, std::string_view pattern);
bool TruncateAtNoCase(std::string& destination, std::string_view source, std::string_view pattern,
                      const PathStyle& style);

// output = text with the first occurrence of oldString replaced by newString (true), or the empty string
// when there is none (false). Refuses (false, empty output) a text longer than 263 bytes, which would not
// fit the working copy, and an empty old string.
bool ReplaceFirstNoCase(std::string& output, std::string_view text, std::string_view oldString,
                        std::string_view newString);

}  // namespace kestrin
