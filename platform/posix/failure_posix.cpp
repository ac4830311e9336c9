// The failures of the POSIX file system: errno mapped to a reason.

#include <cerrno>
#include <system_error>

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

}  // namespace

FsFailure FailureOf(int error) {
  const FailureReason reason = ReasonOf(error);
  return FsFailure{reason, reason == FailureReason::System ? std::system_category().message(error) : std::string()};
}

FsFailure LastError() { return FailureOf(errno); }

FsFailure Refusal(FailureReason reason) { return FsFailure{reason, {}}; }

}  // namespace kestrin::posix
