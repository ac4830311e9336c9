#pragma once
// A file system that forwards every call to another one (the native file system unless told otherwise)
// and makes chosen calls fail, for tests of what the code does when the disk lets it down.
//
//   FaultyFileSystem faulty;                             // over NativeFileSystem()
//   faulty.Fail(FsOp::MakeFolder, "/out/b");            // every MakeFolder of a path containing "/out/b"
//   faulty.Fail(FsOp::CopyReplacing, "", /*after=*/2);  // the third and every later copy
//   faulty.StopEnumeration("/in/sub", 1);               // that folder yields one entry, then fails
//   faulty.ShortReads("big.bin", 7);                    // reads of that file return at most 7 bytes
//   faulty.Vanish("gone.txt");                          // listed by its folder, missing to everything else
//   ScopedFileSystem use(faulty);
//
// A rule matches a call when the call's operation is the rule's and its path (the first path of a copy or
// move, either path of SameFile, the opened path of Read and Close) contains the rule's text; an empty text
// matches every path. The first `after` matching calls pass; then `times` calls fail (-1: all of them).
// Rules are tried in the order they were added; the first one whose turn has come applies.
//
// Effects:
// - Fail: the call changes nothing and reports failure (false, not found, a negative handle or count).
// - Halfway (CopyReplacing, MoveNoReplace, MoveReplacing): the target is made as by a copy, but the call
//   reports failure and, for a move, the source stays too: the state a move left when its second step
//   (removing the source) failed, or a copy whose end could not be confirmed.
// - Pretend (CopyReplacing, MoveNoReplace, MoveReplacing): the call changes nothing and reports success, as
//   some systems answer a rename onto another name of the same file.
// - StopEnumeration: the folder yields `entries` entries, then Enumerate returns false (a read error
//   part-way through a folder).
// - ShortReads: each Read returns at most `bytes` bytes; the data stays correct.
// - FailReadAfter: Read returns the first `bytes` bytes, then fails.
// - Vanish: the entry is still listed by Enumerate of its folder, but Lookup does not find it and every
//   other call on it fails, as when a file disappears between the listing and its use.
//
// Calls() counts the calls made of each operation, failed ones included. Calls may come from several
// threads at once.
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/filesystem.h"

namespace kestrin::testing {

enum class FsOp {
  Lookup,
  Enumerate,
  MakeFolder,
  CopyReplacing,
  MoveNoReplace,
  MoveReplacing,
  RemoveFile,
  SameFile,
  OpenForRead,
  Read,
  Close,
};

class FaultyFileSystem : public FileSystem {
 public:
  explicit FaultyFileSystem(FileSystem& inner = NativeFileSystem()) : inner_(inner) {}

  FaultyFileSystem& Fail(FsOp op, std::string pathPart = {}, int after = 0, int times = -1);
  FaultyFileSystem& Halfway(FsOp op, std::string pathPart = {}, int after = 0, int times = -1);
  FaultyFileSystem& Pretend(FsOp op, std::string pathPart = {}, int after = 0, int times = -1);
  FaultyFileSystem& StopEnumeration(std::string folderPart, std::size_t entries);
  FaultyFileSystem& ShortReads(std::string pathPart, std::size_t bytes);
  FaultyFileSystem& FailReadAfter(std::string pathPart, std::size_t bytes);
  FaultyFileSystem& Vanish(std::string pathPart);
  void ClearFaults() { rules_.clear(); }

  int Calls(FsOp op) const;

  PathInfo Lookup(const std::string& path) override;
  // A failure a rule decided says "injected failure" (FailureReason::System), or Vanished.
  FsStatus Enumerate(const std::string& folder, const std::function<void(const DirEntry&)>& onEntry) override;
  FsStatus MakeFolder(const std::string& path) override;
  FsStatus CopyReplacing(const std::string& from, const std::string& to,
                         const std::function<bool()>& stopped = {}) override;
  FsStatus MoveNoReplace(const std::string& from, const std::string& to) override;
  FsStatus MoveReplacing(const std::string& from, const std::string& to) override;
  FsStatus RemoveFile(const std::string& path) override;
  bool SameFile(const std::string& a, const std::string& b) override;
  bool Writable(const std::string& path) override;  // forwarded; false for a vanished path
  FsResult<ReadHandle> OpenForRead(const std::string& path) override;  // "injected failure", or vanished
  FsResult<std::size_t> Read(ReadHandle handle, void* buffer, std::size_t size) override;
  void Close(ReadHandle handle) override;

 private:
  enum class Effect { Fail, Halfway, Pretend, Stop, Short, ReadLimit, Vanish };
  struct Rule {
    FsOp op;
    Effect effect;
    std::string pathPart;
    int after = 0;
    int times = -1;
    std::size_t amount = 0;
    int seen = 0;
  };
  struct OpenFile {
    std::string path;
    std::size_t delivered = 0;
  };

  // The failure a rule makes a call return.
  static FsFailure Injected();
  static FsFailure Gone();
  // The rule that applies to this call, counting it against every rule it matches; null when none does.
  Rule* Match(FsOp op, const std::string& path);
  const Rule* Vanished(const std::string& path) const;
  // CopyReplacing, MoveNoReplace and MoveReplacing: the same faults, the inner call that differs.
  FsStatus Transfer(FsOp op, const std::string& from, const std::string& to,
                    const std::function<bool()>& stopped = {});
  void Count(FsOp op) {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++calls_[op];
  }

  FileSystem& inner_;
  std::vector<Rule> rules_;
  std::map<FsOp, int> calls_;
  std::map<ReadHandle, OpenFile> open_;
  // Guards the rules' counts, the call counts and the open files: the search reads files on several
  // threads at once. The rules themselves are set up before the calls begin.
  mutable std::mutex mutex_;
};

}  // namespace kestrin::testing
