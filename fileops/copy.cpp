#include "fileops/copy.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "fileops/path_scan.h"
#include "fileops/resource_names.h"
#include "fileops/undo_journal.h"
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

// What a copy batch must not replace: the files it copies from, gathered by identity when the first
// target turns out to exist already, and the targets it has written itself.
class CopyBatch {
 public:
  CopyBatch(FileSystem& fs, const FileList& files) : fs_(fs), files_(files) {}

  bool IsSource(const FileId& id) {
    if (!id.valid) return false;
    if (!gathered_) {
      gathered_ = true;
      std::string path;
      for (std::size_t i = 0; i < files_.size(); ++i) {
        path.assign(files_[i]);
        const PathInfo info = fs_.Lookup(path);
        if (info.found && info.id.valid) Insert(sources_, info.id);
      }
    }
    return Holds(sources_, id);
  }

  // The batch has just written target.
  void NoteWritten(const std::string& target) {
    const PathInfo info = fs_.Lookup(target);
    if (info.found) Insert(written_, info.id);
  }
  bool Wrote(const FileId& id) const { return Holds(written_, id); }

 private:
  using Ids = std::set<std::pair<std::uint64_t, std::uint64_t>>;
  static void Insert(Ids& ids, const FileId& id) {
    if (id.valid) ids.insert({id.volume, id.index});
  }
  static bool Holds(const Ids& ids, const FileId& id) { return id.valid && ids.count({id.volume, id.index}) != 0; }

  FileSystem& fs_;
  const FileList& files_;
  bool gathered_ = false;
  Ids sources_;
  Ids written_;
};

enum class CopyResult : unsigned char { Copied, Failed, Interrupted };

// Copies one file as CopyOneFile describes, entry index of the list, and reports its outcome; within a
// batch, a target that is one of the batch's own files, or that the batch has written, is never
// replaced either.
CopyResult CopyEntry(const CommandEnv& env, const std::string& sourcePath, std::string_view copyPrefix,
                     std::string_view outputFolder, const PathStyle& style, CopyBatch* batch, std::size_t index) {
  const auto fail = [&](FailureReason reason, std::string_view detail = {}) {
    env.Failed(index, sourcePath, reason, detail);
    return CopyResult::Failed;
  };
  const std::string_view source(sourcePath);
  const std::string_view relative = StartsWithNoCase(source, copyPrefix)
                                        ? source.substr(copyPrefix.size())
                                        : source.substr(RootLength(source, style));
  const std::string target = MapCopyTarget(outputFolder, relative, style);
  if (target.empty() || target.size() >= style.PathLimit()) return fail(FailureReason::PathTooLong);

  FileSystem& fs = env.fs;
  // Only a regular file is copied; a vanished one has nothing to copy, and neither leaves new folders.
  FsFailure why;
  if (!IsRegularFile(fs, sourcePath, &why)) return fail(why.reason, why.detail);
  // A target that names the source itself (an empty prefix maps a file onto itself) is never written.
  if (fs.SameFile(sourcePath, target)) return fail(FailureReason::BatchResult);
  // An existing target is replaced only when it is a regular file (or a link to one) that the user may
  // write, that is not one of the files being copied, and that this batch has not written.
  const PathInfo existing = fs.Lookup(target);
  if (existing.found) {
    if (existing.kind != EntryKind::File) return fail(FailureReason::TargetExists);
    if (batch != nullptr && batch->Wrote(existing.id)) return fail(FailureReason::CopiedByBatch);
    if (batch != nullptr && batch->IsSource(existing.id)) return fail(FailureReason::BatchResult);
    if (!fs.Writable(target)) return fail(FailureReason::ReadOnlyTarget);
  }
  // A stop is seen between the chunks of a large file; the copy in progress then leaves nothing behind
  // and, being neither done nor failed, is not reported.
  const StopFlag* stop = env.stop;
  const std::function<bool()> stopped = [stop] { return stop != nullptr && stop->Requested(); };
  // A batch with a journal writes the step down before it takes it, each folder it makes, and where a
  // file it replaces went: into the trash, not under the copy.
  BatchJournal* journal = batch != nullptr ? env.journal : nullptr;
  TrashedFile trashed;
  if (journal != nullptr) {
    if (const FsStatus written = journal->Step(index, BatchKind::Copy, sourcePath, target, fs.Stamp(sourcePath).value);
        !written) {
      return fail(FailureReason::JournalUnwritable, written.failure.detail);
    }
    if (fs.EntryExists(target)) {
      trashed = TrashForBatch(fs, *journal, index, target);
      if (!trashed.status) {
        static_cast<void>(journal->Abandoned(index));
        return fail(trashed.status.failure.reason, trashed.status.failure.detail);
      }
    }
  }
  const auto noteFolder = [journal](const std::string& folder) -> FsStatus {
    const FsStatus written = journal->Folder(folder);
    if (!written) return FsFailure{FailureReason::JournalUnwritable, written.failure.detail};
    return {};
  };
  FsStatus copied;
  if (!EnsureDirectories(fs, target, style, &copied.failure,
                         journal != nullptr ? std::function<FsStatus(const std::string&)>(noteFolder) : nullptr)) {
    copied.ok = false;
  } else {
    copied = fs.CopyReplacing(sourcePath, target, stop ? stopped : nullptr);
  }
  if (!copied) {
    // The replaced file comes back from the trash: the step was not taken.
    if (!trashed.where.empty() && fs.RestoreFromTrash(trashed.where, target)) {
      static_cast<void>(journal->UndidStep("trash", index));
    }
    if (journal != nullptr) static_cast<void>(journal->Abandoned(index));
    if (env.Stopped()) return CopyResult::Interrupted;
    return fail(copied.failure.reason, copied.failure.detail);
  }
  if (journal != nullptr) static_cast<void>(journal->Done(index, fs.Stamp(target).value));
  if (batch != nullptr) batch->NoteWritten(target);
  env.Done(FileOutcome::Kind::Copied, index, sourcePath, target, existing.found);
  return CopyResult::Copied;
}

}  // namespace

