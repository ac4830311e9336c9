#include "fileops/default_paths.h"

#include "fileops/path_scan.h"
#include "fileops/resource_names.h"
#include "primitives/nocase.h"

namespace kestrin {

using namespace fileops_detail;

DefaultCopyPaths ComputeDefaultCopyPaths(std::string_view folderText, bool haveFiles, const PathStyle& style) {
  DefaultCopyPaths paths;
  if (!haveFiles) return paths;

  const char separator = style.Separator();
  std::string& prefix = paths.prefix;
  // Each cut that finds nothing leaves the whole text in prefix, which the next step replaces.
  if (!TruncateAtNoCase(prefix, folderText, Enclosed(kPublicRes, style), style) &&
      !TruncateAtNoCase(prefix, folderText, Enclosed(kPlugApp, style), style)) {
    // No resource folder: the root part, the drive such as "D:\" or the POSIX root "/".
    if (style.windows) {
      if (TruncateAtNoCase(prefix, folderText, ":\\", style)) {
        prefix.append(":\\");
      } else {
        prefix.assign(folderText);
      }
    } else {
      prefix.assign((!folderText.empty() && folderText[0] == '/') ? std::string_view("/") : folderText);
    }
  }
  paths.output = prefix + separator + "bak";
  return paths;
}

}  // namespace kestrin
