#include "support/memory_fs.h"

#include <algorithm>
#include <cstring>

namespace kestrin::testing {

struct MemoryFileSystem::Data {
  // Replaced, never changed, on a write: a file opened for reading keeps what it had.
  std::shared_ptr<const std::string> content;
  FileId id;
};

struct MemoryFileSystem::Node {
  std::string name;
  EntryKind kind = EntryKind::Directory;
  bool hidden = false;
  std::shared_ptr<Data> data;  // shared by the names of one file
  Node* parent = nullptr;
  std::vector<std::unique_ptr<Node>> children;
};

struct MemoryFileSystem::Parsed {
  bool absolute = false;  // begins with a separator
  bool trailing = false;  // ends with a separator
  std::vector<std::string_view> parts;
};

namespace {
constexpr std::string_view kRootName = "/";

// ASCII letters without regard to case; the double keeps its own rule rather than the code under test's.
bool FoldedEqual(unsigned char a, unsigned char b) {
  auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; };
  return lower(a) == lower(b);
}
}  // namespace

MemoryFileSystem::MemoryFileSystem(const PathStyle& style) : style_(style), root_(std::make_unique<Node>()) {
  root_->data = std::make_shared<Data>(Data{nullptr, NewId()});
  auto slash = std::make_unique<Node>();
  slash->name = std::string(kRootName);
  slash->data = std::make_shared<Data>(Data{nullptr, NewId()});
  Attach(*root_, std::move(slash));
}

MemoryFileSystem::~MemoryFileSystem() = default;

MemoryFileSystem::Parsed MemoryFileSystem::Parse(std::string_view path) const {
  Parsed parsed;
  std::size_t start = 0;
  std::size_t i = 0;
  auto endPart = [&](std::size_t end) {
    const std::string_view part = path.substr(start, end - start);
    if (!part.empty() && part != ".") parsed.parts.push_back(part);
  };
  while (i < path.size()) {
    if (style_.IsSeparator(static_cast<unsigned char>(path[i]))) {
      if (i == 0) parsed.absolute = true;
      endPart(i);
      start = ++i;
      parsed.trailing = true;
    } else {
      i += style_.CharLength(path.data(), path.size(), i);
      parsed.trailing = false;
    }
  }
  endPart(path.size());
  return parsed;
}

bool MemoryFileSystem::SameName(std::string_view a, std::string_view b) const {
  if (a.size() != b.size()) return false;
  if (!style_.windows) return a == b;
  for (std::size_t i = 0; i < a.size();) {
    const std::size_t n = style_.CharLength(a.data(), a.size(), i);
    if (n == 2) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
    } else if (!FoldedEqual(static_cast<unsigned char>(a[i]), static_cast<unsigned char>(b[i]))) {
      return false;
    }
    i += n;
  }
  return true;
}

MemoryFileSystem::Node* MemoryFileSystem::Child(const Node& folder, std::string_view name) const {
  for (const auto& child : folder.children) {
    if (&folder == root_.get() && child->name == kRootName) continue;
    if (SameName(child->name, name)) return child.get();
  }
  return nullptr;
}

MemoryFileSystem::Node* MemoryFileSystem::Find(std::string_view path) const {
  if (path.empty()) return nullptr;
  const Parsed parsed = Parse(path);
  Node* node = parsed.absolute ? root_->children.front().get() : root_.get();
  for (std::string_view part : parsed.parts) {
    if (node->kind != EntryKind::Directory) return nullptr;
    node = Child(*node, part);
    if (node == nullptr) return nullptr;
  }
  if (parsed.trailing && node->kind != EntryKind::Directory) return nullptr;
  return node;
}

MemoryFileSystem::Node* MemoryFileSystem::FindParent(std::string_view path, std::string& leaf) const {
  const Parsed parsed = Parse(path);
  if (parsed.parts.empty()) return nullptr;
  Node* node = parsed.absolute ? root_->children.front().get() : root_.get();
  for (std::size_t i = 0; i + 1 < parsed.parts.size(); ++i) {
    node = Child(*node, parsed.parts[i]);
    if (node == nullptr || node->kind != EntryKind::Directory) return nullptr;
  }
  leaf = std::string(parsed.parts.back());
  return node;
}

