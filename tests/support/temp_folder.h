#pragma once
// A real folder for tests that need the disk, and small helpers to fill and read it.
//
//   TempFolder tmp;                                   // a new empty folder in the system's temp folder
//   WriteFile(tmp.Join("a/b.txt"), "hello");          // fails: "a" does not exist yet
//   std::string p = tmp.Join("a/b.txt");              // '/' becomes the native separator
//
// The folder and everything in it is removed when the object goes away.
#include <optional>
#include <string>
#include <string_view>

namespace kestrin::testing {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder, without a trailing separator.
  const std::string& path() const { return path_; }
  // path() + separator + relative, with every '/' of relative written as the native separator.
  std::string Join(std::string_view relative) const;

 private:
  std::string path_;
};

// Writes content to a new or replaced file through the C library; false on failure.
bool WriteFile(const std::string& path, std::string_view content);
// The whole content of a file, or nullopt when it cannot be read.
std::optional<std::string> ReadFile(const std::string& path);

}  // namespace kestrin::testing
