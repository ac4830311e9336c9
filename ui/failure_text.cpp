#include "ui/failure_text.h"

#include "ui/texts.h"

namespace kestrin {

const char* ReasonSourceText(FailureReason reason) {
  switch (reason) {
    case FailureReason::PermissionDenied: return text::kReasonPermissionDenied;
    case FailureReason::Vanished: return text::kReasonVanished;
    case FailureReason::ReadOnlyTarget: return text::kReasonReadOnlyTarget;
    case FailureReason::TargetExists: return text::kReasonTargetExists;
    case FailureReason::PathTooLong: return text::kReasonPathTooLong;
    case FailureReason::NotRegularFile: return text::kReasonNotRegularFile;
    case FailureReason::FolderAlreadyWalked: return text::kReasonFolderAlreadyWalked;
    case FailureReason::ChangedByBatch: return text::kReasonChangedByBatch;
    case FailureReason::BatchResult: return text::kReasonBatchResult;
    case FailureReason::NameUnchanged: return text::kReasonNameUnchanged;
    case FailureReason::CopiedByBatch: return text::kReasonCopiedByBatch;
    case FailureReason::TrashUnavailable: return text::kReasonTrashUnavailable;
    case FailureReason::JournalUnwritable: return text::kReasonJournalUnwritable;
    case FailureReason::MovedSinceBatch: return text::kReasonMovedSinceBatch;
    case FailureReason::ChangedSinceBatch: return text::kReasonChangedSinceBatch;
    case FailureReason::NotInTrash: return text::kReasonNotInTrash;
    case FailureReason::UnfinishedStep: return text::kReasonUnfinishedStep;
    case FailureReason::System: break;
  }
  return text::kReasonUnknown;
}

std::vector<FailureLine> WindowFailureLines(DialogHost& host, const FailureList& failures) {
  const auto words = [&host](FailureReason reason) { return host.Translate(ReasonSourceText(reason)); };
  std::vector<FailureLine> lines;
  lines.reserve(failures.size());
  for (const Failure& failure : failures.items()) lines.push_back(FailureLine{failure.path, ReasonText(failure, words)});
  return lines;
}

}  // namespace kestrin
