// One set of expectations for every FileSystem: the native one on a real temporary folder, and the
// in-memory double that other tests rely on to behave like it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/filesystem.h"
#include "support/memory_fs.h"
#include "support/temp_folder.h"

namespace kestrin {
namespace {

using testing::MemoryFileSystem;
using testing::TempFolder;

// A place to build a small tree, and the file system under test.
class Place {
 public:
  virtual ~Place() = default;
  virtual FileSystem& fs() = 0;
  // The full path of a name relative to the place ('/' separates levels).
  virtual std::string Path(const std::string& relative) const = 0;
  virtual void Folder(const std::string& relative) = 0;
  virtual void File(const std::string& relative, const std::string& content) = 0;
  // A second name for an existing file.
  virtual void Alias(const std::string& relative, const std::string& existing) = 0;
  virtual std::optional<std::string> Content(const std::string& relative) = 0;
};

class DiskPlace : public Place {
 public:
  FileSystem& fs() override { return NativeFileSystem(); }
  std::string Path(const std::string& relative) const override { return tmp_.Join(relative); }
  void Folder(const std::string& relative) override {
    std::filesystem::create_directories(std::filesystem::path(Path(relative)));
  }
  void File(const std::string& relative, const std::string& content) override {
    ASSERT_TRUE(testing::WriteFile(Path(relative), content));
  }
  void Alias(const std::string& relative, const std::string& existing) override {
    std::filesystem::create_hard_link(std::filesystem::path(Path(existing)), std::filesystem::path(Path(relative)));
  }
  std::optional<std::string> Content(const std::string& relative) override {
    return testing::ReadFile(Path(relative));
  }

 private:
  TempFolder tmp_;
};

class MemoryPlace : public Place {
 public:
  FileSystem& fs() override { return memory_; }
  std::string Path(const std::string& relative) const override {
    std::string out = "/place/" + relative;
    std::replace(out.begin(), out.end(), '/', NativePathStyle().Separator());
    return out;
  }
  void Folder(const std::string& relative) override { memory_.AddFolder(Path(relative)); }
  void File(const std::string& relative, const std::string& content) override {
    memory_.AddFile(Path(relative), content);
  }
  void Alias(const std::string& relative, const std::string& existing) override {
    memory_.AddAlias(Path(relative), Path(existing));
  }
  std::optional<std::string> Content(const std::string& relative) override { return memory_.Content(Path(relative)); }

 private:
  MemoryFileSystem memory_;
};

struct Kind {
  const char* name;
  std::function<std::unique_ptr<Place>()> make;
};

class FileSystemContract : public ::testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    place_ = GetParam().make();
    place_->Folder("in/sub");
    place_->File("in/a.txt", "alpha");
    place_->File("in/sub/b.bin", std::string("b\0b", 3));
  }
  FileSystem& fs() { return place_->fs(); }
  std::string P(const std::string& relative) { return place_->Path(relative); }

  std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    EXPECT_TRUE(fs().Enumerate(P(folder), [&](const DirEntry& e) { names.insert(std::string(e.name)); }));
    return names;
  }

  std::unique_ptr<Place> place_;
};

TEST_P(FileSystemContract, Lookup) {
  struct Row {
    const char* path;
    bool found;
    bool directory;
    EntryKind kind;
  };
  const Row rows[] = {
      {"in", true, true, EntryKind::Directory},
      {"in/a.txt", true, false, EntryKind::File},
      {"in/none", false, false, EntryKind::File},
      {"in/a.txt/x", false, false, EntryKind::File},
  };
  for (const Row& r : rows) {
    const PathInfo info = fs().Lookup(P(r.path));
    EXPECT_EQ(info.found, r.found) << r.path;
    EXPECT_EQ(info.directory, r.directory) << r.path;
    if (r.found) {
      EXPECT_EQ(info.kind, r.kind) << r.path;
      EXPECT_TRUE(info.id.valid) << r.path;
    }
  }
  EXPECT_FALSE(fs().Lookup(P("in")).id == fs().Lookup(P("in/sub")).id);
  EXPECT_TRUE(fs().Lookup(P("in/sub")).id == fs().Lookup(P("in/sub")).id);
}

