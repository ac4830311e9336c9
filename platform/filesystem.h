#pragma once
// The file-system operations the core needs, as one small interface.
//
// Every call that can fail returns why with its result (FsStatus, FsResult, PathInfo::failure): the
// system's error mapped to a reason, or the system's own words (FailureReason::System).
//
// Fs() is the implementation in force: the native one (POSIX or Win32) unless a test has put a double in
// its place with ScopedFileSystem. Paths are 8-bit strings in the platform's code page, passed unchanged.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include <string_view>

#include "platform/failure_reason.h"
#include "platform/file_reader.h"

namespace kestrin {


// Identity of a file or folder: device and inode on POSIX, volume serial and file index on Windows.
struct FileId {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool valid = false;
  friend bool operator==(const FileId& a, const FileId& b) {
    return a.valid && b.valid && a.volume == b.volume && a.index == b.index;
  }
};

// What an entry is. Other covers FIFOs, sockets and device nodes: the walk lists them as files (anything
// that is not a folder is a file), but they are never opened, since reading one could block or never end.
enum class EntryKind : unsigned char { File, Directory, Other };

struct PathInfo {
  bool found = false;
  bool directory = false;  // FILE_ATTRIBUTE_DIRECTORY, or a link to a folder
  EntryKind kind = EntryKind::File;
  FileId id;
  FsFailure failure;  // when not found: why (it is not there, or the system would not say)
};

// What undo checks to tell that a file is still the one a batch left: the entry itself (a link is not
// followed), its size and its modification time in nanoseconds since 1970.
struct FileStamp {
  FileId id;
  std::uint64_t size = 0;
  std::int64_t mtimeNs = 0;
  friend bool operator==(const FileStamp& a, const FileStamp& b) {
    return a.id == b.id && a.size == b.size && a.mtimeNs == b.mtimeNs;
  }
};

struct DirEntry {
  std::string_view name;  // valid only during the callback
  bool hidden = false;    // FILE_ATTRIBUTE_HIDDEN on Windows; a name beginning with '.' on POSIX
  EntryKind kind = EntryKind::File;  // links are followed: a link to a folder is a Directory, a dangling one a File
  FileId id;              // valid for folders, so that a walk can notice a link leading back into its tree
  bool link = false;      // a symbolic link (or, on Windows, a reparse point): kind is what it leads to
  bool dangling = false;  // a link that leads nowhere (POSIX; Windows does not tell without opening it)
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Looks a path up, following links. Not found covers every failure, and says why.
  virtual PathInfo Lookup(const std::string& path) = 0;

  // Calls onEntry for every entry of the folder, in the file system's order, "." and ".." left out.
  // Fails, with its reason, when the folder cannot be opened or its listing breaks off (the entries read
  // before are handed out all the same). onEntry may call Enumerate again: the walk descends
  // into a sub-folder from inside the callback (the POSIX file system reads a folder whole before it hands
  // its entries out, so that a deep walk holds no folder open per level).
  virtual FsStatus Enumerate(const std::string& folder, const std::function<void(const DirEntry&)>& onEntry) = 0;

  // Creates one folder whose parent exists. Fails when it exists already or cannot be made.
  virtual FsStatus MakeFolder(const std::string& path) = 0;

  // Copies a regular file, replacing the target. Never leaves a truncated target; copying a file onto
  // itself fails and leaves it untouched; a source that is not a regular file fails without being opened.
  // A target that is a folder (or a link to one) or that the user may not write is never replaced.
  // The copy keeps the source's permission bits, its modification time and, where the system can tell,
  // its holes.
  // stopped, when given, is asked between chunks of the copy: when it says true, the copy gives up and
  // leaves neither a partial target nor a temporary file.
  virtual FsStatus CopyReplacing(const std::string& from, const std::string& to,
                                 const std::function<bool()>& stopped = {}) = 0;

  // Renames; fails, changing nothing, when the target exists.
  virtual FsStatus MoveNoReplace(const std::string& from, const std::string& to) = 0;

  // Renames, replacing an existing target in one step. Like CopyReplacing, it never replaces a folder,
  // a link to one, or a file the user may not write.
  virtual FsStatus MoveReplacing(const std::string& from, const std::string& to) = 0;

  // True when the path exists and the user may write to it (on Windows: it lacks the read-only
  // attribute). A file system that knows no write protection says true for every existing path.
  virtual bool Writable(const std::string& path) { return Lookup(path).found; }

  // Questions asked before a change is made, for the user the program runs as, changing nothing (a
  // planning file system asks them of the real one, so that a plan meets the refusals the real run would).
  // EntryExists: an entry of that name is there, a dangling link included (Lookup follows links).
  // MayChangeFolder: the user may create, rename and delete entries in the folder.
  // MayRead: the user may open the file for reading.
  // A file system that knows no permissions says true for every existing folder, and every existing path.
  virtual bool EntryExists(const std::string& path) { return Lookup(path).found; }
  virtual bool MayChangeFolder(const std::string& folder) { return Lookup(folder).directory; }
  virtual bool MayRead(const std::string& path) { return Lookup(path).found; }

  // Deletes a file.
  virtual FsStatus RemoveFile(const std::string& path) = 0;

  // The stamp of the entry at path, a link itself rather than what it leads to. This default knows only
  // the identity Lookup gives.
  virtual FsResult<FileStamp> Stamp(const std::string& path);

  // Moves a file into the user's trash (platform/trash.h): where it now lies there, to hand back to
  // RestoreFromTrash. beforeMove, when given, hears where it will lie before it moves, where the system
  // can tell beforehand (else just after); a failure it returns leaves the file where it is. A file system
  // without a trash refuses (TrashUnavailable).
  virtual FsResult<std::string> MoveToTrash(const std::string& path,
                                            const std::function<FsStatus(const std::string&)>& beforeMove = {});
  // Puts a trashed file back at original, never replacing an entry there, and drops what the trash kept
  // about it.
  virtual FsStatus RestoreFromTrash(const std::string& trashed, const std::string& original);

  // Deletes a folder, only when it is empty.
  virtual FsStatus RemoveEmptyFolder(const std::string& path);

  // True when both paths exist and name the same file (one is an alias of the other).
  virtual bool SameFile(const std::string& a, const std::string& b) = 0;

  // Opens a regular file for reading without ever blocking, as FileReader::Open does; a reader is the
  // better way through many files.
  virtual FsResult<ReadHandle> OpenForRead(const std::string& path) = 0;
  // Reads up to size bytes: the count read, 0 at the end of the file.
  virtual FsResult<std::size_t> Read(ReadHandle handle, void* buffer, std::size_t size) = 0;
  virtual void Close(ReadHandle handle) = 0;

  // A reader of files for the calling thread, which owns it (FileReader). This one opens, reads and
  // closes through OpenForRead, Read and Close.
  virtual std::unique_ptr<FileReader> NewReader(const ReaderOptions& options);
};

// The native implementation of the running platform.
FileSystem& NativeFileSystem();

// The implementation in force.
FileSystem& Fs();

// Puts a test double in place of the native file system for its lifetime.
class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem& replacement);
  ~ScopedFileSystem();
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

 private:
  FileSystem* previous_;
};

}  // namespace kestrin
