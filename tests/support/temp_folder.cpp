#include "support/temp_folder.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>

#include "platform/path_style.h"

namespace kestrin::testing {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = "kestrin-test-" + std::to_string(random()) + "-" + std::to_string(counter++);
    std::error_code error;
    const fs::path candidate = base / name;
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TempFolder::~TempFolder() {
  std::error_code error;
  fs::remove_all(fs::path(path_), error);
}

std::string TempFolder::Join(std::string_view relative) const {
  const char separator = NativePathStyle().Separator();
  std::string out = path_;
  out += separator;
  for (char c : relative) out += (c == '/') ? separator : c;
  return out;
}

bool WriteFile(const std::string& path, std::string_view content) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  return (std::fclose(file) == 0) && written;
}

std::optional<std::string> ReadFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  std::string content;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, n);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return std::nullopt;
  return content;
}

}  // namespace kestrin::testing
