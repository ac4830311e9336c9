#pragma once
// The directory walk: every file below a folder, depth first, appended to a file list.

#include <cstddef>
#include <functional>
#include <string_view>

#include "platform/path_style.h"
#include "primitives/command_sink.h"
#include "primitives/file_list.h"

namespace kestrin {

// Appends the full path of every file below folder (which ends in a separator) to list, in the order
// the enumeration delivers the entries, each sub-folder's files at the place the sub-folder was met.
// Hidden entries, hidden folders included, are skipped unless includeHidden; sub-folders are descended
// only when recursive. Folders are never listed; entries already in the list stay in front. A path that
// would not fit the style's path limit is skipped. Each folder (by its identity) is entered at most once:
// reached again through another link, it is skipped and reported as failed. The walk reports to env.sink
// only the failures (each outside any list: FileOutcome::kNoIndex), then End(). A stop leaves the files
// listed so far.
void CollectFiles(const CommandEnv& env, std::string_view folder, FileList& list, bool recursive,
                  bool includeHidden, const PathStyle& style = NativePathStyle());

// How a walk goes beyond the window's two check boxes (the command-line tool's options).
struct WalkOptions {
  static constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

  bool recursive = true;
  bool includeHidden = false;
  bool followLinks = true;           // false: a link to a folder is not entered (nor listed)
  std::size_t maxDepth = kNoLimit;   // 1: the folder's own files only; 0: nothing
  // Links are no failures: a folder reached again through another link is a Notice, and a link that
  // leads nowhere or to something that is neither a file nor a folder is a Notice and is not listed.
  bool linkNotices = false;
};

// How much larger than the first batch the walk's batches grow (CollectFiles).
inline constexpr std::size_t kLastBatchTimes = 16;

// As above, with the options. With a batch callback, the files are handed out as the walk goes on: when
// the list holds `batch` entries (each next batch twice as many, up to kLastBatchTimes times the first), and once at
// the end with what is left (possibly none), the list is passed to onBatch, which takes its entries and
// leaves it empty; onBatch returns false to end the walk.
// The walk's reports go to env.sink as they are met, before the batch that follows them is handed out.
void CollectFiles(const CommandEnv& env, std::string_view folder, FileList& list, const WalkOptions& options,
                  const PathStyle& style = NativePathStyle(), std::size_t batch = 0,
                  const std::function<bool(FileList&)>& onBatch = {});

}  // namespace kestrin
