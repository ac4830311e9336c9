#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/append_file.h"
#include "platform/posix/filesystem_posix.h"

namespace kestrin {

FsStatus AppendFile::Open(const std::string& path, bool exclusive) {
  Close();
  const int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : 0);
  int fd;
  do {
    fd = open(path.c_str(), flags, 0600);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return posix::LastError();
  handle_ = fd;
  return {};
}

FsStatus AppendFile::Append(std::string_view bytes) {
  if (handle_ < 0) return posix::FailureOf(EBADF);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(static_cast<int>(handle_), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return posix::LastError();
    if (n == 0) return posix::FailureOf(EIO);
    done += static_cast<std::size_t>(n);
  }
  return {};
}

FsStatus AppendFile::Sync() {
  if (handle_ < 0) return posix::FailureOf(EBADF);
  if (fdatasync(static_cast<int>(handle_)) != 0) return posix::LastError();
  return {};
}

void AppendFile::Close() {
  if (handle_ >= 0) posix::CloseDescriptor(static_cast<int>(handle_));
  handle_ = -1;
}

}  // namespace kestrin
