#include "primitives/nocase.h"

namespace kestrin {

namespace {

// True when pattern occurs in text at position at; false also when it would run past the end of text.
bool OccursAt(std::string_view text, std::size_t at, std::string_view pattern) {
  if (at > text.size() || text.size() - at < pattern.size()) return false;
  for (std::size_t k = 0; k < pattern.size(); ++k) {
    if (!NoCaseEqual(static_cast<unsigned char>(text[at + k]), static_cast<unsigned char>(pattern[k]))) return false;
  }
  return true;
}

// Position of the first occurrence of pattern in text, or npos. An empty pattern occurs at 0. With a
// style, the start positions are its character boundaries; without, every byte.
std::size_t FirstOccurrence(std::string_view text, std::string_view pattern, const PathStyle* style = nullptr) {
  if (pattern.size() > text.size()) return std::string_view::npos;
  const std::size_t last = text.size() - pattern.size();
  for (std::size_t i = 0; i <= last;) {
    if (OccursAt(text, i, pattern)) return i;
    i += style != nullptr ? style->CharLength(text.data(), text.size(), i) : 1;
  }
  return std::string_view::npos;
}

std::int32_t AsIndex(std::size_t at) { return at == std::string_view::npos ? -1 : static_cast<std::int32_t>(at); }

bool CutAt(std::string& destination, std::string_view source, std::size_t at) {
  const bool found = at != std::string_view::npos;
  // A copy first: source may view destination's own characters.
  std::string result(found ? source.substr(0, at) : source);
  destination.swap(result);
  return found;
}

// The longest text ReplaceFirstNoCase takes: its working copy holds 263 bytes and the terminator.
constexpr std::size_t kReplaceTextLimit = 263;

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && OccursAt(a, 0, b); }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) { return OccursAt(text, 0, prefix); }

const char* FindNoCase(const char* text, const char* pattern) {
  if (pattern == nullptr || pattern[0] == '\0') return nullptr;
  const std::string_view body(text);
  const std::size_t at = FirstOccurrence(body, std::string_view(pattern));
  return at == std::string_view::npos ? nullptr : text + at;
}

std::int32_t IndexOfNoCase(std::string_view text, std::string_view pattern) {
  return AsIndex(FirstOccurrence(text, pattern));
}

std::int32_t IndexOfNoCase(std::string_view text, std::string_view pattern, const PathStyle& style) {
  return AsIndex(FirstOccurrence(text, pattern, &style));
}

bool TruncateAtNoCase(std::string& destination, std::string_view source, std::string_view pattern) {
  return CutAt(destination, source, FirstOccurrence(source, pattern));
}

bool TruncateAtNoCase(std::string& destination, std::string_view source, std::string_view pattern,
                      const PathStyle& style) {
  return CutAt(destination, source, FirstOccurrence(source, pattern, &style));
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
