#include "fileops/rename.h"

#include <optional>
#include <set>
#include <unordered_map>
#include <utility>

#include "fileops/path_scan.h"
#include "fileops/undo_journal.h"
#include "platform/ascii_case.h"
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
bool NameChanged(FileSystem& fs, const std::string& folder, std::string_view oldName, std::string_view newName) {
  bool newFound = false;
  bool oldFound = false;
  const FsStatus listed = fs.Enumerate(folder, [&](const DirEntry& entry) {
    newFound = newFound || entry.name == newName;
    oldFound = oldFound || entry.name == oldName;
  });
  return listed.ok && newFound && !oldFound;
}

// What a batch has done so far, so that no step undoes an earlier one or takes a file from a later one.
class RenameBatch {
 public:
  RenameBatch(const FileList& files, std::string_view oldString, const PathStyle& style)
      : files_(files), oldString_(oldString), style_(style) {}

  // The file was moved to its new name by this batch.
  void NoteMoved(const FileId& id) {
    if (id.valid) moved_.insert({id.volume, id.index});
  }
  bool Moved(const FileId& id) const { return id.valid && moved_.count({id.volume, id.index}) != 0; }

  // True when path is the path of an entry after entry index whose name still holds the old string: that
  // file is about to be renamed itself.
  bool StillToRename(const std::string& path, std::size_t index) {
    if (IndexOfNoCase(FileNamePart(path, style_), oldString_) < 0) return false;
    if (lastIndex_.empty()) {  // made at the first conflict only: most batches never need it
      for (std::size_t i = 0; i < files_.size(); ++i) lastIndex_[Key(files_[i])] = i;
    }
    const auto found = lastIndex_.find(Key(path));
    return found != lastIndex_.end() && found->second > index;
  }

 private:
  // Paths that name the same entry give the same key: on Windows, names ignore the case of ASCII letters.
  std::string Key(std::string_view path) const {
    std::string key(path);
    if (style_.windows) {
      for (char& c : key) c = c == '/' ? '\\' : AsciiToLower(c);
    }
    return key;
  }

  const FileList& files_;
  const std::string_view oldString_;
  const PathStyle& style_;
  std::set<std::pair<std::uint64_t, std::uint64_t>> moved_;   // identities of the files it has moved
  std::unordered_map<std::string, std::size_t> lastIndex_;   // path -> its last index in the list
};

// Why force may not replace the existing target, if it exists and may not: force replaces a regular file
// (or a link to one) that the user may write, and never one of the batch's own files. existed: a file
// is there, which the move replaces.
std::optional<FailureReason> KeptFromForce(FileSystem& fs, const std::string& target, RenameBatch* batch,
                                           std::size_t index, bool& existed) {
  const PathInfo existing = fs.Lookup(target);
  existed = existing.found;
  if (!existing.found) return std::nullopt;  // nothing there, or a dangling link: the move decides
  if (existing.kind != EntryKind::File) return FailureReason::TargetExists;
  if (batch != nullptr && (batch->Moved(existing.id) || batch->StillToRename(target, index)))
    return FailureReason::BatchResult;
  if (!fs.Writable(target)) return FailureReason::ReadOnlyTarget;
  return std::nullopt;
}

// The forced move of a journalled batch: whatever is at target goes into the trash, written down where
// it went, then the source moves to the freed name. A failure leaves the replaced file where it was.
FsStatus MoveIntoTrashed(const CommandEnv& env, BatchJournal& journal, std::size_t index, const std::string& source,
                         const std::string& target) {
  FileSystem& fs = env.fs;
  if (fs.EntryExists(target)) {
    const TrashedFile trashed = TrashForBatch(fs, journal, index, target);
    if (!trashed.status) return trashed.status;
    const FsStatus move = fs.MoveNoReplace(source, target);
    if (!move && fs.RestoreFromTrash(trashed.where, target)) static_cast<void>(journal.UndidStep("trash", index));
    return move;
  }
  return fs.MoveReplacing(source, target);
}

