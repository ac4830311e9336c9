#include "platform/path_style.h"

namespace kestrin {

const PathStyle& NativePathStyle() {
  static const PathStyle style = PathStyle::Posix();
  return style;
}

}  // namespace kestrin
