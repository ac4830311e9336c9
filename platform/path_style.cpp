#include "platform/path_style.h"

namespace kestrin {

std::size_t PathStyle::LastSeparator(std::string_view path) const {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < path.size();) {
    const std::size_t length = CharLength(path.data(), path.size(), i);
    if (length == 1 && IsSeparator(static_cast<unsigned char>(path[i]))) last = i;
    i += length;
  }
  return last;
}

const LeadByteTable& GbkLeadBytes() {
  static const LeadByteTable table = [] {
    LeadByteTable t{};
    for (int b = 0x81; b <= 0xFE; ++b) t[static_cast<std::size_t>(b)] = true;
    return t;
  }();
  return table;
}

}  // namespace kestrin
