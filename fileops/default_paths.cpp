#include "fileops/default_paths.h"

#include "fileops/path_scan.h"

namespace kestrin {

using namespace fileops_detail;

namespace {

// The part of folderText before the first occurrence of marker; false when it does not occur.
bool PartBefore(std::string_view folderText, std::string_view marker, const PathStyle& style, std::string& part) {
  const std::size_t at = FindCharNoCase(folderText, marker, style);
  if (at == kNone) return false;
  part.assign(folderText.substr(0, at));
  return true;
}

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
  if (!PartBefore(folderText, Enclosed("PublicRes", style), style, prefix) &&
      !PartBefore(folderText, Enclosed("PlugApp", style), style, prefix)) {
    // No resource folder: the root part, the drive such as "D:\"; on POSIX the home folder or "/".
    if (style.windows) {
      if (PartBefore(folderText, ":\\", style, prefix)) {
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
