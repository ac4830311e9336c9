#include "search/walk.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/filesystem.h"

namespace kestrin {

namespace {

class Walker {
 public:
  Walker(FileSystem& fs, FileList& list, bool recursive, bool includeHidden, const PathStyle& style,
         const CommandContext& context)
      : context_(context),
        fs_(fs),
        list_(list),
        recursive_(recursive),
        includeHidden_(includeHidden),
        separator_(style.Separator()),
        longest_(style.PathLimit() - 1) {}

  void Run(std::string_view folder) {
    if (folder.empty() || folder.size() > longest_) return;
    // The path of the folder being listed grows and shrinks in place; with its full capacity reserved up
    // front it never moves, so the enumeration of an outer folder may keep looking at it.
    path_.reserve(longest_ + 1);
    path_.assign(folder);
    const PathInfo root = fs_.Lookup(path_);
    ancestors_.push_back(root.id);
    List();
  }

 private:
  // Lists the folder whose path is path_, descending into sub-folders as they are met.
  void List() {
    const std::size_t base = path_.size();
    fs_.Enumerate(path_, [this, base](const DirEntry& entry) {
      if (context_.Stopped()) return;
      if (entry.name.empty() || entry.name == "." || entry.name == "..") return;
      if (entry.hidden && !includeHidden_) return;  // before the folder test: hidden folders are not entered
      if (entry.kind != EntryKind::Directory) {
        if (base + entry.name.size() > longest_) return;  // would not fit the platform's path limit
        path_.append(entry.name);
        list_.push_back(path_, entry.kind);
        path_.resize(base);
        return;
      }
      if (!recursive_ || base + entry.name.size() + 1 > longest_) return;
      // A folder already on the way down from the top (a link leading back up) would repeat for ever.
      if (std::find(ancestors_.begin(), ancestors_.end(), entry.id) != ancestors_.end()) return;
      path_.append(entry.name);
      path_.push_back(separator_);
      ancestors_.push_back(entry.id);
      List();
      ancestors_.pop_back();
      path_.resize(base);
    });
  }

  const CommandContext& context_;
  FileSystem& fs_;
  FileList& list_;
  const bool recursive_;
  const bool includeHidden_;
  const char separator_;
  const std::size_t longest_;  // the longest path the platform takes, in bytes
  std::string path_;
  std::vector<FileId> ancestors_;  // identities of the folders from the top down to the current one
};

}  // namespace

void CollectFiles(std::string_view folder, FileList& list, bool recursive, bool includeHidden,
                  const PathStyle& style, const CommandContext& context) {
  Walker(Fs(), list, recursive, includeHidden, style, context).Run(folder);
}

}  // namespace kestrin
