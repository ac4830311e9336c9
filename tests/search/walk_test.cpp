// The directory walk over the in-memory file system: order, hidden entries, path limits, folder links.

#include "search/walk.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/memory_fs.h"
#include "search/list_helpers.h"

namespace kestrin {
namespace {

using testing::Paths;
using testing::MemoryFileSystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const PathStyle kWindows = PathStyle::Windows();
const PathStyle kPosix = PathStyle::Posix();

std::vector<std::string> Walk(FileSystem& fs, std::string_view folder, bool recursive, bool includeHidden,
                              const PathStyle& style) {
  FileList list;
  CollectFiles(CommandEnv{fs}, folder, list, recursive, includeHidden, style);
  return Paths(list);
}

TEST(CollectFiles, DepthFirstInEnumerationOrder) {
  MemoryFileSystem mem(kWindows);
  mem.AddFile("C:\\in\\a.txt").AddFile("C:\\in\\sub\\b.txt").AddFile("C:\\in\\z.txt");
  EXPECT_THAT(Walk(mem, "C:\\in\\", true, false, kWindows), ElementsAre("C:\\in\\a.txt", "C:\\in\\sub\\b.txt", "C:\\in\\z.txt"));
  EXPECT_THAT(Walk(mem, "C:\\in\\", false, false, kWindows), ElementsAre("C:\\in\\a.txt", "C:\\in\\z.txt"));
}

TEST(CollectFiles, HiddenEntriesAndFolders) {
  MemoryFileSystem mem(kWindows);
  mem.AddFile("C:\\in\\vis.txt")
      .AddFile("C:\\in\\hid.txt", "", true)
      .AddFolder("C:\\in\\hdir", true)
      .AddFile("C:\\in\\hdir\\inner.txt")
      .AddFile("C:\\in\\hdir\\vdir\\deep.txt")
      .AddFile("C:\\in\\vdir\\x")
      .AddFile("C:\\in\\vdir\\hx", "", true);
  struct Case {
    bool recursive;
    bool hidden;
    std::vector<std::string> want;
  };
  const Case cases[] = {
      {false, false, {"C:\\in\\vis.txt"}},
      {false, true, {"C:\\in\\vis.txt", "C:\\in\\hid.txt"}},
      // Nothing below a hidden folder, not even visible files in visible folders.
      {true, false, {"C:\\in\\vis.txt", "C:\\in\\vdir\\x"}},
      {true, true,
       {"C:\\in\\vis.txt", "C:\\in\\hid.txt", "C:\\in\\hdir\\inner.txt", "C:\\in\\hdir\\vdir\\deep.txt",
        "C:\\in\\vdir\\x", "C:\\in\\vdir\\hx"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Walk(mem, "C:\\in\\", c.recursive, c.hidden, kWindows), c.want) << c.recursive << c.hidden;
}

TEST(CollectFiles, DotNamesAreHiddenOnPosix) {
  MemoryFileSystem mem(kPosix);
  mem.AddFile("/in/.profile").AddFile("/in/.git/config").AddFile("/in/src/.keep").AddFile("/in/src/main.c");
  EXPECT_THAT(Walk(mem, "/in/", true, false, kPosix), ElementsAre("/in/src/main.c"));
  EXPECT_THAT(Walk(mem, "/in/", true, true, kPosix),
              ElementsAre("/in/.profile", "/in/.git/config", "/in/src/.keep", "/in/src/main.c"));
}

TEST(CollectFiles, AppendsAndKeepsTheFolderTextAsGiven) {
  MemoryFileSystem mem(kWindows);
  mem.AddFile("C:\\in\\noext").AddFolder("C:\\in\\only\\sub").AddFolder("C:\\empty");
  FileList list;
  list.push_back("earlier");
  CollectFiles(CommandEnv{mem}, "C:\\in\\", list, true, false, kWindows);
  EXPECT_THAT(Paths(list), ElementsAre("earlier", "C:\\in\\noext"));

  EXPECT_THAT(Walk(mem, "C:\\in\\\\", false, false, kWindows), ElementsAre("C:\\in\\\\noext"));
  EXPECT_THAT(Walk(mem, "C:\\in\\only\\", false, true, kWindows), IsEmpty()) << "folders are never listed";
  EXPECT_THAT(Walk(mem, "C:\\empty\\", true, true, kWindows), IsEmpty());
  EXPECT_THAT(Walk(mem, "C:\\missing\\", true, true, kWindows), IsEmpty());
  EXPECT_THAT(Walk(mem, "", true, true, kWindows), IsEmpty());
}

TEST(CollectFiles, KeepsTheKindOfEachEntry) {
  MemoryFileSystem mem(kPosix);
  mem.AddFile("/in/a").AddOther("/in/pipe");
  FileList list;
  CollectFiles(CommandEnv{mem}, "/in/", list, true, true, kPosix);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list.kind(0), EntryKind::File);
  EXPECT_EQ(list.kind(1), EntryKind::Other);
}

// With the Windows limit of 259 bytes per path: what fits is listed, what does not is skipped whole.
TEST(CollectFiles, SkipsPathsOverThePathLimit) {
  const std::string root = "C:\\p\\";  // 5 bytes
  const std::string fits(259 - root.size(), 'f');
  const std::string tooLong(260 - root.size(), 'g');
  const std::string folder(252, 'd');        // its path, with the separator, is 258 bytes
  const std::string fullFolder(253, 'e');    // 259 bytes: it fits, but no file inside it can
  const std::string overFolder(254, 'o');    // 260 bytes: not entered
  MemoryFileSystem mem(kWindows);
  mem.AddFile(root + fits)
      .AddFile(root + tooLong)
      .AddFile(root + folder + "\\f")
      .AddFile(root + folder + "\\ff")
      .AddFile(root + fullFolder + "\\h")
      .AddFile(root + overFolder + "\\i")
      .AddFile(root + "last");
  const std::vector<std::string> got = Walk(mem, root, true, false, kWindows);
  EXPECT_THAT(got, ElementsAre(root + fits, root + folder + "\\f", root + "last"));
  for (const std::string& p : got) EXPECT_LE(p.size(), 259u);
  EXPECT_THAT(Walk(mem, std::string(260, 'C'), true, false, kWindows), IsEmpty());
}

// Folder links on top of the in-memory file system: a link is listed as a folder that has its target's
// identity, and a path through the link leads into the target.
class LinkingFileSystem : public MemoryFileSystem {
 public:
  using MemoryFileSystem::MemoryFileSystem;

  // folder is the link's folder (ending in '/'), name its name, target the folder it leads to.
  void AddFolderLink(std::string folder, std::string name, std::string target) {
    links_.push_back({std::move(folder), std::move(name), std::move(target)});
  }

  PathInfo Lookup(const std::string& path) override { return MemoryFileSystem::Lookup(Resolve(path)); }

  FsStatus Enumerate(const std::string& folder, const std::function<void(const DirEntry&)>& onEntry) override {
    const std::string real = Resolve(folder);
    if (FsStatus listed = MemoryFileSystem::Enumerate(real, onEntry); !listed) return listed;
    for (const Link& link : links_) {
      if (link.folder != real) continue;
      DirEntry entry;
      entry.name = link.name;
      entry.kind = EntryKind::Directory;
      entry.id = MemoryFileSystem::Lookup(link.target).id;
      onEntry(entry);
    }
    return {};
  }

 private:
  struct Link {
    std::string folder;
    std::string name;
    std::string target;
  };
  std::string Resolve(std::string path) const {
    for (bool changed = true; changed;) {
      changed = false;
      for (const Link& link : links_) {
        const std::string through = link.folder + link.name + "/";
        if (path.compare(0, through.size(), through) == 0) {
          path = link.target + path.substr(through.size());
          changed = true;
        }
      }
    }
    return path;
  }
  std::vector<Link> links_;
};

TEST(CollectFiles, EachFolderIsEnteredOnceWhateverLinksLeadToIt) {
  LinkingFileSystem mem(kPosix);
  mem.AddFile("/top/f").AddFile("/top/a/g").AddFile("/top/b/h");
  mem.AddFolderLink("/top/a/", "up", "/top/");      // leads back to the top
  mem.AddFolderLink("/top/a/", "self", "/top/a/");  // leads to its own folder
  mem.AddFolderLink("/top/b/", "toA", "/top/a/");   // a side step to a folder walked already
  EXPECT_THAT(Walk(mem, "/top/", true, false, kPosix), ElementsAre("/top/f", "/top/a/g", "/top/b/h"));
}

}  // namespace
}  // namespace kestrin
