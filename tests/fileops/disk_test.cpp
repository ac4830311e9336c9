// Renames and copies against a real temporary folder: every file is counted and checksummed before and
// after, and nothing is ever lost. Failures the disk would rarely give are injected through the
// fault-injecting file system, which forwards everything else to the real one.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "fileops/copy.h"
#include "fileops/rename.h"
#include "fileops/disk_fixture.h"
#include "support/faulty_fs.h"

namespace kestrin {
namespace {

using testing::Checksum;
using testing::DiskTest;
using testing::Expected;
using testing::Files;
using testing::Snapshot;
namespace stdfs = std::filesystem;

TEST_F(DiskTest, CopyMirrorsTheTreeAndReplacesOlderCopies) {
  Make("in/PublicRes/ui/a.png", "png");
  Make("in/PublicRes/c.xml", "xml");
  Make("in/PlugApp/m/b.lua", "lua");
  Make("out/PublicRes/c.xml", "older copy");
  const Files sources = Snapshot(tmp_.Join("in"));
  const FileList files = List({"in/PublicRes/ui/a.png", "in/PublicRes/c.xml", "in/PlugApp/m/b.lua"});
  const CopyCounts counts = CopyFiles(CommandEnv{NativeFileSystem()}, files, tmp_.Join("in"), OutputFolderFromText(tmp_.Join("out")));
  EXPECT_EQ(counts.succeeded, 3u);
  EXPECT_EQ(counts.failed, 0u);
  EXPECT_EQ(Snapshot(tmp_.Join("in")), sources);
  EXPECT_EQ(Snapshot(tmp_.Join("out")), sources);
}

TEST_F(DiskTest, FailedCopiesLeaveSourcesAndOlderCopiesWhole) {
  Make("in/ok.txt", "ok");
  Make("in/dir.txt", "to a folder");
  Make("in/ro.txt", "new ro");         // its folder refuses writes
  Make("in/cut.txt", "new cut");       // its copy breaks off
  Make("in/half.txt", "new half");     // its copy is made but cannot be confirmed
  Make("in/sub/new.txt", "new");       // its folder cannot be made
  Make("in/gone.txt", "gone");         // vanishes after the walk
  Make("out/dir.txt/keep", "keep");
  Make("out/ro.txt", "old ro");
  Make("out/cut.txt", "old cut");
  const FileList files =
      List({"in/ok.txt", "in/dir.txt", "in/ro.txt", "in/cut.txt", "in/half.txt", "in/sub/new.txt", "in/gone.txt"});
  stdfs::remove(tmp_.Join("in/gone.txt"));
  const Files sources = Snapshot(tmp_.Join("in"));

  testing::FaultyFileSystem faulty;
  faulty.Fail(testing::FsOp::CopyReplacing, "ro.txt")
      .Fail(testing::FsOp::CopyReplacing, "cut.txt")
      .Halfway(testing::FsOp::CopyReplacing, "half.txt")
      .Fail(testing::FsOp::MakeFolder, "sub");
  const CopyCounts counts = CopyFiles(CommandEnv{faulty}, files, tmp_.Join("in"), OutputFolderFromText(tmp_.Join("out")));
  EXPECT_EQ(counts.succeeded, 1u);
  EXPECT_EQ(counts.failed, 6u);
  EXPECT_EQ(Snapshot(tmp_.Join("in")), sources);
  EXPECT_EQ(Snapshot(tmp_.Join("out")), Expected({{"ok.txt", "ok"}, {"dir.txt/keep", "keep"}, {"ro.txt", "old ro"},
                                                  {"cut.txt", "old cut"}, {"half.txt", "new half"}}));
}

TEST_F(DiskTest, TwoResultsForOneTargetAndACopyOntoItself) {
  Make("in/x/f.txt", "first");
  Make("in/f.txt", "second");
  const Files sources = Snapshot(tmp_.Join("in"));
  // Both map to out/x/f.txt: "x/f.txt" re-roots at the output's folder x. The batch never overwrites
  // its own copy: the second is refused and reported, and the first stays.
  FailureList failures;
  const CopyCounts counts = CopyFiles(testing::FailuresTo(NativeFileSystem(), failures).env,
                                      List({"in/x/f.txt", "in/f.txt"}), tmp_.Join("in"),
                                      OutputFolderFromText(tmp_.Join("out/x")));
  EXPECT_EQ(counts.succeeded, 1u);
  EXPECT_EQ(counts.failed, 1u);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].path, tmp_.Join("in/f.txt"));
  EXPECT_EQ(ReasonText(failures[0]), "another file of this batch was copied there");
  EXPECT_EQ(Snapshot(tmp_.Join("out")), Expected({{"x/f.txt", "first"}}));
  // An empty prefix maps a file onto itself (on POSIX through the temporary folder's first folder name).
  EXPECT_FALSE(CopyOneFile(CommandEnv{NativeFileSystem()}, tmp_.Join("in/f.txt"), "", OutputFolderFromText(tmp_.Join("out"))));
  EXPECT_EQ(Snapshot(tmp_.Join("in")), sources);
}