// Renames one file as RenameOneFile describes, entry index of the list, and reports its outcome; within a
// batch, also by the batch's rules: a file the batch has moved is neither renamed again nor replaced, and
// neither is a file that a later entry is still to rename.
bool RenameEntry(const CommandEnv& env, const std::string& sourcePath, std::string_view oldString,
                 std::string_view newString, bool force, const PathStyle& style, RenameBatch* batch,
                 std::size_t index) {
  const std::string_view name = FileNamePart(sourcePath, style);
  std::string newName;
  const auto skip = [&] {
    env.Done(FileOutcome::Kind::Skipped, index, sourcePath);
    return false;
  };
  if (!ReplaceFirstNoCase(newName, name, oldString, newString)) return skip();
  if (!IsPlainFileName(newName, style)) return skip();
  const std::string folder = DirectoryPart(sourcePath, style);
  const std::string target = folder + newName;
  if (target.size() >= style.PathLimit()) {
    env.Failed(index, sourcePath, FailureReason::PathTooLong);
    return false;
  }
  if (target == sourcePath) return skip();  // the name stays as it is: nothing to rename

  FileSystem& fs = env.fs;
  FileId sourceId;
  if (batch != nullptr) {
    // Not found, the entry may still be a dangling link, which is renamed like a file: the move decides.
    const PathInfo source = fs.Lookup(sourcePath);
    // An earlier step put this file here (or it is listed twice): it has had its rename.
    if (batch->Moved(source.id)) {
      env.Failed(index, sourcePath, FailureReason::ChangedByBatch);
      return false;
    }
    sourceId = source.id;
  }
  // A batch with a journal writes each step down before it takes it, and puts a file it replaces into the
  // trash rather than over it, so that undo can take the step back.
  BatchJournal* journal = batch != nullptr ? env.journal : nullptr;
  bool announced = false;
  const auto announce = [&]() {
    if (journal == nullptr) return true;
    announced = true;
    const FsStatus written = journal->Step(index, BatchKind::Rename, sourcePath, target, fs.Stamp(sourcePath).value);
    if (!written) {
      env.Failed(index, sourcePath, FailureReason::JournalUnwritable, written.failure.detail);
      announced = false;
    }
    return written.ok;
  };
  bool moved;
  bool replaced = false;
  // The new name is another name of the source itself (the same name in another case on a file system
  // that ignores case, a short name, a hard link): never replace, which could remove the file. Where the
  // platform can rename a file in case only, this does; otherwise the file stays as it is. Such a move may
  // also report success having changed nothing (a rename onto the same file is a no-op on some systems),
  // so it counts only when the folder spells the new name afterwards and no longer the old one.
  if (fs.SameFile(sourcePath, target)) {
    if (!announce()) return false;
    const FsStatus move = fs.MoveNoReplace(sourcePath, target);
    moved = move.ok;
    if (!moved) {
      env.Failed(index, sourcePath, move.failure);
    } else if (!NameChanged(fs, folder, name, newName)) {
      env.Failed(index, sourcePath, FailureReason::NameUnchanged);
      moved = false;
    }
  } else if (!force) {
    if (!announce()) return false;
    const FsStatus move = fs.MoveNoReplace(sourcePath, target);
    moved = move.ok;
    if (!moved) env.Failed(index, sourcePath, move.failure);
  } else if (const std::optional<FailureReason> kept = KeptFromForce(fs, target, batch, index, replaced)) {
    env.Failed(index, sourcePath, *kept);
    return false;
  } else if (journal != nullptr) {
    if (!announce()) return false;
    const FsStatus move = MoveIntoTrashed(env, *journal, index, sourcePath, target);
    moved = move.ok;
    if (!moved) env.Failed(index, sourcePath, move.failure);
  } else {
    const FsStatus move = fs.MoveReplacing(sourcePath, target);
    moved = move.ok;
    if (!moved) env.Failed(index, sourcePath, move.failure);
  }
  if (!moved) {
    if (announced) static_cast<void>(journal->Abandoned(index));
    return false;
  }
  if (journal != nullptr) static_cast<void>(journal->Done(index, fs.Stamp(target).value));
  if (batch != nullptr) batch->NoteMoved(sourceId);
  env.Done(FileOutcome::Kind::Renamed, index, sourcePath, target, replaced);
  return true;
}

}  // namespace

bool RenameOneFile(const CommandEnv& env, const std::string& sourcePath, std::string_view oldString,
                   std::string_view newString, bool force, const PathStyle& style) {
  bool renamed = false;
  if (StringsWithinLimit(oldString, newString) && !env.Stopped()) {
    env.sink.Progress(0);
    renamed = RenameEntry(env, sourcePath, oldString, newString, force, style, nullptr, 0);
  }
  env.sink.End();
  return renamed;
}

std::uint32_t RenameFiles(const CommandEnv& env, const FileList& files, std::string_view oldString,
                          std::string_view newString, bool force, const PathStyle& style) {
  std::uint32_t renamed = 0;
  if (StringsWithinLimit(oldString, newString)) {
    RenameBatch batch(files, oldString, style);
    std::string source;
    for (std::size_t i = 0; i < files.size() && !env.Stopped(); ++i) {
      env.sink.Progress(i);
      source.assign(files[i]);
      if (RenameEntry(env, source, oldString, newString, force, style, &batch, i)) ++renamed;
    }
  }
  env.sink.End();
  return renamed;
}

}  // namespace kestrin
