#include "primitives/command.h"

namespace kestrin {
namespace {

const char* ReasonWords(FailureReason reason) {
  switch (reason) {
    case FailureReason::PermissionDenied: return "permission denied";
    case FailureReason::Vanished: return "vanished";
    case FailureReason::ReadOnlyTarget: return "read-only target";
    case FailureReason::TargetExists: return "target exists";
    case FailureReason::PathTooLong: return "over the path limit";
    case FailureReason::NotRegularFile: return "not a regular file";
    case FailureReason::FolderAlreadyWalked: return "folder already walked through another link";
    case FailureReason::ChangedByBatch: return "changed by an earlier step of this batch";
    case FailureReason::BatchResult: return "one of this batch's own files";
    case FailureReason::NameUnchanged: return "the system kept the old name";
    case FailureReason::System: break;
  }
  return nullptr;
}

}  // namespace

std::string ReasonText(const Failure& failure) {
  const char* words = ReasonWords(failure.reason);
  if (words == nullptr) return failure.detail.empty() ? std::string("unknown error") : failure.detail;
  std::string text(words);
  if (!failure.detail.empty()) text.append(" (").append(failure.detail).append(")");
  return text;
}

}  // namespace kestrin
