// Rename and copy batches on real folders: a batch planned on a PlanningFileSystem reports exactly what
// the real run then reports, on random trees with every kind of obstacle, as root and as an ordinary
// user; and the copy's own checks (the stop between files, the write protection of a target, a target
// written twice, the count of its failures) each hold without the native file system's help.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "fileops/copy.h"
#include "fileops/disk_fixture.h"
#include "fileops/planning_fs.h"
#include "fileops/rename.h"
#include "search/walk.h"
#include "support/child_process.h"
#include "support/event_sink.h"
#include "support/faulty_fs.h"

namespace kestrin {
namespace {

using testing::ChildTrouble;
using testing::DiskTest;
using testing::EventSink;
using testing::Expected;
using testing::FailuresTo;
using testing::RunInChild;
using testing::Snapshot;
namespace stdfs = std::filesystem;

// The reports of a batch, with the tree's own folder written as "T", so that two copies of a tree compare.
std::vector<std::string> Relative(const std::vector<std::string>& events, const std::string& root) {
  std::vector<std::string> out;
  for (std::string event : events) {
    for (std::size_t at; (at = event.find(root)) != std::string::npos;) event.replace(at, root.size(), "T");
    out.push_back(event);
  }
  return out;
}

void Write(const std::string& path, const std::string& content, stdfs::perms perms = stdfs::perms::unknown) {
  stdfs::create_directories(stdfs::path(path).parent_path());
  ASSERT_TRUE(testing::WriteFile(path, content)) << path;
  if (perms != stdfs::perms::unknown) stdfs::permissions(path, perms);
}

// One random tree below root, the same for a seed: sources of a rename ("_old") or of a copy (below
// "in/"), and in the places their files go, nothing, a file, a read-only file, a folder or a dangling
// link; some sources read-only, unreadable or dangling links themselves; some in a folder the user may
// not change (made so last).
void MakeTree(const std::string& root, unsigned seed, bool copy) {
  std::mt19937 random(seed);
  const auto obstacle = [&](const std::string& path) {
    switch (random() % 6) {
      case 0: Write(path, "older " + path); break;
      case 1: Write(path, "read-only", stdfs::perms::owner_read | stdfs::perms::group_read); break;
      case 2: stdfs::create_directories(path + "/inner"); break;
      case 3:
        stdfs::create_directories(stdfs::path(path).parent_path());
        stdfs::create_symlink(path + ".nowhere", path);
        break;
      default: break;  // nothing in the way
    }
  };
  const auto source = [&](const std::string& path) {
    switch (random() % 7) {
      case 0: Write(path, "ro " + path, stdfs::perms::owner_read); break;
      case 1: Write(path, "secret", stdfs::perms::none); break;
      case 2:
        stdfs::create_directories(stdfs::path(path).parent_path());
        stdfs::create_symlink(path + ".gone", path);
        break;
      default: Write(path, "data " + path); break;
    }
  };
  std::vector<std::string> locked;  // folders the user may not change, made so at the end
  for (const char* folder : {"", "sub1/", "rof/"}) {
    if (folder == std::string("rof/") && random() % 2 == 0) continue;
    for (const char* base : {"a", "b", "c", "d", "e"}) {
      if (random() % 4 == 0) continue;
      if (copy) {
        source(root + "/in/" + folder + base + ".txt");
        obstacle(root + "/out/" + folder + base + ".txt");
      } else {
        source(root + "/" + folder + base + "_old.txt");
        obstacle(root + "/" + folder + base + "_new.txt");
        if (random() % 5 == 0) Write(root + "/" + folder + base + "_old_old.txt", "twice");
      }
    }
    if (folder == std::string("rof/")) locked.push_back(root + (copy ? "/out/rof" : "/rof"));
  }
  if (copy) {
    // Two sources that map to one target: leading dots are dropped.
    Write(root + "/in/.h/x.txt", "hidden one");
    if (random() % 2 == 0) Write(root + "/in/h/x.txt", "plain one");
    stdfs::create_directories(root + "/out");
    if (random() % 3 == 0) locked.push_back(root + "/out");
  }
  if (random() % 3 == 0) locked.push_back(copy ? root + "/in/sub1" : root + "/sub1");
  for (const std::string& folder : locked) {
    std::error_code error;
    stdfs::create_directories(folder, error);
    stdfs::permissions(folder, stdfs::perms::owner_read | stdfs::perms::owner_exec, error);
  }
}

// Every folder below root writable again, so that the tree can be removed.
void Unlock(const std::string& root) {
  std::error_code error;
  stdfs::permissions(root, stdfs::perms::owner_all, error);
  for (auto it = stdfs::recursive_directory_iterator(root, error); it != stdfs::recursive_directory_iterator();
       it.increment(error)) {
    if (it->is_directory(error) && !it->is_symlink(error)) stdfs::permissions(it->path(), stdfs::perms::owner_all, error);
  }
}

// Runs the batch on the tree at root, planned or for real; returns what the sink heard, and the counts.
std::vector<std::string> RunBatch(const std::string& root, bool copy, bool force, bool planned) {
  FileSystem& real = NativeFileSystem();
  PlanningFileSystem plan(real);
  FileSystem& fs = planned ? static_cast<FileSystem&>(plan) : real;
  FileList files;
  CollectFiles(CommandEnv{real}, root + (copy ? "/in/" : "/"), files, true, true);
  files.push_back(root + (copy ? "/in/vanished.txt" : "/vanished_old.txt"));
  EventSink sink;
  std::string counts;
  if (copy) {
    const PreparedFolder output = PrepareOutputFolder(fs, root + "/out");
    if (!output.created) return {"no output folder"};
    const CopyCounts c = CopyFiles(CommandEnv{fs, nullptr, sink}, files, root + "/in/", output.path);
    counts = std::to_string(c.succeeded) + " copied, " + std::to_string(c.failed) + " failed";
  } else {
    counts = std::to_string(RenameFiles(CommandEnv{fs, nullptr, sink}, files, "_old", "_new", force)) + " renamed";
  }
  std::vector<std::string> events = Relative(sink.events, root);
  events.push_back(counts);
  return events;
}

// Plans and runs each round's batch on two copies of one random tree; the number of rounds whose reports
// differ, or whose plan changed its tree. seen gathers the words of every report, so that a test can tell
// the trees met what they were made for.
int DifferingRounds(const std::string& base, bool copy, int rounds, bool report, std::string* seen = nullptr) {
  int differing = 0;
  for (int round = 0; round < rounds; ++round) {
    const unsigned seed = 7919u * static_cast<unsigned>(round) + (copy ? 1u : 0u);
    const std::string planned = base + "/p" + std::to_string(round);
    const std::string real = base + "/r" + std::to_string(round);
    MakeTree(planned, seed, copy);
    MakeTree(real, seed, copy);
    const bool force = round % 2 == 1;
    const testing::Files before = Snapshot(planned);
    const std::vector<std::string> plan = RunBatch(planned, copy, force, true);
    const bool untouched = Snapshot(planned) == before;
    const std::vector<std::string> done = RunBatch(real, copy, force, false);
    if (seen != nullptr) {
      for (const std::string& event : done) seen->append(event).push_back('\n');
    }
    if (plan != done || !untouched) {
      ++differing;
      if (report) {
        ADD_FAILURE() << (copy ? "copy" : "rename") << " round " << round << (force ? " forced" : "")
                      << (untouched ? "" : ": the plan changed the tree") << "\nplanned: "
                      << ::testing::PrintToString(plan) << "\nreal:    " << ::testing::PrintToString(done);
      }
    }
    Unlock(planned);
    Unlock(real);
  }
  return differing;
}

class PlannedBatchTest : public DiskTest {};

TEST_F(PlannedBatchTest, ThePlanReportsWhatTheRealRunDoesOnRandomTrees) {
  for (const bool copy : {false, true}) {
    SCOPED_TRACE(copy ? "copy" : "rename");
    const std::string base = tmp_.Join(copy ? "copy" : "rename");
    stdfs::create_directories(base);
    std::string seen;
    DifferingRounds(base, copy, 40, true, &seen);
    // The rounds met renames and copies done, over a file and not, and refused for each obstacle.
    for (const char* words : {copy ? "copied " : "renamed ", "+replaced", ": target exists", ": vanished"}) {
      EXPECT_NE(seen.find(words), std::string::npos) << words;
    }
    if (copy) {
      EXPECT_NE(seen.find(": another file of this batch was copied there"), std::string::npos);
    }
  }
}

TEST_F(PlannedBatchTest, ThePlanReportsWhatTheRealRunDoesForAnOrdinaryUser) {
  if (geteuid() != 0) GTEST_SKIP() << "not root: the test above ran as an ordinary user already";
  const std::string base = tmp_.Join("user");
  stdfs::create_directories(base);
  const int result = RunInChild(
      [&] {
        std::string seen;
        const int renames = DifferingRounds(base + "/rename", false, 40, false, &seen);
        const int copies = DifferingRounds(base + "/copy", true, 40, false, &seen);
        // The user met what root does not: files and folders it may not read, write or change.
        for (const char* words : {": permission denied", ": read-only target"}) {
          if (seen.find(words) == std::string::npos) return 99;
        }
        return std::min(renames, 9) * 10 + std::min(copies, 9);
      },
      testing::Unprivileged(base));
  Unlock(base);
  if (result == testing::kCannotDrop) GTEST_SKIP() << ChildTrouble(result);
  EXPECT_EQ(result, 0) << ChildTrouble(result)
                       << " (rename rounds that differ x 10 + copy rounds that differ; 99: no refusal met)";
}

// The copy's own stop check: a stop raised as one file is reported done ends the batch before the next
// file, with no progress step, no folder and no outcome for it.
TEST_F(DiskTest, AStopBetweenFilesEndsTheCopyBeforeTheNextFile) {
  Make("in/a.txt", "a");
  Make("in/sub/b.txt", "b");
  Make("in/sub2/c.txt", "c");
  StopFlag stop;
  struct StopOnCopied : EventSink {
    StopFlag* flag = nullptr;
    void Outcome(const FileOutcome& outcome) override {
      EventSink::Outcome(outcome);
      if (outcome.kind == FileOutcome::Kind::Copied) flag->Request();
    }
  } sink;
  sink.flag = &stop;
  const CopyCounts counts = CopyFiles(CommandEnv{NativeFileSystem(), &stop, sink},
                                      List({"in/a.txt", "in/sub/b.txt", "in/sub2/c.txt"}), tmp_.Join("in"),
                                      OutputFolderFromText(tmp_.Join("out")));
  EXPECT_EQ(counts.succeeded, 1u);
  EXPECT_EQ(counts.failed, 0u);
  EXPECT_EQ(Relative(sink.events, tmp_.path()),
            (std::vector<std::string>{"pos 0", "copied 0 T/in/a.txt -> T/out/a.txt", "end"}));
  EXPECT_FALSE(stdfs::exists(tmp_.Join("out/sub")));
  EXPECT_FALSE(stdfs::exists(tmp_.Join("out/sub2")));
}

// A copy stopped while every target is blocked: each refusal it reported is counted, the last one too.
TEST_F(DiskTest, AStoppedCopyCountsEveryRefusalItReported) {
  std::vector<const char*> names = {"in/f0.txt", "in/f1.txt", "in/f2.txt", "in/f3.txt", "in/f4.txt"};
  for (const char* name : names) {
    Make(name, name);
    stdfs::create_directories(tmp_.Join(std::string("out/") + (name + 3) + "/held"));  // a folder in the way
  }
  StopFlag stop;
  struct StopOnThird : CommandSink {
    StopFlag* flag = nullptr;
    int failed = 0;
    void Outcome(const FileOutcome& outcome) override {
      if (outcome.kind == FileOutcome::Kind::Failed && ++failed == 3) flag->Request();
    }
  } counter;
  counter.flag = &stop;
  FailureList failures;
  FailureCollector collector(failures, counter);
  const CopyCounts counts =
      CopyFiles(CommandEnv{NativeFileSystem(), &stop, collector},
                List({"in/f0.txt", "in/f1.txt", "in/f2.txt", "in/f3.txt", "in/f4.txt"}), tmp_.Join("in"),
                OutputFolderFromText(tmp_.Join("out")));
  EXPECT_EQ(failures.size(), 3u);
  EXPECT_EQ(counts.failed, failures.size()) << "the count is the list's length";
  EXPECT_EQ(counts.succeeded, 0u);
}

// Leading dots are dropped from the copied path: "in/.h/x.txt" and "in/h/x.txt" both go to "out/h/x.txt".
// The second is refused and listed, and the first copy stays.
TEST_F(DiskTest, TwoSourcesOntoOneTargetThroughDroppedDotsKeepTheFirstCopy) {
  Make("in/.h/x.txt", "hidden one");
  Make("in/h/x.txt", "plain one");
  FailureList failures;
  const CopyCounts counts = CopyFiles(FailuresTo(NativeFileSystem(), failures).env, List({"in/.h/x.txt", "in/h/x.txt"}),
                                      tmp_.Join("in"), OutputFolderFromText(tmp_.Join("out")));
  EXPECT_EQ(counts.succeeded, 1u);
  EXPECT_EQ(counts.failed, 1u);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].path, tmp_.Join("in/h/x.txt"));
  EXPECT_EQ(failures[0].reason, FailureReason::CopiedByBatch);
  EXPECT_EQ(Snapshot(tmp_.Join("out")), Expected({{"h/x.txt", "hidden one"}}));
}

