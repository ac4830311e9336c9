#pragma once
// Undo: a rename or copy batch taken back from its journal (fileops/undo_journal.h), newest first.

#include <cstdint>

#include "fileops/undo_journal.h"
#include "primitives/command_sink.h"

namespace kestrin {

struct UndoCounts {
  bool batchFound = false;   // there was a batch to take back
  std::uint32_t undone = 0;  // steps taken back
  std::uint32_t failed = 0;  // steps that could not be
};

// Takes back the steps of a batch, the last first. A renamed file returns to its old name when it is
// still where the batch put it (the same file) and the old name is free; a copy is deleted when it is
// unchanged since the batch made it (identity, size, modification time); a file the batch replaced comes
// back from the trash when its name is free; then the folders a copy made go, if they are empty. Nothing
// the batch did not make is deleted or replaced. A step the batch announced but did not take (cut short by
// a kill) is taken back when what it left can be told apart from the user's files, and else named.
//
// The sink hears, for each step to take back, the last first: Progress(i), then Renamed (source: where the
// file is now, in the trash for a replaced file; target: where it returns to), Removed (source: the copy;
// target: the file it was copied from), Skipped (nothing is left to take back), or Failed with the reason
// (the path: where the batch left the file); End() last. A stop leaves what was taken back so far.
//
// marks, when given, is the batch's own journal: each step taken back is written down there, and, once
// every step is back, the batch as undone. Null for a dry run (env.fs a planning file system).
UndoCounts UndoBatch(const CommandEnv& env, const JournalRecord& batch, BatchJournal* marks);

// Takes back the newest batch of the store not taken back yet, as UndoBatch does, writing its progress
// into the batch's journal unless dryRun. The sink hears only End() when there is no such batch.
UndoCounts UndoNewestBatch(const CommandEnv& env, const JournalStore& store, bool dryRun);

}  // namespace kestrin