MemoryFileSystem::Node& MemoryFileSystem::MakePath(std::string_view path, std::string& leaf) {
  const Parsed parsed = Parse(path);
  Node* node = parsed.absolute ? root_->children.front().get() : root_.get();
  leaf.clear();
  for (std::size_t i = 0; i < parsed.parts.size(); ++i) {
    if (i + 1 == parsed.parts.size()) {
      leaf = std::string(parsed.parts[i]);
      break;
    }
    Node* child = Child(*node, parsed.parts[i]);
    if (child != nullptr && child->kind != EntryKind::Directory) {
      Detach(*child);
      child = nullptr;
    }
    if (child == nullptr) {
      auto folder = std::make_unique<Node>();
      folder->name = std::string(parsed.parts[i]);
      folder->data = std::make_shared<Data>(Data{nullptr, NewId()});
      child = &Attach(*node, std::move(folder));
    }
    node = child;
  }
  return *node;
}

MemoryFileSystem::Node& MemoryFileSystem::Attach(Node& folder, std::unique_ptr<Node> node) {
  node->parent = &folder;
  folder.children.push_back(std::move(node));
  return *folder.children.back();
}

std::unique_ptr<MemoryFileSystem::Node> MemoryFileSystem::Detach(Node& node) {
  auto& siblings = node.parent->children;
  auto it = std::find_if(siblings.begin(), siblings.end(), [&](const auto& p) { return p.get() == &node; });
  std::unique_ptr<Node> owned = std::move(*it);
  siblings.erase(it);
  owned->parent = nullptr;
  return owned;
}

FileId MemoryFileSystem::NewId() { return FileId{1, nextId_++, true}; }

bool MemoryFileSystem::HiddenOf(const Node& node) const {
  return node.hidden || (!style_.windows && !node.name.empty() && node.name[0] == '.');
}

MemoryFileSystem& MemoryFileSystem::AddFolder(std::string_view path, bool hidden) {
  std::string leaf;
  Node& parent = MakePath(path, leaf);
  if (leaf.empty()) return *this;
  Node* existing = Child(parent, leaf);
  if (existing != nullptr && existing->kind == EntryKind::Directory) {
    existing->hidden = hidden;
    return *this;
  }
  if (existing != nullptr) Detach(*existing);
  auto node = std::make_unique<Node>();
  node->name = leaf;
  node->hidden = hidden;
  node->data = std::make_shared<Data>(Data{nullptr, NewId()});
  Attach(parent, std::move(node));
  return *this;
}

MemoryFileSystem& MemoryFileSystem::AddFile(std::string_view path, std::string_view content, bool hidden) {
  std::string leaf;
  Node& parent = MakePath(path, leaf);
  if (leaf.empty()) return *this;
  if (Node* existing = Child(parent, leaf)) Detach(*existing);
  auto node = std::make_unique<Node>();
  node->name = leaf;
  node->kind = EntryKind::File;
  node->hidden = hidden;
  node->data = std::make_shared<Data>(Data{std::make_shared<const std::string>(content), NewId()});
  Attach(parent, std::move(node));
  return *this;
}

MemoryFileSystem& MemoryFileSystem::AddOther(std::string_view path) {
  AddFile(path);
  if (Node* node = Find(path)) node->kind = EntryKind::Other;
  return *this;
}

MemoryFileSystem& MemoryFileSystem::AddAlias(std::string_view path, std::string_view existing) {
  Node* target = Find(existing);
  if (target == nullptr || target->kind == EntryKind::Directory) return *this;
  std::shared_ptr<Data> data = target->data;
  const EntryKind kind = target->kind;
  AddFile(path);
  if (Node* node = Find(path)) {
    node->data = data;
    node->kind = kind;
  }
  return *this;
}

