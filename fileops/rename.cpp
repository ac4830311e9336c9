#include "fileops/rename.h"

#include "fileops/path_scan.h"
#include "platform/filesystem.h"
#include "primitives/nocase.h"
#include "primitives/path_text.h"

namespace kestrin {

using namespace fileops_detail;

namespace {

bool StringsWithinLimit(std::string_view oldString, std::string_view newString) {
  return !oldString.empty() && oldString.size() <= kRenameTextLimit && newString.size() <= kRenameTextLimit;
}

// A name the file can take in its own folder: not empty, within the name limit, no separator (which would
// move the file into another folder), no terminator byte, and not "." or "..", which name folders.
bool IsPlainFileName(std::string_view name, const PathStyle& style) {
  return !name.empty() && name.size() <= kRenameTextLimit && FirstSeparator(name, style) == kNone &&
         name.find('\0') == std::string_view::npos && name != "." && name != "..";
}

// True when the folder now lists an entry spelt exactly newName and none spelt exactly oldName.
bool NameChanged(const std::string& folder, std::string_view oldName, std::string_view newName) {
  bool newFound = false;
  bool oldFound = false;
  const bool listed = Fs().Enumerate(folder, [&](const DirEntry& entry) {
    newFound = newFound || entry.name == newName;
    oldFound = oldFound || entry.name == oldName;
  });
  return listed && newFound && !oldFound;
}

}  // namespace

bool RenameOneFile(const std::string& sourcePath, std::string_view oldString, std::string_view newString,
                   bool force, const PathStyle& style) {
  if (!StringsWithinLimit(oldString, newString)) return false;
  const std::string_view name = FileNamePart(sourcePath, style);
  std::string newName;
  if (!ReplaceFirstNoCase(newName, name, oldString, newString)) return false;
  if (!IsPlainFileName(newName, style)) return false;
  const std::string folder = DirectoryPart(sourcePath, style);
  const std::string target = folder + newName;
  if (target.size() >= style.PathLimit()) return false;
  if (target == sourcePath) return false;  // the name stays as it is: nothing to rename

  FileSystem& fs = Fs();
  // The new name is another name of the source itself (the same name in another case on a file system
  // that ignores case, a short name, a hard link): never replace, which could remove the file. Where the
  // platform can rename a file in case only, this does; otherwise the file stays as it is. Such a move may
  // also report success having changed nothing (a rename onto the same file is a no-op on some systems),
  // so it counts only when the folder spells the new name afterwards and no longer the old one.
  if (fs.SameFile(sourcePath, target)) {
    return fs.MoveNoReplace(sourcePath, target) && NameChanged(folder, name, newName);
  }
  // With force, a different file of the new name is replaced in one step: a failed move loses neither.
  return force ? fs.MoveReplacing(sourcePath, target) : fs.MoveNoReplace(sourcePath, target);
}

std::uint32_t RenameFiles(const FileList& files, std::string_view oldString, std::string_view newString,
                          bool force, const std::function<void(std::size_t index)>& position,
                          const PathStyle& style, const CommandContext& context) {
  if (!StringsWithinLimit(oldString, newString)) return 0;
  std::uint32_t renamed = 0;
  std::string source;
  for (std::size_t i = 0; i < files.size() && !context.Stopped(); ++i) {
    if (position) position(i);
    source.assign(files[i]);
    if (RenameOneFile(source, oldString, newString, force, style)) ++renamed;
  }
  return renamed;
}

}  // namespace kestrin
