#pragma once
// What the parts of the POSIX file system share: the failure of a call as a reason, the kind and identity
// of what a stat describes, and the opening of a file for reading. Each part lives in its own file:
// failure_posix.cpp, listing_posix.cpp, copy_posix.cpp, reader_posix.cpp and filesystem_posix.cpp.

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/filesystem.h"

namespace kestrin::posix {

// Why a call failed: errno mapped to a reason, with the system's words where no reason of ours names it.
FsFailure FailureOf(int error);
// The same for the errno the failed call just left.
FsFailure LastError();
// A refusal of our own, which no errno names (a target that may not be replaced, a file that is not
// regular).
FsFailure Refusal(FailureReason reason);

EntryKind KindOf(mode_t mode);
FileId IdOf(const struct stat& st);

// Lists a folder: the entries are read whole, the folder closed, then each is handed out.
FsStatus ListFolder(const std::string& folder, const std::function<void(const DirEntry&)>& onEntry);

// CopyReplacing of the POSIX file system.
FsStatus CopyReplacing(const std::string& from, const std::string& to, const std::function<bool()>& stopped);
// Whether the replacing calls may put a file where target is: the refusal when not.
FsStatus MayReplace(const char* target);

// Opens path (relative to folder, or the current folder with AT_FDCWD) for reading, but only when it turns
// out to be a regular file: the path may have been replaced by a link to a device since it was listed.
// Never blocks, even on a FIFO without a writer. size: the file's size when it was opened.
FsResult<int> OpenRegularFile(int folder, const char* path, std::int64_t& size);

// The folder part of path, up to and including its last '/'; empty when it has none.
std::string FolderOf(const std::string& path);

// A reader of many files for one thread (FileReader), reading files ahead together through io_uring
// where the system offers it.
std::unique_ptr<FileReader> NewReader(const ReaderOptions& options);

// Closes a descriptor (false when the system reports an error), in a way a race detector can order with
// the opens of a ring, which it does not see (reader_posix.cpp). Every descriptor of the file system is
// closed this way.
bool CloseDescriptor(int fd);

}  // namespace kestrin::posix