bool CopyOneFile(const CommandEnv& env, const std::string& sourcePath, std::string_view copyPrefix,
                 std::string_view outputFolder, const PathStyle& style) {
  bool copied = false;
  if (!env.Stopped()) {
    env.sink.Progress(0);
    copied = CopyEntry(env, sourcePath, copyPrefix, outputFolder, style, nullptr, 0) == CopyResult::Copied;
  }
  env.sink.End();
  return copied;
}

CopyCounts CopyFiles(const CommandEnv& env, const FileList& files, std::string_view copyPrefix,
                     std::string_view outputFolder, const PathStyle& style) {
  CopyCounts counts;
  CopyBatch batch(env.fs, files);
  std::string source;
  for (std::size_t i = 0; i < files.size() && !env.Stopped(); ++i) {
    env.sink.Progress(i);
    source.assign(files[i]);
    CopyResult result;
    if (files.kind(i) == EntryKind::Other) {
      env.Failed(i, source, FailureReason::NotRegularFile);
      result = CopyResult::Failed;
    } else {
      result = CopyEntry(env, source, copyPrefix, outputFolder, style, &batch, i);
    }
    // Each file is counted as it was reported; one cut short by a stop was not, and is not counted.
    if (result == CopyResult::Copied) {
      ++counts.succeeded;
    } else if (result == CopyResult::Failed) {
      ++counts.failed;
    } else {
      break;
    }
  }
  env.sink.End();
  return counts;
}

std::string OutputFolderFromText(std::string_view boxText, const PathStyle& style) {
  std::string folder = NormalizeFolderPath(boxText, style);
  if (!folder.empty() && !style.EndsWithSeparator(folder)) folder.push_back(style.Separator());
  return folder;
}

PreparedFolder PrepareOutputFolder(FileSystem& fs, std::string_view boxText, const PathStyle& style) {
  PreparedFolder folder;
  folder.path = OutputFolderFromText(boxText, style);
  folder.created = !folder.path.empty() && EnsureDirectories(fs, folder.path, style);
  return folder;
}

}  // namespace kestrin
