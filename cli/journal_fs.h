#pragma once
// The file system the command-line tool runs its rename and copy through: it forwards every call to the
// file system in force and keeps a journal of the renames, copies and deletions it was asked for, so
// that the tool can say where each file went, whatever steps the command took to put it there.
//
// In a dry run nothing is written: renames, copies, deletions and new folders go into an overlay that
// every later call of the same run sees (a name taken by an earlier rename is taken, a folder made for
// one copy exists for the next), so the command takes the very decisions of a real run, changing nothing.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/filesystem.h"
#include "platform/path_style.h"

namespace kestrin::cli {

class JournalFileSystem : public FileSystem {
 public:
  enum class Op : unsigned char { Copy, Move, Remove };
  struct Entry {
    Op op;
    std::string from;
    std::string to;  // empty for Remove
    bool ok;
  };

  JournalFileSystem(FileSystem& inner, bool dryRun, const PathStyle& style);

  const std::vector<Entry>& Journal() const { return journal_; }

  // Where the file at source went in journal entries [begin, end): its path after the successful copies
  // and renames that took it (or its copy) on, in order; empty when none did, or when it was deleted.
  std::string Destination(std::string_view source, std::size_t begin, std::size_t end) const;
  // True when an entry of [begin, end) tried to rename or copy source and failed.
  bool Failed(std::string_view source, std::size_t begin, std::size_t end) const;

  PathInfo Lookup(const std::string& path) override;
  bool Enumerate(const std::string& folder, const std::function<void(const DirEntry&)>& onEntry) override;
  bool MakeFolder(const std::string& path) override;
  bool CopyReplacing(const std::string& from, const std::string& to,
                     const std::function<bool()>& stopped = {}) override;
  bool MoveNoReplace(const std::string& from, const std::string& to) override;
  bool MoveReplacing(const std::string& from, const std::string& to) override;
  bool Writable(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  bool SameFile(const std::string& a, const std::string& b) override;
  FsResult<ReadHandle> OpenForRead(const std::string& path) override;
  FsResult<std::size_t> Read(ReadHandle handle, void* buffer, std::size_t size) override;
  void Close(ReadHandle handle) override;
  FsFailure LastFailure() override;

 private:
  // An entry of the overlay: what a dry run made of a path.
  struct Node {
    bool present = false;  // false: removed or moved away
    bool directory = false;
    std::string spelled;   // the path as it was written
    std::string origin;    // the file on disk whose content it has (files only)
    FileId id;
  };
  std::string Key(std::string_view path) const;
  std::string Parent(std::string_view path) const;
  const Node* Find(const std::string& path) const;
  // Lookup, and the identity of a file, through the overlay.
  PathInfo See(const std::string& path);
  bool Transfer(Op op, const std::string& from, const std::string& to, bool replace);
  bool Note(Op op, const std::string& from, const std::string& to, bool ok);

  FileSystem& inner_;
  const bool dryRun_;
  PathStyle style_;
  std::map<std::string, Node> overlay_;  // by Key
  std::uint64_t nextId_ = 1;
  FsFailure lastFailure_;  // why the latest dry-run transfer was refused
  std::vector<Entry> journal_;
};

}  // namespace kestrin::cli
