#include <windows.h>

#include <string>
#include <vector>

#include "platform/user_folders.h"

namespace kestrin {

std::string HomeFolder() { return {}; }

std::string StateFolder() {
  char buffer[MAX_PATH + 1];
  const DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return {};
  std::string folder(buffer, length);
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  if (folder.empty()) return {};
  return folder + "\\Kestrin";
}

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
