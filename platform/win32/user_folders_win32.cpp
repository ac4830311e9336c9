#include <windows.h>

#include <string>
#include <vector>

#include "platform/user_folders.h"

namespace kestrin {

std::string HomeFolder() { return {}; }

// No journals yet on Windows: a batch there keeps replacing files as before, until the recycle bin can
// take them.
std::string StateFolder() { return {}; }

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return {};
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0) return path;
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(length + 1);
  }
}

}  // namespace kestrin
