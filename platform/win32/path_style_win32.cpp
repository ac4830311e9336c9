#include <windows.h>

#include "platform/path_style.h"

namespace kestrin {

const PathStyle& NativePathStyle() {
  // The lead bytes of the ANSI code page the program runs with (GBK's 0x81 to 0xFE under code page 936);
  // none on a single-byte code page.
  static const LeadByteTable table = [] {
    LeadByteTable t{};
    for (int b = 0; b < 256; ++b) t[static_cast<std::size_t>(b)] = IsDBCSLeadByte(static_cast<BYTE>(b)) != 0;
    return t;
  }();
  static const PathStyle style = [] {
    bool any = false;
    for (bool lead : table) any = any || lead;
    return PathStyle::Windows(any ? &table : nullptr);
  }();
  return style;
}

}  // namespace kestrin
