#pragma once
// A file system that holds a command's worker at a chosen call, so that a test knows exactly how far the
// command has come when it stops it.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "platform/filesystem.h"

namespace kestrin::testing {

// A file system that holds the worker at the first call of one kind whose path contains a text, until
// the test lets it go: the test then knows exactly how far the command has come.
class GateFileSystem : public FileSystem {
 public:
  enum class At { Enumerate, Read, Move, Copy };
  GateFileSystem(FileSystem& inner, At at, std::string part) : inner_(inner), at_(at), part_(std::move(part)) {}

  // From now on the first matching call waits for Open.
  void Arm() {
    std::lock_guard<std::mutex> lock(mutex_);
    armed_ = true;
  }
  void WaitReached() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return reached_; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

  PathInfo Lookup(const std::string& path) override { return inner_.Lookup(path); }
  FsStatus Enumerate(const std::string& folder, const std::function<void(const DirEntry&)>& onEntry) override {
    Gate(At::Enumerate, folder);
    return inner_.Enumerate(folder, onEntry);
  }
  FsStatus MakeFolder(const std::string& path) override { return inner_.MakeFolder(path); }
  FsStatus CopyReplacing(const std::string& from, const std::string& to,
                     const std::function<bool()>& stopped = {}) override {
    Gate(At::Copy, from);
    return inner_.CopyReplacing(from, to, stopped);
  }
  bool Writable(const std::string& path) override { return inner_.Writable(path); }
  FsStatus MoveNoReplace(const std::string& from, const std::string& to) override {
    Gate(At::Move, from);
    return inner_.MoveNoReplace(from, to);
  }
  FsStatus MoveReplacing(const std::string& from, const std::string& to) override {
    Gate(At::Move, from);
    return inner_.MoveReplacing(from, to);
  }
  FsStatus RemoveFile(const std::string& path) override { return inner_.RemoveFile(path); }
  bool SameFile(const std::string& a, const std::string& b) override { return inner_.SameFile(a, b); }
  FsResult<ReadHandle> OpenForRead(const std::string& path) override {
    Gate(At::Read, path);
    return inner_.OpenForRead(path);
  }
  FsResult<std::size_t> Read(ReadHandle handle, void* buffer, std::size_t size) override {
    return inner_.Read(handle, buffer, size);
  }
  void Close(ReadHandle handle) override { inner_.Close(handle); }

 private:
  void Gate(At at, const std::string& path) {
    if (at != at_ || path.find(part_) == std::string::npos) return;
    std::unique_lock<std::mutex> lock(mutex_);
    if (!armed_) return;
    reached_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return open_; });
  }

  FileSystem& inner_;
  At at_;
  std::string part_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool armed_ = false;
  bool reached_ = false;
  bool open_ = false;
};

}  // namespace kestrin::testing
