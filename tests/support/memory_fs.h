#pragma once
// An in-memory file system for tests: folders, files with content, FIFO-like entries, hidden flags and
// identities, and nothing on disk.
//
//   MemoryFileSystem mem;                       // paths taken apart with the native style
//   mem.AddFolder("/in").AddFile("/in/a.txt", "hello").AddFile("/in/.b", "", /*hidden=*/true);
//   ScopedFileSystem use(mem);                  // Fs() is now mem
//   ... run the code under test ...
//   EXPECT_EQ(mem.MakeFolderCalls(), (std::vector<std::string>{"/out/a", "/out/a/b"}));
//   EXPECT_EQ(mem.Content("/out/a/b/x.txt"), "hello");
//
// Rules the double follows, as the native file systems do:
// - Paths are split at the style's separators (both '\' and '/' on a Windows style, with lead bytes of a
//   double-byte code page stepped over); runs of separators count as one. A path that begins with a
//   separator starts at the root "/"; any other path starts at a current folder of its own, so "a/b" and
//   "/a/b" are different entries. On a Windows style names compare without regard to ASCII case, and
//   "C:" is an ordinary top-level folder that AddFolder("C:\\...") makes. A path ending in a separator
//   names a folder only.
// - Enumerate lists a folder's entries in the order they were added (or moved or copied in), from a
//   snapshot taken when it starts, so the callback may change the tree or enumerate again.
// - hidden: the flag given when the entry was added, or, on a POSIX style, a name beginning with '.'.
// - MakeFolder needs an existing parent folder and fails on any existing entry. Every call is recorded,
//   successful or not, in MakeFolderCalls(); folders made by AddFolder/AddFile are not.
// - CopyReplacing copies a File-kind entry only (not a folder, not an Other), refuses a target that is the
//   source itself (the same name or an alias) or a folder, and gives the copy a new identity; the copy
//   keeps the source's hidden flag, as the Windows copy keeps attributes.
// - Failures say why: Vanished for a missing path, TargetExists for a name taken (MakeFolder,
//   MoveNoReplace), NotRegularFile for a folder or an Other opened for reading, and the words "refused by
//   the memory file system" for every other refusal.
// - MoveNoReplace fails on any existing target; MoveReplacing
//   replaces a file but not a folder. Moving a
//   folder into itself fails. Renaming an entry onto itself (the same entry, another case on a Windows
//   style) succeeds and takes the new spelling.
// - OpenForRead opens File-kind entries only (Vanished for a missing one, NotRegularFile for a folder or
//   an Other); an open file keeps its content when removed or replaced,
//   as an open POSIX file does. OpenHandles() tells how many are still open. Opening, reading and closing
//   files and looking paths up are safe from several threads at once, while nothing changes the tree.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/filesystem.h"
#include "platform/path_style.h"

namespace kestrin::testing {

class MemoryFileSystem : public FileSystem {
 public:
  explicit MemoryFileSystem(const PathStyle& style = NativePathStyle());
  ~MemoryFileSystem() override;

  // Building the tree. Missing parent folders are made on the way; an existing entry of the same name is
  // replaced (a file keeps nothing of the old one). Each returns *this for chaining.
  MemoryFileSystem& AddFolder(std::string_view path, bool hidden = false);
  MemoryFileSystem& AddFile(std::string_view path, std::string_view content = {}, bool hidden = false);
  // A FIFO, socket or device node: listed and found, kind Other, never copied or read.
  MemoryFileSystem& AddOther(std::string_view path);
  // A second name for an existing file (a hard link): SameFile is true, the content is shared.
  MemoryFileSystem& AddAlias(std::string_view path, std::string_view existing);
  // Removes an entry and everything below it; true when it existed.
  bool Remove(std::string_view path);

  // Looking at the tree.
  bool Exists(std::string_view path) const;
  bool IsFolder(std::string_view path) const;
  bool IsHidden(std::string_view path) const;
  std::optional<std::string> Content(std::string_view path) const;  // nullopt unless a File-kind entry
  // Every entry, depth first in listing order, written with the style's separator ("/" for the root).
  std::vector<std::string> Paths() const;
  // The argument of every MakeFolder call, in order, whether it succeeded or not.
  const std::vector<std::string>& MakeFolderCalls() const { return makeFolderCalls_; }
  void ClearMakeFolderCalls() { makeFolderCalls_.clear(); }
  std::size_t OpenHandles() const {
    const std::lock_guard<std::mutex> lock(openMutex_);
    return open_.size();
  }
  const PathStyle& style() const { return style_; }

  // FileSystem.
  PathInfo Lookup(const std::string& path) override;
  FsStatus Enumerate(const std::string& folder, const std::function<void(const DirEntry&)>& onEntry) override;
  FsStatus MakeFolder(const std::string& path) override;
  FsStatus CopyReplacing(const std::string& from, const std::string& to,
                         const std::function<bool()>& stopped = {}) override;  // never stops half-way
  FsStatus MoveNoReplace(const std::string& from, const std::string& to) override;
  FsStatus MoveReplacing(const std::string& from, const std::string& to) override;
  FsStatus RemoveFile(const std::string& path) override;
  bool SameFile(const std::string& a, const std::string& b) override;
  FsResult<ReadHandle> OpenForRead(const std::string& path) override;
  FsResult<std::size_t> Read(ReadHandle handle, void* buffer, std::size_t size) override;
  void Close(ReadHandle handle) override;

 private:
  struct Data;
  struct Node;
  struct Parsed;
  struct OpenFile {
    std::shared_ptr<const std::string> content;
    std::size_t position = 0;
  };

  Parsed Parse(std::string_view path) const;
  bool SameName(std::string_view a, std::string_view b) const;
  Node* Child(const Node& folder, std::string_view name) const;
  Node* Find(std::string_view path) const;
  Node* FindParent(std::string_view path, std::string& leaf) const;
  Node& MakePath(std::string_view path, std::string& leaf);
  Node& Attach(Node& folder, std::unique_ptr<Node> node);
  std::unique_ptr<Node> Detach(Node& node);
  FileId NewId();
  bool Move(const std::string& from, const std::string& to, bool replace);
  bool Copy(const std::string& from, const std::string& to);
  // The failure of a call this double refuses where the native file systems would say why in their words.
  static FsFailure Refused();
  bool HiddenOf(const Node& node) const;

  PathStyle style_;
  std::unique_ptr<Node> root_;  // the current folder; its child "/" is the root of absolute paths
  std::vector<std::string> makeFolderCalls_;
  // Reading may go on from several threads at once, as a search on every core reads; the tree itself is
  // only read then.
  mutable std::mutex openMutex_;
  std::map<ReadHandle, OpenFile> open_;
  ReadHandle nextHandle_ = 3;
  std::uint64_t nextId_ = 1;
};

}  // namespace kestrin::testing
