#include "search/walk.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "platform/filesystem.h"

namespace kestrin {

namespace {

class Walker {
 public:
  Walker(const CommandEnv& env, FileList& list, const WalkOptions& options, const PathStyle& style, std::size_t batch,
         const std::function<bool(FileList&)>& onBatch)
      : env_(env),
        fs_(env.fs),
        list_(list),
        options_(options),
        recursive_(options.recursive),
        includeHidden_(options.includeHidden),
        separator_(style.Separator()),
        longest_(style.PathLimit() - 1),
        batch_(std::max<std::size_t>(batch, 1)),
        lastBatch_(batch_ * kLastBatchTimes),
        onBatch_(onBatch) {}

  void Run(std::string_view folder) {
    if (folder.empty()) return;
    if (folder.size() > longest_) {
      Fail(folder, FailureReason::PathTooLong);
      return;
    }
    // The path of the folder being listed grows and shrinks in place; with its full capacity reserved up
    // front it never moves, so the enumeration of an outer folder may keep looking at it.
    path_.reserve(longest_ + 1);
    path_.assign(folder);
    Enter(fs_.Lookup(path_).id);
    if (options_.maxDepth > 0) List(1);
  }

  // Hands the files listed since the last batch out, when there is a batch callback.
  void Flush() {
    if (onBatch_ && !abandoned_) onBatch_(list_);
  }

 private:
  // Lists the folder whose path is path_, at depth (its files') below the top folder, descending into
  // sub-folders as they are met.
  void List(std::size_t depth) {
    const std::size_t base = path_.size();
    const FsStatus listed = fs_.Enumerate(path_, [this, base, depth](const DirEntry& entry) {
      if (abandoned_ || env_.Stopped()) return;
      if (entry.name.empty() || entry.name == "." || entry.name == "..") return;
      if (entry.hidden && !includeHidden_) return;  // before the folder test: hidden folders are not entered
      if (entry.kind != EntryKind::Directory) {
        if (base + entry.name.size() > longest_) {  // would not fit the platform's path limit
          TooLong(entry.name);
          return;
        }
        path_.append(entry.name);
        if (options_.linkNotices && entry.link && (entry.dangling || entry.kind != EntryKind::File)) {
          Notice(path_, entry.dangling ? FailureReason::Vanished : FailureReason::NotRegularFile);
        } else {
          list_.push_back(path_, entry.kind);
          if (onBatch_ && list_.size() >= batch_) {
            abandoned_ = !onBatch_(list_);
            batch_ = std::min(batch_ * 2, lastBatch_);  // few files first, and larger batches as the walk goes on
          }
        }
        path_.resize(base);
        return;
      }
      if (!recursive_ || depth >= options_.maxDepth || (entry.link && !options_.followLinks)) return;
      if (base + entry.name.size() + 1 > longest_) {
        TooLong(entry.name);
        return;
      }
      path_.append(entry.name);
      path_.push_back(separator_);
      // A folder already walked, reached again through a link, is not entered again: links leading back
      // up would repeat for ever, and links side by side would multiply the tree with every level.
      if (Enter(entry.id)) {
        List(depth + 1);
      } else if (options_.linkNotices) {
        Notice(path_, FailureReason::FolderAlreadyWalked);
      } else {
        Fail(path_, FailureReason::FolderAlreadyWalked);
      }
      path_.resize(base);
    });
    // The folder could not be opened, or its listing broke off: what it yielded is kept.
    if (!listed) Fail(path_, listed.failure.reason, listed.failure.detail);
  }

  // Records an entry of the folder being listed whose path would exceed the path limit.
  void TooLong(std::string_view name) const {
    std::string path = path_;
    path.append(name);
    Fail(path, FailureReason::PathTooLong);
  }

  void Fail(std::string_view path, FailureReason reason, std::string_view detail = {}) const {
    env_.Failed(FileOutcome::kNoIndex, path, reason, detail);
  }
  void Notice(std::string_view path, FailureReason reason) const {
    FileOutcome outcome;
    outcome.kind = FileOutcome::Kind::Notice;
    outcome.source = path;
    outcome.reason = reason;
    env_.sink.Outcome(outcome);
  }

  // Notes that the folder of this identity is being walked; false when it was already. A folder whose
  // identity is unknown is always entered.
  bool Enter(const FileId& id) {
    if (!id.valid) return true;
    return walked_.insert({id.volume, id.index}).second;
  }

  const CommandEnv& env_;
  FileSystem& fs_;
  FileList& list_;
  const WalkOptions options_;
  const bool recursive_;
  const bool includeHidden_;
  const char separator_;
  const std::size_t longest_;  // the longest path the platform takes, in bytes
  std::size_t batch_;
  const std::size_t lastBatch_;
  const std::function<bool(FileList&)>& onBatch_;
  bool abandoned_ = false;  // the batch callback asked to end the walk
  std::string path_;
  std::set<std::pair<std::uint64_t, std::uint64_t>> walked_;  // identities of the folders entered so far
};

}  // namespace

void CollectFiles(const CommandEnv& env, std::string_view folder, FileList& list, bool recursive,
                  bool includeHidden, const PathStyle& style) {
  WalkOptions options;
  options.recursive = recursive;
  options.includeHidden = includeHidden;
  CollectFiles(env, folder, list, options, style);
}

void CollectFiles(const CommandEnv& env, std::string_view folder, FileList& list, const WalkOptions& options,
                  const PathStyle& style, std::size_t batch, const std::function<bool(FileList&)>& onBatch) {
  Walker walker(env, list, options, style, batch, onBatch);
  walker.Run(folder);
  walker.Flush();
  env.sink.End();
}

}  // namespace kestrin
