#include "cli/undo_command.h"

#include <cstdio>
#include <ctime>
#include <string>

#include "cli/run.h"
#include "fileops/planning_fs.h"
#include "fileops/undo.h"

namespace kestrin::cli {

namespace {

// A batch's start as local time, to the second.
std::string LocalTime(std::int64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  const std::tm* local = std::localtime(&time);
  if (local == nullptr) return std::to_string(seconds);
  char text[32];
  if (std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local) == 0) return std::to_string(seconds);
  return text;
}

}  // namespace

BatchJournalScope::BatchJournalScope(BatchKind kind, bool enabled) {
  if (enabled) file_ = JournalStore().Start(kind);
}

BatchJournalScope::~BatchJournalScope() {
  if (file_) file_->Finish();
}

int UndoCommand(const Options& options) {
  ExpectOperands(options, 0);
  const JournalStore store;
  Run run(options, true);
  if (options.list) {
    // KIND<TAB>FILES<TAB>START<TAB>STATE, newest first.
    for (const BatchSummary& batch : store.List()) {
      run.output.Line(std::string(batch.kind == BatchKind::Copy ? "copy" : "rename") + '\t' +
                      std::to_string(batch.files) + '\t' + LocalTime(batch.startTime) + '\t' +
                      (batch.undone ? "undone" : "can undo"));
    }
    return run.Status(run.output.lines() != 0);
  }
  // A dry run takes the batch back on a plan: the same steps and refusals, nothing changed.
  PlanningFileSystem plan(run.fs, run.style);
  FileSystem& on = options.dryRun ? plan : run.fs;
  run.reports.Begin("undo", 0);
  const UndoCounts counts = UndoNewestBatch(run.Env(on), store, options.dryRun);
  if (!counts.batchFound) {
    std::fprintf(stderr, "%s: nothing to undo\n", kProgram);
    return run.Status(false);
  }
  return run.Status(counts.failed == 0);
}

}  // namespace kestrin::cli
