#pragma once
// A file written only at its end, each append handed to the system before the call returns, so that a
// process killed after it leaves the bytes in the file: the undo journals are written this way.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/failure_reason.h"

namespace kestrin {

class AppendFile {
 public:
  AppendFile() = default;
  ~AppendFile() { Close(); }
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Opens path for appending, making it (readable by the user only) when it is missing; with exclusive,
  // fails when it exists already.
  FsStatus Open(const std::string& path, bool exclusive);
  bool IsOpen() const { return handle_ >= 0; }
  // Writes the bytes at the end of the file, all of them or fails.
  FsStatus Append(std::string_view bytes);
  // Asks the system to put what was written on the disk.
  FsStatus Sync();
  void Close();

 private:
  std::intptr_t handle_ = -1;
};

}  // namespace kestrin