// The core's own check of a write-protected target: the copy and the forced rename refuse it before the
// file system is asked to replace it (as an ordinary user: root may write any file).
TEST_F(DiskTest, AWriteProtectedTargetIsRefusedBeforeTheFileSystemIsAskedToReplaceIt) {
  Make("in/f.txt", "new");
  Make("out/f.txt", "kept");
  Make("ren/x_old.txt", "source");
  Make("ren/x_new.txt", "kept too");
  stdfs::permissions(tmp_.Join("out/f.txt"), stdfs::perms::owner_read);
  stdfs::permissions(tmp_.Join("ren/x_new.txt"), stdfs::perms::owner_read);
  const int result = RunInChild(
      [&] {
        testing::FaultyFileSystem counting;  // the disk, with each call counted
        FailureList copyFailures;
        CopyFiles(FailuresTo(counting, copyFailures).env, List({"in/f.txt"}), tmp_.Join("in"),
                  OutputFolderFromText(tmp_.Join("out")));
        FailureList renameFailures;
        RenameFiles(FailuresTo(counting, renameFailures).env, List({"ren/x_old.txt"}), "old", "new", true);
        if (copyFailures.size() != 1 || copyFailures[0].reason != FailureReason::ReadOnlyTarget) return 10;
        if (renameFailures.size() != 1 || renameFailures[0].reason != FailureReason::ReadOnlyTarget) return 11;
        if (counting.Calls(testing::FsOp::CopyReplacing) != 0) return 12;
        if (counting.Calls(testing::FsOp::MoveReplacing) != 0) return 13;
        return 0;
      },
      geteuid() == 0 ? testing::Unprivileged(tmp_.path()) : testing::TimeLimit(10));
  if (result == testing::kCannotDrop) GTEST_SKIP() << ChildTrouble(result);
  EXPECT_EQ(result, 0) << ChildTrouble(result) << " (10, 11: another reason; 12, 13: the file system was asked)";
  EXPECT_EQ(Snapshot(tmp_.path()), Expected({{"in/f.txt", "new"},
                                             {"out/f.txt", "kept"},
                                             {"ren/x_old.txt", "source"},
                                             {"ren/x_new.txt", "kept too"}}));
}

}  // namespace
}  // namespace kestrin
