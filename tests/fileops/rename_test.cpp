// Batch rename on the in-memory file system, with both path styles.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fileops/rename.h"
#include "search/list_helpers.h"
#include "support/event_sink.h"
#include "support/faulty_fs.h"
#include "support/memory_fs.h"
#include "styles.h"

namespace kestrin {
namespace {

using namespace fileops_test;
using testing::FailuresTo;
using testing::ListOf;

enum class Other { None, File, Folder, Alias };  // what already bears the new name

struct RenameCase {
  const PathStyle& style;
  std::string file;  // below the input folder, written with the style's separator
  std::string oldString;
  std::string newString;
  bool force;
  std::string renamedTo;  // empty: the file keeps its name
  Other other = Other::None;
  std::string otherName = {};
};

std::vector<RenameCase> RenameCases() {
  const std::string n123(123, 'n');
  return {
      {kWin, "Report_OLD_old.txt", "old", "new", false, "Report_new_old.txt"},
      {kWin, "a_tmp.txt", "_tmp", "", false, "a.txt"},
      {kWin, "a.txt", ".TXT", ".bak", false, "a.bak"},
      {kWin, "dir\\x.txt", "dir", "y", false, ""},  // folder names are never matched
      {kWin, "sub\\a_old.txt", "OLD", "new", false, "sub\\a_new.txt"},
      {kWin, "x.txt", "zzz", "y", false, ""},
      {kWin, "a.txt", "a", "a", true, ""},        // the name stays as it is
      {kWin, "abc", "abc", "", true, ""},         // empty new name
      {kWin, "a.txt", "a", "..\\b", true, ""},    // a separator would move the file
      {kWin, "a.txt", "a", "x/b", true, ""},
      {kWin, "x.txt", "x.txt", "..", true, ""},
      {kWin, "a.txt", "a", n123, false, n123 + ".txt"},  // 127 bytes: fits
      {kWin, "ab.txt", "a", n123, false, ""},            // 128 bytes: refused
      {kWinGbk, "b.txt", "b", "\x95\\", false, "\x95\\.txt"},  // a trail byte 0x5C is no separator
      {kWin, "x_old.txt", "old", "new", false, "", Other::File, "x_new.txt"},
      {kWin, "x_old.txt", "old", "new", true, "x_new.txt", Other::File, "x_new.txt"},
      {kWin, "x_old.txt", "old", "new", true, "", Other::Folder, "x_new.txt"},
      {kWin, "x_old.txt", "old", "new", true, "", Other::Alias, "x_new.txt"},
      // In case only: the file system finds the source itself under the new name.
      {kWin, "a.txt", "a.txt", "A.TXT", true, "A.TXT"},
      {kWin, "a.txt", "a.txt", "A.TXT", false, "A.TXT"},
      {kPosix, "a.txt", "a", "A", true, "A.txt"},
      {kPosix, "a.txt", "a", "x\\y", false, "x\\y.txt"},  // a backslash is an ordinary byte
      {kPosix, "a.txt", "a", "x/y", false, ""},
      {kPosix, "x_old.txt", "old", "new", false, "", Other::File, "x_new.txt"},
      {kPosix, "x_old.txt", "old", "new", true, "x_new.txt", Other::File, "x_new.txt"},
      {kPosix, "x_old.txt", "old", "new", true, "", Other::Alias, "x_new.txt"},
  };
}

TEST(RenameTest, RenamesOrLeavesEachFileAndLosesNothing) {
  for (const RenameCase& c : RenameCases()) {
    const std::string in = c.style.windows ? "D:\\in\\" : "/in/";
    const std::string source = in + c.file;
    const std::string other = in + c.otherName;
    SCOPED_TRACE(source + " '" + c.oldString + "' -> '" + c.newString + (c.force ? "' forced" : "'"));
    testing::MemoryFileSystem mem(c.style);
    mem.AddFile(source, "content");
    if (c.other == Other::File) mem.AddFile(other, "other");
    if (c.other == Other::Folder) mem.AddFile(other + c.style.Separator() + "keep", "other");
    if (c.other == Other::Alias) mem.AddAlias(other, source);
    const std::size_t entries = mem.Paths().size();
    EXPECT_EQ(RenameOneFile(CommandEnv{mem}, source, c.oldString, c.newString, c.force, c.style), !c.renamedTo.empty());
    if (c.renamedTo.empty()) {
      EXPECT_EQ(mem.Paths().size(), entries);
      EXPECT_EQ(mem.Content(source), "content");
      if (c.other == Other::File) {
        EXPECT_EQ(mem.Content(other), "other");
      }
    } else {
      EXPECT_EQ(mem.Content(in + c.renamedTo), "content");
      EXPECT_EQ(mem.Paths().size(), entries - (c.other == Other::File ? 1 : 0));
      const std::vector<std::string> paths = mem.Paths();
      EXPECT_NE(std::find(paths.begin(), paths.end(), in + c.renamedTo), paths.end()) << "spelt as asked";
    }
  }
}

TEST(RenameTest, PathLimitAndStringLimits) {
  testing::MemoryFileSystem mem(kWin);
  const std::string fits = "D:\\" + std::string(250, 'd') + "\\a_old";  // renamed: 259 bytes
  const std::string over = "D:\\" + std::string(251, 'd') + "\\a_old";  // renamed: 260 bytes
  mem.AddFile(fits, "1").AddFile(over, "2");
  EXPECT_FALSE(RenameOneFile(CommandEnv{mem}, over, "old", "new", false, kWin));
  EXPECT_TRUE(RenameOneFile(CommandEnv{mem}, fits, "old", "new", false, kWin));

  // Strings over the limit are refused for the whole batch, even where the result would fit.
  const std::string o128(128, 'o');
  const std::string longName = "D:\\f\\" + o128 + "x";
  mem.AddFile(longName, "3");
  FileList files;
  files.push_back(longName);
  EXPECT_EQ(RenameFiles(CommandEnv{mem}, files, o128, "n", true, kWin), 0u);
  EXPECT_EQ(RenameFiles(CommandEnv{mem}, files, "", "n", true, kWin), 0u);
  EXPECT_EQ(mem.Content(longName), "3");
  EXPECT_EQ(RenameFiles(CommandEnv{mem}, files, o128.substr(1), "n", true, kWin), 1u);  // 127 bytes
  EXPECT_EQ(mem.Content("D:\\f\\nox"), "3");
}

TEST(RenameTest, BatchCountsAndReportsPositionBeforeEachFile) {
  testing::MemoryFileSystem mem(kPosix);
  mem.AddFile("/in/a_old", "a").AddFile("/in/b", "b").AddFile("/in/s/c_OLD", "c");
  FileList files;
  for (const char* path : {"/in/a_old", "/in/b", "/in/s/c_OLD"}) files.push_back(path);
  std::vector<std::size_t> positions;
  testing::OnProgress sink([&](std::size_t i) {
    positions.push_back(i);
    EXPECT_TRUE(mem.Exists(files[i])) << "not yet renamed";
  });
  const std::uint32_t renamed = RenameFiles(CommandEnv{mem, nullptr, sink}, files, "old", "new", false, kPosix);
  EXPECT_EQ(renamed, 2u);
  EXPECT_EQ(positions, (std::vector<std::size_t>{0, 1, 2}));
  // Each file's outcome after its progress step: renamed with its new path, or skipped.
  testing::EventSink events;
  mem.AddFile("/in/d_old", "d").AddFile("/in/d_new", "taken");
  const std::uint32_t again =
      RenameFiles(CommandEnv{mem, nullptr, events}, ListOf({"/in/a_new", "/in/d_old", "/in/x_old"}), "_old", "_new",
                  false, kPosix);
  EXPECT_EQ(again, 0u);
  EXPECT_EQ(events.events, (std::vector<std::string>{"pos 0", "skipped 0 /in/a_new", "pos 1",
                                                     "failed 1 /in/d_old: target exists", "pos 2",
                                                     "failed 2 /in/x_old: vanished", "end"}));
  events.events.clear();
  EXPECT_EQ(RenameFiles(CommandEnv{mem, nullptr, events}, ListOf({"/in/d_old"}), "_old", "_new", true, kPosix), 1u);
  EXPECT_EQ(events.events,
            (std::vector<std::string>{"pos 0", "renamed 0 /in/d_old -> /in/d_new +replaced", "end"}));
  EXPECT_EQ(mem.Content("/in/a_new"), "a");
  EXPECT_EQ(mem.Content("/in/s/c_new"), "c");
}

TEST(RenameTest, FailedForcedMoveLosesNeitherFile) {
  testing::MemoryFileSystem mem(kPosix);
  mem.AddFile("/in/x_old", "source").AddFile("/in/x_new", "other");
  testing::FaultyFileSystem faulty(mem);
  faulty.Fail(testing::FsOp::MoveReplacing);
  EXPECT_FALSE(RenameOneFile(CommandEnv{faulty}, "/in/x_old", "old", "new", true, kPosix));
  EXPECT_EQ(mem.Content("/in/x_old"), "source");
  EXPECT_EQ(mem.Content("/in/x_new"), "other");
  EXPECT_EQ(faulty.Calls(testing::FsOp::RemoveFile), 0);
}

// A rename onto another name of the file itself (the name in another case where names ignore it, a second
// link) that does not happen is recorded with its reason, like any other failed rename: the move failed, or
// it reported success and the folder still shows the old name.
TEST(RenameTest, ARenameOntoAnotherNameOfItselfThatDoesNotHappenIsAFailure) {
  enum class Fault { None, Fail, Pretend };
  struct Case {
    const char* what;
    const PathStyle& style;
    std::string source, alias;  // alias: a second link to the source, or empty
    const char* oldString;
    const char* newString;
    Fault fault;
    std::string failure;
  };
  const Case cases[] = {
      {"case only, refused", kWin, "D:\\in\\a.txt", "", "a.txt", "A.TXT", Fault::Fail, "injected failure"},
      {"case only, no effect", kWin, "D:\\in\\a.txt", "", "a.txt", "A.TXT", Fault::Pretend,
       "the system kept the old name"},
      {"second link", kPosix, "/in/x_old", "/in/x_new", "old", "new", Fault::None, "target exists"},
      {"second link, no effect", kPosix, "/in/x_old", "/in/x_new", "old", "new", Fault::Pretend,
       "the system kept the old name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::MemoryFileSystem mem(c.style);
    mem.AddFile(c.source, "content");
    if (!c.alias.empty()) mem.AddAlias(c.alias, c.source);
    testing::FaultyFileSystem faulty(mem);
    if (c.fault == Fault::Fail) faulty.Fail(testing::FsOp::MoveNoReplace);
    if (c.fault == Fault::Pretend) faulty.Pretend(testing::FsOp::MoveNoReplace);
    FileList files;
    files.push_back(c.source);
    FailureList failures;
    const std::uint32_t renamed = RenameFiles(FailuresTo(faulty, failures).env, files, c.oldString, c.newString, false, c.style);
    EXPECT_EQ(renamed, 0u);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].path, c.source);
    EXPECT_EQ(ReasonText(failures[0]), c.failure);
    EXPECT_EQ(mem.Content(c.source), "content");
  }
}

}  // namespace
}  // namespace kestrin
