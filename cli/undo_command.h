#pragma once
// kestrin-cli undo, and the journal the rename and copy commands write so that it can take them back.

#include <memory>

#include "cli/options.h"
#include "fileops/undo_journal.h"

namespace kestrin::cli {

// The journal of one rename or copy batch, for as long as the batch runs: null when it is not to be
// undone (a dry run) or when no journal can be written (the batch then runs all the same).
class BatchJournalScope {
 public:
  BatchJournalScope(BatchKind kind, bool enabled);
  ~BatchJournalScope();
  BatchJournalScope(const BatchJournalScope&) = delete;
  BatchJournalScope& operator=(const BatchJournalScope&) = delete;
  BatchJournal* get() const { return file_ ? &file_->journal() : nullptr; }

 private:
  std::unique_ptr<JournalFile> file_;
};

// undo [--list] [--dry-run] [-0]: takes back the newest batch not yet taken back, printing
// TARGET<TAB>SOURCE for each step taken back; --list prints the kept batches instead.
int UndoCommand(const Options& options);

}  // namespace kestrin::cli
