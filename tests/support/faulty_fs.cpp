#include "support/faulty_fs.h"

#include <algorithm>

namespace kestrin::testing {

namespace {

bool Contains(const std::string& path, const std::string& part) {
  return part.empty() || path.find(part) != std::string::npos;
}
}  // namespace

FaultyFileSystem& FaultyFileSystem::Fail(FsOp op, std::string pathPart, int after, int times) {
  rules_.push_back(Rule{op, Effect::Fail, std::move(pathPart), after, times});
  return *this;
}

FaultyFileSystem& FaultyFileSystem::Halfway(FsOp op, std::string pathPart, int after, int times) {
  rules_.push_back(Rule{op, Effect::Halfway, std::move(pathPart), after, times});
  return *this;
}

FaultyFileSystem& FaultyFileSystem::Pretend(FsOp op, std::string pathPart, int after, int times) {
  rules_.push_back(Rule{op, Effect::Pretend, std::move(pathPart), after, times});
  return *this;
}

FaultyFileSystem& FaultyFileSystem::StopEnumeration(std::string folderPart, std::size_t entries) {
  rules_.push_back(Rule{FsOp::Enumerate, Effect::Stop, std::move(folderPart), 0, -1, entries});
  return *this;
}

FaultyFileSystem& FaultyFileSystem::ShortReads(std::string pathPart, std::size_t bytes) {
  rules_.push_back(Rule{FsOp::Read, Effect::Short, std::move(pathPart), 0, -1, std::max<std::size_t>(bytes, 1)});
  return *this;
}

FaultyFileSystem& FaultyFileSystem::FailReadAfter(std::string pathPart, std::size_t bytes) {
  rules_.push_back(Rule{FsOp::Read, Effect::ReadLimit, std::move(pathPart), 0, -1, bytes});
  return *this;
}

FaultyFileSystem& FaultyFileSystem::Vanish(std::string pathPart) {
  rules_.push_back(Rule{FsOp::Lookup, Effect::Vanish, std::move(pathPart), 0, -1});
  return *this;
}

int FaultyFileSystem::Calls(FsOp op) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  auto it = calls_.find(op);
  return it == calls_.end() ? 0 : it->second;
}

FaultyFileSystem::Rule* FaultyFileSystem::Match(FsOp op, const std::string& path) {
  const std::lock_guard<std::mutex> lock(mutex_);
  Rule* chosen = nullptr;
  for (Rule& rule : rules_) {
    if (rule.op != op || rule.effect == Effect::Vanish || !Contains(path, rule.pathPart)) continue;
    const int turn = rule.seen++;
    if (chosen == nullptr && turn >= rule.after && (rule.times < 0 || turn < rule.after + rule.times))
      chosen = &rule;
  }
  return chosen;
}

const FaultyFileSystem::Rule* FaultyFileSystem::Vanished(const std::string& path) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  for (const Rule& rule : rules_) {
    if (rule.effect == Effect::Vanish && Contains(path, rule.pathPart)) return &rule;
  }
  return nullptr;
}

PathInfo FaultyFileSystem::Lookup(const std::string& path) {
  Count(FsOp::Lookup);
  PathInfo missing;
  if (Vanished(path)) {
    missing.failure = Gone();
    return missing;
  }
  if (Match(FsOp::Lookup, path)) {
    missing.failure = Injected();
    return missing;
  }
  return inner_.Lookup(path);
}

FsStatus FaultyFileSystem::Enumerate(const std::string& folder, const std::function<void(const DirEntry&)>& onEntry) {
  Count(FsOp::Enumerate);
  if (Vanished(folder)) return Gone();
  const Rule* rule = Match(FsOp::Enumerate, folder);
  if (rule == nullptr) return inner_.Enumerate(folder, onEntry);
  if (rule->effect != Effect::Stop) return Injected();
  const std::size_t limit = rule->amount;
  std::size_t delivered = 0;
  const FsStatus listed = inner_.Enumerate(folder, [&](const DirEntry& entry) {
    if (delivered < limit) {
      ++delivered;
      onEntry(entry);
    }
  });
  static_cast<void>(listed);
  return Injected();
}

