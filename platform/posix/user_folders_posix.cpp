#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/user_folders.h"

namespace kestrin {
namespace {

// text without its trailing slashes; the root keeps its one.
std::string WithoutTrailingSlashes(std::string text) {
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

std::string PasswordHome() {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->pw_dir == nullptr) {
    return {};
  }
  return found->pw_dir;
}

}  // namespace

std::string HomeFolder() {
  const char* env = std::getenv("HOME");
  std::string home = (env != nullptr && env[0] != '\0') ? std::string(env) : PasswordHome();
  if (home.empty() || home[0] != '/') return {};
  return WithoutTrailingSlashes(home);
}

std::string StateFolder() {
  const char* env = std::getenv("XDG_STATE_HOME");
  if (env != nullptr && env[0] == '/') return WithoutTrailingSlashes(std::string(env)) + "/kestrin";
  const std::string home = HomeFolder();
  if (home.empty()) return {};
  return (home == "/" ? std::string() : home) + "/.local/state/kestrin";
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return {};
  std::string whole;
  if (path[0] != '/') {
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
      if (buffer.size() > (1u << 20)) return path;  // no current folder to speak of: leave it relative
      buffer.resize(buffer.size() * 2);
    }
    whole = buffer.data();
  }
  // Component by component: empty and "." components go.
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string_view part(path.data() + start, end - start);
    if (!part.empty() && part != ".") {
      if (whole.empty() || whole.back() != '/') whole += '/';
      whole.append(part);
    }
    start = end + 1;
  }
  return whole.empty() ? std::string("/") : whole;
}

}  // namespace kestrin
