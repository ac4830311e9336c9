#include "primitives/nocase.h"

#include <cstring>

namespace kestrin {

namespace {

unsigned char FoldLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 0x20) : c; }

// True when pattern occurs in text at position i; the caller keeps i + pattern.size() <= text.size().
bool OccursAt(const char* text, std::size_t i, std::string_view pattern) {
  for (std::size_t k = 0; k < pattern.size(); ++k) {
    if (!NoCaseEqual(static_cast<unsigned char>(text[i + k]), static_cast<unsigned char>(pattern[k]))) return false;
  }
  return true;
}

// Position of the first occurrence of pattern in text, or npos. An empty pattern occurs at 0.
std::size_t FirstOccurrence(std::string_view text, std::string_view pattern) {
  if (pattern.size() > text.size()) return std::string_view::npos;
  const std::size_t last = text.size() - pattern.size();
  for (std::size_t i = 0; i <= last; ++i) {
    if (OccursAt(text.data(), i, pattern)) return i;
  }
  return std::string_view::npos;
}

// The longest text ReplaceFirstNoCase takes: its working copy holds 263 bytes and the terminator.
constexpr std::size_t kReplaceTextLimit = 263;

}  // namespace

bool NoCaseEqual(unsigned char a, unsigned char b) { return FoldLetter(a) == FoldLetter(b); }

const char* FindNoCase(const char* text, const char* pattern) {
  if (pattern == nullptr || pattern[0] == '\0') return nullptr;
  const std::string_view body(text);
  const std::size_t at = FirstOccurrence(body, std::string_view(pattern));
  return at == std::string_view::npos ? nullptr : text + at;
}

std::int32_t IndexOfNoCase(std::string_view text, std::string_view pattern) {
  const std::size_t at = FirstOccurrence(text, pattern);
  return at == std::string_view::npos ? -1 : static_cast<std::int32_t>(at);
}

bool TruncateAtNoCase(std::string& destination, std::string_view source, std::string_view pattern) {
  const std::size_t at = FirstOccurrence(source, pattern);
  const bool found = at != std::string_view::npos;
  // A copy first: source may view destination's own characters.
  std::string result(found ? source.substr(0, at) : source);
  destination.swap(result);
  return found;
}

bool ReplaceFirstNoCase(std::string& output, std::string_view text, std::string_view oldString,
                        std::string_view newString) {
  std::string result;
  bool replaced = false;
  if (text.size() <= kReplaceTextLimit && !oldString.empty()) {
    const std::size_t at = FirstOccurrence(text, oldString);
    if (at != std::string_view::npos) {
      result.reserve(text.size() - oldString.size() + newString.size());
      result.append(text.substr(0, at)).append(newString).append(text.substr(at + oldString.size()));
      replaced = true;
    }
  }
  output.swap(result);
  return replaced;
}

}  // namespace kestrin