TEST_P(FileSystemContract, EnumerateListsEntriesWithoutDots) {
  EXPECT_EQ(Names("in"), (std::set<std::string>{"a.txt", "sub"}));
  bool sawSub = false;
  fs().Enumerate(P("in"), [&](const DirEntry& e) {
    if (e.name == "sub") {
      sawSub = true;
      EXPECT_EQ(e.kind, EntryKind::Directory);
      EXPECT_TRUE(e.id == fs().Lookup(P("in/sub")).id);
    } else {
      EXPECT_EQ(e.kind, EntryKind::File);
    }
    EXPECT_FALSE(e.hidden);
  });
  EXPECT_TRUE(sawSub);
  EXPECT_FALSE(fs().Enumerate(P("missing"), [](const DirEntry&) { FAIL(); }));
  EXPECT_FALSE(fs().Enumerate(P("in/a.txt"), [](const DirEntry&) { FAIL(); }));
}

TEST_P(FileSystemContract, EnumerateMayRecurseFromTheCallback) {
  std::set<std::string> all;
  std::function<void(const std::string&)> walk = [&](const std::string& folder) {
    fs().Enumerate(P(folder), [&](const DirEntry& e) {
      const std::string path = folder + "/" + std::string(e.name);
      all.insert(path);
      if (e.kind == EntryKind::Directory) walk(path);
    });
  };
  walk("in");
  EXPECT_EQ(all, (std::set<std::string>{"in/a.txt", "in/sub", "in/sub/b.bin"}));
}

TEST_P(FileSystemContract, MakeFolder) {
  EXPECT_TRUE(fs().MakeFolder(P("in/new")));
  EXPECT_TRUE(fs().Lookup(P("in/new")).directory);
  EXPECT_FALSE(fs().MakeFolder(P("in/new")));     // exists already
  EXPECT_FALSE(fs().MakeFolder(P("in/a.txt")));   // a file of that name
  EXPECT_FALSE(fs().MakeFolder(P("in/x/y")));     // parent missing
  EXPECT_FALSE(fs().Lookup(P("in/x")).found);
}

TEST_P(FileSystemContract, CopyReplacing) {
  EXPECT_TRUE(fs().CopyReplacing(P("in/a.txt"), P("in/copy.txt")));
  EXPECT_EQ(place_->Content("in/copy.txt"), "alpha");
  EXPECT_FALSE(fs().SameFile(P("in/a.txt"), P("in/copy.txt")));

  EXPECT_TRUE(fs().CopyReplacing(P("in/sub/b.bin"), P("in/copy.txt")));  // replaces
  EXPECT_EQ(place_->Content("in/copy.txt"), std::string("b\0b", 3));
  EXPECT_EQ(place_->Content("in/sub/b.bin"), std::string("b\0b", 3));
}

TEST_P(FileSystemContract, CopyFailuresChangeNothing) {
  place_->Alias("in/alias.txt", "in/a.txt");
  struct Row {
    const char* what;
    const char* from;
    const char* to;
  };
  const Row rows[] = {
      {"onto itself", "in/a.txt", "in/a.txt"},
      {"onto another name of itself", "in/a.txt", "in/alias.txt"},
      {"from a folder", "in/sub", "in/sub2"},
      {"from a missing file", "in/none", "in/none2"},
      {"into a missing folder", "in/a.txt", "in/nowhere/a.txt"},
      {"onto a folder", "in/a.txt", "in/sub"},
  };
  for (const Row& r : rows) {
    EXPECT_FALSE(fs().CopyReplacing(P(r.from), P(r.to))) << r.what;
    EXPECT_EQ(place_->Content("in/a.txt"), "alpha") << r.what;
  }
  EXPECT_EQ(Names("in"), (std::set<std::string>{"a.txt", "alias.txt", "sub"}));
  EXPECT_EQ(Names("in/sub"), (std::set<std::string>{"b.bin"}));
}

