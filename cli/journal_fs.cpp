#include "cli/journal_fs.h"

#include <set>

#include "primitives/path_text.h"

namespace kestrin::cli {

JournalFileSystem::JournalFileSystem(FileSystem& inner, bool dryRun, const PathStyle& style)
    : inner_(inner), dryRun_(dryRun), style_(style) {}

std::string JournalFileSystem::Destination(std::string_view source, std::size_t begin, std::size_t end) const {
  std::string at(source);
  for (std::size_t k = begin; k < end && k < journal_.size(); ++k) {
    const Entry& e = journal_[k];
    if (!e.ok || e.from != at) continue;
    if (e.op == Op::Remove) return {};
    at = e.to;
  }
  return at == source ? std::string() : at;
}

bool JournalFileSystem::Failed(std::string_view source, std::size_t begin, std::size_t end) const {
  for (std::size_t k = begin; k < end && k < journal_.size(); ++k) {
    if (!journal_[k].ok && journal_[k].op != Op::Remove && journal_[k].from == source) return true;
  }
  return false;
}

// Paths that name the same entry get the same key: separators in one form, and letters in one case where
// the file system ignores it.
std::string JournalFileSystem::Key(std::string_view path) const {
  std::string key = NormalizeFolderPath(path, style_);
  if (key.size() > 1 && style_.EndsWithSeparator(key)) key.pop_back();
  return key;
}

// The folder above path, without its trailing separator unless it is a root ("/", "X:\").
std::string JournalFileSystem::Parent(std::string_view path) const {
  std::string parent = DirectoryPart(path, style_);
  const bool root = parent.size() == 1 || (style_.windows && parent.size() == 3 && parent[1] == ':');
  if (!root && style_.EndsWithSeparator(parent)) parent.pop_back();
  return parent;
}

const JournalFileSystem::Node* JournalFileSystem::Find(const std::string& path) const {
  if (overlay_.empty()) return nullptr;
  const auto it = overlay_.find(Key(path));
  return it == overlay_.end() ? nullptr : &it->second;
}

PathInfo JournalFileSystem::See(const std::string& path) {
  if (const Node* node = Find(path)) {
    PathInfo info;
    if (!node->present) return info;
    info.found = true;
    info.directory = node->directory;
    info.kind = node->directory ? EntryKind::Directory : EntryKind::File;
    info.id = node->id;
    return info;
  }
  return inner_.Lookup(path);
}

bool JournalFileSystem::Note(Op op, const std::string& from, const std::string& to, bool ok) {
  journal_.push_back(Entry{op, from, to, ok});
  return ok;
}

PathInfo JournalFileSystem::Lookup(const std::string& path) { return See(path); }

bool JournalFileSystem::Enumerate(const std::string& folder, const std::function<void(const DirEntry&)>& onEntry) {
  if (!dryRun_ || overlay_.empty()) return inner_.Enumerate(folder, onEntry);
  const std::string folderKey = Key(folder);
  std::string prefix = folder;
  if (!style_.EndsWithSeparator(prefix)) prefix.push_back(style_.Separator());
  std::set<std::string> listed;
  const bool ok = inner_.Enumerate(folder, [&](const DirEntry& entry) {
    const std::string path = prefix + std::string(entry.name);
    listed.insert(Key(path));
    const Node* node = Find(path);
    if (node == nullptr) {
      onEntry(entry);
    } else if (node->present) {
      DirEntry changed = entry;
      changed.name = FileNamePart(node->spelled, style_);
      changed.kind = node->directory ? EntryKind::Directory : EntryKind::File;
      changed.id = node->id;
      onEntry(changed);
    }
  });
  if (!ok && See(folder).found == false) return false;
  // What the overlay added to this folder.
  for (const auto& [key, node] : overlay_) {
    if (!node.present || listed.count(key) != 0 || Key(DirectoryPart(node.spelled, style_)) != folderKey) continue;
    DirEntry entry;
    entry.name = FileNamePart(node.spelled, style_);
    entry.kind = node.directory ? EntryKind::Directory : EntryKind::File;
    entry.id = node.id;
    onEntry(entry);
  }
  return true;
}

bool JournalFileSystem::MakeFolder(const std::string& path) {
  if (!dryRun_) return inner_.MakeFolder(path);
  if (See(path).found) return false;
  const std::string parent = Parent(path);
  if (!parent.empty() && parent != path && !See(parent).directory) return false;
  Node node;
  node.present = true;
  node.directory = true;
  node.spelled = path;
  node.id = FileId{~std::uint64_t{0}, nextId_++, true};
  overlay_[Key(path)] = node;
  return true;
}

bool JournalFileSystem::Transfer(Op op, const std::string& from, const std::string& to, bool replace) {
  const PathInfo source = See(from);
  const PathInfo target = See(to);
  const auto fail = [this](FailureReason reason) {
    lastFailure_ = FsFailure{reason, {}};
    return false;
  };
  if (!source.found) return fail(FailureReason::Vanished);
  if (source.directory || (op == Op::Copy && source.kind != EntryKind::File)) {
    return fail(FailureReason::NotRegularFile);
  }
  if (target.found && target.directory) return fail(FailureReason::NotRegularFile);
  const bool same = target.found && SameFile(from, to);
  if (op == Op::Copy && same) return fail(FailureReason::TargetExists);
  if (op == Op::Move && target.found && !replace && !(same && style_.windows)) {
    return fail(FailureReason::TargetExists);
  }
  if (target.found && replace && !Writable(to)) return fail(FailureReason::ReadOnlyTarget);
  const std::string parent = Parent(to);
  if (!parent.empty() && parent != to && !See(parent).directory) return fail(FailureReason::Vanished);

  const Node* old = Find(from);
  Node node;
  node.present = true;
  node.spelled = to;
  node.origin = old != nullptr ? old->origin : from;
  node.id = op == Op::Copy ? FileId{~std::uint64_t{0}, nextId_++, true} : source.id;
  if (op == Op::Move && !same) {
    Node gone;
    gone.spelled = from;
    overlay_[Key(from)] = gone;
  }
  overlay_[Key(to)] = node;
  return true;
}

bool JournalFileSystem::CopyReplacing(const std::string& from, const std::string& to,
                                      const std::function<bool()>& stopped) {
  return Note(Op::Copy, from, to,
              dryRun_ ? Transfer(Op::Copy, from, to, true) : inner_.CopyReplacing(from, to, stopped));
}

FsFailure JournalFileSystem::LastFailure() { return dryRun_ ? lastFailure_ : inner_.LastFailure(); }

bool JournalFileSystem::MoveNoReplace(const std::string& from, const std::string& to) {
  return Note(Op::Move, from, to, dryRun_ ? Transfer(Op::Move, from, to, false) : inner_.MoveNoReplace(from, to));
}

bool JournalFileSystem::MoveReplacing(const std::string& from, const std::string& to) {
  return Note(Op::Move, from, to, dryRun_ ? Transfer(Op::Move, from, to, true) : inner_.MoveReplacing(from, to));
}

bool JournalFileSystem::Writable(const std::string& path) {
  // What a dry run made is its own, and writable; what it removed is gone.
  if (const Node* node = Find(path)) return node->present;
  return inner_.Writable(path);
}

bool JournalFileSystem::RemoveFile(const std::string& path) {
  bool ok = false;
  if (!dryRun_) {
    ok = inner_.RemoveFile(path);
  } else {
    const PathInfo info = See(path);
    ok = info.found && !info.directory;
    if (ok) {
      Node gone;
      gone.spelled = path;
      overlay_[Key(path)] = gone;
    }
  }
  return Note(Op::Remove, path, {}, ok);
}

bool JournalFileSystem::SameFile(const std::string& a, const std::string& b) {
  if (!dryRun_ || (Find(a) == nullptr && Find(b) == nullptr)) return inner_.SameFile(a, b);
  const PathInfo x = See(a);
  const PathInfo y = See(b);
  if (!x.found || !y.found) return false;
  if (Key(a) == Key(b)) return true;
  return x.id == y.id;
}

FsResult<ReadHandle> JournalFileSystem::OpenForRead(const std::string& path) {
  if (const Node* node = Find(path)) {
    if (!node->present) return FsFailure{FailureReason::Vanished, {}};
    if (node->directory) return FsFailure{FailureReason::NotRegularFile, {}};
    return inner_.OpenForRead(node->origin);
  }
  return inner_.OpenForRead(path);
}

FsResult<std::size_t> JournalFileSystem::Read(ReadHandle handle, void* buffer, std::size_t size) {
  return inner_.Read(handle, buffer, size);
}

void JournalFileSystem::Close(ReadHandle handle) { inner_.Close(handle); }

}  // namespace kestrin::cli
