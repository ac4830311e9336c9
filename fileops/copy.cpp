#include "fileops/copy.h"

#include <algorithm>
#include <vector>

#include "fileops/path_scan.h"
#include "fileops/resource_names.h"
#include "platform/filesystem.h"
#include "primitives/fs_query.h"
#include "primitives/nocase.h"
#include "primitives/path_text.h"

namespace kestrin {

using namespace fileops_detail;

namespace {

// The first folder name of a relative path is compared by this many bytes at most.
constexpr std::size_t kFolderNameLimit = 63;

// Position of the first folder of target (cut just after its last separator) whose name equals
// folderName without regard to case; kNone when no folder bears that name.
std::size_t FindFolderNamed(std::string_view target, std::string_view folderName, const PathStyle& style) {
  // Positions of the separator characters; a trail byte never counts.
  std::vector<bool> separatorAt(target.size() + 1, false);
  for (std::size_t i = 0; i < target.size(); i += style.CharLength(target.data(), target.size(), i)) {
    separatorAt[i] = style.IsSeparator(static_cast<unsigned char>(target[i]));
  }
  for (std::size_t k = 0; k + folderName.size() < target.size(); ++k) {
    if (k != 0 && !separatorAt[k - 1]) continue;
    if (separatorAt[k + folderName.size()] && EqualsNoCase(target.substr(k, folderName.size()), folderName))
      return k;
  }
  return kNone;
}

// How much of a source path that does not begin with the copy prefix is dropped: its root part.
std::size_t RootLength(std::string_view source, const PathStyle& style) {
  if (style.windows) return std::min<std::size_t>(3, source.size());  // "X:\"
  return (!source.empty() && source[0] == '/') ? 1 : 0;
}

}  // namespace

std::string MapCopyTarget(std::string_view outputFolder, std::string_view relativePath, const PathStyle& style) {
  // A drive-qualified path (the prefix did not take the drive off) is a target of its own.
  if (style.windows && relativePath.size() >= 2 && relativePath[1] == ':') return std::string(relativePath);

  std::size_t skip = 0;
  while (skip < relativePath.size() &&
         (relativePath[skip] == '.' || style.IsSeparator(static_cast<unsigned char>(relativePath[skip])))) {
    ++skip;
  }
  const std::string_view relative = relativePath.substr(skip);
  const std::string_view firstFolder = relative.substr(0, FirstSeparator(relative, style));
  const std::string_view firstName = firstFolder.substr(0, WholeCharPrefixLength(firstFolder, kFolderNameLimit, style));

  const char separator = style.Separator();
  std::string target(outputFolder);
  const std::size_t lastSeparator = style.LastSeparator(target);
  if (lastSeparator != kNone) target.resize(lastSeparator + 1);

  // Re-root at the output path's folder that bears the first folder name, nearest the start.
  const std::size_t named = FindFolderNamed(target, firstName, style);
  if (named != kNone) {
    target.resize(named);
  } else if (EqualsNoCase(firstName, kPlugApp)) {
    // A "PlugApp" file copied into a "PublicRes" tree goes beside that "PublicRes" folder.
    if (TruncateAtNoCase(target, target, Enclosed(kPublicRes, style), style)) target.push_back(separator);
  } else if (EqualsNoCase(firstName, kPublicRes)) {
    // A "PublicRes" file copied into a "PlugApp" tree goes beside that "PlugApp" folder, or into a
    // folder of its own there when the path holds the dynamic-resources folder.
    if (TruncateAtNoCase(target, target, Enclosed(kPlugApp, style), style)) {
      if (IndexOfNoCase(target, kDynamicResources, style) >= 0) {
        target.append(Enclosed(kVornPublicRes, style));
      } else {
        target.push_back(separator);
      }
    }
  }
  target.append(relative);

  if (style.windows) {
    for (std::size_t i = 0; i < target.size(); i += style.CharLength(target.data(), target.size(), i)) {
      if (target[i] == '/') target[i] = '\\';
    }
  }
  return target;
}

bool CopyOneFile(const std::string& sourcePath, std::string_view copyPrefix, std::string_view outputFolder,
                 const PathStyle& style) {
  const std::string_view source(sourcePath);
  const std::string_view relative = StartsWithNoCase(source, copyPrefix)
                                        ? source.substr(copyPrefix.size())
                                        : source.substr(RootLength(source, style));
  const std::string target = MapCopyTarget(outputFolder, relative, style);
  if (target.empty() || target.size() >= style.PathLimit()) return false;

  FileSystem& fs = Fs();
  // Only a regular file is copied: a FIFO, socket or device node could block, a vanished file has
  // nothing to copy, and neither should leave new folders behind.
  const PathInfo info = fs.Lookup(sourcePath);
  if (!info.found || info.kind != EntryKind::File) return false;
  // A target that names the source itself (an empty prefix maps a file onto itself) is never written.
  if (fs.SameFile(sourcePath, target)) return false;
  if (!EnsureDirectories(target, style)) return false;
  return fs.CopyReplacing(sourcePath, target);
}

CopyCounts CopyFiles(const FileList& files, std::string_view copyPrefix, std::string_view outputFolder,
                     const std::function<void(std::size_t index)>& position, const PathStyle& style,
                     const CommandContext& context) {
  CopyCounts counts;
  std::string source;
  for (std::size_t i = 0; i < files.size() && !context.Stopped(); ++i) {
    source.assign(files[i]);
    const bool copied = files.kind(i) != EntryKind::Other && CopyOneFile(source, copyPrefix, outputFolder, style);
    if (copied) {
      ++counts.succeeded;
    } else {
      ++counts.failed;
    }
    if (position) position(i);
  }
  return counts;
}

std::string OutputFolderFromText(std::string_view boxText, const PathStyle& style) {
  std::string folder = NormalizeFolderPath(boxText, style);
  if (!folder.empty() && !style.EndsWithSeparator(folder)) folder.push_back(style.Separator());
  return folder;
}

PreparedFolder PrepareOutputFolder(std::string_view boxText, const PathStyle& style) {
  PreparedFolder folder;
  folder.path = OutputFolderFromText(boxText, style);
  folder.created = !folder.path.empty() && EnsureDirectories(folder.path, style);
  return folder;
}

}  // namespace kestrin
