#include "platform/path_style.h"

namespace kestrin {

const LeadByteTable& GbkLeadBytes() {
  static const LeadByteTable table = [] {
    LeadByteTable t{};
    for (int b = 0x81; b <= 0xFE; ++b) t[static_cast<std::size_t>(b)] = true;
    return t;
  }();
  return table;
}

}  // namespace kestrin
