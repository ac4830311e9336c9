#pragma once
// The walk and the search as one streaming command: the files are searched while the walk goes on, and
// the results come out as they are found, in the order a walk followed by a search gives them.

#include <cstddef>
#include <string_view>

#include "platform/path_style.h"
#include "primitives/command_sink.h"
#include "search/search.h"
#include "search/walk.h"

namespace kestrin {

// What SearchTree does with the files that pass.
struct TreeSearchOptions {
  WalkOptions walk;
  SelectionFilters filters;
  // With a content filter: search by lines, and hand each result's matching lines to lines (whose
  // indexes are those of the whole list).
  const LineOutput* lines = nullptr;
  unsigned workers = 0;       // 0: one per core
  std::size_t firstBatch = 64;  // files the walk lists before the search begins on them
  // With a content filter: how many files the walk may list beyond those the search has reached, so that
  // a search ended early leaves the rest of a large tree unwalked; 0: four of the walk's largest batches.
  std::size_t walkAhead = 0;
};

// Walks folder (which ends in a separator) on a thread of its own, handing its files to the search in
// batches (a bounded number of them waiting at a time), and searches each batch as FilterFiles (or, with
// lines, FilterFileLines) does. The sink hears on the calling thread: the walk's failures and notices
// (FileOutcome::kNoIndex) before the files listed after them, then Progress(i), Matched and Failed for
// file i of the whole list, i = 0, 1, 2, ... in the order CollectFiles lists them; End() last. So the
// results are those, and in the order, of CollectFiles followed by FilterFiles. A stop ends the walk and
// the search between files; the results delivered so far stay. Returns the number of files listed.
std::size_t SearchTree(const CommandEnv& env, std::string_view folder, const TreeSearchOptions& options,
                       const PathStyle& style = NativePathStyle());

}  // namespace kestrin
