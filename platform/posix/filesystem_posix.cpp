// The POSIX file system: plain system calls, links followed, a name beginning with '.' is hidden.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#ifdef KESTRIN_HAVE_IO_URING
#include <liburing.h>
#endif

#include <algorithm>
#include <unordered_map>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "platform/filesystem.h"
#include "platform/memory.h"

namespace kestrin {

namespace {

EntryKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return EntryKind::File;
  if (S_ISDIR(mode)) return EntryKind::Directory;
  return EntryKind::Other;
}

FileId IdOf(const struct stat& st) {
  return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), true};
}

// Why the latest failed call of this thread failed: the errno it left, or a refusal of our own (a target
// that may not be replaced, a file that is not regular), which no errno names.
thread_local int t_errno = 0;
thread_local bool t_refused = false;
thread_local FailureReason t_refusal = FailureReason::System;

// Notes errno as the reason of the call that fails now; false and -1 for the caller to return.
bool Failed() {
  t_errno = errno;
  t_refused = false;
  return false;
}
int FailedFd() {
  Failed();
  return -1;
}
bool Refused(FailureReason reason) {
  t_refused = true;
  t_refusal = reason;
  return false;
}

FailureReason ReasonOf(int error) {
  switch (error) {
    case EACCES:
    case EPERM: return FailureReason::PermissionDenied;
    case ENOENT:
    case ENOTDIR: return FailureReason::Vanished;
    case EEXIST:
    case ENOTEMPTY: return FailureReason::TargetExists;
    case ENAMETOOLONG: return FailureReason::PathTooLong;
    case EISDIR: return FailureReason::NotRegularFile;
    default: return FailureReason::System;
  }
}

// Folders held open by the enumerations in progress on this thread. A walk descends from inside the
// callback, so each level of a deep tree would keep one descriptor open; past this many levels a folder is
// read whole and closed before its entries are handed out.
thread_local int t_openFolders = 0;
constexpr int kOpenFolderLimit = 64;

// The folder a batch of reads keeps open (OpenForReadInBatch), with its path, ending in '/'. Where the
// system can, it is opened for lookups only, which needs no permission to read it.
thread_local int t_batchFolderFd = -1;
thread_local std::string t_batchFolder;
#ifdef O_PATH
constexpr int kBatchFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kBatchFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// The raw entries of one open folder, which it owns and closes. On Linux they come straight from the
// kernel (getdents64) into a buffer of its own, sparing the fstat and the fcntl calls of fdopendir.
class FolderStream {
 public:
  explicit FolderStream(int fd) : fd_(fd) {
#ifndef __linux__
    dir_ = fdopendir(fd);
    if (dir_ == nullptr) failed_ = true;
#endif
  }
  ~FolderStream() {
#ifndef __linux__
    if (dir_ != nullptr) {
      closedir(dir_);
      return;
    }
#endif
    close(fd_);
  }
  FolderStream(const FolderStream&) = delete;
  FolderStream& operator=(const FolderStream&) = delete;

  // The next entry's name, type (DT_*) and inode number; false at the end or on a read error.
  bool Next(const char*& name, unsigned char& type, std::uint64_t& inode) {
#ifdef __linux__
    if (position_ >= filled_) {
      if (failed_) return false;
      const ssize_t n = getdents64(fd_, buffer_.get(), kBufferSize);
      if (n <= 0) {
        failed_ = n < 0;
        if (failed_) Failed();
        return false;
      }
      position_ = 0;
      filled_ = static_cast<std::size_t>(n);
    }
    const auto* d = reinterpret_cast<const struct dirent64*>(buffer_.get() + position_);
    position_ += d->d_reclen;
#else
    if (dir_ == nullptr) return false;
    errno = 0;
    const struct dirent* d = readdir(dir_);
    if (d == nullptr) {
      failed_ = errno != 0;
      if (failed_) Failed();
      return false;
    }
#endif
    name = d->d_name;
    type = d->d_type;
    inode = static_cast<std::uint64_t>(d->d_ino);
    return true;
  }

