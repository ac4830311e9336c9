// The POSIX file system: plain system calls, links followed, a name beginning with '.' is hidden. Listing,
// copying, reading and the failures each live in a file of their own (filesystem_posix.h).

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <string>

#include "platform/posix/access_posix.h"
#include "platform/posix/filesystem_posix.h"
#include "platform/trash.h"

namespace kestrin {

namespace posix {

EntryKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return EntryKind::File;
  if (S_ISDIR(mode)) return EntryKind::Directory;
  return EntryKind::Other;
}

FileId IdOf(const struct stat& st) {
  return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), true};
}

}  // namespace posix

namespace {

using namespace posix;

// The status of a call that returns 0 on success and sets errno on failure.
FsStatus Done(int result) {
  if (result == 0) return {};
  return LastError();
}

class PosixFileSystem final : public FileSystem {
 public:
  PathInfo Lookup(const std::string& path) override {
    PathInfo info;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
      info.failure = LastError();
      return info;
    }
    info.found = true;
    info.kind = KindOf(st.st_mode);
    info.directory = info.kind == EntryKind::Directory;
    info.id = IdOf(st);
    return info;
  }

  FsStatus Enumerate(const std::string& folder, const std::function<void(const DirEntry&)>& onEntry) override {
    return ListFolder(folder, onEntry);
  }

  FsStatus MakeFolder(const std::string& path) override { return Done(mkdir(path.c_str(), 0777)); }

  FsStatus CopyReplacing(const std::string& from, const std::string& to,
                         const std::function<bool()>& stopped) override {
    return posix::CopyReplacing(from, to, stopped);
  }

  FsStatus MoveNoReplace(const std::string& from, const std::string& to) override {
#ifdef __linux__
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return LastError();
#endif
    // The file system cannot rename without replacing: a hard link fails when the target exists.
    if (link(from.c_str(), to.c_str()) == 0) {
      if (unlink(from.c_str()) == 0) return {};
      FsFailure why = LastError();
      unlink(to.c_str());
      return why;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK) return LastError();
    // No hard links either (a folder, or a file system without links): test, then rename.
    struct stat st;
    if (lstat(to.c_str(), &st) == 0) return Refusal(FailureReason::TargetExists);
    if (errno != ENOENT) return LastError();
    return Done(rename(from.c_str(), to.c_str()));
  }

  FsStatus MoveReplacing(const std::string& from, const std::string& to) override {
    if (FsStatus may = MayReplace(to.c_str()); !may) return may;
    return Done(rename(from.c_str(), to.c_str()));
  }

  bool Writable(const std::string& path) override {
    return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
  }

  bool EntryExists(const std::string& path) override { return posix::EntryExists(path); }
  bool MayChangeFolder(const std::string& folder) override { return posix::MayChangeFolder(folder); }
  bool MayRead(const std::string& path) override { return posix::MayRead(path); }

  FsStatus RemoveFile(const std::string& path) override { return Done(unlink(path.c_str())); }

  FsResult<FileStamp> Stamp(const std::string& path) override {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return LastError();
    FileStamp stamp;
    stamp.id = IdOf(st);
    stamp.size = static_cast<std::uint64_t>(st.st_size);
    stamp.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
  }

  FsResult<std::string> MoveToTrash(const std::string& path,
                                    const std::function<FsStatus(const std::string&)>& beforeMove) override {
    return kestrin::MoveToTrash(path, beforeMove);
  }
  FsStatus RestoreFromTrash(const std::string& trashed, const std::string& original) override {
    return kestrin::RestoreFromTrash(trashed, original);
  }
  FsStatus RemoveEmptyFolder(const std::string& path) override { return Done(rmdir(path.c_str())); }

  bool SameFile(const std::string& a, const std::string& b) override {
    struct stat sa;
    struct stat sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
  }

  // One file at a time, its handle its descriptor: the reader is the way through many.
  FsResult<ReadHandle> OpenForRead(const std::string& path) override {
    std::int64_t size = 0;
    const FsResult<int> opened = OpenRegularFile(AT_FDCWD, path.c_str(), size);
    if (!opened) return opened.failure;
    return static_cast<ReadHandle>(opened.value);
  }

  FsResult<std::size_t> Read(ReadHandle handle, void* buffer, std::size_t size) override {
    if (handle < 0 || handle > std::numeric_limits<int>::max()) return FailureOf(EBADF);
    if (size > (std::size_t{1} << 30)) size = std::size_t{1} << 30;
    for (;;) {
      const ssize_t n = read(static_cast<int>(handle), buffer, size);
      if (n >= 0) return static_cast<std::size_t>(n);
      if (errno != EINTR) return FailureOf(errno);
    }
  }

  void Close(ReadHandle handle) override {
    if (handle >= 0 && handle <= std::numeric_limits<int>::max()) CloseDescriptor(static_cast<int>(handle));
  }

  std::unique_ptr<FileReader> NewReader(const ReaderOptions& options) override {
    return posix::NewReader(options);
  }
};

}  // namespace

FileSystem& NativeFileSystem() {
  static PosixFileSystem native;
  return native;
}

}  // namespace kestrin
