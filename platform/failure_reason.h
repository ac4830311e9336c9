#pragma once
// The reasons a command gives for a file it failed or skipped. They live with the platform, the lowest
// layer, so that the file system can say why a call failed (primitives/command.h holds the rest of what
// the commands share).

#include <string>

namespace kestrin {

// Why a file failed or was skipped.
enum class FailureReason : unsigned char {
  PermissionDenied,     // the system refused access
  Vanished,             // the file or folder is no longer there
  ReadOnlyTarget,       // the file to be replaced is write-protected
  TargetExists,         // the target name is taken and may not be replaced
  PathTooLong,          // the path would exceed the platform's path limit
  NotRegularFile,       // a folder, device, FIFO or socket where a regular file was expected
  FolderAlreadyWalked,  // a folder reached again through another link
  ChangedByBatch,       // renamed, created or replaced by an earlier step of the same batch
  BatchResult,          // one of the batch's own files, which it never overwrites
  NameUnchanged,        // a rename the system reported done, while the folder still shows the old name
  System,               // anything else: the system's own words are in Failure::detail
};

// Why a file-system call failed, as the file system tells it (FileSystem::LastFailure).
struct FsFailure {
  FailureReason reason = FailureReason::System;
  std::string detail;  // the system's own words, where no reason of ours names the error
};

}  // namespace kestrin