  int fd() const { return fd_; }
  bool failed() const { return failed_; }

 private:
  int fd_;
  bool failed_ = false;
#ifdef __linux__
  static constexpr std::size_t kBufferSize = std::size_t{32} << 10;
  std::unique_ptr<char[]> buffer_{new char[kBufferSize]};
  std::size_t position_ = 0;
  std::size_t filled_ = 0;
#else
  DIR* dir_ = nullptr;
#endif
};

// Reads the entries of one open folder, turning each into a DirEntry. Only links and entries of unknown
// type cost a stat; the device of folder entries comes from one fstat of the folder, made when the first
// sub-folder is met (a folder of files only never pays for it).
class FolderReader {
 public:
  explicit FolderReader(int fd) : stream_(fd) {}

  // The next entry, "." and ".." left out; false at the end of the folder or on a read error.
  bool Next(DirEntry& entry) {
    const char* name;
    unsigned char type;
    std::uint64_t inode;
    for (;;) {
      if (!stream_.Next(name, type, inode)) return false;
      if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
      entry.name = std::string_view(name);
      entry.hidden = name[0] == '.';
      entry.id = FileId{};
      switch (type) {
        case DT_REG:
          entry.kind = EntryKind::File;
          break;
        case DT_DIR:
          entry.kind = EntryKind::Directory;
          entry.id = FileId{FolderDevice(), inode, devKnown_};
          break;
        case DT_LNK:
        case DT_UNKNOWN: {
          struct stat st;
          if (fstatat(stream_.fd(), name, &st, 0) == 0) {
            entry.kind = KindOf(st.st_mode);
            entry.id = IdOf(st);
          } else {
            entry.kind = EntryKind::File;  // a dangling link
          }
          break;
        }
        default:
          entry.kind = EntryKind::Other;  // FIFO, socket, device node
          break;
      }
      return true;
    }
  }

  bool failed() const { return stream_.failed(); }

 private:
  std::uint64_t FolderDevice() {
    if (!devTried_) {
      devTried_ = true;
      struct stat st;
      if (fstat(stream_.fd(), &st) == 0) {
        dev_ = static_cast<std::uint64_t>(st.st_dev);
        devKnown_ = true;
      }
    }
    return dev_;
  }

  FolderStream stream_;
  std::uint64_t dev_ = 0;
  bool devTried_ = false;
  bool devKnown_ = false;
};

// The folders being listed on this thread, innermost first: a walk descends from inside the callback, so
// the folder it asks for next is usually a sub-folder of the innermost one, and is opened relative to it.
struct ListingFrame {
  ListingFrame(const std::string& folderPath, int folderFd) : path(folderPath), fd(folderFd), outer(t_listing) {
    t_listing = this;
  }
  ~ListingFrame() { t_listing = outer; }
  ListingFrame(const ListingFrame&) = delete;
  ListingFrame& operator=(const ListingFrame&) = delete;

  const std::string path;  // a copy: the caller may change its string while this folder is listed
  const int fd;
  ListingFrame* const outer;
  static thread_local ListingFrame* t_listing;
};
thread_local ListingFrame* ListingFrame::t_listing = nullptr;

