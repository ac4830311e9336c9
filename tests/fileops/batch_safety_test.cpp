// What a batch of renames or copies may never do to the files it meets: replace what it has just made,
// touch a file twice, overwrite its own sources, replace what the user may not write or a folder link,
// or lose a file's time and holes. Real temporary folders, every file counted and checksummed.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "fileops/copy.h"
#include "fileops/disk_fixture.h"
#include "fileops/rename.h"
#include "support/child_process.h"
#include "support/faulty_fs.h"

namespace kestrin {
namespace {

using testing::ChildTrouble;
using testing::DiskTest;
using testing::FailuresTo;
using testing::Expected;
using testing::RunInChild;
using testing::Snapshot;
namespace stdfs = std::filesystem;

struct BatchRename {
  const char* why;
  std::vector<std::pair<const char*, const char*>> before;  // name, content
  std::vector<const char*> list;                           // the batch's entries, in order
  const char* oldString;
  const char* newString;
  std::uint32_t renamed;
  std::vector<std::pair<const char*, const char*>> after;
  std::vector<FailureReason> reasons;
};

TEST_F(DiskTest, ForcedBatchRenameNeverUndoesItsOwnWork) {
  const std::vector<BatchRename> cases = {
      {"the second file would replace the first one's new name",
       {{"ab.txt", "A"}, {"ba.txt", "B"}}, {"ab.txt", "ba.txt"}, "a", "", 1,
       {{"b.txt", "A"}, {"ba.txt", "B"}}, {FailureReason::BatchResult}},
      {"the target is a later entry that is still to be renamed",
       {{"xa.txt", "X"}, {"a.txt", "Y"}}, {"xa.txt", "a.txt"}, "x", "", 1,
       {{"xa.txt", "X"}, {"a.tt", "Y"}}, {FailureReason::BatchResult}},
      {"an entry listed twice, whose place an earlier step has filled",
       {{"xa.txt", "A"}, {"xxa.txt", "B"}}, {"xa.txt", "xxa.txt", "xa.txt"}, "x", "", 2,
       {{"a.txt", "A"}, {"xa.txt", "B"}}, {FailureReason::ChangedByBatch}},
      {"an unrelated file of the new name is still replaced",
       {{"a_v1.txt", "new"}, {"a.txt", "old"}}, {"a_v1.txt"}, "_v1", "", 1, {{"a.txt", "new"}}, {}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const BatchRename& c = cases[i];
    SCOPED_TRACE(c.why);
    const std::string folder = "case" + std::to_string(i) + "/";
    for (const auto& [name, content] : c.before) Make(folder + name, content);
    FileList files;
    for (const char* name : c.list) files.push_back(tmp_.Join(folder + name));
    FailureList failures;
    EXPECT_EQ(RenameFiles(FailuresTo(NativeFileSystem(), failures).env, files, c.oldString, c.newString, true, NativePathStyle()),
              c.renamed);
    EXPECT_EQ(Snapshot(tmp_.Join(folder)), Expected(c.after));
    std::vector<FailureReason> reasons;
    for (const Failure& failure : failures.items()) reasons.push_back(failure.reason);
    EXPECT_EQ(reasons, c.reasons);
  }
}

TEST_F(DiskTest, CopyNeverReplacesOneOfItsOwnSources) {
  // The output folder inside the input tree: "a/f" re-roots at the output's folder "a", onto in/x/a/f.
  Make("in/a/f", "A");
  Make("in/x/a/f", "B");
  const testing::Files before = Snapshot(tmp_.Join("in"));
  FailureList failures;
  const CopyCounts counts = CopyFiles(FailuresTo(NativeFileSystem(), failures).env, List({"in/a/f", "in/x/a/f"}), tmp_.Join("in"),
                                      OutputFolderFromText(tmp_.Join("in/x/a/bak")), NativePathStyle());
  EXPECT_EQ(counts.succeeded, 0u);
  EXPECT_EQ(counts.failed, 2u);
  EXPECT_EQ(Snapshot(tmp_.Join("in")), before);
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(failures[0].reason, FailureReason::BatchResult);
}

// A write-protected file (mode 0444, or the read-only attribute) in a writable folder, met by a forced
// rename and by a copy, as a user who may not write it: it is kept, and neither counts as done.
TEST_F(DiskTest, WriteProtectedFilesAreNeverReplaced) {
  Make("ren/x_old.txt", "source");
  const std::string locked = Make("ren/x_new.txt", "protected");
  Make("in/f.txt", "new");
  const std::string lockedCopy = Make("out/f.txt", "protected copy");
  const auto readOnly = stdfs::perms::owner_read | stdfs::perms::group_read | stdfs::perms::others_read;
  stdfs::permissions(locked, readOnly);
  stdfs::permissions(lockedCopy, readOnly);
  const testing::Files before = Snapshot(tmp_.path());

  const int renamed = RunInChild([&] { return static_cast<int>(RenameOneFile(CommandEnv{NativeFileSystem()}, tmp_.Join("ren/x_old.txt"), "old", "new", true)); },
                                 testing::Unprivileged(tmp_.path()));
  if (renamed == testing::kCannotDrop) GTEST_SKIP() << ChildTrouble(renamed);
  EXPECT_EQ(renamed, 0) << ChildTrouble(renamed);
  const int copied = RunInChild([&] {
    const CopyCounts counts = CopyFiles(CommandEnv{NativeFileSystem()}, List({"in/f.txt"}), tmp_.Join("in"), OutputFolderFromText(tmp_.Join("out")));
    return static_cast<int>(counts.succeeded * 10 + counts.failed);
  }, testing::Unprivileged());
  EXPECT_EQ(copied, 1) << ChildTrouble(copied);
  EXPECT_EQ(Snapshot(tmp_.path()), before);
  stdfs::permissions(locked, stdfs::perms::owner_write, stdfs::perm_options::add);
  stdfs::permissions(lockedCopy, stdfs::perms::owner_write, stdfs::perm_options::add);
}

TEST_F(DiskTest, CopyKeepsTheModificationTime) {
  const std::string source = Make("in/old.txt", "old content");
  const auto then = stdfs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
  stdfs::last_write_time(source, then);
  ASSERT_EQ(CopyFiles(CommandEnv{NativeFileSystem()}, List({"in/old.txt"}), tmp_.Join("in"), OutputFolderFromText(tmp_.Join("out"))).succeeded, 1u);
  const auto copied = stdfs::last_write_time(tmp_.Join("out/old.txt"));
  EXPECT_LT(std::chrono::abs(copied - then), std::chrono::seconds(2));
}

TEST_F(DiskTest, CopyAndRenameTellWhyEachFileFailed) {
  Make("in/ok.txt", "ok");
  Make("in/gone.txt", "gone");
  Make("in/blocked/f.txt", "blocked");
  Make("in/onto-folder.txt", "x");
  Make("out/blocked", "a file where a folder is needed");
  stdfs::create_directories(tmp_.Join("out/onto-folder.txt"));
  const FileList files = List({"in/ok.txt", "in/gone.txt", "in/blocked/f.txt", "in/onto-folder.txt"});
  stdfs::remove(tmp_.Join("in/gone.txt"));
  FailureList failures;
  const CopyCounts counts = CopyFiles(FailuresTo(NativeFileSystem(), failures).env, files, tmp_.Join("in"), OutputFolderFromText(tmp_.Join("out")), NativePathStyle());
  EXPECT_EQ(counts.succeeded, 1u);
  EXPECT_EQ(counts.failed, 3u);
  ASSERT_EQ(failures.size(), 3u);
  EXPECT_EQ(failures[0].path, tmp_.Join("in/gone.txt"));
  EXPECT_EQ(failures[0].reason, FailureReason::Vanished);
  EXPECT_EQ(failures[1].path, tmp_.Join("in/blocked/f.txt"));
  EXPECT_EQ(failures[1].reason, FailureReason::TargetExists) << ReasonText(failures[1]);
  EXPECT_EQ(failures[2].reason, FailureReason::TargetExists);

  Make("ren/x_old.txt", "source");
  Make("ren/x_new.txt", "other");
  failures.clear();
  EXPECT_EQ(RenameFiles(FailuresTo(NativeFileSystem(), failures).env, List({"ren/x_old.txt", "ren/gone_old.txt"}), "old", "new", false, NativePathStyle()),
            0u);
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(failures[0].reason, FailureReason::TargetExists) << ReasonText(failures[0]);
  EXPECT_EQ(failures[1].reason, FailureReason::Vanished) << ReasonText(failures[1]);
}

TEST_F(DiskTest, AStoppedRenameKeepsWhatItRenamed) {
  for (const char* name : {"r/a_old", "r/b_old", "r/c_old", "r/d_old"}) Make(name, name);
  StopFlag stop;
  // Raised as the second file is reported done: the third is not begun.
  struct StopAfter : CommandSink {
    StopFlag& stop;
    explicit StopAfter(StopFlag& s) : stop(s) {}
    void Outcome(const FileOutcome& outcome) override {
      if (outcome.index == 1) stop.Request();
    }
  } sink(stop);
  EXPECT_EQ(RenameFiles(CommandEnv{NativeFileSystem(), &stop, sink}, List({"r/a_old", "r/b_old", "r/c_old", "r/d_old"}),
                        "_old", "_new", false),
            2u);
  EXPECT_EQ(Snapshot(tmp_.Join("r")),
            Expected({{"a_new", "r/a_old"}, {"b_new", "r/b_old"}, {"c_old", "r/c_old"}, {"d_old", "r/d_old"}}));
}

#ifndef _WIN32
// A file system that raises the stop flag while one large file is being copied, between its chunks.
class StopDuringCopy : public testing::FaultyFileSystem {
 public:
  FsStatus CopyReplacing(const std::string& from, const std::string& to, const std::function<bool()>& stopped) override {
    if (from.find("big") == std::string::npos) return FaultyFileSystem::CopyReplacing(from, to, stopped);
    int asks = 0;
    return FaultyFileSystem::CopyReplacing(from, to, [&] {
      if (++asks == 2) stop.Request();
      return stopped && stopped();
    });
  }
  StopFlag stop;
};

// A copy stopped in the middle of a large file: the copies finished stay, the file in progress leaves no
// partial or temporary file and counts neither way, and what was not reached is not touched.
TEST_F(DiskTest, AStoppedCopyLeavesNoPartialOrTemporaryFile) {
  std::string big(std::size_t{20} << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 23);
  Make("in/a.txt", "a");
  Make("in/big.bin", big);
  Make("in/z.txt", "z");
  Make("out/big.bin", "older copy");
  StopDuringCopy stopping;
  FailureList failures;
  const CopyCounts counts = CopyFiles(FailuresTo(stopping, failures, &stopping.stop).env,
                                      List({"in/a.txt", "in/big.bin", "in/z.txt"}), tmp_.Join("in"),
                                      OutputFolderFromText(tmp_.Join("out")));
  EXPECT_EQ(counts.succeeded, 1u);
  EXPECT_EQ(counts.failed, 0u);
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(Snapshot(tmp_.Join("out")), Expected({{"a.txt", "a"}, {"big.bin", "older copy"}}));
}

// A link to a folder where a file would go: neither a forced rename nor a copy replaces it, as neither
// replaces a real folder.
TEST_F(DiskTest, LinksToFoldersAreNeverReplaced) {
  Make("folder/keep", "keep");
  Make("ren/x_old.txt", "source");
  stdfs::create_directory_symlink(tmp_.Join("folder"), tmp_.Join("ren/x_new.txt"));
  Make("in/f.txt", "new");
  stdfs::create_directories(tmp_.Join("out"));
  stdfs::create_directory_symlink(tmp_.Join("folder"), tmp_.Join("out/f.txt"));
  const testing::Files before = Snapshot(tmp_.path());

  FailureList failures;
  EXPECT_EQ(RenameFiles(FailuresTo(NativeFileSystem(), failures).env, List({"ren/x_old.txt"}), "old", "new", true, NativePathStyle()), 0u);
  const CopyCounts counts = CopyFiles(FailuresTo(NativeFileSystem(), failures).env, List({"in/f.txt"}), tmp_.Join("in"), OutputFolderFromText(tmp_.Join("out")), NativePathStyle());
  EXPECT_EQ(counts.succeeded, 0u);
  EXPECT_EQ(counts.failed, 1u);
  EXPECT_EQ(Snapshot(tmp_.path()), before);
  EXPECT_TRUE(stdfs::is_symlink(tmp_.Join("ren/x_new.txt")));
  EXPECT_TRUE(stdfs::is_symlink(tmp_.Join("out/f.txt")));
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(failures[0].reason, FailureReason::TargetExists);
  EXPECT_EQ(failures[1].reason, FailureReason::TargetExists);
}

TEST_F(DiskTest, CopyKeepsTheHolesOfASparseFile) {
  constexpr off_t kSize = off_t{64} << 20;
  const std::string source = Make("in/sparse.bin", "head");
  stdfs::resize_file(source, kSize);
  {
    std::FILE* f = std::fopen(source.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    std::fseek(f, kSize / 2, SEEK_SET);
    std::fputs("middle", f);
    std::fclose(f);
  }
  struct stat in {};
  ASSERT_EQ(stat(source.c_str(), &in), 0);
  if (in.st_blocks * 512 >= kSize / 2) GTEST_SKIP() << "this file system keeps no holes";
  ASSERT_EQ(CopyFiles(CommandEnv{NativeFileSystem()}, List({"in/sparse.bin"}), tmp_.Join("in"), OutputFolderFromText(tmp_.Join("out"))).succeeded, 1u);
  struct stat out {};
  ASSERT_EQ(stat(tmp_.Join("out/sparse.bin").c_str(), &out), 0);
  EXPECT_EQ(out.st_size, kSize);
  EXPECT_LE(out.st_blocks, in.st_blocks + 64) << "the copy filled the holes";
  EXPECT_EQ(Snapshot(tmp_.Join("out")), Snapshot(tmp_.Join("in")));
}
#endif

}  // namespace
}  // namespace kestrin
