#include "fileops/path_scan.h"

#include "primitives/nocase.h"

namespace kestrin::fileops_detail {

namespace {

std::size_t Step(std::string_view text, std::size_t i, const PathStyle& style) {
  return style.CharLength(text.data(), text.size(), i);
}

bool MatchesAt(std::string_view text, std::size_t at, std::string_view pattern) {
  if (at > text.size() || text.size() - at < pattern.size()) return false;
  for (std::size_t j = 0; j < pattern.size(); ++j) {
    if (!NoCaseEqual(static_cast<unsigned char>(text[at + j]), static_cast<unsigned char>(pattern[j])))
      return false;
  }
  return true;
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && MatchesAt(a, 0, b); }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) { return MatchesAt(text, 0, prefix); }

std::size_t FindCharNoCase(std::string_view text, std::string_view pattern, const PathStyle& style) {
  if (pattern.empty()) return 0;
  for (std::size_t i = 0; i + pattern.size() <= text.size(); i += Step(text, i, style)) {
    if (MatchesAt(text, i, pattern)) return i;
  }
  return kNone;
}

std::size_t FirstSeparator(std::string_view text, const PathStyle& style) {
  for (std::size_t i = 0; i < text.size(); i += Step(text, i, style)) {
    if (style.IsSeparator(static_cast<unsigned char>(text[i]))) return i;
  }
  return kNone;
}

std::string Enclosed(std::string_view name, const PathStyle& style) {
  std::string text(1, style.Separator());
  text.append(name);
  text.push_back(style.Separator());
  return text;
}

std::string_view CharPrefix(std::string_view text, std::size_t limit, const PathStyle& style) {
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t next = end + Step(text, end, style);
    if (next > limit) break;
    end = next;
  }
  return text.substr(0, end);
}

}  // namespace kestrin::fileops_detail
