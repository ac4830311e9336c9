#pragma once
// A planning file system: the file system as a batch would leave it, over a real one, changing nothing.
//
// Renames, copies, removals and new folders go into a record of its own that every later call sees (a
// name taken by an earlier rename is taken, a folder made for one copy exists for the next). Every
// question the record cannot answer goes to the real file system, permissions included: a change is
// refused where the real one would refuse it, for the same reason (a source that is gone or unreadable,
// a name held by a folder or by a dangling link, a folder the user may not change, a file the user may
// not write). So a rename or copy batch run against it reports, through its sink, the outcomes the real
// run will have: that is a dry run, or a preview.
//
// It is used by one thread at a time (the batch commands run on the caller's thread).

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "platform/filesystem.h"
#include "platform/path_style.h"

namespace kestrin {

class PlanningFileSystem : public FileSystem {
 public:
  explicit PlanningFileSystem(FileSystem& real, const PathStyle& style = NativePathStyle());

  PathInfo Lookup(const std::string& path) override;
  FsStatus Enumerate(const std::string& folder, const std::function<void(const DirEntry&)>& onEntry) override;
  FsStatus MakeFolder(const std::string& path) override;
  FsStatus CopyReplacing(const std::string& from, const std::string& to,
                         const std::function<bool()>& stopped = {}) override;
  FsStatus MoveNoReplace(const std::string& from, const std::string& to) override;
  FsStatus MoveReplacing(const std::string& from, const std::string& to) override;
  bool Writable(const std::string& path) override;
  bool EntryExists(const std::string& path) override;
  bool MayChangeFolder(const std::string& folder) override;
  bool MayRead(const std::string& path) override;
  FsStatus RemoveFile(const std::string& path) override;
  FsResult<FileStamp> Stamp(const std::string& path) override;
  // The plan's trash: the entry is gone from its place; where it went is its own path, since nothing moved.
  FsResult<std::string> MoveToTrash(const std::string& path,
                                    const std::function<FsStatus(const std::string&)>& beforeMove = {}) override;
  // A real trashed file planned back into place, as a rename that replaces nothing.
  FsStatus RestoreFromTrash(const std::string& trashed, const std::string& original) override;
  FsStatus RemoveEmptyFolder(const std::string& path) override;
  bool SameFile(const std::string& a, const std::string& b) override;
  FsResult<ReadHandle> OpenForRead(const std::string& path) override;
  FsResult<std::size_t> Read(ReadHandle handle, void* buffer, std::size_t size) override;
  void Close(ReadHandle handle) override;

 private:
  // What the plan made of a path.
  enum class NodeKind : unsigned char {
    Gone,      // removed, or moved away
    File,      // a file put there (moved or copied)
    Folder,    // a folder made
    Dangling,  // a link whose target is gone, moved there
  };
  struct Node {
    NodeKind kind = NodeKind::Gone;
    std::string spelled;  // the path as it was written
    std::string origin;   // File: the real file whose content it has; Dangling: the real link
    bool copy = false;    // File: a copy the plan made (its own, and writable)
    FileId id;
  };

  std::string Key(std::string_view path) const;
  std::string Parent(std::string_view path) const;
  const Node* Find(const std::string& path) const;
  FileId NewId() { return FileId{~std::uint64_t{0}, nextId_++, true}; }
  // A failure of the plan's own.
  static FsFailure Fail(FailureReason reason);
  // The entry at path, a dangling link included, as the plan sees it.
  bool Exists(const std::string& path);
  // The folder above path is a folder the user may change; otherwise why not.
  FsStatus ParentChangeable(const std::string& path);
  // The node the entry at from becomes when moved or copied elsewhere; why not when there is none to take.
  FsStatus Take(const std::string& from, bool copy, Node& node);
  // The record after a rename: node under its new name, and the old name gone (unless the two are one
  // name, as a change of case only is where names fold).
  void Moved(const std::string& from, const std::string& to, Node node);

  FileSystem& real_;
  PathStyle style_;
  std::map<std::string, Node> record_;  // by Key
  std::uint64_t nextId_ = 1;
};

}  // namespace kestrin
