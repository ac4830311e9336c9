#pragma once
// Helpers shared by the fuzz targets: taking a fuzz input apart into fields, and a property check that
// stops the run with a readable message.
//
// An input is a flag byte followed by fields separated by zero bytes; the last field takes the rest of
// the input, zero bytes included. Zero-terminated texts therefore never hold a zero byte, while the data
// of a content search may. Seed files are easy to write by hand: printf '\x01abc\0def' > seed.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/path_style.h"

namespace kestrin::fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}

  // The first byte (0 when the input is empty); later calls give the next byte.
  std::uint8_t Flags() {
    if (rest_.empty()) return 0;
    const auto flags = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return flags;
  }

  // The bytes up to the next zero byte, which is consumed; the rest of the input when there is none.
  std::string_view Field() {
    const std::size_t end = rest_.find('\0');
    const std::string_view field = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    return field;
  }

  // Everything not consumed yet, zero bytes included.
  std::string_view Rest() {
    const std::string_view rest = rest_;
    rest_ = {};
    return rest;
  }

  bool empty() const { return rest_.empty(); }

 private:
  std::string_view rest_;
};

// The three path styles every path routine is fuzzed with: POSIX, Windows with a single-byte code page,
// Windows with the GBK lead-byte table.
inline PathStyle StyleFromFlags(std::uint8_t flags) {
  switch (flags % 3) {
    case 0:
      return PathStyle::Posix();
    case 1:
      return PathStyle::Windows();
    default:
      return PathStyle::Windows(&GbkLeadBytes());
  }
}

inline std::string StyleName(const PathStyle& style) {
  return style.windows ? (style.leadBytes ? "gbk" : "windows") : "posix";
}

// The text with the case of every ASCII letter flipped.
inline std::string FlipCase(std::string_view text) {
  std::string flipped(text);
  for (char& c : flipped) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) c = static_cast<char>(c ^ 0x20);
  }
  return flipped;
}

inline std::string Printable(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7F && b != '\\') {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    }
  }
  return out;
}

[[noreturn]] inline void PropertyFailed(const char* condition, const char* file, int line,
                                        const std::string& detail) {
  std::fprintf(stderr, "%s:%d: property violated: %s\n%s\n", file, line, condition, detail.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace kestrin::fuzz

// Checks a property of the code under test; on failure prints the condition and detail, then aborts,
// which both libFuzzer and the corpus replay report as a failed input.
#define FUZZ_CHECK(condition, detail)                                                  \
  do {                                                                                 \
    if (!(condition)) ::kestrin::fuzz::PropertyFailed(#condition, __FILE__, __LINE__, (detail)); \
  } while (0)
