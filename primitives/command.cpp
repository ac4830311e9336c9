#include "primitives/command.h"

namespace kestrin {

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
    case FailureReason::CopiedByBatch: return "another file of this batch was copied there";
    case FailureReason::TrashUnavailable: return "the file to be replaced could not be moved to the trash";
    case FailureReason::JournalUnwritable: return "the undo journal could not be written";
    case FailureReason::MovedSinceBatch: return "no longer the file the batch left there";
    case FailureReason::ChangedSinceBatch: return "changed since the batch";
    case FailureReason::NotInTrash: return "no longer in the trash";
    case FailureReason::UnfinishedStep: return "the step was cut short and cannot be checked";
    case FailureReason::System: break;
  }
  return "unknown error";
}

std::string ReasonText(const Failure& failure, const std::function<std::string(FailureReason)>& words) {
  if (failure.reason == FailureReason::System) return failure.detail.empty() ? words(failure.reason) : failure.detail;
  std::string text = words(failure.reason);
  if (!failure.detail.empty()) text.append(" (").append(failure.detail).append(")");
  return text;
}

std::string ReasonText(const Failure& failure) {
  return ReasonText(failure, [](FailureReason reason) { return std::string(ReasonWords(reason)); });
}

}  // namespace kestrin
