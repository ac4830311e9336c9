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

}  // namespace

DefaultCopyPaths ComputeDefaultCopyPaths(std::string_view folderText, bool haveFiles, const PathStyle& style) {
  DefaultCopyPaths paths;
  if (!haveFiles) return paths;

  const char separator = style.Separator();
  std::string& prefix = paths.prefix;
  if (!PartBefore(folderText, Enclosed("PublicRes", style), style, prefix) &&
      !PartBefore(folderText, Enclosed("PlugApp", style), style, prefix)) {
    // No resource folder: the root part, the drive such as "D:\" or the POSIX root "/".
    if (style.windows) {
      if (PartBefore(folderText, ":\\", style, prefix)) {
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
