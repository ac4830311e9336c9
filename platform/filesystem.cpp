#include "platform/filesystem.h"

namespace kestrin {

namespace {

// Reads through the file system's own calls, one file at a time.
class PlainReader final : public FileReader {
 public:
  explicit PlainReader(FileSystem& fs) : fs_(fs) {}
  FsResult<ReadHandle> Open(const std::string& path) override { return fs_.OpenForRead(path); }
  FsResult<std::size_t> Read(ReadHandle handle, void* buffer, std::size_t size) override {
    return fs_.Read(handle, buffer, size);
  }
  void Close(ReadHandle handle) override { fs_.Close(handle); }

 private:
  FileSystem& fs_;
};

// The double a test has put in place, or null for the native implementation. Commands may call it from
// several threads at once (the search reads files on workers); tests swap it only while no command runs,
// and a command's threads are started after the swap, so they all see the same one.
FileSystem* g_replacement = nullptr;
}  // namespace

std::unique_ptr<FileReader> FileSystem::NewReader(const ReaderOptions& options) {
  static_cast<void>(options);
  return std::make_unique<PlainReader>(*this);
}

FsResult<FileStamp> FileSystem::Stamp(const std::string& path) {
  const PathInfo info = Lookup(path);
  if (!info.found) return info.failure;
  FileStamp stamp;
  stamp.id = info.id;
  return stamp;
}

FsResult<std::string> FileSystem::MoveToTrash(const std::string& path,
                                              const std::function<FsStatus(const std::string&)>& beforeMove) {
  static_cast<void>(path);
  static_cast<void>(beforeMove);
  return FsFailure{FailureReason::TrashUnavailable, {}};
}

FsStatus FileSystem::RestoreFromTrash(const std::string& trashed, const std::string& original) {
  static_cast<void>(original);
  static_cast<void>(trashed);
  return FsFailure{FailureReason::NotInTrash, {}};
}

FsStatus FileSystem::RemoveEmptyFolder(const std::string& path) {
  static_cast<void>(path);
  return FsFailure{FailureReason::System, "folders cannot be removed here"};
}

FileSystem& Fs() { return g_replacement != nullptr ? *g_replacement : NativeFileSystem(); }

ScopedFileSystem::ScopedFileSystem(FileSystem& replacement) : previous_(g_replacement) {
  g_replacement = &replacement;
}

ScopedFileSystem::~ScopedFileSystem() { g_replacement = previous_; }

}  // namespace kestrin
