#include <windows.h>

#include <algorithm>
#include <string>
#include "platform/append_file.h"

namespace kestrin {

namespace {

FsFailure LastFailure() {
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return FsFailure{FailureReason::TargetExists, {}};
  if (error == ERROR_ACCESS_DENIED) return FsFailure{FailureReason::PermissionDenied, {}};
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return FsFailure{FailureReason::Vanished, {}};
  return FsFailure{FailureReason::System, "error " + std::to_string(error)};
}

HANDLE HandleOf(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

FsStatus AppendFile::Open(const std::string& path, bool exclusive) {
  Close();
  const HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                  exclusive ? CREATE_NEW : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastFailure();
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return {};
}

FsStatus AppendFile::Append(std::string_view bytes) {
  if (handle_ < 0) return FsFailure{FailureReason::System, "not open"};
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(HandleOf(handle_), bytes.data() + done, chunk, &written, nullptr)) return LastFailure();
    if (written == 0) return FsFailure{FailureReason::System, "nothing written"};
    done += written;
  }
  return {};
}

FsStatus AppendFile::Sync() {
  if (handle_ < 0) return FsFailure{FailureReason::System, "not open"};
  if (!FlushFileBuffers(HandleOf(handle_))) return LastFailure();
  return {};
}

void AppendFile::Close() {
  if (handle_ >= 0) CloseHandle(HandleOf(handle_));
  handle_ = -1;
}

}  // namespace kestrin