// Opens a folder for listing; only the last component is looked up when it is a sub-folder of the folder
// being listed.
int OpenFolder(const std::string& folder) {
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  const ListingFrame* outer = ListingFrame::t_listing;
  if (outer != nullptr && !outer->path.empty() && outer->path.back() == '/' &&
      folder.size() > outer->path.size() && folder.compare(0, outer->path.size(), outer->path) == 0) {
    std::string_view rest(folder);
    rest.remove_prefix(outer->path.size());
    while (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    if (!rest.empty() && rest.find('/') == std::string_view::npos)
      return openat(outer->fd, std::string(rest).c_str(), kFlags);
  }
  return open(folder.c_str(), kFlags);
}

struct OpenFolderCount {
  OpenFolderCount() { ++t_openFolders; }
  ~OpenFolderCount() { --t_openFolders; }
};

struct BufferedEntry {
  std::size_t nameStart;
  std::size_t nameLength;
  bool hidden;
  EntryKind kind;
  FileId id;
};

class FdCloser {
 public:
  explicit FdCloser(int fd) : fd_(fd) {}
  ~FdCloser() {
    if (fd_ >= 0) close(fd_);
  }
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;

 private:
  int fd_;
};

// Writes the bytes of in from offset up to end to the same offsets of out: in the kernel where it can
// (which also shares blocks on file systems that allow it), by read and write otherwise. Returns the
// offset reached, which is short of end when in ended before it; -1 on an error or when stopped() said
// true, which it is asked before each chunk.
off_t CopyRange(int in, int out, off_t offset, off_t end, const std::function<bool()>& stopped) {
  const auto stop = [&] {
    if (!stopped || !stopped()) return false;
    Refused(FailureReason::System);
    return true;
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
    return FailedFd();
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
      return FailedFd();
    }
    if (n == 0) break;
    for (ssize_t written = 0; written < n;) {
      const ssize_t w = pwrite(out, buffer.get() + written, static_cast<std::size_t>(n - written), offset + written);
      if (w < 0) {
        if (errno == EINTR) continue;
        return FailedFd();
      }
      written += w;
    }
    offset += n;
  }
  return offset;
}

// Copies the regular file in to the empty file out, keeping its holes: only the stretches that hold
// data are copied, and the length is set at the end. stopped is asked between chunks.
bool CopyData(int in, int out, const std::function<bool()>& stopped) {
  constexpr off_t kAll = std::numeric_limits<off_t>::max();
  off_t at = 0;
#ifdef SEEK_DATA
  for (;;) {
    const off_t data = lseek(in, at, SEEK_DATA);
    if (data < 0) {
      if (errno == ENXIO) break;                                 // nothing but a hole up to the end
      if (errno != EINVAL && errno != EOPNOTSUPP) return Failed();
      return CopyRange(in, out, at, kAll, stopped) >= 0;         // the file system cannot tell holes
    }
    const off_t hole = lseek(in, data, SEEK_HOLE);
    if (hole < 0) return Failed();
    at = CopyRange(in, out, data, hole, stopped);
    if (at < 0) return false;
    if (at < hole) break;  // the file was cut short meanwhile
  }
  struct stat st;
  return (fstat(in, &st) == 0 && ftruncate(out, st.st_size) == 0) || Failed();
#else
  return CopyRange(in, out, at, kAll, stopped) >= 0;
#endif
}

// Whether the replacing calls may put a file where target is: nothing is there yet (a dangling link
// counts as nothing), or a regular file, or a link to one, that the user may write. A folder, a link to
// a folder, a device or a write-protected file is kept.
bool MayReplace(const char* target) {
  struct stat st;
  if (stat(target, &st) != 0) return true;  // the move itself reports what is wrong with the path
  if (!S_ISREG(st.st_mode)) return Refused(FailureReason::TargetExists);
  return faccessat(AT_FDCWD, target, W_OK, AT_EACCESS) == 0 || Refused(FailureReason::ReadOnlyTarget);
}

// The bytes a file opened for reading had left to read, by descriptor: its size when it was opened, less
// what Read has returned since. A read that would start at the end is answered without asking the
// system, which spares one call for each file of a search. Unknown for a file whose size says nothing
// (0, as the system's own generated files have), and once a file has grown past the size it had: such
// files are read until the system says they end. One that grows once it has been read to its old end is
// taken as it was when opened.
constexpr int kTrackedDescriptors = 4096;
std::atomic<std::int64_t> g_bytesLeftPlusOne[kTrackedDescriptors];  // 0: unknown