struct DiskRename {
  const char* file;
  const char* other;  // a file that already bears the new name, or null
  bool hardLink;      // other is a second name of the file itself
  const char* oldString;
  const char* newString;
  bool force;
  std::vector<std::pair<const char*, const char*>> after;  // the folder's files afterwards
  bool aliasOnWindows;  // Windows finds the file itself under the new name: the names may stay
};

TEST_F(DiskTest, RenameNeverLosesAFile) {
  const std::vector<DiskRename> cases = {
      {"x_old.txt", "x_new.txt", false, "old", "new", false, {{"x_old.txt", "source"}, {"x_new.txt", "other"}}, false},
      {"x_old.txt", "x_new.txt", false, "old", "new", true, {{"x_new.txt", "source"}}, false},
      {"x_old.txt", "x_new.txt", true, "old", "new", true, {{"x_old.txt", "source"}, {"x_new.txt", "source"}}, false},
      {"a.txt", nullptr, false, "a.txt", "A.TXT", true, {{"A.TXT", "source"}}, true},
      {"a.txt", nullptr, false, "a.txt", "A.TXT", false, {{"A.TXT", "source"}}, true},
      {"a.txt", nullptr, false, "txt", "txt.", true, {{"a.txt.", "source"}}, true},
      {"a.txt", nullptr, false, "a", "../a", true, {{"a.txt", "source"}}, false},
  };
  const bool windows = NativePathStyle().windows;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const DiskRename& c = cases[i];
    SCOPED_TRACE(std::string(c.file) + " '" + c.oldString + "' -> '" + c.newString + (c.force ? "' forced" : "'"));
    const std::string folder = "case" + std::to_string(i);
    const std::string source = Make(folder + "/" + c.file, "source");
    if (c.other != nullptr && c.hardLink) {
      std::error_code error;
      stdfs::create_hard_link(source, tmp_.Join(folder + "/" + c.other), error);
      if (error) continue;  // a file system without hard links
    } else if (c.other != nullptr) {
      Make(folder + "/" + c.other, "other");
    }
    const bool renamed = RenameOneFile(CommandEnv{NativeFileSystem()}, source, c.oldString, c.newString, c.force);
    const Files files = Snapshot(tmp_.Join(folder));
    EXPECT_EQ(renamed, files.count(c.file) == 0) << "the result tells whether the name changed";
    if (windows && c.aliasOnWindows) {
      // Renamed in case, or left alone: either way the one file keeps its content.
      ASSERT_EQ(files.size(), 1u);
      EXPECT_EQ(files.begin()->second, Checksum("source"));
    } else {
      EXPECT_EQ(files, Expected(c.after));
    }
  }
}

}  // namespace
}  // namespace kestrin
