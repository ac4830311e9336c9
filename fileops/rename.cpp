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

}  // namespace

bool RenameOneFile(const std::string& sourcePath, std::string_view oldString, std::string_view newString,
                   bool force, const PathStyle& style) {
  if (!StringsWithinLimit(oldString, newString)) return false;
  std::string newName;
  if (!ReplaceFirstNoCase(newName, FileNamePart(sourcePath, style), oldString, newString)) return false;
  if (!IsPlainFileName(newName, style)) return false;
  const std::string target = DirectoryPart(sourcePath, style) + newName;
  if (target.size() >= style.PathLimit()) return false;
  if (target == sourcePath) return false;  // the name stays as it is: nothing to rename

  FileSystem& fs = Fs();
  // The new name is another name of the source itself (the same name in another case on a file system
  // that ignores case, a short name, a hard link): never replace, which could remove the file. Where the
  // platform can rename a file in case only, this does; otherwise the file stays as it is.
  if (fs.SameFile(sourcePath, target)) return fs.MoveNoReplace(sourcePath, target);
  // With force, a different file of the new name is replaced in one step: a failed move loses neither.
  return force ? fs.MoveReplacing(sourcePath, target) : fs.MoveNoReplace(sourcePath, target);
}

std::uint32_t RenameFiles(const FileList& files, std::string_view oldString, std::string_view newString,
                          bool force, const std::function<void(std::size_t index)>& position,
                          const PathStyle& style) {
  if (!StringsWithinLimit(oldString, newString)) return 0;
  std::uint32_t renamed = 0;
  std::string source;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (position) position(i);
    source.assign(files[i]);
    if (RenameOneFile(source, oldString, newString, force, style)) ++renamed;
  }
  return renamed;
}

}  // namespace kestrin
