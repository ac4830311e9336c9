// The POSIX reader of many files (FileReader): the folder of the previous file kept open, and the files
// announced next opened, checked and read from their start together, through io_uring where the system
// offers it, so that a run of small files costs a few calls to the system instead of four for each.
// Everything it holds is its own: its ring, its folder, its open files and their sizes, and the
// descriptors waiting to be closed.

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#ifdef KESTRIN_HAVE_IO_URING
#include <liburing.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/memory.h"
#include "platform/posix/filesystem_posix.h"

#if defined(__SANITIZE_THREAD__)
#define KESTRIN_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KESTRIN_THREAD_SANITIZER 1
#endif
#endif

namespace kestrin::posix {

namespace {

// A descriptor number goes from one thread to another through the kernel: one thread closes it, the kernel
// hands the number to the next open, perhaps in another thread's ring. The thread sanitizer sees the closes
// and opens made by calls it knows, but not those a ring makes, and would take the new owner's use of the
// number for a race with the old owner's. So that it sees the order the kernel keeps, every close (the
// call, or a ring run that holds closes) and every ring run's opens happen under one lock: a number a ring
// opens was freed under the lock, before, and the lock orders the old owner's uses before the new owner's.
// Without the sanitizer there is nothing to do.
#ifdef KESTRIN_THREAD_SANITIZER
std::recursive_mutex g_handOverLock;  // a ring given up within a hand-over closes its own descriptor
class HandOver {
 public:
  HandOver() : lock_(g_handOverLock) {}
  HandOver(const HandOver&) = delete;
  HandOver& operator=(const HandOver&) = delete;

 private:
  std::lock_guard<std::recursive_mutex> lock_;
};
#else
struct HandOver {
  HandOver() {}  // NOLINT: nothing to hold
};
#endif

bool OutOfDescriptors(int error) { return error == EMFILE || error == ENFILE; }

// The most bytes read ahead from a file: the rest of a larger file is read as usual.
constexpr std::size_t kAheadMostBytes = std::size_t{64} << 10;
// At most this many requests are in the ring at once: a run's opens and the closes waiting for it.
constexpr unsigned kRingEntries = 64;
constexpr std::size_t kMostRun = kRingEntries / 2;
// The user data of a close in the ring, which no file of a run has.
[[maybe_unused]] constexpr std::uint64_t kClosing = ~std::uint64_t{0};
// Descriptors left to the rest of the process (the window, the walk, the output) when readers share out
// what it may open.
constexpr std::size_t kLeftToOthers = 8;
// Descriptors a reader needs besides those it reads ahead: its ring, its folder and one file opened on its
// own.
constexpr std::size_t kReaderOwn = 3;

// The blocks of readers that have ended, kept for the readers that come next: a search over a tree hands
// each batch of its files to new workers with new readers, and the system clears a new block of large
// pages in full when it is first written, which cost a search of many small files a tenth of its time.
// At most one block a core is kept.
class RunBlockCache {
 public:
  MemoryBlock Take(std::size_t size) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      for (auto it = free_.begin(); it != free_.end(); ++it) {
        if (it->capacity >= size) {
          const MemoryBlock block = *it;
          free_.erase(it);
          return block;
        }
      }
    }
    return GrowMemoryBlock({}, 0, size);
  }
  void Give(MemoryBlock block) noexcept {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (free_.size() < kept_) {
        free_.push_back(block);
        return;
      }
    }
    FreeMemoryBlock(block);
  }

 private:
  std::mutex mutex_;
  std::vector<MemoryBlock> free_;
  const std::size_t kept_ = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 2, 64);
};

// Never destroyed: a reader may end after the static objects have (a scan still winding down as the
// process exits), and the system takes the blocks back with the process.
RunBlockCache& RunBlocks() {
  static RunBlockCache* const cache = new RunBlockCache;
  return *cache;
}

// The bytes of a run's files, in a block of their own (of large pages where the system has them), left as
// it comes: the kernel writes each file's bytes. capacity: set to the block's size, at least size.
std::shared_ptr<unsigned char[]> NewRunBlock(std::size_t size, std::size_t& capacity) {
  const MemoryBlock block = RunBlocks().Take(size);
  capacity = block.capacity;
  return std::shared_ptr<unsigned char[]>(static_cast<unsigned char*>(block.data),
                                          [block](unsigned char*) { RunBlocks().Give(block); });
}

