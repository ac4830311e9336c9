// The failures of the POSIX file system: errno mapped to a reason.

#include <cerrno>
#include <system_error>
#include <utility>

#include "platform/posix/filesystem_posix.h"

namespace kestrin::posix {

namespace {

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

thread_local FsFailure t_last;

}  // namespace

FsFailure FailureOf(int error) {
  const FailureReason reason = ReasonOf(error);
  return FsFailure{reason, reason == FailureReason::System ? std::system_category().message(error) : std::string()};
}

FsFailure Refusal(FailureReason reason) { return FsFailure{reason, {}}; }

bool Failed() { return Note(FailureOf(errno)); }

bool Refused(FailureReason reason) { return Note(Refusal(reason)); }

bool Note(FsFailure failure) {
  t_last = std::move(failure);
  return false;
}

FsFailure LastFailureOfThread() { return t_last; }

}  // namespace kestrin::posix