bool MemoryFileSystem::Remove(std::string_view path) {
  Node* node = Find(path);
  if (node == nullptr || node == root_.get() || node == root_->children.front().get()) return false;
  Detach(*node);
  return true;
}

bool MemoryFileSystem::Exists(std::string_view path) const { return Find(path) != nullptr; }

bool MemoryFileSystem::IsFolder(std::string_view path) const {
  const Node* node = Find(path);
  return node != nullptr && node->kind == EntryKind::Directory;
}

bool MemoryFileSystem::IsHidden(std::string_view path) const {
  const Node* node = Find(path);
  return node != nullptr && HiddenOf(*node);
}

std::optional<std::string> MemoryFileSystem::Content(std::string_view path) const {
  const Node* node = Find(path);
  if (node == nullptr || node->kind != EntryKind::File) return std::nullopt;
  return *node->data->content;
}

std::vector<std::string> MemoryFileSystem::Paths() const {
  std::vector<std::string> out;
  const char sep = style_.Separator();
  auto collect = [&](auto& self, const Node& folder, const std::string& prefix) -> void {
    for (const auto& child : folder.children) {
      std::string path;
      if (&folder == root_.get()) {
        path = child->name == kRootName ? std::string(1, sep) : child->name;
      } else if (folder.parent == root_.get() && folder.name == kRootName) {
        path = prefix + child->name;
      } else {
        path = prefix + sep + child->name;
      }
      if (!(&folder == root_.get() && child->name == kRootName)) out.push_back(path);
      self(self, *child, path);
    }
  };
  collect(collect, *root_, std::string());
  return out;
}

PathInfo MemoryFileSystem::Lookup(const std::string& path) {
  PathInfo info;
  const Node* node = Find(path);
  if (node == nullptr) {
    info.failure = FsFailure{FailureReason::Vanished, {}};
    return info;
  }
  info.found = true;
  info.kind = node->kind;
  info.directory = node->kind == EntryKind::Directory;
  info.id = node->data->id;
  return info;
}

FsStatus MemoryFileSystem::Enumerate(const std::string& folder, const std::function<void(const DirEntry&)>& onEntry) {
  const Node* node = Find(folder);
  if (node == nullptr) return FsFailure{FailureReason::Vanished, {}};
  if (node->kind != EntryKind::Directory) return Refused();
  struct Snapshot {
    std::string name;
    bool hidden;
    EntryKind kind;
    FileId id;
  };
  std::vector<Snapshot> entries;
  for (const auto& child : node->children) {
    if (node == root_.get() && child->name == kRootName) continue;
    entries.push_back(Snapshot{child->name, HiddenOf(*child), child->kind, child->data->id});
  }
  for (const Snapshot& s : entries) {
    DirEntry entry;
    entry.name = s.name;
    entry.hidden = s.hidden;
    entry.kind = s.kind;
    entry.id = s.id;
    onEntry(entry);
  }
  return {};
}

FsStatus MemoryFileSystem::MakeFolder(const std::string& path) {
  makeFolderCalls_.push_back(path);
  std::string leaf;
  Node* parent = FindParent(path, leaf);
  if (parent == nullptr) return FsFailure{FailureReason::Vanished, {}};
  if (Child(*parent, leaf) != nullptr) return FsFailure{FailureReason::TargetExists, {}};
  auto node = std::make_unique<Node>();
  node->name = leaf;
  node->data = std::make_shared<Data>(Data{nullptr, NewId()});
  Attach(*parent, std::move(node));
  return {};
}

FsStatus MemoryFileSystem::CopyReplacing(const std::string& from, const std::string& to,
                                         const std::function<bool()>&) {
  if (Copy(from, to)) return {};
  return Find(from) == nullptr ? FsFailure{FailureReason::Vanished, {}} : Refused();
}