FsStatus FaultyFileSystem::MakeFolder(const std::string& path) {
  Count(FsOp::MakeFolder);
  if (Vanished(path)) return Gone();
  if (Match(FsOp::MakeFolder, path)) return Injected();
  return inner_.MakeFolder(path);
}

FsStatus FaultyFileSystem::Transfer(FsOp op, const std::string& from, const std::string& to,
                                    const std::function<bool()>& stopped) {
  Count(op);
  if (Vanished(from) || Vanished(to)) return Gone();
  const Rule* rule = Match(op, from);
  if (rule == nullptr) {
    switch (op) {
      case FsOp::CopyReplacing:
        return inner_.CopyReplacing(from, to, stopped);
      case FsOp::MoveNoReplace:
        return inner_.MoveNoReplace(from, to);
      default:
        return inner_.MoveReplacing(from, to);
    }
  }
  if (rule->effect == Effect::Pretend) return {};
  // Half-way: the target is there as by a copy, the source stays, and the call reports failure. A move
  // that may not replace leaves an existing target alone even then.
  if (rule->effect == Effect::Halfway && !(op == FsOp::MoveNoReplace && inner_.Lookup(to).found)) {
    static_cast<void>(inner_.CopyReplacing(from, to));
  }
  return Injected();
}

FsStatus FaultyFileSystem::CopyReplacing(const std::string& from, const std::string& to,
                                         const std::function<bool()>& stopped) {
  return Transfer(FsOp::CopyReplacing, from, to, stopped);
}

FsStatus FaultyFileSystem::MoveNoReplace(const std::string& from, const std::string& to) {
  return Transfer(FsOp::MoveNoReplace, from, to);
}

FsStatus FaultyFileSystem::MoveReplacing(const std::string& from, const std::string& to) {
  return Transfer(FsOp::MoveReplacing, from, to);
}

FsStatus FaultyFileSystem::RemoveFile(const std::string& path) {
  Count(FsOp::RemoveFile);
  if (Vanished(path)) return Gone();
  if (Match(FsOp::RemoveFile, path)) return Injected();
  return inner_.RemoveFile(path);
}

FsFailure FaultyFileSystem::Injected() { return FsFailure{FailureReason::System, "injected failure"}; }

FsFailure FaultyFileSystem::Gone() { return FsFailure{FailureReason::Vanished, {}}; }

bool FaultyFileSystem::Writable(const std::string& path) { return !Vanished(path) && inner_.Writable(path); }

bool FaultyFileSystem::SameFile(const std::string& a, const std::string& b) {
  Count(FsOp::SameFile);
  if (Vanished(a) || Vanished(b)) return false;
  if (Match(FsOp::SameFile, a + '\n' + b)) return false;
  return inner_.SameFile(a, b);
}

FsResult<ReadHandle> FaultyFileSystem::OpenForRead(const std::string& path) {
  Count(FsOp::OpenForRead);
  if (Vanished(path)) return Gone();
  if (Match(FsOp::OpenForRead, path)) return Injected();
  FsResult<ReadHandle> opened = inner_.OpenForRead(path);
  if (opened) {
    const std::lock_guard<std::mutex> lock(mutex_);
    open_[opened.value] = OpenFile{path, 0};
  }
  return opened;
}

FsResult<std::size_t> FaultyFileSystem::Read(ReadHandle handle, void* buffer, std::size_t size) {
  Count(FsOp::Read);
  OpenFile* open = nullptr;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    auto it = open_.find(handle);
    if (it != open_.end()) open = &it->second;  // a map's entries stay put while others come and go
  }
  if (open == nullptr) return inner_.Read(handle, buffer, size);
  OpenFile& file = *open;
  if (const Rule* rule = Match(FsOp::Read, file.path)) {
    if (rule->effect == Effect::Fail) return Injected();
    if (rule->effect == Effect::Short) size = std::min(size, rule->amount);
    if (rule->effect == Effect::ReadLimit) {
      if (file.delivered >= rule->amount) return Injected();
      size = std::min(size, rule->amount - file.delivered);
    }
  }
  FsResult<std::size_t> n = inner_.Read(handle, buffer, size);
  if (n) file.delivered += n.value;
  return n;
}

void FaultyFileSystem::Close(ReadHandle handle) {
  Count(FsOp::Close);
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    open_.erase(handle);
  }
  inner_.Close(handle);
}

}  // namespace kestrin::testing