// How many descriptors the process has open now; a guess where the system does not say.
std::size_t OpenDescriptors() {
#ifdef __linux__
  const char* const listing = "/proc/self/fd";
#else
  const char* const listing = "/dev/fd";
#endif
  const HandOver handOver;  // the listing's own descriptor comes and goes
  DIR* dir = opendir(listing);
  if (dir == nullptr) return 16;
  std::size_t n = 0;
  while (const struct dirent* d = readdir(dir)) {
    if (d->d_name[0] != '.') ++n;
  }
  closedir(dir);
  return n > 0 ? n - 1 : 0;  // not the listing's own
}

// How many descriptors each of `readers` readers may hold for reading ahead: a share of what the process
// may still open, less what a reader needs anyway.
std::size_t AheadShare(unsigned readers) {
  struct rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  const std::size_t most = limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > (rlim_t{1} << 20)
                               ? std::size_t{1} << 20
                               : static_cast<std::size_t>(limit.rlim_cur);
  const std::size_t taken = OpenDescriptors() + kLeftToOthers;
  if (most <= taken) return 0;
  const std::size_t share = (most - taken) / std::max(1u, readers);
  return share > kReaderOwn ? share - kReaderOwn : 0;
}

// A file handed out by Open.
struct OpenFile {
  int fd = -1;               // open while bytes after those held may follow
  std::int64_t left = -1;    // bytes left by the size at opening, less those read since; -1: unknown
  std::uint64_t offset = 0;  // where the next read from the descriptor starts
  std::shared_ptr<unsigned char[]> bytes;  // bytes read ahead: the run's block, this file's from `at`
  std::size_t at = 0;
  std::size_t have = 0;    // bytes read ahead
  std::size_t served = 0;  // of those, bytes handed out
  bool inUse = false;
};

// A file of the run announced last, opened and read ahead.
struct AheadFile {
  std::string path;
  OpenFile file;
  int error = 0;            // why it could not be opened (errno), or 0
  bool notRegular = false;
  bool again = false;       // not opened for want of descriptors: Open opens it on its own
};

// The bytes left of a file whose size was `size` when it was opened and of which `read` bytes were read
// since: unknown for a file whose size says nothing (0, as the system's own generated files have), and
// once a file has grown past the size it had. Such files are read until the system says they end; one
// that grows once it has been read to its old end is taken as it was when opened.
std::int64_t BytesLeft(std::int64_t size, std::uint64_t read) {
  if (size <= 0 || read > static_cast<std::uint64_t>(size)) return -1;
  return size - static_cast<std::int64_t>(read);
}

class PosixReader final : public FileReader {
 public:
  explicit PosixReader(const ReaderOptions& options) {
#ifdef KESTRIN_HAVE_IO_URING
    if (!options.readAhead) return;
    // The descriptors of a reader's share are split between the files of a run and those waiting to be
    // closed with the next run; too small a share, and files are opened one at a time.
    const std::size_t share = AheadShare(options.readers);
    runMost_ = std::min(kMostRun, share / 2);
    closingMost_ = std::min<std::size_t>(kRingEntries - kMostRun, share - runMost_);
    if (runMost_ < 2) return;
    // Where the system refuses io_uring (an old kernel, a sandbox), files are opened one by one.
    const HandOver handOver;  // the ring's own descriptor
    ringReady_ = io_uring_queue_init(kRingEntries, &ring_, 0) >= 0;
#else
    static_cast<void>(options);
#endif
  }

  ~PosixReader() override {
    Drop();
    for (OpenFile& file : slots_) {
      if (file.inUse && file.fd >= 0) CloseDescriptor(file.fd);
    }
    CloseNow();
    CloseFolder();
#ifdef KESTRIN_HAVE_IO_URING
    if (ringReady_) {
      const HandOver handOver;
      io_uring_queue_exit(&ring_);
    }
#endif
  }
  PosixReader(const PosixReader&) = delete;
  PosixReader& operator=(const PosixReader&) = delete;

  bool ReadsAhead() const override { return ringReady_; }

  void Announce(const std::vector<std::string>& paths, std::size_t bytes) override;

