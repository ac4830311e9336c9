// The journal of the command-line tool: a dry run of a rename or copy batch takes the decisions of the
// real run (files that collide, names freed or taken by earlier steps, folders made on the way) and
// changes nothing.

#include "cli/journal_fs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileops/copy.h"
#include "fileops/rename.h"
#include "primitives/fs_query.h"
#include "support/memory_fs.h"

namespace kestrin::cli {
namespace {

using testing::MemoryFileSystem;

struct Tree {
  PathStyle style;
  std::vector<std::pair<std::string, std::string>> files;
  void Fill(MemoryFileSystem& mem) const {
    for (const auto& [path, content] : files) mem.AddFile(path, content);
  }
  FileList List() const {
    FileList list;
    for (const auto& file : files) list.push_back(file.first);
    return list;
  }
};

// Runs batch over a fresh copy of tree through a journal; returns where each listed file went.
template <class Batch>
std::vector<std::string> RunBatch(const Tree& tree, bool dryRun, Batch batch) {
  MemoryFileSystem mem(tree.style);
  tree.Fill(mem);
  const std::vector<std::string> before = mem.Paths();
  JournalFileSystem journal(mem, dryRun, tree.style);
  std::vector<std::string> went;
  {
    ScopedFileSystem use(journal);
    const FileList files = tree.List();
    std::vector<std::size_t> starts;
    batch(files, starts);
    starts.push_back(journal.Journal().size());
    for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
      went.push_back(journal.Destination(files[i], starts[i], starts[i + 1]));
    }
  }
  if (dryRun) {
    EXPECT_EQ(mem.Paths(), before) << "a dry run changed the tree";
    for (const auto& [path, content] : tree.files) EXPECT_EQ(mem.Content(path), content);
  }
  return went;
}

TEST(JournalFileSystem, DryRunOfARenameTakesTheRealRunsDecisions) {
  const PathStyle posix = PathStyle::Posix();
  const PathStyle win = PathStyle::Windows();
  struct Case {
    Tree tree;
    std::string oldText, newText;
    bool force;
    std::vector<std::string> went;
  };
  const Case cases[] = {
      // y.a is taken: x.a stays (replaced with force); x.b takes a free name.
      {{posix, {{"/in/x.a", "1"}, {"/in/x.b", "2"}, {"/in/y.a", "3"}}}, "x.", "y.", false, {"", "/in/y.b", ""}},
      {{posix, {{"/in/x.a", "1"}, {"/in/y.a", "3"}}}, "x.", "y.", true, {"/in/y.a", ""}},
      // A name freed by an earlier step is free for a later one; a name taken by one is taken.
      {{posix, {{"/in/ab", "1"}, {"/in/bb", "2"}}}, "b", "c", false, {"/in/ac", "/in/cb"}},
      {{posix, {{"/in/a1", "1"}, {"/in/b1", "2"}, {"/in/c1", "3"}}}, "1", "", false, {"/in/a", "/in/b", "/in/c"}},
      {{posix, {{"/in/ax", "1"}, {"/in/a", "2"}, {"/in/xa", "3"}}}, "x", "", false, {"", "", ""}},
      {{posix, {{"/in/a", "2"}, {"/in/ax", "1"}}}, "a", "b", false, {"/in/b", "/in/bx"}},
      // Case only, on a file system that ignores case.
      {{win, {{"C:\\in\\Read.TXT", "1"}}}, "read", "READ", false, {"C:\\in\\READ.TXT"}},
      {{win, {{"C:\\in\\a.txt", "1"}, {"C:\\in\\B.txt", "2"}}}, "a", "b", false, {"", ""}},
      {{win, {{"C:\\in\\a.txt", "1"}, {"C:\\in\\B.txt", "2"}}}, "a", "b", true, {"C:\\in\\b.txt", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.oldText + " -> " + c.newText + (c.force ? " forced" : ""));
    const auto batch = [&](const FileList& files, std::vector<std::size_t>& starts) {
      JournalFileSystem& journal = static_cast<JournalFileSystem&>(Fs());
      RenameFiles(files, c.oldText, c.newText, c.force, [&](std::size_t) { starts.push_back(journal.Journal().size()); },
                  c.tree.style);
    };
    const std::vector<std::string> real = RunBatch(c.tree, false, batch);
    EXPECT_EQ(real, c.went);
    EXPECT_EQ(RunBatch(c.tree, true, batch), real);
  }
}

TEST(JournalFileSystem, DryRunOfACopyMakesNoFolderAndSeesItsOwnCopies) {
  const Tree tree{PathStyle::Posix(),
                  {{"/in/PublicRes/a.txt", "1"}, {"/in/PublicRes/sub/b.txt", "2"}, {"/in/c.txt", "3"}}};
  const auto batch = [&](const FileList& files, std::vector<std::size_t>& starts) {
    JournalFileSystem& journal = static_cast<JournalFileSystem&>(Fs());
    ASSERT_TRUE(EnsureDirectories("/out/new/", tree.style));
    starts.push_back(0);
    CopyFiles(files, "/in/", "/out/new/", [&](std::size_t) { starts.push_back(journal.Journal().size()); },
              tree.style);
    starts.pop_back();
  };
  const std::vector<std::string> real = RunBatch(tree, false, batch);
  EXPECT_EQ(real, (std::vector<std::string>{"/out/new/PublicRes/a.txt", "/out/new/PublicRes/sub/b.txt",
                                            "/out/new/c.txt"}));
  EXPECT_EQ(RunBatch(tree, true, batch), real);
}

}  // namespace
}  // namespace kestrin::cli
