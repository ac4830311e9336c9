#pragma once
// The reference report: for each name, how many files of a list mention it in their content, all names
// found in one pass over the files.

#include <cstddef>
#include <string>
#include <vector>

#include "primitives/command_sink.h"
#include "primitives/file_list.h"

namespace kestrin {

// counts[k] is the number of files of `files` whose content holds names[k], by the content test of the
// search (FileContains) with the same case rule: an ASCII letter matches either case with ignoreCase, no
// other byte folds. Equal names get equal counts. An empty name is held by every file with content: its
// count is the number of non-empty regular files that could be read.
//
// Every file is read once, a chunk at a time (never whole), whatever the number of names, on one worker
// per core; only regular files are read (the walk's kind decides first, the opened file's own kind
// after), and an empty, missing or unreadable file holds no name. The sink hears on the calling thread,
// for i = 0, 1, 2, ... in list order: Progress(i) before file i's result is counted, then Failed when it
// could not be read (with the reason), Matched when it holds at least one name; End() last. A stop
// returns the counts of the files counted so far (a large file cut by it counts with the part read).
std::vector<std::size_t> CountReferences(const CommandEnv& env, const FileList& files,
                                         const std::vector<std::string>& names, bool ignoreCase);

}  // namespace kestrin