  FsResult<ReadHandle> Open(const std::string& path) override {
    if (next_ < pending_.size() && pending_[next_].path == path) {
      AheadFile& ahead = pending_[next_++];
      if (ahead.error != 0) return FailureOf(ahead.error);
      if (ahead.notRegular) return Refusal(FailureReason::NotRegularFile);
      if (!ahead.again) return Hand(std::move(ahead.file));
    } else {
      Drop();  // the files are opened otherwise than announced
    }
    FsResult<ReadHandle> opened = OpenOnItsOwn(path, true);
    if (!opened && outOfDescriptors_) {
      // Whatever this reader holds besides its open files is given back, and the file tried once more by
      // its whole path.
      ReleaseHeld();
      opened = OpenOnItsOwn(path, false);
    }
    return opened;
  }

  FsResult<std::size_t> Read(ReadHandle handle, void* buffer, std::size_t size) override {
    OpenFile* file = Find(handle);
    if (file == nullptr) return FailureOf(EBADF);
    if (size > (std::size_t{1} << 30)) size = std::size_t{1} << 30;
    const unsigned char* held = nullptr;
    if (const std::size_t n = TakeHeld(*file, held, size); n > 0) {
      std::memcpy(buffer, held, n);
      return n;
    }
    // A read that would start at the end is answered without asking the system, which spares one call
    // for each file of a search.
    if (file->fd < 0 || file->left == 0) return std::size_t{0};
    for (;;) {
      const ssize_t n = pread(file->fd, buffer, size, static_cast<off_t>(file->offset));
      if (n >= 0) {
        file->offset += static_cast<std::uint64_t>(n);
        if (file->left > 0) file->left = n <= file->left ? file->left - n : -1;
        return static_cast<std::size_t>(n);
      }
      if (errno != EINTR) return FailureOf(errno);
    }
  }

  // Only the bytes read ahead are held: the rest of a file, and a file opened on its own, are read.
  std::size_t ReadInPlace(ReadHandle handle, const unsigned char*& data, std::size_t size) override {
    OpenFile* file = Find(handle);
    return file == nullptr ? 0 : TakeHeld(*file, data, size);
  }

  void Close(ReadHandle handle) override {
    OpenFile* file = Find(handle);
    if (file == nullptr) return;
    if (file->fd >= 0) CloseLater(file->fd);
    *file = OpenFile{};
    free_.push_back(static_cast<std::size_t>(handle));
  }

 private:
  // Hands out up to size of the bytes of file read ahead and not handed out yet, in place: 0 when none
  // are left. They lie in the run's block, which the file keeps alive until it is closed.
  static std::size_t TakeHeld(OpenFile& file, const unsigned char*& data, std::size_t size) {
    const std::size_t n = std::min(size, file.have - file.served);
    if (n == 0) return 0;
    data = file.bytes.get() + file.at + file.served;
    file.served += n;
    return n;
  }

  OpenFile* Find(ReadHandle handle) {
    if (handle < 0 || static_cast<std::size_t>(handle) >= slots_.size()) return nullptr;
    OpenFile& file = slots_[static_cast<std::size_t>(handle)];
    return file.inUse ? &file : nullptr;
  }

  FsResult<ReadHandle> Hand(OpenFile file) {
    file.inUse = true;
    std::size_t slot;
    if (!free_.empty()) {
      slot = free_.back();
      free_.pop_back();
      slots_[slot] = std::move(file);
    } else {
      slot = slots_.size();
      slots_.push_back(std::move(file));
    }
    return static_cast<ReadHandle>(slot);
  }

  // Opens a file that was not read ahead. The folder of the previous file stays open (inFolder) and the
  // next file of the same folder is opened relative to it, so only the last component of its path is
  // looked up.
  FsResult<ReadHandle> OpenOnItsOwn(const std::string& path, bool inFolder) {
    outOfDescriptors_ = false;
    const char* name = path.c_str();
    const int folder = inFolder ? InFolder(path, name) : AT_FDCWD;
    std::int64_t size = 0;
    const FsResult<int> opened = OpenRegularFile(folder, name, size);
    if (!opened) {
      outOfDescriptors_ = outOfDescriptors_ || OutOfDescriptors(errno);
      return opened.failure;
    }
    OpenFile file;
    file.fd = opened.value;
    file.left = BytesLeft(size, 0);
    return Hand(std::move(file));
  }

