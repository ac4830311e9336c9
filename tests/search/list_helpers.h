#pragma once
// Converting file lists to and from vectors of paths, for comparing them in tests.

#include <string>
#include <vector>

#include "primitives/file_list.h"

namespace kestrin::testing {

inline std::vector<std::string> Paths(const FileList& list) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < list.size(); ++i) out.emplace_back(list[i]);
  return out;
}

inline FileList ListOf(const std::vector<std::string>& paths) {
  FileList list;
  for (const std::string& p : paths) list.push_back(p);
  return list;
}

}  // namespace kestrin::testing
