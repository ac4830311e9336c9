#include "ui/win32/drop_files.h"

namespace kestrin::win32 {

std::vector<std::string> DroppedPaths(HDROP drop, std::size_t maxLength) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    // The length first (terminator not counted), so that a path is taken whole or not at all.
    const UINT length = DragQueryFileA(drop, i, nullptr, 0);
    if (length == 0 || length > maxLength) break;
    std::string path(length + 1, '\0');
    const UINT copied = DragQueryFileA(drop, i, path.data(), length + 1);
    if (copied != length) break;
    path.resize(copied);
    paths.push_back(std::move(path));
  }
  return paths;
}

}  // namespace kestrin::win32
