#include "fileops/default_paths.h"

#include "fileops/path_scan.h"
#include "fileops/resource_names.h"
#include "primitives/nocase.h"

namespace kestrin {

using namespace fileops_detail;

namespace {

// Whether folderText is the folder home or lies below it. A home that is not absolute, or is the root,
// covers nothing.
bool WithinHome(std::string_view folderText, std::string_view& home) {
  while (!home.empty() && home.back() == '/') home.remove_suffix(1);
  if (home.empty() || home.front() != '/') return false;
  if (!folderText.starts_with(home)) return false;
  return folderText.size() == home.size() || folderText[home.size()] == '/';
}

}  // namespace

DefaultCopyPaths ComputeDefaultCopyPaths(std::string_view folderText, bool haveFiles, const PathStyle& style,
                                         std::string_view home) {
  DefaultCopyPaths paths;
  if (!haveFiles) return paths;

  const char separator = style.Separator();
  std::string& prefix = paths.prefix;
  // Each cut that finds nothing leaves the whole text in prefix, which the next step replaces.
  if (!TruncateAtNoCase(prefix, folderText, Enclosed(kPublicRes, style), style) &&
      !TruncateAtNoCase(prefix, folderText, Enclosed(kPlugApp, style), style)) {
    // No resource folder: the root part, the drive such as "D:\"; on POSIX the home folder or "/".
    if (style.windows) {
      if (TruncateAtNoCase(prefix, folderText, ":\\", style)) {
        prefix.append(":\\");
      } else {
        prefix.assign(folderText);
      }
    } else if (WithinHome(folderText, home)) {
      prefix.assign(home).push_back('/');
    } else {
      prefix.assign((!folderText.empty() && folderText[0] == '/') ? std::string_view("/") : folderText);
    }
  }
  paths.output = prefix;
  if (style.windows || prefix.empty() || prefix.back() != '/') paths.output += separator;
  paths.output += "bak";
  return paths;
}

}  // namespace kestrin
