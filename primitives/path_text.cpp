#include "primitives/path_text.h"

namespace kestrin {

namespace {

// Bytes of the UTF-8 character at text[i]; 1 for a byte that does not start a well-formed sequence.
std::size_t Utf8CharLength(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  }
  if (i + length > text.size()) return 1;
  for (std::size_t k = i + 1; k < i + length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 1;
  }
  return length;
}

// Position just after the last separator of path, or npos when it has none.
std::size_t AfterLastSeparator(std::string_view path, const PathStyle& style) {
  const std::size_t last = style.LastSeparator(path);
  return last == std::string_view::npos ? last : last + 1;
}

}  // namespace

std::string_view FileNamePart(std::string_view path, const PathStyle& style) {
  const std::size_t after = AfterLastSeparator(path, style);
  return after == std::string_view::npos ? path : path.substr(after);
}

std::string DirectoryPart(std::string_view path, const PathStyle& style) {
  const std::size_t after = AfterLastSeparator(path, style);
  return std::string(after == std::string_view::npos ? path : path.substr(0, after));
}

void CutAtFirstDot(std::string& text) {
  const std::size_t dot = text.find('.');
  if (dot != std::string::npos) text.resize(dot);
}

std::string NormalizeFolderPath(std::string_view source, const PathStyle& style) {
  std::string out;
  out.reserve(source.size());
  bool afterSeparator = false;  // the last thing written was a separator (not a trail byte that looks like one)
  for (std::size_t i = 0; i < source.size();) {
    const std::size_t length = style.CharLength(source.data(), source.size(), i);
    const char c = source[i];
    if (length == 2) {
      out.append(source.substr(i, 2));  // a double-byte character passes unchanged, trail byte included
      afterSeparator = false;
    } else if (style.IsSeparator(static_cast<unsigned char>(c))) {
      if (!afterSeparator) out.push_back(style.Separator());
      afterSeparator = true;
    } else {
      out.push_back(style.FoldsCase() ? AsciiToLower(c) : c);
      afterSeparator = false;
    }
    i += length;
  }
  return out;
}

std::size_t CharLengthAt(std::string_view text, std::size_t i, const PathStyle& style, CharRule rule) {
  if (rule == CharRule::TypedText && !style.windows) return Utf8CharLength(text, i);
  return style.CharLength(text.data(), text.size(), i);
}

std::size_t WholeCharPrefixLength(std::string_view text, std::size_t limit, const PathStyle& style, CharRule rule) {
  std::size_t kept = 0;
  while (kept < text.size()) {
    const std::size_t next = kept + CharLengthAt(text, kept, style, rule);
    if (next > limit) break;
    kept = next;
  }
  return kept;
}

}  // namespace kestrin
