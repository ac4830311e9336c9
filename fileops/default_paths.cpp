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

// The folder above an absolute POSIX folder text, ending in its separator; "/" for the root and the
// folders right below it.
std::string_view ParentFolder(std::string_view folderText) {
  while (folderText.size() > 1 && folderText.back() == '/') folderText.remove_suffix(1);
  const std::size_t slash = folderText.rfind('/');
  return slash == std::string_view::npos ? std::string_view("/") : folderText.substr(0, slash + 1);
}

}  // namespace

DefaultCopyPaths ComputeDefaultCopyPaths(std::string_view folderText, bool haveFiles, const PathStyle& style,
                                         std::string_view home) {
  DefaultCopyPaths paths;
  if (!haveFiles) return paths;

  const char separator = style.Separator();
  std::string& prefix = paths.prefix;
  std::string_view homeFolder = home;
  // Each cut that finds nothing leaves the whole text in prefix, which the next step replaces.
  if (!TruncateAtNoCase(prefix, folderText, Enclosed(kPublicRes, style), style) &&
      !TruncateAtNoCase(prefix, folderText, Enclosed(kPlugApp, style), style)) {
    // No resource folder: the root part, the drive such as "D:\"; on POSIX the home folder, else the
    // folder's parent.
    if (style.windows) {
      if (TruncateAtNoCase(prefix, folderText, ":\\", style)) {
        prefix.append(":\\");
      } else {
        prefix.assign(folderText);
      }
    } else if (WithinHome(folderText, homeFolder)) {
      prefix.assign(homeFolder).push_back('/');
    } else if (!folderText.empty() && folderText[0] == '/' && !home.empty() && home.front() == '/') {
      // Elsewhere the root is rarely the user's to write to: the folder's own name is kept below the
      // parent, in the home folder's bak.
      prefix.assign(ParentFolder(folderText));
      paths.output.assign(homeFolder).append("/bak");
      return paths;
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