TEST_P(FileSystemContract, MoveNoReplaceNeverOverwrites) {
  place_->File("in/other.txt", "other");
  EXPECT_FALSE(fs().MoveNoReplace(P("in/a.txt"), P("in/other.txt")));
  EXPECT_EQ(place_->Content("in/a.txt"), "alpha");
  EXPECT_EQ(place_->Content("in/other.txt"), "other");
  place_->Alias("in/alias.txt", "in/a.txt");
  EXPECT_FALSE(fs().MoveNoReplace(P("in/a.txt"), P("in/alias.txt")));
  EXPECT_TRUE(fs().Lookup(P("in/a.txt")).found);

  EXPECT_TRUE(fs().MoveNoReplace(P("in/a.txt"), P("in/renamed.txt")));
  EXPECT_FALSE(fs().Lookup(P("in/a.txt")).found);
  EXPECT_EQ(place_->Content("in/renamed.txt"), "alpha");
  EXPECT_FALSE(fs().MoveNoReplace(P("in/none"), P("in/none2")));
}

TEST_P(FileSystemContract, MoveReplacingAndRemove) {
  place_->File("in/other.txt", "other");
  EXPECT_TRUE(fs().MoveReplacing(P("in/other.txt"), P("in/a.txt")));
  EXPECT_EQ(place_->Content("in/a.txt"), "other");
  EXPECT_FALSE(fs().Lookup(P("in/other.txt")).found);
  EXPECT_FALSE(fs().MoveReplacing(P("in/a.txt"), P("in/sub")));  // a folder is not replaced
  EXPECT_EQ(place_->Content("in/a.txt"), "other");

  EXPECT_TRUE(fs().RemoveFile(P("in/a.txt")));
  EXPECT_FALSE(fs().Lookup(P("in/a.txt")).found);
  EXPECT_FALSE(fs().RemoveFile(P("in/a.txt")));
  EXPECT_FALSE(fs().RemoveFile(P("in/sub")));
  EXPECT_TRUE(fs().Lookup(P("in/sub")).directory);
}

TEST_P(FileSystemContract, SameFile) {
  place_->Alias("in/alias.txt", "in/a.txt");
  EXPECT_TRUE(fs().SameFile(P("in/a.txt"), P("in/a.txt")));
  EXPECT_TRUE(fs().SameFile(P("in/a.txt"), P("in/alias.txt")));
  EXPECT_FALSE(fs().SameFile(P("in/a.txt"), P("in/sub/b.bin")));
  EXPECT_FALSE(fs().SameFile(P("in/none"), P("in/none")));
}

TEST_P(FileSystemContract, ReadInPieces) {
  const std::string content(100000, 'z');
  place_->File("in/big", content + "end");
  const FsResult<ReadHandle> h = fs().OpenForRead(P("in/big"));
  ASSERT_TRUE(h);
  std::string got;
  char buffer[4096];
  FsResult<std::size_t> n;
  while ((n = fs().Read(h.value, buffer, sizeof buffer)) && n.value > 0) got.append(buffer, n.value);
  EXPECT_TRUE(n);
  fs().Close(h.value);
  EXPECT_EQ(got, content + "end");
  const FsResult<ReadHandle> none = fs().OpenForRead(P("in/none"));
  EXPECT_FALSE(none);
  EXPECT_EQ(none.failure.reason, FailureReason::Vanished);
}

INSTANTIATE_TEST_SUITE_P(
    Implementations, FileSystemContract,
    ::testing::Values(Kind{"native", [] { return std::unique_ptr<Place>(new DiskPlace); }},
                      Kind{"memory", [] { return std::unique_ptr<Place>(new MemoryPlace); }}),
    [](const ::testing::TestParamInfo<Kind>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kestrin
