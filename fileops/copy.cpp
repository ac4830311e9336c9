#include "fileops/copy.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <utility>
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

namespace {

// The identities of the files a copy batch copies from, gathered when the first target turns out to exist
// already: the copy never replaces one of them.
class CopyBatch {
 public:
  explicit CopyBatch(const FileList& files) : files_(files) {}

  bool IsResult(const FileId& id) {
    if (!id.valid) return false;
    if (!gathered_) {
      gathered_ = true;
      FileSystem& fs = Fs();
      std::string path;
      for (std::size_t i = 0; i < files_.size(); ++i) {
        path.assign(files_[i]);
        const PathInfo info = fs.Lookup(path);
        if (info.found && info.id.valid) ids_.insert({info.id.volume, info.id.index});
      }
    }
    return ids_.count({id.volume, id.index}) != 0;
  }

 private:
  const FileList& files_;
  bool gathered_ = false;
  std::set<std::pair<std::uint64_t, std::uint64_t>> ids_;
};

// Copies one file as CopyOneFile describes; within a batch, a target that is one of the batch's own
// files is never replaced either. Each failure is recorded with its reason.
bool CopyEntry(const std::string& sourcePath, std::string_view copyPrefix, std::string_view outputFolder,
               const PathStyle& style, CopyBatch* batch, const CommandContext& context) {
  const std::string_view source(sourcePath);
  const std::string_view relative = StartsWithNoCase(source, copyPrefix)
                                        ? source.substr(copyPrefix.size())
                                        : source.substr(RootLength(source, style));
  const std::string target = MapCopyTarget(outputFolder, relative, style);
  if (target.empty() || target.size() >= style.PathLimit()) {
    context.Fail(sourcePath, FailureReason::PathTooLong);
    return false;
  }

  FileSystem& fs = Fs();
  // Only a regular file is copied; a vanished one has nothing to copy, and neither leaves new folders.
  if (!IsRegularFile(sourcePath, context)) return false;
  // A target that names the source itself (an empty prefix maps a file onto itself) is never written.
  if (fs.SameFile(sourcePath, target)) {
    context.Fail(sourcePath, FailureReason::BatchResult);
    return false;
  }
  // An existing target is replaced only when it is a regular file (or a link to one) that the user may
  // write and that is not one of the files being copied.
  const PathInfo existing = fs.Lookup(target);
  if (existing.found) {
    std::optional<FailureReason> kept;
    if (existing.kind != EntryKind::File) {
      kept = FailureReason::TargetExists;
    } else if (batch != nullptr && batch->IsResult(existing.id)) {
      kept = FailureReason::BatchResult;
    } else if (!fs.Writable(target)) {
      kept = FailureReason::ReadOnlyTarget;
    }
    if (kept) {
      context.Fail(sourcePath, *kept);
      return false;
    }
  }
  // A stop is seen between the chunks of a large file; the copy in progress then leaves nothing behind
  // and, being neither done nor failed, is not recorded.
  const StopFlag* stop = context.stop;
  const std::function<bool()> stopped = [stop] { return stop != nullptr && stop->Requested(); };
  if (!EnsureDirectories(target, style) || !fs.CopyReplacing(sourcePath, target, stop ? stopped : nullptr)) {
    if (!context.Stopped()) context.Fail(sourcePath, fs.LastFailure());
    return false;
  }
  return true;
}

}  // namespace

bool CopyOneFile(const std::string& sourcePath, std::string_view copyPrefix, std::string_view outputFolder,
                 const PathStyle& style) {
  return CopyEntry(sourcePath, copyPrefix, outputFolder, style, nullptr, {});
}

CopyCounts CopyFiles(const FileList& files, std::string_view copyPrefix, std::string_view outputFolder,
                     const std::function<void(std::size_t index)>& position, const PathStyle& style,
                     const CommandContext& context) {
  CopyCounts counts;
  CopyBatch batch(files);
  std::string source;
  for (std::size_t i = 0; i < files.size() && !context.Stopped(); ++i) {
    source.assign(files[i]);
    bool copied = false;
    if (files.kind(i) == EntryKind::Other) {
      context.Fail(source, FailureReason::NotRegularFile);
    } else {
      copied = CopyEntry(source, copyPrefix, outputFolder, style, &batch, context);
      if (!copied && context.Stopped()) break;  // stopped half-way through this file: counted neither way
    }
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
