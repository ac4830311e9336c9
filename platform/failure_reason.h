#pragma once
// The reasons a command gives for a file it failed or skipped. They live with the platform, the lowest
// layer, so that the file system can say why a call failed (primitives/command.h holds the rest of what
// the commands share).

#include <string>
#include <utility>

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
  CopiedByBatch,        // the copy target was written by an earlier step of the same copy batch
  TrashUnavailable,     // the file to be replaced could not be put into the trash, so it was kept
  JournalUnwritable,    // the undo journal could not be written, so the step was not taken
  MovedSinceBatch,      // undo: the file is no longer the one the batch left there
  ChangedSinceBatch,    // undo: the copy was changed after the batch made it
  NotInTrash,           // undo: the replaced file is no longer in the trash
  UnfinishedStep,       // undo: the step was cut short, and what it left cannot be told from a user's file
  System,               // anything else: the system's own words are in Failure::detail
};

// Why a file-system call failed, as the file system tells it.
struct FsFailure {
  FailureReason reason = FailureReason::System;
  std::string detail;  // the system's own words, where no reason of ours names the error
};

// The outcome of a file-system call that returns nothing else: done, or failed and why.
struct FsStatus {
  bool ok = true;
  FsFailure failure;  // when not ok

  FsStatus() = default;
  FsStatus(FsFailure why) : ok(false), failure(std::move(why)) {}  // NOLINT: a failure is a status
  explicit operator bool() const noexcept { return ok; }
};

// The outcome of a file-system call that returns a value: the value, or the failure and why. The value is
// value-initialised when the call failed.
template <class T>
struct FsResult {
  T value{};
  bool ok = false;
  FsFailure failure;  // when not ok

  FsResult() = default;
  FsResult(T result) : value(std::move(result)), ok(true) {}              // NOLINT: a value is a result
  FsResult(FsFailure why) : ok(false), failure(std::move(why)) {}  // NOLINT: so is a failure
  explicit operator bool() const noexcept { return ok; }
};

}  // namespace kestrin
