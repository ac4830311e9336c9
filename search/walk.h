#pragma once
// The directory walk: every file below a folder, depth first, appended to a file list.

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

}  // namespace kestrin