  // The folder of path, opened for the lookup of its last component (name, set to point at it): kept open
  // from the last call when it is the same; AT_FDCWD, with name the whole path, where it cannot be opened.
  int InFolder(const std::string& path, const char*& name) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash + 1 >= path.size()) return AT_FDCWD;
    if (!SharesFolder(path)) {
      CloseFolder();
      folder_.assign(path, 0, slash + 1);
      folderFd_ = open(folder_.c_str(), kFolderFlags);
      if (folderFd_ < 0) outOfDescriptors_ = OutOfDescriptors(errno);
    }
    if (folderFd_ < 0) return AT_FDCWD;
    name = path.c_str() + slash + 1;
    return folderFd_;
  }

  // Whether the folder kept open is the one path lies in.
  bool SharesFolder(const std::string& path) const {
    return folderFd_ >= 0 && path.size() > folder_.size() && path.compare(0, folder_.size(), folder_) == 0 &&
           path.find('/', folder_.size()) == std::string::npos;
  }

  void CloseFolder() {
    if (folderFd_ >= 0) CloseDescriptor(folderFd_);
    folderFd_ = -1;
    folder_.clear();
  }

  // Forgets the files read ahead and not handed out.
  void Drop() {
    for (std::size_t k = next_; k < pending_.size(); ++k) {
      if (pending_[k].file.fd >= 0) CloseLater(pending_[k].file.fd);
    }
    pending_.clear();
    next_ = 0;
  }

  // Descriptors done with are closed together with the next run's opens, in the same call to the system,
  // rather than one call each; CloseNow closes them at once.
  void CloseLater(int fd) {
    if (ringReady_ && closing_.size() < closingMost_) {
      closing_.push_back(fd);
      return;
    }
    CloseDescriptor(fd);
  }
  void CloseNow() {
    for (const int fd : closing_) CloseDescriptor(fd);
    closing_.clear();
  }

  // Gives back every descriptor but those of the files handed out: the ones waiting to be closed, the
  // folder, and the files read ahead and not handed out yet, which Open then opens on their own.
  void ReleaseHeld() {
    CloseNow();
    CloseFolder();
    for (std::size_t k = next_; k < pending_.size(); ++k) {
      AheadFile& ahead = pending_[k];
      if (ahead.file.fd < 0 || ahead.error != 0 || ahead.notRegular) continue;
      CloseDescriptor(ahead.file.fd);
      ahead.file = OpenFile{};
      ahead.again = true;
    }
  }

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
    {
      const HandOver handOver;
      io_uring_queue_exit(&ring_);
    }
    ringReady_ = false;
    return false;
  }
  io_uring ring_{};
#endif
#ifdef O_PATH
  // The folder is opened for lookups only, which needs no permission to read it.
  static constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
  static constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif
  bool ringReady_ = false;
  std::size_t runMost_ = 0;      // files read ahead together at most
  std::size_t closingMost_ = 0;  // descriptors waiting to be closed at most
  std::vector<AheadFile> pending_;  // the run announced last
  std::size_t next_ = 0;            // its next file to be handed out
  std::shared_ptr<unsigned char[]> bytes_;  // the run's block
  std::size_t capacity_ = 0;                // of bytes_
  std::vector<OpenFile> slots_;   // the files handed out, by handle
  std::vector<std::size_t> free_;  // slots free for the next
  std::vector<int> closing_;       // to be closed with the next run's opens
  int folderFd_ = -1;              // the folder of the last file opened on its own
  std::string folder_;             // its path, ending in '/'
  bool outOfDescriptors_ = false;  // the last OpenOnItsOwn failed for want of descriptors
  std::vector<std::int64_t> sizes_;  // of the run's files, as they were opened
};

