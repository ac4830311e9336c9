// The Win32 file system, through the ANSI ("A") functions: paths are in the ANSI code page.

#include <windows.h>

#include <string>

#include "platform/filesystem.h"
#include "platform/path_style.h"
#include "platform/ascii_case.h"
#include "platform/trash.h"

namespace kestrin {

namespace {

FailureReason ReasonOf(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED: return FailureReason::PermissionDenied;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return FailureReason::Vanished;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return FailureReason::TargetExists;
    case ERROR_FILENAME_EXCED_RANGE: return FailureReason::PathTooLong;
    default: return FailureReason::System;
  }
}

// The system's own words for an error, in the ANSI code page, without the line end.
std::string ErrorText(DWORD error) {
  char text[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                           sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ')) --n;
  if (n == 0) return "error " + std::to_string(error);
  return std::string(text, n);
}

// A system error as a reason, with the system's words where no reason of ours names it.
FsFailure FailureOf(DWORD error) {
  const FailureReason reason = ReasonOf(error);
  return FsFailure{reason, reason == FailureReason::System ? ErrorText(error) : std::string()};
}

// The failure the latest call of this thread left (GetLastError).
FsFailure LastError() { return FailureOf(GetLastError()); }

// A path no entry can bear (empty, or holding a wildcard), refused before the system is asked, with the
// reason the system gives such a name.
FsFailure NoSuchName() { return FailureOf(ERROR_INVALID_NAME); }

FsFailure Refusal(FailureReason reason) { return FsFailure{reason, {}}; }

// Asked by CopyFileExA between chunks: the copy is cancelled (and its partial file removed) on a stop.
DWORD CALLBACK CopyProgress(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE,
                            HANDLE, LPVOID data) {
  const auto& stopped = *static_cast<const std::function<bool()>*>(data);
  return stopped() ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}

bool EndsWithSeparator(const std::string& path) {
  return !path.empty() && NativePathStyle().LastSeparator(path) == path.size() - 1;
}

// No Windows name holds these; FindFirstFileA would take them for wildcards and find other entries.
bool HasWildcard(const std::string& path) { return path.find_first_of("*?<>\"") != std::string::npos; }

// The two paths are written alike but for the case of ASCII letters and the choice of separator.
bool SameNameButForCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  const PathStyle& style = NativePathStyle();
  for (std::size_t i = 0; i < a.size();) {
    const std::size_t length = style.CharLength(a.data(), a.size(), i);
    const unsigned char x = static_cast<unsigned char>(a[i]);
    const unsigned char y = static_cast<unsigned char>(b[i]);
    if (length == 2) {
      if (x != y || a[i + 1] != b[i + 1]) return false;
    } else if (!(style.IsSeparator(x) && style.IsSeparator(y))) {
      if (AsciiToLower(x) != AsciiToLower(y)) return false;
    }
    i += length;
  }
  return true;
}

class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  ~FileHandle() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

// Volume serial number and file index; folders are opened too (FILE_FLAG_BACKUP_SEMANTICS).
FileId IdOf(const std::string& path) {
  FileHandle h(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (h.get() == INVALID_HANDLE_VALUE) return FileId{};
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h.get(), &info)) return FileId{};
  return FileId{info.dwVolumeSerialNumber,
                (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, true};
}

// Whether the replacing calls may put a file where target is: nothing there yet, or a file without the
// read-only attribute. A folder (or a link to one) or a read-only file is kept.
FsStatus MayReplace(const std::string& target) {
  const DWORD attributes = GetFileAttributesA(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {};  // the call itself reports what is wrong
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Refusal(FailureReason::TargetExists);
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return Refusal(FailureReason::ReadOnlyTarget);
  return {};
}

// The status of a call that returns nonzero on success and leaves GetLastError() on failure.
FsStatus Done(BOOL result) {
  if (result != 0) return {};
  return LastError();
}

class Win32FileSystem final : public FileSystem {
 public:
  PathInfo Lookup(const std::string& path) override {
    PathInfo info;
    if (path.empty() || HasWildcard(path)) {
      info.failure = NoSuchName();
      return info;
    }
    DWORD attributes;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(path.c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      attributes = data.dwFileAttributes;
      FindClose(find);
    } else {
      info.failure = LastError();
      // A drive root, or a folder written with a trailing separator, is no entry FindFirstFileA finds.
      if (!EndsWithSeparator(path)) return info;
      attributes = GetFileAttributesA(path.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return info;
    }
    info.found = true;
    info.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.kind = info.directory ? EntryKind::Directory : EntryKind::File;
    info.id = IdOf(path);
    return info;
  }

  FsStatus Enumerate(const std::string& folder, const std::function<void(const DirEntry&)>& onEntry) override {
    if (folder.empty() || HasWildcard(folder)) return NoSuchName();
    std::string prefix = folder;
    if (!EndsWithSeparator(prefix)) prefix += '\\';
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((prefix + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_NOT_FOUND) return {};  // an empty drive root
      return LastError();
    }
    DirEntry entry;
    FsStatus ok;
    for (;;) {
      const char* name = data.cFileName;
      const bool dots = name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
      if (!dots) {
        entry.name = std::string_view(name);
        entry.hidden = (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
        const bool directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.kind = directory ? EntryKind::Directory : EntryKind::File;
        entry.id = directory ? IdOf(prefix + name) : FileId{};
        entry.link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        onEntry(entry);
      }
      if (!FindNextFileA(find, &data)) {
        if (GetLastError() != ERROR_NO_MORE_FILES) ok = LastError();
        break;
      }
    }
    FindClose(find);
    return ok;
  }

  FsStatus MakeFolder(const std::string& path) override { return Done(CreateDirectoryA(path.c_str(), nullptr)); }

  FsStatus CopyReplacing(const std::string& from, const std::string& to,
                         const std::function<bool()>& stopped) override {
    const PathInfo source = Lookup(from);
    if (!source.found) return source.failure;
    if (source.kind != EntryKind::File) return Refusal(FailureReason::NotRegularFile);
    if (SameFile(from, to)) return Refusal(FailureReason::TargetExists);
    if (FsStatus may = MayReplace(to); !may) return may;
    // Copy beside the target, then put the copy in its place in one step, so that a copy that fails
    // part-way leaves the old target whole.
    const std::size_t last = NativePathStyle().LastSeparator(to);
    const std::string folder = last == std::string::npos ? std::string(".") : to.substr(0, last + 1);
    char temp[MAX_PATH + 1];
    if (GetTempFileNameA(folder.c_str(), "kst", 0, temp) == 0) {
      return Done(CopyFileA(from.c_str(), to.c_str(), FALSE));  // no room for a temporary name
    }
    const BOOL copied = stopped ? CopyFileExA(from.c_str(), temp, CopyProgress, const_cast<std::function<bool()>*>(&stopped),
                                              nullptr, 0)
                                : CopyFileA(from.c_str(), temp, FALSE);
    if (copied && MoveFileExA(temp, to.c_str(), MOVEFILE_REPLACE_EXISTING)) return {};
    const FsFailure why = LastError();
    SetFileAttributesA(temp, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(temp);
    return why;
  }

  FsStatus MoveNoReplace(const std::string& from, const std::string& to) override {
    // Two names of one file (a hard link): MoveFileA may report success while changing nothing. The same
    // name in another case is a real rename and goes ahead.
    if (SameFile(from, to) && !SameNameButForCase(from, to)) return Refusal(FailureReason::TargetExists);
    return Done(MoveFileA(from.c_str(), to.c_str()));
  }

  FsStatus MoveReplacing(const std::string& from, const std::string& to) override {
    if (FsStatus may = MayReplace(to); !may) return may;
    return Done(MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING));
  }

  bool Writable(const std::string& path) override {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) == 0;
  }

  // An entry of the name, a link whose target is gone included.
  bool EntryExists(const std::string& path) override {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  // Opened for reading and closed again at once: the answer is the file's own access check.
  bool MayRead(const std::string& path) override {
    FileHandle h(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr));
    return h.get() != INVALID_HANDLE_VALUE;
  }

  FsStatus RemoveFile(const std::string& path) override { return Done(DeleteFileA(path.c_str())); }

  // The entry itself: a link is opened as a link.
  FsResult<FileStamp> Stamp(const std::string& path) override {
    FileHandle h(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (h.get() == INVALID_HANDLE_VALUE) return LastError();
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h.get(), &info)) return LastError();
    FileStamp stamp;
    stamp.id = FileId{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, true};
    stamp.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
    stamp.mtimeNs = (static_cast<std::int64_t>(ticks) - 116444736000000000LL) * 100;  // from 1601 to 1970
    return stamp;
  }

  FsResult<std::string> MoveToTrash(const std::string& path,
                                    const std::function<FsStatus(const std::string&)>& beforeMove) override {
    return kestrin::MoveToTrash(path, beforeMove);
  }
  FsStatus RestoreFromTrash(const std::string& trashed, const std::string& original) override {
    return kestrin::RestoreFromTrash(trashed, original);
  }
  FsStatus RemoveEmptyFolder(const std::string& path) override { return Done(RemoveDirectoryA(path.c_str())); }

  bool SameFile(const std::string& a, const std::string& b) override {
    const FileId x = IdOf(a);
    return x.valid && x == IdOf(b);
  }

  FsResult<ReadHandle> OpenForRead(const std::string& path) override {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return FailureOf(GetLastError());
    // Only a file on disk is read: a device name (CON, NUL, a pipe) opens too, and could never end.
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      CloseHandle(h);
      return Refusal(FailureReason::NotRegularFile);
    }
    return reinterpret_cast<ReadHandle>(h);
  }

  FsResult<std::size_t> Read(ReadHandle handle, void* buffer, std::size_t size) override {
    const DWORD want = size > (DWORD{1} << 30) ? (DWORD{1} << 30) : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle), buffer, want, &got, nullptr)) return FailureOf(GetLastError());
    return static_cast<std::size_t>(got);
  }

  void Close(ReadHandle handle) override {
    if (handle >= 0) CloseHandle(reinterpret_cast<HANDLE>(handle));
  }
};

}  // namespace

FileSystem& NativeFileSystem() {
  static Win32FileSystem native;
  return native;
}

}  // namespace kestrin
