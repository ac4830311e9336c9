// Copying a file on POSIX: beside the target first, then renamed over it, keeping the source's holes,
// permission bits and modification time.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>

#include "platform/posix/filesystem_posix.h"

namespace kestrin::posix {

namespace {

class FdCloser {
 public:
  explicit FdCloser(int fd) : fd_(fd) {}
  ~FdCloser() {
    if (fd_ >= 0) CloseDescriptor(fd_);
  }
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;

 private:
  int fd_;
};

// Writes the bytes of in from offset up to end to the same offsets of out: in the kernel where it can
// (which also shares blocks on file systems that allow it), by read and write otherwise. Returns the
// offset reached, which is short of end when in ended before it; -1 on an error or when stopped() said
// true, which it is asked before each chunk, with why in `why`.
off_t CopyRange(int in, int out, off_t offset, off_t end, const std::function<bool()>& stopped, FsFailure& why) {
  const auto stop = [&] {
    if (!stopped || !stopped()) return false;
    why = Refusal(FailureReason::System);
    return true;
  };
  const auto failed = [&] {
    why = LastError();
    return off_t{-1};
  };
#ifdef __linux__
  while (offset < end) {
    if (stop()) return -1;
    loff_t from = offset;
    loff_t to = offset;
    // Chunks small enough that a stop is seen within a few milliseconds.
    const off_t want = std::min<off_t>(end - offset, off_t{8} << 20);
    const ssize_t n = copy_file_range(in, &from, out, &to, static_cast<std::size_t>(want), 0);
    if (n > 0) {
      offset += n;
      continue;
    }
    if (n == 0) break;  // the end, or a file system that reports nothing: the loop below makes sure
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF ||
        errno == ETXTBSY || errno == EPERM)
      break;
    return failed();
  }
#endif
  constexpr off_t kChunk = off_t{128} << 10;
  std::unique_ptr<char[]> buffer;
  while (offset < end) {
    if (stop()) return -1;
    if (!buffer) buffer.reset(new char[kChunk]);
    const ssize_t n = pread(in, buffer.get(), static_cast<std::size_t>(std::min(end - offset, kChunk)), offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return failed();
    }
    if (n == 0) break;
    for (ssize_t written = 0; written < n;) {
      const ssize_t w = pwrite(out, buffer.get() + written, static_cast<std::size_t>(n - written), offset + written);
      if (w < 0) {
        if (errno == EINTR) continue;
        return failed();
      }
      written += w;
    }
    offset += n;
  }
  return offset;
}

// Copies the regular file in to the empty file out, keeping its holes: only the stretches that hold
// data are copied, and the length is set at the end. stopped is asked between chunks.
FsStatus CopyData(int in, int out, const std::function<bool()>& stopped) {
  constexpr off_t kAll = std::numeric_limits<off_t>::max();
  FsFailure why;
  off_t at = 0;
#ifdef SEEK_DATA
  for (;;) {
    const off_t data = lseek(in, at, SEEK_DATA);
    if (data < 0) {
      if (errno == ENXIO) break;  // nothing but a hole up to the end
      if (errno != EINVAL && errno != EOPNOTSUPP) return LastError();
      // The file system cannot tell holes.
      if (CopyRange(in, out, at, kAll, stopped, why) < 0) return why;
      return {};
    }
    const off_t hole = lseek(in, data, SEEK_HOLE);
    if (hole < 0) return LastError();
    at = CopyRange(in, out, data, hole, stopped, why);
    if (at < 0) return why;
    if (at < hole) break;  // the file was cut short meanwhile
  }
  struct stat st;
  if (fstat(in, &st) != 0 || ftruncate(out, st.st_size) != 0) return LastError();
  return {};
#else
  if (CopyRange(in, out, at, kAll, stopped, why) < 0) return why;
  return {};
#endif
}

}  // namespace

// A dangling link counts as nothing there; a regular file, or a link to one, may be replaced when the user
// may write it; a folder, a link to a folder, a device or a write-protected file is kept.
FsStatus MayReplace(const char* target) {
  struct stat st;
  if (stat(target, &st) != 0) return {};  // the move itself reports what is wrong with the path
  if (!S_ISREG(st.st_mode)) return Refusal(FailureReason::TargetExists);
  if (faccessat(AT_FDCWD, target, W_OK, AT_EACCESS) != 0) return Refusal(FailureReason::ReadOnlyTarget);
  return {};
}

FsStatus CopyReplacing(const std::string& from, const std::string& to, const std::function<bool()>& stopped) {
  std::int64_t size = 0;
  const FsResult<int> opened = OpenRegularFile(AT_FDCWD, from.c_str(), size);
  if (!opened) return opened.failure;
  const int in = opened.value;
  FdCloser inCloser(in);
  struct stat source;
  if (fstat(in, &source) != 0) return LastError();
  struct stat target;
  if (stat(to.c_str(), &target) == 0 && target.st_dev == source.st_dev && target.st_ino == source.st_ino)
    return Refusal(FailureReason::TargetExists);  // the target is the source itself, under any name
  if (FsStatus may = MayReplace(to.c_str()); !may) return may;

  // Write beside the target and rename over it, so that a failure leaves the old target whole.
  std::string temp = FolderOf(to) + ".kestrin-copy-XXXXXX";
  const int out = mkostemp(temp.data(), O_CLOEXEC);
  if (out < 0) return LastError();
  const struct timespec times[2] = {source.st_atim, source.st_mtim};
  FsStatus done = CopyData(in, out, stopped);
  if (done && (fchmod(out, source.st_mode & 0777) != 0 || futimens(out, times) != 0)) done = LastError();
  if (!CloseDescriptor(out) && done) done = LastError();
  if (done && rename(temp.c_str(), to.c_str()) != 0) done = LastError();
  if (!done) unlink(temp.c_str());
  return done;
}

}  // namespace kestrin::posix
