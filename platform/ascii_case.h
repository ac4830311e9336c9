#pragma once
// The one case rule of the tool: only the 26 ASCII capitals fold, onto their lower-case letters. Every
// other byte (digits, punctuation, bytes 0x80 to 0xFF, and so each byte of a double-byte character) stays
// as it is. It lives with the platform, the lowest layer, so that the file systems and the core fold alike.

namespace kestrin {

// ch lowered when it is an ASCII upper-case letter (0x41 to 0x5A); every other byte unchanged.
constexpr char AsciiToLower(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch + 0x20) : ch; }

// The byte form of the same rule.
constexpr unsigned char AsciiToLower(unsigned char c) {
  return static_cast<unsigned char>(AsciiToLower(static_cast<char>(c)));
}

}  // namespace kestrin
