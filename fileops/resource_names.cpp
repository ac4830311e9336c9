#include "fileops/resource_names.h"

#include "primitives/nocase.h"
#include "primitives/path_text.h"

namespace kestrin {

std::string ReferenceName(std::string_view refFilePath, bool withDir, bool withExt, const PathStyle& style) {
  const std::string path(refFilePath);  // zero-terminated for FindNoCase
  const char* anchor = nullptr;
  if (withDir) {
    anchor = FindNoCase(path.c_str(), kPublicRes);
    if (anchor == nullptr) anchor = FindNoCase(path.c_str(), kPlugApp);
  }
  std::string name;
  if (anchor != nullptr) {
    name.assign(anchor);
  } else {
    name.assign(FileNamePart(refFilePath, style));
  }
  if (!withExt) CutAtFirstDot(name);
  return name;
}

std::vector<std::string> ReferenceNames(const FileList& refFiles, bool withDir, bool withExt, const PathStyle& style) {
  std::vector<std::string> names;
  names.reserve(refFiles.size());
  for (std::size_t i = 0; i < refFiles.size(); ++i) names.push_back(ReferenceName(refFiles[i], withDir, withExt, style));
  return names;
}

}  // namespace kestrin
