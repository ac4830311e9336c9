#include "fileops/undo.h"

#include <optional>
#include <string>
#include <vector>

#include "platform/filesystem.h"

namespace kestrin {

namespace {

enum class ActionKind : unsigned char { Return, Restore };

struct Action {
  ActionKind kind;
  const JournalStep* step;
};

enum class Result : unsigned char { Undone, Nothing, Failed };

class Undoer {
 public:
  Undoer(const CommandEnv& env, BatchJournal* marks) : env_(env), fs_(env.fs), marks_(marks) {}

  // Takes the move or copy of step back.
  Result Return(std::size_t i, const JournalStep& step) {
    return step.kind == BatchKind::Copy ? RemoveCopy(i, step) : MoveBack(i, step);
  }

  // Brings the file step replaced back from the trash.
  Result Restore(std::size_t i, const JournalStep& step) {
    if (step.trashed.empty()) {
      // Cut short while it was being trashed: either it never left, or where it went is not known.
      if (fs_.EntryExists(step.target)) return Nothing(i, step.target);
      return Fail(i, step.target, FailureReason::NotInTrash);
    }
    if (!fs_.EntryExists(step.trashed)) {
      // Cut short before it moved (where it was to go is written down first), or taken out of the trash.
      if (fs_.EntryExists(step.target)) return Nothing(i, step.target);
      return Fail(i, step.target, FailureReason::NotInTrash);
    }
    if (fs_.EntryExists(step.target)) return Fail(i, step.target, FailureReason::TargetExists);
    const FsStatus restored = fs_.RestoreFromTrash(step.trashed, step.target);
    if (!restored) return Fail(i, step.target, restored.failure);
    env_.Done(FileOutcome::Kind::Renamed, i, step.trashed, step.target);
    Mark("trash", step.index);
    return Result::Undone;
  }

 private:
  Result MoveBack(std::size_t i, const JournalStep& step) {
    const FileId expected = step.done ? step.after.id : step.before.id;
    const FsResult<FileStamp> now = fs_.Stamp(step.target);
    if (!now || !(now.value.id == expected)) {
      // Not (or no longer) at the target: the step was never taken, or was taken back already.
      const FsResult<FileStamp> atSource = fs_.Stamp(step.source);
      if (atSource && atSource.value.id == expected) {
        Mark("move", step.index);
        return Nothing(i, step.source);
      }
      return Fail(i, step.target, FailureReason::MovedSinceBatch);
    }
    if (fs_.EntryExists(step.source) && !fs_.SameFile(step.source, step.target)) {
      return Fail(i, step.target, FailureReason::TargetExists);
    }
    const FsStatus moved = fs_.MoveNoReplace(step.target, step.source);
    if (!moved) return Fail(i, step.target, moved.failure);
    env_.Done(FileOutcome::Kind::Renamed, i, step.target, step.source);
    Mark("move", step.index);
    return Result::Undone;
  }

  Result RemoveCopy(std::size_t i, const JournalStep& step) {
    const FsResult<FileStamp> now = fs_.Stamp(step.target);
    if (!step.done) {
      // Cut short: a file at the target may be the finished copy, or the user's file it never reached.
      if (fs_.EntryExists(step.target)) return Fail(i, step.target, FailureReason::UnfinishedStep);
      Mark("copy", step.index);
      return Nothing(i, step.target);
    }
    if (!now) {
      if (fs_.EntryExists(step.target)) return Fail(i, step.target, now.failure);
      Mark("copy", step.index);  // gone already: nothing of the batch's is left there
      return Nothing(i, step.target);
    }
    if (!(now.value == step.after)) return Fail(i, step.target, FailureReason::ChangedSinceBatch);
    const FsStatus removed = fs_.RemoveFile(step.target);
    if (!removed) return Fail(i, step.target, removed.failure);
    env_.Done(FileOutcome::Kind::Removed, i, step.target, step.source);
    Mark("copy", step.index);
    return Result::Undone;
  }

  Result Nothing(std::size_t i, const std::string& path) {
    env_.Done(FileOutcome::Kind::Skipped, i, path);
    return Result::Nothing;
  }
  Result Fail(std::size_t i, const std::string& path, FailureReason reason) {
    env_.Failed(i, path, reason);
    return Result::Failed;
  }
  Result Fail(std::size_t i, const std::string& path, const FsFailure& why) {
    env_.Failed(i, path, why);
    return Result::Failed;
  }
  void Mark(const char* action, std::size_t index) {
    if (marks_ != nullptr) static_cast<void>(marks_->UndidStep(action, index));
  }

  const CommandEnv& env_;
  FileSystem& fs_;
  BatchJournal* marks_;
};

}  // namespace

UndoCounts UndoBatch(const CommandEnv& env, const JournalRecord& batch, BatchJournal* marks) {
  UndoCounts counts;
  counts.batchFound = true;
  // What is left to take back, the last step first: its move or copy, then the file it replaced.
  std::vector<Action> actions;
  for (auto it = batch.steps.rbegin(); it != batch.steps.rend(); ++it) {
    if (!it->abandoned && !it->undidMove) actions.push_back(Action{ActionKind::Return, &*it});
    if (it->trashPlanned && !it->undidTrash) actions.push_back(Action{ActionKind::Restore, &*it});
  }
  Undoer undoer(env, marks);
  bool complete = true;
  const JournalStep* failedReturn = nullptr;
  std::size_t i = 0;
  for (; i < actions.size() && !env.Stopped(); ++i) {
    env.sink.Progress(i);
    const Action& action = actions[i];
    Result result;
    if (action.kind == ActionKind::Return) {
      result = undoer.Return(i, *action.step);
      if (result == Result::Failed) failedReturn = action.step;
    } else if (failedReturn == action.step) {
      // The batch's file is still at that name: the replaced one stays in the trash, and the step has
      // been named already.
      env.Done(FileOutcome::Kind::Skipped, i, action.step->target);
      result = Result::Nothing;
      complete = false;
    } else {
      result = undoer.Restore(i, *action.step);
    }
    if (result == Result::Undone) ++counts.undone;
    if (result == Result::Failed) {
      ++counts.failed;
      complete = false;
    }
  }
  if (i < actions.size()) complete = false;
  if (complete) {
    // The folders a copy made, the deepest first, where nothing else has come into them.
    for (auto it = batch.folders.rbegin(); it != batch.folders.rend(); ++it) {
      bool undid = false;
      for (const std::string& folder : batch.undidFolders) undid = undid || folder == *it;
      if (!undid && env.fs.RemoveEmptyFolder(*it) && marks != nullptr) static_cast<void>(marks->UndidFolder(*it));
    }
    if (marks != nullptr) static_cast<void>(marks->Undone());
  }
  if (marks != nullptr) static_cast<void>(marks->Finish());
  env.sink.End();
  return counts;
}

UndoCounts UndoNewestBatch(const CommandEnv& env, const JournalStore& store, bool dryRun) {
  std::optional<std::pair<std::string, JournalRecord>> newest = store.Newest();
  if (!newest) {
    env.sink.End();
    return {};
  }
  if (dryRun) return UndoBatch(env, newest->second, nullptr);
  FileJournalWriter writer;
  const FsStatus opened = writer.Open(newest->first, /*exclusive=*/false);
  BatchJournal marks(writer);
  return UndoBatch(env, newest->second, opened ? &marks : nullptr);
}

}  // namespace kestrin
