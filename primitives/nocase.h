#pragma once
// No-case substring operations: ASCII letters compare without regard to case, every other byte (digits,
// punctuation, bytes 0x80 to 0xFF) only equals itself. Double-byte characters are two bytes here.

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrin {

// True when a and b are the same byte, or the same ASCII letter in either case.
bool NoCaseEqual(unsigned char a, unsigned char b);

// The first occurrence of pattern in text (a pointer into text), or null when there is none, when the
// pattern is null or empty, or when it is longer than the text. text is zero-terminated and not null.
const char* FindNoCase(const char* text, const char* pattern);

// Index of the first occurrence of pattern in text; -1 when there is none. An empty pattern gives 0.
std::int32_t IndexOfNoCase(std::string_view text, std::string_view pattern);

// destination = source cut at the first occurrence of pattern (true), or the whole source (false).
// An empty pattern cuts at 0. source may view destination itself.
bool TruncateAtNoCase(std::string& destination, std::string_view source, std::string_view pattern);

// output = text with the first occurrence of oldString replaced by newString (true), or the empty string
// when there is none (false). Refuses (false, empty output) a text longer than 263 bytes, which would not
// fit the working copy, and an empty old string.
bool ReplaceFirstNoCase(std::string& output, std::string_view text, std::string_view oldString,
                        std::string_view newString);

}  // namespace kestrin
