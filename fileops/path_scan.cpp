#include "fileops/path_scan.h"

namespace kestrin::fileops_detail {

std::size_t FirstSeparator(std::string_view text, const PathStyle& style) {
  for (std::size_t i = 0; i < text.size(); i += style.CharLength(text.data(), text.size(), i)) {
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

}  // namespace kestrin::fileops_detail
