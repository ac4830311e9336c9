#pragma once
// A file system that forwards to another and notes the calls that change or read files ("Copy FROM",
// "Move FROM -> TO", "Remove PATH", "Read PATH") into a log shared with a recording host, so that a test
// sees them in order with the window's progress calls.
#include <string>
#include <vector>

#include "platform/filesystem.h"

namespace kestrin::testing {

class LoggingFileSystem : public FileSystem {
 public:
  LoggingFileSystem(FileSystem& inner, std::vector<std::string>& log) : inner_(inner), log_(log) {}

  PathInfo Lookup(const std::string& path) override { return inner_.Lookup(path); }
  bool Enumerate(const std::string& folder, const std::function<void(const DirEntry&)>& onEntry) override {
    return inner_.Enumerate(folder, onEntry);
  }
  bool MakeFolder(const std::string& path) override { return inner_.MakeFolder(path); }
  bool CopyReplacing(const std::string& from, const std::string& to) override {
    log_.push_back("Copy " + from);
    return inner_.CopyReplacing(from, to);
  }
  bool MoveNoReplace(const std::string& from, const std::string& to) override {
    log_.push_back("Move " + from + " -> " + to);
    return inner_.MoveNoReplace(from, to);
  }
  bool MoveReplacing(const std::string& from, const std::string& to) override {
    log_.push_back("Move " + from + " -> " + to);
    return inner_.MoveReplacing(from, to);
  }
  bool RemoveFile(const std::string& path) override {
    log_.push_back("Remove " + path);
    return inner_.RemoveFile(path);
  }
  bool SameFile(const std::string& a, const std::string& b) override { return inner_.SameFile(a, b); }
  bool Writable(const std::string& path) override { return inner_.Writable(path); }
  ReadHandle OpenForRead(const std::string& path) override {
    log_.push_back("Read " + path);
    return inner_.OpenForRead(path);
  }
  std::int64_t Read(ReadHandle handle, void* buffer, std::size_t size) override {
    return inner_.Read(handle, buffer, size);
  }
  void Close(ReadHandle handle) override { inner_.Close(handle); }

 private:
  FileSystem& inner_;
  std::vector<std::string>& log_;
};

}  // namespace kestrin::testing
