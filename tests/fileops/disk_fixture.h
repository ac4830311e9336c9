#pragma once
// Renames and copies against a real temporary folder: every file below a folder counted and checksummed,
// before and after, so that a test sees any file lost, added or changed.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/filesystem.h"
#include "primitives/file_list.h"
#include "support/event_sink.h"
#include "support/temp_folder.h"

namespace kestrin::testing {

namespace stdfs = std::filesystem;
using Files = std::map<std::string, std::uint64_t>;  // relative path with '/', checksum of the content

inline std::uint64_t Checksum(std::string_view data) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : data) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

// Every file below folder with its checksum (temporary files of a copy included).
inline Files Snapshot(const std::string& folder) {
  Files files;
  if (!stdfs::exists(folder)) return files;
  for (const auto& entry : stdfs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    const std::optional<std::string> content = ReadFile(entry.path().string());
    files[stdfs::relative(entry.path(), folder).generic_string()] = content ? Checksum(*content) : 0;
  }
  return files;
}

inline Files Expected(const std::vector<std::pair<const char*, const char*>>& namesAndContents) {
  Files files;
  for (const auto& [name, content] : namesAndContents) files[name] = Checksum(content);
  return files;
}

class DiskTest : public ::testing::Test {
 protected:
  // Writes a file below the temporary folder, making its folders first.
  std::string Make(const std::string& relative, std::string_view content) {
    const std::string path = tmp_.Join(relative);
    stdfs::create_directories(stdfs::path(path).parent_path());
    EXPECT_TRUE(WriteFile(path, content)) << path;
    return path;
  }
  FileList List(std::initializer_list<const char*> relatives) {
    FileList files;
    for (const char* relative : relatives) files.push_back(tmp_.Join(relative));
    return files;
  }
  TempFolder tmp_;
};

}  // namespace kestrin::testing
