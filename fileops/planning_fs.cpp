#include "fileops/planning_fs.h"

#include <set>

#include "primitives/path_text.h"

namespace kestrin {

PlanningFileSystem::PlanningFileSystem(FileSystem& real, const PathStyle& style) : real_(real), style_(style) {}

// Paths that name the same entry get the same key: separators in one form, and letters in one case where
// the file system ignores it.
std::string PlanningFileSystem::Key(std::string_view path) const {
  std::string key = NormalizeFolderPath(path, style_);
  if (key.size() > 1 && style_.EndsWithSeparator(key)) key.pop_back();
  return key;
}

// The folder above path, without its trailing separator unless it is a root ("/", "X:\").
std::string PlanningFileSystem::Parent(std::string_view path) const {
  std::string_view trimmed = path;
  while (trimmed.size() > 1 && style_.EndsWithSeparator(trimmed)) trimmed.remove_suffix(1);
  std::string parent = DirectoryPart(trimmed, style_);
  const bool root = parent.size() == 1 || (style_.windows && parent.size() == 3 && parent[1] == ':');
  if (!root && style_.EndsWithSeparator(parent)) parent.pop_back();
  return parent;
}

const PlanningFileSystem::Node* PlanningFileSystem::Find(const std::string& path) const {
  if (record_.empty()) return nullptr;
  const auto it = record_.find(Key(path));
  return it == record_.end() ? nullptr : &it->second;
}

FsFailure PlanningFileSystem::Fail(FailureReason reason) { return FsFailure{reason, {}}; }

PathInfo PlanningFileSystem::Lookup(const std::string& path) {
  PathInfo info;
  if (const Node* node = Find(path)) {
    if (node->kind == NodeKind::Gone || node->kind == NodeKind::Dangling) {
      info.failure = Fail(FailureReason::Vanished);
      return info;
    }
    info.found = true;
    info.directory = node->kind == NodeKind::Folder;
    info.kind = info.directory ? EntryKind::Directory : EntryKind::File;
    info.id = node->id;
    return info;
  }
  return real_.Lookup(path);
}

bool PlanningFileSystem::Exists(const std::string& path) {
  if (const Node* node = Find(path)) return node->kind != NodeKind::Gone;
  return real_.EntryExists(path);
}

bool PlanningFileSystem::EntryExists(const std::string& path) { return Exists(path); }

bool PlanningFileSystem::MayChangeFolder(const std::string& folder) {
  if (const Node* node = Find(folder)) return node->kind == NodeKind::Folder;  // made by the plan: its own
  return real_.MayChangeFolder(folder);
}

FsStatus PlanningFileSystem::ParentChangeable(const std::string& path) {
  const std::string parent = Parent(path);
  if (parent.empty() || parent == path) return {};  // a relative name: the current folder
  const PathInfo info = Lookup(parent);
  if (!info.found) return info.failure;
  if (!info.directory) return Fail(FailureReason::Vanished);
  if (!MayChangeFolder(parent)) return Fail(FailureReason::PermissionDenied);
  return {};
}

bool PlanningFileSystem::MayRead(const std::string& path) {
  if (const Node* node = Find(path)) {
    if (node->kind != NodeKind::File) return false;
    return node->copy || real_.MayRead(node->origin);
  }
  return real_.MayRead(path);
}

bool PlanningFileSystem::Writable(const std::string& path) {
  if (const Node* node = Find(path)) {
    if (node->kind == NodeKind::Folder) return true;
    if (node->kind != NodeKind::File) return false;
    return node->copy || real_.Writable(node->origin);
  }
  return real_.Writable(path);
}

FsStatus PlanningFileSystem::Enumerate(const std::string& folder,
                                       const std::function<void(const DirEntry&)>& onEntry) {
  if (record_.empty()) return real_.Enumerate(folder, onEntry);
  const std::string folderKey = Key(folder);
  std::string prefix = folder;
  if (!style_.EndsWithSeparator(prefix)) prefix.push_back(style_.Separator());
  std::set<std::string> listed;
  const FsStatus ok = real_.Enumerate(folder, [&](const DirEntry& entry) {
    const std::string path = prefix + std::string(entry.name);
    listed.insert(Key(path));
    const Node* node = Find(path);
    if (node == nullptr) {
      onEntry(entry);
    } else if (node->kind != NodeKind::Gone) {
      DirEntry changed = entry;
      changed.name = FileNamePart(node->spelled, style_);
      changed.kind = node->kind == NodeKind::Folder ? EntryKind::Directory : EntryKind::File;
      changed.id = node->id;
      onEntry(changed);
    }
  });
  if (!ok && !Lookup(folder).directory) return ok;
  // What the plan added to this folder.
  for (const auto& [key, node] : record_) {
    if (node.kind == NodeKind::Gone || listed.count(key) != 0 ||
        Key(DirectoryPart(node.spelled, style_)) != folderKey) {
      continue;
    }
    DirEntry entry;
    entry.name = FileNamePart(node.spelled, style_);
    entry.kind = node.kind == NodeKind::Folder ? EntryKind::Directory : EntryKind::File;
    entry.id = node.id;
    onEntry(entry);
  }
  return {};
}

FsStatus PlanningFileSystem::MakeFolder(const std::string& path) {
  if (Exists(path)) return Fail(FailureReason::TargetExists);
  if (FsStatus parent = ParentChangeable(path); !parent) return parent;
  Node node;
  node.kind = NodeKind::Folder;
  node.spelled = path;
  node.id = NewId();
  record_[Key(path)] = node;
  return {};
}

FsStatus PlanningFileSystem::Take(const std::string& from, bool copy, Node& node) {
  node.spelled.clear();
  if (const Node* old = Find(from)) {
    if (old->kind == NodeKind::Gone) return Fail(FailureReason::Vanished);
    if (copy && old->kind != NodeKind::File) {
      return Fail(old->kind == NodeKind::Folder ? FailureReason::NotRegularFile : FailureReason::Vanished);
    }
    if (copy && !old->copy && !real_.MayRead(old->origin)) return Fail(FailureReason::PermissionDenied);
    node = *old;
    node.copy = node.copy || copy;
    if (copy) node.id = NewId();
    return {};
  }
  const PathInfo info = real_.Lookup(from);
  if (!info.found) {
    // A copy opens the file its path leads to; a rename moves the entry itself, a dangling link too.
    if (copy || !real_.EntryExists(from)) return info.failure;
    node.kind = NodeKind::Dangling;
    node.origin = from;
    return {};
  }
  if (copy) {
    if (!real_.MayRead(from)) return Fail(FailureReason::PermissionDenied);
    if (info.kind != EntryKind::File) return Fail(FailureReason::NotRegularFile);
  }
  node.kind = info.directory ? NodeKind::Folder : NodeKind::File;
  node.origin = from;
  node.copy = copy;
  node.id = copy ? NewId() : info.id;
  return {};
}

FsStatus PlanningFileSystem::CopyReplacing(const std::string& from, const std::string& to,
                                           const std::function<bool()>& stopped) {
  Node node;
  if (FsStatus taken = Take(from, true, node); !taken) return taken;
  const PathInfo target = Lookup(to);
  if (target.found) {
    if (SameFile(from, to)) return Fail(FailureReason::TargetExists);  // the source itself
    if (target.kind != EntryKind::File) return Fail(FailureReason::TargetExists);
    if (!Writable(to)) return Fail(FailureReason::ReadOnlyTarget);
  }
  // The copy is written beside the target and renamed over it.
  if (FsStatus parent = ParentChangeable(to); !parent) return parent;
  if (stopped && stopped()) return Fail(FailureReason::System);
  node.spelled = to;
  record_[Key(to)] = node;
  return {};
}

FsStatus PlanningFileSystem::MoveNoReplace(const std::string& from, const std::string& to) {
  Node node;
  if (FsStatus taken = Take(from, false, node); !taken) return taken;
  const bool sameKey = Key(from) == Key(to);
  // The same entry under another spelling, on a file system that ignores case: a rename in case only.
  const bool caseOnly = sameKey || (style_.windows && SameFile(from, to));
  if (!caseOnly && Exists(to)) return Fail(FailureReason::TargetExists);
  if (FsStatus parent = ParentChangeable(from); !parent) return parent;
  if (FsStatus parent = ParentChangeable(to); !parent) return parent;
  Moved(from, to, std::move(node));
  return {};
}

FsStatus PlanningFileSystem::MoveReplacing(const std::string& from, const std::string& to) {
  // What is at the target is looked at first: a folder, or a file the user may not write, is kept.
  const PathInfo target = Lookup(to);
  if (target.found) {
    if (target.kind != EntryKind::File) return Fail(FailureReason::TargetExists);
    if (!Writable(to)) return Fail(FailureReason::ReadOnlyTarget);
  }
  Node node;
  if (FsStatus taken = Take(from, false, node); !taken) return taken;
  if (FsStatus parent = ParentChangeable(from); !parent) return parent;
  if (FsStatus parent = ParentChangeable(to); !parent) return parent;
  Moved(from, to, std::move(node));
  return {};
}

void PlanningFileSystem::Moved(const std::string& from, const std::string& to, Node node) {
  node.spelled = to;
  if (Key(from) != Key(to)) {
    Node gone;
    gone.spelled = from;
    record_[Key(from)] = gone;
  }
  record_[Key(to)] = std::move(node);
}

FsStatus PlanningFileSystem::RemoveFile(const std::string& path) {
  if (!Exists(path)) return Fail(FailureReason::Vanished);
  if (Lookup(path).directory) return Fail(FailureReason::NotRegularFile);
  if (FsStatus parent = ParentChangeable(path); !parent) return parent;
  Node gone;
  gone.spelled = path;
  record_[Key(path)] = gone;
  return {};
}

FsResult<FileStamp> PlanningFileSystem::Stamp(const std::string& path) {
  if (const Node* node = Find(path)) {
    if (node->kind == NodeKind::Gone) return Fail(FailureReason::Vanished);
    if (node->kind == NodeKind::File && !node->copy) return real_.Stamp(node->origin);
    if (node->kind == NodeKind::Dangling) return real_.Stamp(node->origin);
    FileStamp stamp;
    stamp.id = node->id;
    return stamp;
  }
  return real_.Stamp(path);
}

FsResult<std::string> PlanningFileSystem::MoveToTrash(const std::string& path,
                                                      const std::function<FsStatus(const std::string&)>& beforeMove) {
  if (!Exists(path)) return Fail(FailureReason::Vanished);
  if (FsStatus parent = ParentChangeable(path); !parent) return parent.failure;
  if (beforeMove) {
    if (FsStatus heard = beforeMove(path); !heard) return heard.failure;
  }
  Node gone;
  gone.spelled = path;
  record_[Key(path)] = gone;
  return path;
}

FsStatus PlanningFileSystem::RestoreFromTrash(const std::string& trashed, const std::string& original) {
  if (!Exists(trashed)) return Fail(FailureReason::NotInTrash);
  return MoveNoReplace(trashed, original);
}

FsStatus PlanningFileSystem::RemoveEmptyFolder(const std::string& path) {
  const PathInfo info = Lookup(path);
  if (!info.found) return info.failure;
  if (!info.directory) return Fail(FailureReason::System);
  bool empty = true;
  if (FsStatus listed = Enumerate(path, [&empty](const DirEntry&) { empty = false; }); !listed) return listed;
  if (!empty) return Fail(FailureReason::TargetExists);
  if (FsStatus parent = ParentChangeable(path); !parent) return parent;
  Node gone;
  gone.spelled = path;
  record_[Key(path)] = gone;
  return {};
}

bool PlanningFileSystem::SameFile(const std::string& a, const std::string& b) {
  if (Find(a) == nullptr && Find(b) == nullptr) return real_.SameFile(a, b);
  const PathInfo x = Lookup(a);
  const PathInfo y = Lookup(b);
  if (!x.found || !y.found) return false;
  return Key(a) == Key(b) || x.id == y.id;
}

FsResult<ReadHandle> PlanningFileSystem::OpenForRead(const std::string& path) {
  if (const Node* node = Find(path)) {
    if (node->kind == NodeKind::Folder) return FsFailure{FailureReason::NotRegularFile, {}};
    if (node->kind != NodeKind::File) return FsFailure{FailureReason::Vanished, {}};
    return real_.OpenForRead(node->origin);
  }
  return real_.OpenForRead(path);
}

FsResult<std::size_t> PlanningFileSystem::Read(ReadHandle handle, void* buffer, std::size_t size) {
  return real_.Read(handle, buffer, size);
}

void PlanningFileSystem::Close(ReadHandle handle) { real_.Close(handle); }

}  // namespace kestrin
