#pragma once
// How paths are written and taken apart on one platform.
//
// The path routines of the core take a PathStyle rather than asking the operating system, so that the
// Windows rules (both separators, drive roots, case folding, double-byte code pages) are exercised by the
// Linux test run as well as under Wine. NativePathStyle() is the style of the platform the program runs on.

#include <array>
#include <cstddef>
#include <string_view>

namespace kestrin {

using LeadByteTable = std::array<bool, 256>;

struct PathStyle {
  bool windows = false;
  // Lead bytes of the ANSI code page's double-byte characters (Windows only; null: single-byte code page).
  // Separator scans and letter lowering of the path routines step over the byte that follows a lead byte,
  // since in GBK that trail byte may be 0x5C or an ASCII letter.
  const LeadByteTable* leadBytes = nullptr;

  // The separator the tool writes.
  char Separator() const { return windows ? '\\' : '/'; }
  // Size of a path buffer, terminator included: the longest path has PathLimit() - 1 bytes.
  std::size_t PathLimit() const { return windows ? 260 : 4096; }
  // Whether NormalizeFolderPath lowers ASCII letters (folder paths fold case on Windows only).
  bool FoldsCase() const { return windows; }
  // Separators accepted when taking a path apart: '\' and '/' on Windows, '/' only on POSIX, where '\'
  // is an ordinary byte of a file name.
  bool IsSeparator(unsigned char c) const { return c == '/' || (windows && c == '\\'); }
  bool IsLeadByte(unsigned char c) const { return leadBytes != nullptr && (*leadBytes)[c]; }
  // Length of the byte sequence starting at text[i] that forms one character: 2 for a lead byte that is
  // followed by another byte, else 1.
  std::size_t CharLength(const char* text, std::size_t length, std::size_t i) const {
    return (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < length) ? 2 : 1;
  }

  // Position of the last separator of path, or npos when it has none. The scan runs forward, so that the
  // trail byte of a double-byte character is never taken for a separator.
  std::size_t LastSeparator(std::string_view path) const;
  // Whether the last character of path (not merely its last byte) is a separator.
  bool EndsWithSeparator(std::string_view path) const {
    const std::size_t last = LastSeparator(path);
    return last != std::string_view::npos && last + 1 == path.size();
  }

  // Whether path is a root alone, which keeps its separator: "/" on POSIX; on Windows a drive root ("D:\",
  // "D:/") or a lone separator.
  bool IsRoot(std::string_view path) const {
    if (!EndsWithSeparator(path)) return false;
    return path.size() == 1 || (windows && path.size() == 3 && path[1] == ':');
  }

  static PathStyle Windows(const LeadByteTable* lead = nullptr) { return PathStyle{true, lead}; }
  static PathStyle Posix() { return PathStyle{false, nullptr}; }
};

// The style of the running platform; on Windows its lead-byte table comes from the ANSI code page.
const PathStyle& NativePathStyle();

// The lead bytes of code page 936 (GBK): 0x81 to 0xFE. Tests use it to run the Windows rules with a
// double-byte code page on any host.
const LeadByteTable& GbkLeadBytes();

}  // namespace kestrin
