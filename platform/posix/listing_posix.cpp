// Listing folders on POSIX: the raw entries of a folder read whole, turned into DirEntry values, then the
// folder closed before they are handed out.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/filesystem_posix.h"

namespace kestrin::posix {

namespace {

// The raw entries of one open folder, which it owns and closes. On Linux they come straight from the
// kernel (getdents64) into a buffer of its own, sparing the fstat and the fcntl calls of fdopendir.
class FolderStream {
 public:
  explicit FolderStream(int fd) : fd_(fd) {
#ifndef __linux__
    dir_ = fdopendir(fd);
    if (dir_ == nullptr) {
      failed_ = true;
      error_ = errno;
    }
#endif
  }
  ~FolderStream() {
#ifndef __linux__
    if (dir_ != nullptr) {
      closedir(dir_);
      return;
    }
#endif
    CloseDescriptor(fd_);
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
        if (failed_) error_ = errno;
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
      if (failed_) error_ = errno;
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
  int error() const { return error_; }

 private:
  int fd_;
  bool failed_ = false;
  int error_ = 0;
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
      entry.link = type == DT_LNK;
      entry.dangling = false;
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
          if (type == DT_UNKNOWN) {  // the file system did not say: whether it is a link costs a stat
            entry.link = fstatat(stream_.fd(), name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
          }
          if (fstatat(stream_.fd(), name, &st, 0) == 0) {
            entry.kind = KindOf(st.st_mode);
            entry.id = IdOf(st);
          } else {
            entry.kind = EntryKind::File;  // a dangling link
            entry.dangling = entry.link;
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
  int error() const { return stream_.error(); }

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

// An entry read from a folder, its name kept in the listing's one block of names.
struct BufferedEntry {
  std::size_t nameStart;
  std::size_t nameLength;
  bool hidden;
  EntryKind kind;
  FileId id;
  bool link;
  bool dangling;
};

}  // namespace

FsStatus ListFolder(const std::string& folder, const std::function<void(const DirEntry&)>& onEntry) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return LastError();
  // The folder is read whole and closed before its entries are handed out: a walk descends from inside
  // the callback, and would otherwise hold a descriptor for every level of a deep tree.
  std::string names;
  std::vector<BufferedEntry> entries;
  DirEntry entry;
  int error = 0;
  {
    FolderReader reader(fd);
    while (reader.Next(entry)) {
      entries.push_back(BufferedEntry{names.size(), entry.name.size(), entry.hidden, entry.kind, entry.id, entry.link,
                                      entry.dangling});
      names.append(entry.name);
    }
    if (reader.failed()) error = reader.error();
  }
  for (const BufferedEntry& e : entries) {
    entry.name = std::string_view(names.data() + e.nameStart, e.nameLength);
    entry.hidden = e.hidden;
    entry.kind = e.kind;
    entry.id = e.id;
    entry.link = e.link;
    entry.dangling = e.dangling;
    onEntry(entry);
  }
  if (error == 0) return {};
  return FailureOf(error);
}

}  // namespace kestrin::posix
