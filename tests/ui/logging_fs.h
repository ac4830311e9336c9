#pragma once
// A file system that forwards to another and notes the calls that change files ("Copy FROM",
// "Move FROM -> TO", "Remove PATH") into a log shared with a recording host, so that a test sees them in
// order with the window's progress calls. The files opened for reading go to reads() instead: the search
// reads them on worker threads, in no fixed order relative to the window's calls.
#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "platform/filesystem.h"

namespace kestrin::testing {

class LoggingFileSystem : public FileSystem {
 public:
  LoggingFileSystem(FileSystem& inner, std::vector<std::string>& log, std::mutex& logMutex)
      : inner_(inner), log_(log), logMutex_(logMutex) {}

  PathInfo Lookup(const std::string& path) override { return inner_.Lookup(path); }
  FsStatus Enumerate(const std::string& folder, const std::function<void(const DirEntry&)>& onEntry) override {
    return inner_.Enumerate(folder, onEntry);
  }
  FsStatus MakeFolder(const std::string& path) override { return inner_.MakeFolder(path); }
  FsStatus CopyReplacing(const std::string& from, const std::string& to,
                     const std::function<bool()>& stopped = {}) override {
    Note("Copy " + from);
    return inner_.CopyReplacing(from, to, stopped);
  }
  FsStatus MoveNoReplace(const std::string& from, const std::string& to) override {
    Note("Move " + from + " -> " + to);
    return inner_.MoveNoReplace(from, to);
  }
  FsStatus MoveReplacing(const std::string& from, const std::string& to) override {
    Note("Move " + from + " -> " + to);
    return inner_.MoveReplacing(from, to);
  }
  FsStatus RemoveFile(const std::string& path) override {
    Note("Remove " + path);
    return inner_.RemoveFile(path);
  }
  bool SameFile(const std::string& a, const std::string& b) override { return inner_.SameFile(a, b); }
  bool Writable(const std::string& path) override { return inner_.Writable(path); }
  FsResult<ReadHandle> OpenForRead(const std::string& path) override {
    {
      const std::lock_guard<std::mutex> lock(readsMutex_);
      reads_.push_back(path);
    }
    return inner_.OpenForRead(path);
  }
  // The files opened for reading, sorted.
  std::vector<std::string> reads() const {
    const std::lock_guard<std::mutex> lock(readsMutex_);
    std::vector<std::string> sorted = reads_;
    std::sort(sorted.begin(), sorted.end());
    return sorted;
  }
  FsResult<std::size_t> Read(ReadHandle handle, void* buffer, std::size_t size) override {
    return inner_.Read(handle, buffer, size);
  }
  void Close(ReadHandle handle) override { inner_.Close(handle); }

 private:
  void Note(std::string line) {
    const std::lock_guard<std::mutex> lock(logMutex_);
    log_.push_back(std::move(line));
  }
  FileSystem& inner_;
  std::vector<std::string>& log_;
  std::mutex& logMutex_;
  mutable std::mutex readsMutex_;
  std::vector<std::string> reads_;
};

}  // namespace kestrin::testing