void SetBytesLeft(int fd, std::int64_t left) {  // -1: unknown
  if (fd >= 0 && fd < kTrackedDescriptors) g_bytesLeftPlusOne[fd].store(left + 1, std::memory_order_relaxed);
}

std::int64_t BytesLeft(int fd) {
  return fd >= 0 && fd < kTrackedDescriptors ? g_bytesLeftPlusOne[fd].load(std::memory_order_relaxed) - 1 : -1;
}

// Opens path (relative to folder, or the current folder with AT_FDCWD) for reading, but only when it
// turns out to be a regular file: the path may have been replaced by a link to a device since it was
// listed. O_NONBLOCK: opening a FIFO without a writer must not hang.
int OpenRegularFile(int folder, const char* path) {
  const int fd = openat(folder, path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return FailedFd();
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    SetBytesLeft(fd, st.st_size > 0 ? static_cast<std::int64_t>(st.st_size) : -1);
    return fd;
  }
  close(fd);
  Refused(FailureReason::NotRegularFile);
  return -1;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Reading ahead (FileSystem::ReadAhead): the files a search will open next are opened, checked and read
// from their start together, through io_uring where the system offers it, so that a run of small files
// costs a few calls to the system instead of four for each. Each thread keeps its own: the files read
// ahead and not handed out yet, and those handed out and not closed, which Read and Close know by their
// handles, numbered from kAheadHandles up (far above any descriptor).
constexpr ReadHandle kAheadHandles = ReadHandle{1} << 40;
static_assert(sizeof(ReadHandle) >= 8, "read-ahead handles live above every descriptor");
// The most bytes read ahead from a file: the rest of a larger file is read as usual.
constexpr std::size_t kAheadMostBytes = std::size_t{64} << 10;

// The bytes of a run's files, in a block of their own (of large pages where the system has them: the
// threads of a search, with their blocks, are made anew for each search), left as it comes: the kernel
// writes each file's bytes.
std::shared_ptr<unsigned char[]> NewRunBlock(std::size_t size) {
  const MemoryBlock block = GrowMemoryBlock({}, 0, size);
  return std::shared_ptr<unsigned char[]>(static_cast<unsigned char*>(block.data),
                                          [block](unsigned char*) { FreeMemoryBlock(block); });
}

struct AheadFile {
  std::string path;
  int fd = -1;      // open while bytes after those read ahead may follow
  int error = 0;    // why it could not be opened (errno), or 0
  bool notRegular = false;
  std::shared_ptr<unsigned char[]> bytes;  // the run's bytes; this file's from `at`
  std::size_t at = 0;
  std::size_t have = 0;    // bytes read ahead
  std::size_t served = 0;  // of those, bytes handed out
  std::uint64_t after = 0;  // bytes read from the file itself after those
  bool whole = false;       // the bytes read ahead reach the end of the file
};

class ReadAheadState {
 public:
  ~ReadAheadState() {
    Drop();
    for (auto& [handle, file] : open_) {
      if (file.fd >= 0) close(file.fd);
    }
    CloseNow();
#ifdef KESTRIN_HAVE_IO_URING
    if (ring_ready_) io_uring_queue_exit(&ring_);
#endif
  }

  // Forgets the files read ahead and not handed out.
  void Drop() {
    for (std::size_t k = next_; k < pending_.size(); ++k) {
      if (pending_[k].fd >= 0) CloseLater(pending_[k].fd);
    }
    pending_.clear();
    next_ = 0;
  }

  // Descriptors done with are closed together with the next run's opens, in the same call to the system,
  // rather than one call each; CloseNow closes them at once, as the end of a batch does.
  void CloseLater(int fd) {
#ifdef KESTRIN_HAVE_IO_URING
    if (ring_ready_ && closing_.size() < kMostClosing) {
      closing_.push_back(fd);
      return;
    }
#endif
    close(fd);
  }
  void CloseNow() {
    for (const int fd : closing_) close(fd);
    closing_.clear();
  }

  void ReadAhead(const std::vector<std::string>& paths, std::size_t bytes);

  // The handle of path when it is the next file read ahead: 1 with handle set, -1 with the failure noted,
  // or 0 when path was not read ahead.
  int Take(const std::string& path, ReadHandle& handle) {
    if (next_ >= pending_.size() || pending_[next_].path != path) {
      Drop();  // the batch went another way than announced
      return 0;
    }
    AheadFile file = std::move(pending_[next_++]);
    if (file.error != 0) {
      errno = file.error;
      FailedFd();
      return -1;
    }
    if (file.notRegular) {
      Refused(FailureReason::NotRegularFile);
      return -1;
    }
    handle = kAheadHandles + static_cast<ReadHandle>(++numbered_);
    open_.emplace(handle, std::move(file));
    return 1;
  }

  AheadFile* Find(ReadHandle handle) {
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : &it->second;
  }
  void Close(ReadHandle handle) {
    const auto it = open_.find(handle);
    if (it == open_.end()) return;
    if (it->second.fd >= 0) CloseLater(it->second.fd);
    open_.erase(it);
  }

 private:
#ifdef KESTRIN_HAVE_IO_URING
  // Runs the queued requests and hands each completion to done(user_data, result). When the ring fails
  // (rather than one request), it is given up for good, with whatever was in it, so that no completion of
  // this run can be taken for one of a later run.
  template <typename Done>
  bool Run(unsigned queued, Done&& done) {
    if (queued == 0) return true;
    int submitted;
    do {
      submitted = io_uring_submit(&ring_);
    } while (submitted == -EINTR);
    if (submitted != static_cast<int>(queued)) return GiveUpRing();
    for (unsigned seen = 0; seen < queued;) {
      io_uring_cqe* cqe = nullptr;
      const int waited = io_uring_wait_cqe(&ring_, &cqe);
      if (waited == -EINTR) continue;
      if (waited < 0) return GiveUpRing();
      done(io_uring_cqe_get_data64(cqe), cqe->res);
      io_uring_cqe_seen(&ring_, cqe);
      ++seen;
    }
    return true;
  }
  // The descriptors whose closing was in the ring are left open rather than closed a second time: by now
  // their numbers may belong to files opened since, on any thread.
  bool GiveUpRing() {
    io_uring_queue_exit(&ring_);
    ring_ready_ = false;
    ring_refused_ = true;
    return false;
  }
  io_uring ring_{};
  bool ring_ready_ = false;
#endif
  bool ring_refused_ = false;
  std::vector<AheadFile> pending_;
  std::size_t next_ = 0;
  std::shared_ptr<unsigned char[]> bytes_;
  std::size_t capacity_ = 0;  // of bytes_
  std::unordered_map<ReadHandle, AheadFile> open_;
  std::uint64_t numbered_ = 0;
  static constexpr std::size_t kMostClosing = 32;
  std::vector<int> closing_;  // to be closed with the next run's opens
};

// At most this many requests are in the ring at once.
constexpr unsigned kRingEntries = 64;
// The user data of a close in the ring, which no file of a run has.
constexpr std::uint64_t kClosing = ~std::uint64_t{0};

void ReadAheadState::ReadAhead(const std::vector<std::string>& paths, std::size_t bytes) {
  Drop();
#ifdef KESTRIN_HAVE_IO_URING
  if (ring_refused_ || paths.empty() || paths.size() > kRingEntries) return CloseNow();
  if (!ring_ready_) {
    // Where the system refuses io_uring (an old kernel, a sandbox), files are opened one by one as before.
    if (io_uring_queue_init(kRingEntries, &ring_, 0) < 0) {
      ring_refused_ = true;
      return;
    }
    ring_ready_ = true;
  }
  bytes = std::clamp<std::size_t>(bytes, 1, kAheadMostBytes);
  // A run's buffer is new when a file handed out of the last one is still open and reads from it.
  const std::size_t need = paths.size() * bytes;
  if (!bytes_ || bytes_.use_count() > 1 || capacity_ < need) {
    bytes_ = NewRunBlock(need);
    capacity_ = need;
  }
  pending_.resize(paths.size());
  for (std::size_t k = 0; k < paths.size(); ++k) {
    pending_[k] = AheadFile{};
    pending_[k].path = paths[k];
    pending_[k].bytes = bytes_;
    pending_[k].at = k * bytes;
  }
  const auto fail = [&] {
    for (AheadFile& file : pending_) {
      if (file.fd >= 0) close(file.fd);
    }
    pending_.clear();
  };
  // Open them all, and close what the last runs left; O_NONBLOCK, as OpenRegularFile: opening a FIFO
  // without a writer must not hang.
  if (paths.size() + closing_.size() > kRingEntries) CloseNow();
  unsigned queued = 0;
  for (const int fd : closing_) {
    io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
    io_uring_prep_close(sqe, fd);
    io_uring_sqe_set_data64(sqe, kClosing);
    ++queued;
  }
  closing_.clear();
  for (std::size_t k = 0; k < paths.size(); ++k) {
    io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
    io_uring_prep_openat(sqe, AT_FDCWD, pending_[k].path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0);
    io_uring_sqe_set_data64(sqe, k);
    ++queued;
  }
  if (!Run(queued, [&](std::uint64_t k, int result) {
        if (k == kClosing) return;
        if (result >= 0) {
          pending_[k].fd = result;
        } else {
          pending_[k].error = -result;
        }
      })) {
    return fail();
  }
  // What was opened is checked before a byte is read, as OpenRegularFile does; then the regular files are
  // read from their start.
  queued = 0;
  for (std::size_t k = 0; k < paths.size(); ++k) {
    AheadFile& file = pending_[k];
    if (file.fd < 0) continue;
    struct stat st;
    const bool checked = fstat(file.fd, &st) == 0;
    if (!checked || !S_ISREG(st.st_mode)) {
      if (!checked) file.error = errno;
      file.notRegular = checked;
      close(file.fd);
      file.fd = -1;
      continue;
    }
    io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
    io_uring_prep_read(sqe, file.fd, bytes_.get() + file.at, static_cast<unsigned>(bytes), 0);
    io_uring_sqe_set_data64(sqe, k);
    ++queued;
  }
  if (!Run(queued, [&](std::uint64_t k, int result) {
        // A short read of a regular file is its end. A failed read is left to the file's own reads, which
        // report it (or, for a read the ring would not wait for, simply make it).
        if (result >= 0) {
          pending_[k].have = static_cast<std::size_t>(result);
          pending_[k].whole = static_cast<std::size_t>(result) < bytes;
        }
      })) {
    return fail();
  }
  // The files read to their end need their descriptors no more.
  for (AheadFile& file : pending_) {
    if (file.fd < 0 || !file.whole) continue;
    CloseLater(file.fd);
    file.fd = -1;
  }
#else
  static_cast<void>(paths);
  static_cast<void>(bytes);
  static_cast<void>(ring_refused_);
#endif
}

thread_local ReadAheadState t_readAhead;

// Hands out up to size of the bytes of file read ahead and not handed out yet, in place: 0 when none are
// left. They lie in the run's block, which the file keeps alive until it is closed.
std::size_t TakeAhead(AheadFile& file, const unsigned char*& data, std::size_t size) {
  const std::size_t n = std::min(size, file.have - file.served);
  if (n == 0) return 0;
  data = file.bytes.get() + file.at + file.served;
  file.served += n;
  return n;
}

class PosixFileSystem final : public FileSystem {
 public:
  PathInfo Lookup(const std::string& path) override {
    PathInfo info;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
      Failed();
      return info;
    }
    info.found = true;
    info.kind = KindOf(st.st_mode);
    info.directory = info.kind == EntryKind::Directory;
    info.id = IdOf(st);
    return info;
  }

  bool Enumerate(const std::string& folder, const std::function<void(const DirEntry&)>& onEntry) override {
    const int fd = OpenFolder(folder);
    if (fd < 0) return Failed();
    DirEntry entry;
    if (t_openFolders < kOpenFolderLimit) {
      OpenFolderCount count;
      ListingFrame frame(folder, fd);
      FolderReader reader(fd);
      while (reader.Next(entry)) onEntry(entry);
      return !reader.failed();
    }
    // Deep below other open folders: read this one whole, close it, then hand the entries out.
    std::string names;
    std::vector<BufferedEntry> entries;
    bool failed;
    {
      FolderReader reader(fd);
      while (reader.Next(entry)) {
        entries.push_back(BufferedEntry{names.size(), entry.name.size(), entry.hidden, entry.kind, entry.id});
        names.append(entry.name);
      }
      failed = reader.failed();
    }
    for (const BufferedEntry& e : entries) {
      entry.name = std::string_view(names.data() + e.nameStart, e.nameLength);
      entry.hidden = e.hidden;
      entry.kind = e.kind;
      entry.id = e.id;
      onEntry(entry);
    }
    return !failed;
  }

  bool MakeFolder(const std::string& path) override { return mkdir(path.c_str(), 0777) == 0 || Failed(); }

  bool CopyReplacing(const std::string& from, const std::string& to,
                     const std::function<bool()>& stopped) override {
    const int in = OpenRegularFile(AT_FDCWD, from.c_str());
    if (in < 0) return false;
    FdCloser inCloser(in);
    struct stat source;
    if (fstat(in, &source) != 0) return Failed();
    struct stat target;
    if (stat(to.c_str(), &target) == 0 && target.st_dev == source.st_dev && target.st_ino == source.st_ino)
      return Refused(FailureReason::TargetExists);  // the target is the source itself, under any name
    if (!MayReplace(to.c_str())) return false;

    // Write beside the target and rename over it, so that a failure leaves the old target whole.
    std::string temp = FolderOf(to) + ".kestrin-copy-XXXXXX";
    const int out = mkostemp(temp.data(), O_CLOEXEC);
    if (out < 0) return Failed();
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    bool ok = CopyData(in, out, stopped) &&
              ((fchmod(out, source.st_mode & 0777) == 0 && futimens(out, times) == 0) || Failed());
    ok = (close(out) == 0 || Failed()) && ok;
    if (ok && (rename(temp.c_str(), to.c_str()) == 0 || Failed())) return true;
    unlink(temp.c_str());
    return false;
  }

  bool MoveNoReplace(const std::string& from, const std::string& to) override {
#ifdef __linux__
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return Failed();
#endif
    // The file system cannot rename without replacing: a hard link fails when the target exists.
    if (link(from.c_str(), to.c_str()) == 0) {
      if (unlink(from.c_str()) == 0) return true;
      Failed();
      unlink(to.c_str());
      return false;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK) return Failed();
    // No hard links either (a folder, or a file system without links): test, then rename.
    struct stat st;
    if (lstat(to.c_str(), &st) == 0) return Refused(FailureReason::TargetExists);
    if (errno != ENOENT) return Failed();
    return rename(from.c_str(), to.c_str()) == 0 || Failed();
  }

  bool MoveReplacing(const std::string& from, const std::string& to) override {
    return MayReplace(to.c_str()) && (rename(from.c_str(), to.c_str()) == 0 || Failed());
  }

  bool Writable(const std::string& path) override {
    return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
  }

  bool RemoveFile(const std::string& path) override { return unlink(path.c_str()) == 0 || Failed(); }

  FsFailure LastFailure() override {
    if (t_refused) return FsFailure{t_refusal, {}};
    const FailureReason reason = ReasonOf(t_errno);
    return FsFailure{reason, reason == FailureReason::System ? std::system_category().message(t_errno) : std::string()};
  }

  bool SameFile(const std::string& a, const std::string& b) override {
    struct stat sa;
    struct stat sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
  }

  ReadHandle OpenForRead(const std::string& path) override { return OpenRegularFile(AT_FDCWD, path.c_str()); }

  // The folder of the previous file stays open and the next file of the same folder is opened relative to
  // it, so only the last component of its path is looked up.
  ReadHandle OpenForReadInBatch(const std::string& path) override {
    ReadHandle ahead = -1;
    if (const int taken = t_readAhead.Take(path, ahead); taken != 0) return taken > 0 ? ahead : -1;
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash + 1 == path.size()) return OpenForRead(path);
    if (t_batchFolderFd < 0 || t_batchFolder.size() != slash + 1 ||
        path.compare(0, slash + 1, t_batchFolder) != 0) {
      EndReadBatch();
      t_batchFolder.assign(path, 0, slash + 1);
      t_batchFolderFd = open(t_batchFolder.c_str(), kBatchFolderFlags);
      if (t_batchFolderFd < 0) return OpenForRead(path);
    }
    return OpenRegularFile(t_batchFolderFd, path.c_str() + slash + 1);
  }

  void ReadAhead(const std::vector<std::string>& paths, std::size_t bytes) override {
    t_readAhead.ReadAhead(paths, bytes);
  }

  void EndReadBatch() override {
    t_readAhead.Drop();
    t_readAhead.CloseNow();
    if (t_batchFolderFd >= 0) close(t_batchFolderFd);
    t_batchFolderFd = -1;
    t_batchFolder.clear();
  }

  std::int64_t Read(ReadHandle handle, void* buffer, std::size_t size) override {
    if (size > (std::size_t{1} << 30)) size = std::size_t{1} << 30;
    if (handle >= kAheadHandles) return ReadFromAhead(handle, buffer, size);
    const int fd = static_cast<int>(handle);
    const std::int64_t left = BytesLeft(fd);
    if (left == 0) return 0;
    for (;;) {
      const ssize_t n = read(fd, buffer, size);
      if (n >= 0) {
        if (left > 0) SetBytesLeft(fd, n <= left ? left - n : -1);
        return n;
      }
      if (errno != EINTR) return FailedFd();
    }
  }

  // Only the bytes read ahead are held: the rest of a file, and a file opened on its own, are read.
  std::size_t ReadInPlace(ReadHandle handle, const unsigned char*& data, std::size_t size) override {
    if (handle < kAheadHandles) return 0;
    AheadFile* file = t_readAhead.Find(handle);
    return file == nullptr ? 0 : TakeAhead(*file, data, size);
  }

  void Close(ReadHandle handle) override {
    if (handle < 0) return;
    if (handle >= kAheadHandles) return t_readAhead.Close(handle);
    SetBytesLeft(static_cast<int>(handle), -1);
    close(static_cast<int>(handle));
  }

 private:
  // Read of a file read ahead: its bytes read ahead first, then the file itself from where they end.
  static std::int64_t ReadFromAhead(ReadHandle handle, void* buffer, std::size_t size) {
    AheadFile* file = t_readAhead.Find(handle);
    if (file == nullptr) {
      errno = EBADF;
      return FailedFd();
    }
    const unsigned char* held = nullptr;
    if (const std::size_t n = TakeAhead(*file, held, size); n > 0) {
      std::memcpy(buffer, held, n);
      return static_cast<std::int64_t>(n);
    }
    if (file->whole || file->fd < 0) return 0;
    for (;;) {
      const ssize_t n = pread(file->fd, buffer, size, static_cast<off_t>(file->have + file->after));
      if (n >= 0) {
        file->after += static_cast<std::uint64_t>(n);
        return n;
      }
      if (errno != EINTR) return FailedFd();
    }
  }
};

}  // namespace

FileSystem& NativeFileSystem() {
  static PosixFileSystem native;
  return native;
}

}  // namespace kestrin
