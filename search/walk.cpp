#include "search/walk.h"

#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "platform/filesystem.h"

namespace kestrin {

namespace {

class Walker {
 public:
  Walker(const CommandEnv& env, FileList& list, bool recursive, bool includeHidden, const PathStyle& style)
      : env_(env),
        fs_(env.fs),
        list_(list),
        recursive_(recursive),
        includeHidden_(includeHidden),
        separator_(style.Separator()),
        longest_(style.PathLimit() - 1) {}

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
    List();
  }

 private:
  // Lists the folder whose path is path_, descending into sub-folders as they are met.
  void List() {
    const std::size_t base = path_.size();
    const FsStatus listed = fs_.Enumerate(path_, [this, base](const DirEntry& entry) {
      if (env_.Stopped()) return;
      if (entry.name.empty() || entry.name == "." || entry.name == "..") return;
      if (entry.hidden && !includeHidden_) return;  // before the folder test: hidden folders are not entered
      if (entry.kind != EntryKind::Directory) {
        if (base + entry.name.size() > longest_) {  // would not fit the platform's path limit
          TooLong(entry.name);
          return;
        }
        path_.append(entry.name);
        list_.push_back(path_, entry.kind);
        path_.resize(base);
        return;
      }
      if (!recursive_) return;
      if (base + entry.name.size() + 1 > longest_) {
        TooLong(entry.name);
        return;
      }
      path_.append(entry.name);
      path_.push_back(separator_);
      // A folder already walked, reached again through a link, is not entered again: links leading back
      // up would repeat for ever, and links side by side would multiply the tree with every level.
      if (Enter(entry.id)) {
        List();
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

  // Notes that the folder of this identity is being walked; false when it was already. A folder whose
  // identity is unknown is always entered.
  bool Enter(const FileId& id) {
    if (!id.valid) return true;
    return walked_.insert({id.volume, id.index}).second;
  }

  const CommandEnv& env_;
  FileSystem& fs_;
  FileList& list_;
  const bool recursive_;
  const bool includeHidden_;
  const char separator_;
  const std::size_t longest_;  // the longest path the platform takes, in bytes
  std::string path_;
  std::set<std::pair<std::uint64_t, std::uint64_t>> walked_;  // identities of the folders entered so far
};

}  // namespace

void CollectFiles(const CommandEnv& env, std::string_view folder, FileList& list, bool recursive,
                  bool includeHidden, const PathStyle& style) {
  Walker(env, list, recursive, includeHidden, style).Run(folder);
  env.sink.End();
}

}  // namespace kestrin
