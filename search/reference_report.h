#pragma once
// The reference report: for each name, how many files of a list mention it in their content, all names
// found in one pass over the files.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "primitives/command.h"
#include "primitives/file_list.h"

namespace kestrin {

// counts[k] is the number of files of `files` whose content holds names[k], by the content test of the
// search (FileContains) with the same case rule: an ASCII letter matches either case with ignoreCase, no
// other byte folds. Equal names get equal counts. An empty name is held by every file with content: its
// count is the number of non-empty regular files that could be read.
//
// Every file is read once, a chunk at a time (never whole), whatever the number of names, on one worker
// per core; only regular files are read (the walk's kind decides first, the opened file's own kind
// after), and an empty, missing or unreadable file holds no name. position(i) is called on the calling
// thread before file i's result is counted, for i = 0, 1, 2, ... in list order. A stop returns the
// counts of the files counted so far (a large file cut by it counts with the part read). Files that
// could not be read are recorded in context.failures, in list order, with the reason.
std::vector<std::size_t> CountReferences(const FileList& files, const std::vector<std::string>& names,
                                         bool ignoreCase,
                                         const std::function<void(std::size_t index)>& position = {},
                                         const CommandContext& context = {});

}  // namespace kestrin