bool MemoryFileSystem::Copy(const std::string& from, const std::string& to) {
  const Node* source = Find(from);
  if (source == nullptr || source->kind != EntryKind::File) return false;
  if (Parse(to).trailing) return false;
  std::string leaf;
  Node* parent = FindParent(to, leaf);
  if (parent == nullptr) return false;
  auto copy = std::make_unique<Node>();
  copy->name = leaf;
  copy->kind = EntryKind::File;
  copy->hidden = source->hidden;
  copy->data = std::make_shared<Data>(Data{source->data->content, NewId()});
  copy->parent = parent;
  if (Node* existing = Child(*parent, leaf)) {
    if (existing->kind == EntryKind::Directory || existing->data == source->data) return false;
    copy->name = existing->name;
    for (auto& slot : parent->children) {
      if (slot.get() == existing) slot = std::move(copy);
    }
    return true;
  }
  Attach(*parent, std::move(copy));
  return true;
}

bool MemoryFileSystem::Move(const std::string& from, const std::string& to, bool replace) {
  Node* source = Find(from);
  if (source == nullptr || source == root_.get() || source->name == kRootName) return false;
  if (Parse(to).trailing && source->kind != EntryKind::Directory) return false;
  std::string leaf;
  Node* parent = FindParent(to, leaf);
  if (parent == nullptr) return false;
  for (const Node* up = parent; up != nullptr; up = up->parent) {
    if (up == source) return false;  // a folder into itself
  }
  Node* existing = Child(*parent, leaf);
  if (existing == source) {
    source->name = leaf;
    return true;
  }
  if (existing != nullptr) {
    if (!replace || existing->kind == EntryKind::Directory || source->kind == EntryKind::Directory) return false;
    Detach(*existing);
  }
  std::unique_ptr<Node> moved = Detach(*source);
  moved->name = leaf;
  Attach(*parent, std::move(moved));
  return true;
}

FsFailure MemoryFileSystem::Refused() { return FsFailure{FailureReason::System, "refused by the memory file system"}; }

FsStatus MemoryFileSystem::MoveNoReplace(const std::string& from, const std::string& to) {
  if (Move(from, to, false)) return {};
  if (Find(from) == nullptr) return FsFailure{FailureReason::Vanished, {}};
  if (Find(to) != nullptr) return FsFailure{FailureReason::TargetExists, {}};
  return Refused();
}

FsStatus MemoryFileSystem::MoveReplacing(const std::string& from, const std::string& to) {
  if (Move(from, to, true)) return {};
  return Find(from) == nullptr ? FsFailure{FailureReason::Vanished, {}} : Refused();
}

FsStatus MemoryFileSystem::RemoveFile(const std::string& path) {
  Node* node = Find(path);
  if (node == nullptr) return FsFailure{FailureReason::Vanished, {}};
  if (node->kind == EntryKind::Directory) return Refused();
  Detach(*node);
  return {};
}

bool MemoryFileSystem::SameFile(const std::string& a, const std::string& b) {
  const Node* x = Find(a);
  const Node* y = Find(b);
  return x != nullptr && y != nullptr && x->data == y->data;
}

FsResult<ReadHandle> MemoryFileSystem::OpenForRead(const std::string& path) {
  const Node* node = Find(path);
  if (node == nullptr) return FsFailure{FailureReason::Vanished, {}};
  if (node->kind != EntryKind::File) return FsFailure{FailureReason::NotRegularFile, {}};
  const std::lock_guard<std::mutex> lock(openMutex_);
  const ReadHandle handle = nextHandle_++;
  open_[handle] = OpenFile{node->data->content, 0};
  return handle;
}

FsResult<std::size_t> MemoryFileSystem::Read(ReadHandle handle, void* buffer, std::size_t size) {
  const std::lock_guard<std::mutex> lock(openMutex_);
  auto it = open_.find(handle);
  if (it == open_.end()) return FsFailure{FailureReason::System, "not an open file"};
  OpenFile& file = it->second;
  const std::size_t n = std::min(size, file.content->size() - file.position);
  if (n > 0) std::memcpy(buffer, file.content->data() + file.position, n);
  file.position += n;
  return n;
}

void MemoryFileSystem::Close(ReadHandle handle) {
  const std::lock_guard<std::mutex> lock(openMutex_);
  open_.erase(handle);
}

}  // namespace kestrin::testing
