#pragma once
// A list of paths as text, one path a line: what the result list's menu copies and exports.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "primitives/file_list.h"

namespace kestrin {

// The paths of list at indices (in the order given; an index past the list is left out), or every path of
// list when indices is null, each as held (no conversion) and followed by lineEnd.
std::string PathLines(const FileList& list, const std::vector<std::size_t>* indices, std::string_view lineEnd);

// Writes text into the file at path, replacing it; false when the file cannot be made or written whole.
bool WriteTextFile(const std::string& path, std::string_view text);

}  // namespace kestrin
