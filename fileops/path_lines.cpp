#include "fileops/path_lines.h"

#include <cstdio>

namespace kestrin {

std::string PathLines(const FileList& list, const std::vector<std::size_t>* indices, std::string_view lineEnd) {
  std::string text;
  const auto add = [&](std::size_t i) {
    if (i >= list.size()) return;
    text.append(list[i]);
    text.append(lineEnd);
  };
  if (indices == nullptr) {
    text.reserve(list.bytes() + list.size() * lineEnd.size());
    for (std::size_t i = 0; i < list.size(); ++i) add(i);
  } else {
    for (const std::size_t i : *indices) add(i);
  }
  return text;
}

bool WriteTextFile(const std::string& path, std::string_view text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  // A full disk may show only when the buffered bytes go out.
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}

}  // namespace kestrin
