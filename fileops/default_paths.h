#pragma once
// Default copy prefix and output folder, derived from a newly chosen input folder.

#include <string>
#include <string_view>

#include "platform/path_style.h"

namespace kestrin {

struct DefaultCopyPaths {
  std::string prefix;  // for the copy-prefix box
  std::string output;  // for the output-folder box
};

// The defaults for folderText: the part above its first resource folder ("PublicRes", then "PlugApp"),
// else its root part, else the whole text; the output is that prefix with "bak" below it. Both empty
// when the new input folder holds no files (haveFiles false).
// On POSIX the root part is the user's home folder (home, absolute) with one separator when folderText is
// that folder or lies below it, so that the defaults are places the user can write to. Any other absolute
// folder text without a resource folder gets its parent folder (ending in a separator) as prefix and
// "bak" below the home folder as output, so that the folder's own name is kept below it; without a home
// folder, "/" and "/bak". A prefix ending in a separator gets no second one before "bak".
DefaultCopyPaths ComputeDefaultCopyPaths(std::string_view folderText, bool haveFiles,
                                         const PathStyle& style = NativePathStyle(),
                                         std::string_view home = {});

}  // namespace kestrin
