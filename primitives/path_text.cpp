#include "primitives/path_text.h"

namespace kestrin {

namespace {

// Position just after the last separator of path, or npos when it has none.
std::size_t AfterLastSeparator(std::string_view path, const PathStyle& style) {
  const std::size_t last = style.LastSeparator(path);
  return last == std::string_view::npos ? last : last + 1;
}

}  // namespace

char AsciiToLower(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch + 0x20) : ch; }

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

}  // namespace kestrin
