// The planning file system: a rename or copy batch planned on it takes the decisions of the real run
// (files that collide, names freed or taken by earlier steps, folders made on the way) and changes nothing.

#include "fileops/planning_fs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileops/copy.h"
#include "fileops/rename.h"
#include "primitives/fs_query.h"
#include "support/memory_fs.h"

namespace kestrin {
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

// Runs batch over a fresh copy of tree, for real or planned; returns where each listed file went (its
// Renamed or Copied target, empty for none), as the sink heard it.
template <class Batch>
std::vector<std::string> RunBatch(const Tree& tree, bool planned, Batch batch) {
  MemoryFileSystem mem(tree.style);
  tree.Fill(mem);
  const std::vector<std::string> before = mem.Paths();
  PlanningFileSystem plan(mem, tree.style);
  const FileList files = tree.List();
  std::vector<std::string> went(files.size());
  struct Sink : CommandSink {
    std::vector<std::string>& went;
    explicit Sink(std::vector<std::string>& w) : went(w) {}
    void Outcome(const FileOutcome& o) override {
      if (o.kind == FileOutcome::Kind::Renamed || o.kind == FileOutcome::Kind::Copied) went[o.index] = o.target;
    }
  } sink(went);
  batch(CommandEnv{planned ? static_cast<FileSystem&>(plan) : mem, nullptr, sink}, files);
  if (planned) {
    EXPECT_EQ(mem.Paths(), before) << "a plan changed the tree";
    for (const auto& [path, content] : tree.files) EXPECT_EQ(mem.Content(path), content);
  }
  return went;
}

TEST(PlanningFileSystem, APlannedRenameTakesTheRealRunsDecisions) {
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
    const auto batch = [&](const CommandEnv& env, const FileList& files) {
      RenameFiles(env, files, c.oldText, c.newText, c.force, c.tree.style);
    };
    const std::vector<std::string> real = RunBatch(c.tree, false, batch);
    EXPECT_EQ(real, c.went);
    EXPECT_EQ(RunBatch(c.tree, true, batch), real);
  }
}

TEST(PlanningFileSystem, APlannedCopyMakesNoFolderAndSeesItsOwnCopies) {
  const Tree tree{PathStyle::Posix(),
                  {{"/in/PublicRes/a.txt", "1"}, {"/in/PublicRes/sub/b.txt", "2"}, {"/in/c.txt", "3"}}};
  const auto batch = [&](const CommandEnv& env, const FileList& files) {
    ASSERT_TRUE(EnsureDirectories(env.fs, "/out/new/", tree.style));
    CopyFiles(env, files, "/in/", "/out/new/", tree.style);
  };
  const std::vector<std::string> real = RunBatch(tree, false, batch);
  EXPECT_EQ(real, (std::vector<std::string>{"/out/new/PublicRes/a.txt", "/out/new/PublicRes/sub/b.txt",
                                            "/out/new/c.txt"}));
  EXPECT_EQ(RunBatch(tree, true, batch), real);
}

}  // namespace
}  // namespace kestrin
