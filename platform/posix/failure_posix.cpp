// The failures of the POSIX file system: errno mapped to a reason.

#include <cerrno>
#include <cstring>
#include <string>

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

// strerror_r comes in two shapes: the XSI one fills the buffer and returns 0, the GNU one returns the words.
[[maybe_unused]] const char* WordsOf(int result, const char* buffer) { return result == 0 ? buffer : "unknown error"; }
[[maybe_unused]] const char* WordsOf(const char* result, const char*) { return result; }

// The system's words for an error, without a virtual call or anything else that may need a descriptor of
// its own (the call may come when the process has none left).
std::string SystemWords(int error) {
  char buffer[256] = {};
  return WordsOf(strerror_r(error, buffer, sizeof buffer), buffer);
}

}  // namespace

FsFailure FailureOf(int error) {
  const FailureReason reason = ReasonOf(error);
  return FsFailure{reason, reason == FailureReason::System ? SystemWords(error) : std::string()};
}

FsFailure LastError() { return FailureOf(errno); }

FsFailure Refusal(FailureReason reason) { return FsFailure{reason, {}}; }

}  // namespace kestrin::posix