void PosixReader::Announce(const std::vector<std::string>& paths, std::size_t bytes) {
  Drop();
#ifdef KESTRIN_HAVE_IO_URING
  if (!ringReady_ || paths.empty()) return CloseNow();
  // Beyond its share of descriptors, the files of a run are opened on their own as they come.
  const std::size_t count = std::min(paths.size(), runMost_);
  bytes = std::clamp<std::size_t>(bytes, 1, kAheadMostBytes);
  // A run's block is new when a file handed out of the last one is still open and reads from it.
  const std::size_t need = count * bytes;
  if (!bytes_ || bytes_.use_count() > 1 || capacity_ < need) {
    bytes_ = NewRunBlock(need, capacity_);
  }
  pending_.resize(count);
  for (std::size_t k = 0; k < count; ++k) {
    pending_[k] = AheadFile{};
    pending_[k].path = paths[k];
    pending_[k].file.bytes = bytes_;
    pending_[k].file.at = k * bytes;
  }
  const auto fail = [&] {
    for (AheadFile& ahead : pending_) {
      if (ahead.file.fd >= 0) CloseDescriptor(ahead.file.fd);
    }
    pending_.clear();
  };
  // Open them all, and close what the last runs left; O_NONBLOCK, as OpenRegularFile: opening a FIFO
  // without a writer must not hang.
  if (count + closing_.size() > kRingEntries) CloseNow();
  std::optional<HandOver> handOver(std::in_place);
  unsigned queued = 0;
  for (const int fd : closing_) {
    io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
    io_uring_prep_close(sqe, fd);
    io_uring_sqe_set_data64(sqe, kClosing);
    ++queued;
  }
  closing_.clear();
  // The files of a run mostly share a folder (the walk lists a folder's files together): those of the
  // first file's folder are looked up from it, by their last component. Other folders are not opened
  // meanwhile, as the folder must stay open until the ring has run.
  for (std::size_t k = 0; k < count; ++k) {
    const std::string& path = pending_[k].path;
    const char* name = path.c_str();
    int folder = AT_FDCWD;
    if (k == 0) {
      folder = InFolder(path, name);
    } else if (SharesFolder(path)) {
      folder = folderFd_;
      name += folder_.size();
    }
    io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
    io_uring_prep_openat(sqe, folder, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0);
    io_uring_sqe_set_data64(sqe, k);
    ++queued;
  }
  if (!Run(queued, [&](std::uint64_t k, int result) {
        if (k == kClosing) return;
        if (result >= 0) {
          pending_[k].file.fd = result;
        } else if (OutOfDescriptors(-result)) {
          pending_[k].again = true;  // opened on its own when its turn comes, when others are closed
        } else {
          pending_[k].error = -result;
        }
      })) {
    handOver.reset();
    return fail();
  }
  handOver.reset();
  // What was opened is checked before a byte is read, as OpenRegularFile does; then the regular files are
  // read from their start.
  std::vector<std::int64_t>& sizes = sizes_;
  sizes.assign(count, 0);
  queued = 0;
  for (std::size_t k = 0; k < count; ++k) {
    AheadFile& ahead = pending_[k];
    if (ahead.file.fd < 0) continue;
    struct stat st;
    const bool checked = fstat(ahead.file.fd, &st) == 0;
    if (!checked || !S_ISREG(st.st_mode)) {
      if (!checked) ahead.error = errno;
      ahead.notRegular = checked;
      CloseDescriptor(ahead.file.fd);
      ahead.file.fd = -1;
      continue;
    }
    sizes[k] = static_cast<std::int64_t>(st.st_size);
    io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
    io_uring_prep_read(sqe, ahead.file.fd, bytes_.get() + ahead.file.at, static_cast<unsigned>(bytes), 0);
    io_uring_sqe_set_data64(sqe, k);
    ++queued;
  }
  if (!Run(queued, [&](std::uint64_t k, int result) {
        // A short read of a regular file is its end. A failed read is left to the file's own reads, which
        // report it (or, for a read the ring would not wait for, simply make it).
        OpenFile& file = pending_[k].file;
        if (result >= 0) {
          file.have = static_cast<std::size_t>(result);
          file.offset = file.have;
          file.left = file.have < bytes ? 0 : BytesLeft(sizes[k], file.have);
        } else {
          file.left = BytesLeft(sizes[k], 0);
        }
      })) {
    return fail();
  }
  // The files read to their end need their descriptors no more.
  for (AheadFile& ahead : pending_) {
    if (ahead.file.fd < 0 || ahead.file.left != 0) continue;
    CloseLater(ahead.file.fd);
    ahead.file.fd = -1;
  }
#else
  static_cast<void>(paths);
  static_cast<void>(bytes);
#endif
}

}  // namespace

FsResult<int> OpenRegularFile(int folder, const char* path, std::int64_t& size) {
  // O_NONBLOCK: opening a FIFO without a writer must not hang.
  const int fd = openat(folder, path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    FsFailure why = FailureOf(error);
    errno = error;  // for a caller that tells a want of descriptors from other failures
    return why;
  }
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    size = static_cast<std::int64_t>(st.st_size);
    return fd;
  }
  const int error = errno;
  CloseDescriptor(fd);
  errno = error;
  return Refusal(FailureReason::NotRegularFile);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool CloseDescriptor(int fd) {
  const HandOver handOver;
  return close(fd) == 0;
}

std::unique_ptr<FileReader> NewReader(const ReaderOptions& options) { return std::make_unique<PosixReader>(options); }

}  // namespace kestrin::posix
