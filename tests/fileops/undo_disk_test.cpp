// Undo on real folders: a rename or a copy taken back leaves the tree as it was, byte for byte (names,
// contents, modes, modification times, links), on random trees with every kind of obstacle, as root and
// as an ordinary user, and after a batch killed half-way; undo never deletes or replaces a file the batch
// did not make, and names what it could not take back; a replaced file lies in the trash as a file manager
// expects it.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "fileops/copy.h"
#include "fileops/disk_fixture.h"
#include "fileops/planning_fs.h"
#include "fileops/rename.h"
#include "fileops/undo.h"
#include "platform/trash.h"
#include "search/walk.h"
#include "support/child_process.h"
#include "support/event_sink.h"

namespace kestrin {
namespace {

using testing::ChildTrouble;
using testing::DiskTest;
using testing::EventSink;
using testing::RunInChild;
namespace stdfs = std::filesystem;

// Everything below root as lstat sees it: kind, mode, size, modification time, content or link target.
// Folders by name and mode only: a rename changes its folder's time, and undo cannot give it back.
std::map<std::string, std::string> TreeState(const std::string& root) {
  std::map<std::string, std::string> state;
  std::error_code error;
  for (auto it = stdfs::recursive_directory_iterator(root, error); it != stdfs::recursive_directory_iterator();
       it.increment(error)) {
    const std::string path = it->path().string();
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) continue;
    std::string line = std::to_string(st.st_mode);
    if (S_ISLNK(st.st_mode)) {
      line += " link " + stdfs::read_symlink(it->path(), error).string();
    } else if (S_ISREG(st.st_mode)) {
      chmod(path.c_str(), st.st_mode | S_IRUSR);  // the owner may read it back, whatever its mode
      const std::optional<std::string> content = testing::ReadFile(path);
      chmod(path.c_str(), st.st_mode);
      line += " file " + std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
              std::to_string(st.st_mtim.tv_nsec) + " " + std::to_string(st.st_nlink) + " " +
              std::to_string(testing::Checksum(content.value_or("?")));
    }
    state[stdfs::relative(it->path(), root).string()] = line;
  }
  return state;
}

void Write(const std::string& path, const std::string& content, stdfs::perms perms = stdfs::perms::unknown,
           int age = 0) {
  stdfs::create_directories(stdfs::path(path).parent_path());
  ASSERT_TRUE(testing::WriteFile(path, content)) << path;
  if (age != 0) {
    const struct timespec times[2] = {{1600000000 + age, 0}, {1600000000 + age, 123456789}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
  }
  if (perms != stdfs::perms::unknown) stdfs::permissions(path, perms);
}

// One random tree below root, the same for a seed. A rename tree holds sources ("_old") and, at the names
// they go to, nothing, an older file, a read-only one, a folder, a dangling link or a link to a file; the
// sources are files of any age, read-only or unreadable ones, links, hard links, names holding the old
// string twice. A copy tree holds sources below "in/" and an older mirror below "out/" with the same
// obstacles, and folders of the input the mirror lacks.
void MakeTree(const std::string& root, unsigned seed, bool copy, const std::string& newString) {
  std::mt19937 random(seed);
  const auto age = [&] { return static_cast<int>(random() % 100000) + 1; };
  const auto obstacle = [&](const std::string& path) {
    switch (random() % 7) {
      case 0:
      case 1: Write(path, "older " + path, stdfs::perms::unknown, age()); break;
      case 2: Write(path, "read-only", stdfs::perms::owner_read | stdfs::perms::group_read, age()); break;
      case 3: stdfs::create_directories(path + "/inner"); break;
      case 4:
        stdfs::create_directories(stdfs::path(path).parent_path());
        stdfs::create_symlink(path + ".nowhere", path);
        break;
      case 5:
        Write(path + ".real", "behind a link", stdfs::perms::unknown, age());
        stdfs::create_symlink(stdfs::path(path + ".real").filename(), path);
        break;
      default: break;
    }
  };
  std::vector<std::string> made;
  const auto source = [&](const std::string& path) {
    switch (random() % 8) {
      case 0: Write(path, "ro " + path, stdfs::perms::owner_read, age()); break;
      case 1: Write(path, "secret", stdfs::perms::none, age()); break;
      case 2:
        stdfs::create_directories(stdfs::path(path).parent_path());
        stdfs::create_symlink(path + ".gone", path);
        break;
      case 3:
        if (!made.empty()) {
          stdfs::create_directories(stdfs::path(path).parent_path());
          stdfs::create_hard_link(made[random() % made.size()], path);
          break;
        }
        [[fallthrough]];
      default: Write(path, "data " + path, stdfs::perms::unknown, age()); break;
    }
    if (stdfs::is_regular_file(stdfs::symlink_status(path))) made.push_back(path);
  };
  for (const char* folder : {"", "sub1/", "sub2/deep/", "rof/"}) {
    for (const char* base : {"a", "b", "c", "d", "e", "f"}) {
      if (random() % 4 == 0) continue;
      if (copy) {
        source(root + "/in/" + folder + base + ".txt");
        if (folder != std::string("sub2/deep/")) obstacle(root + "/out/" + folder + base + ".txt");
      } else {
        source(root + "/" + folder + base + "_old.txt");
        obstacle(root + "/" + folder + base + newString + ".txt");
        if (random() % 5 == 0) Write(root + "/" + folder + base + "_old_old.txt", "twice");
      }
    }
  }
  if (copy) stdfs::create_directories(root + "/out");
  if (random() % 2 == 0) {
    const std::string locked = root + (copy ? "/out/rof" : "/rof");
    stdfs::create_directories(locked);
    stdfs::permissions(locked, stdfs::perms::owner_read | stdfs::perms::owner_exec);
  }
}

void Unlock(const std::string& root) {
  std::error_code error;
  for (auto it = stdfs::recursive_directory_iterator(root, error); it != stdfs::recursive_directory_iterator();
       it.increment(error)) {
    if (it->is_directory(error) && !it->is_symlink(error)) stdfs::permissions(it->path(), stdfs::perms::owner_all, error);
  }
}

// Sets an environment variable for a scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Runs a journalled batch on the tree at root, journals in store, after its plan (a preview, without a
// journal); the words of its reports, or of how they differ from the plan's.
std::string RunBatch(const std::string& root, bool copy, bool force, const std::string& newString,
                     JournalStore& store) {
  FileList files;
  CollectFiles(CommandEnv{NativeFileSystem()}, root + (copy ? "/in/" : "/"), files, true, true);
  const auto run = [&](FileSystem& fs, BatchJournal* journal) {
    EventSink sink;
    CommandEnv env{fs, nullptr, sink};
    env.journal = journal;
    if (copy) {
      CopyFiles(env, files, root + "/in/", OutputFolderFromText(root + "/out"));
    } else {
      RenameFiles(env, files, "_old", newString, force);
    }
    return sink;
  };
  PlanningFileSystem plan(NativeFileSystem());
  const EventSink planned = run(plan, nullptr);
  std::unique_ptr<JournalFile> journal = store.Start(copy ? BatchKind::Copy : BatchKind::Rename);
  if (!journal) return "no journal";
  const EventSink sink = run(NativeFileSystem(), &journal->journal());
  journal->Finish();
  if (planned.events != sink.events) {
    return "the preview differs: " + ::testing::PrintToString(planned.events) + " against " +
           ::testing::PrintToString(sink.events);
  }
  std::string words;
  for (const std::string& event : sink.events) words.append(event).push_back('\n');
  return words;
}

// Per round: a random tree, a batch, its undo planned, then its undo; the rounds whose tree did not come
// back as it was, or whose plan differed from the undo. seen gathers the batches' reports.
int RoundsNotTakenBack(const std::string& base, bool copy, int rounds, bool report, std::string* seen) {
  int wrong = 0;
  const ScopedEnv data("XDG_DATA_HOME", base + "/data");
  JournalStore store(base + "/state");
  for (int round = 0; round < rounds; ++round) {
    const std::string root = base + "/t" + std::to_string(round);
    const std::string newString = round % 3 == 2 ? "_OLD" : "_new";  // every third a change of case only
    const bool force = round % 2 == 1;
    MakeTree(root, 104729u * static_cast<unsigned>(round) + (copy ? 1u : 0u), copy, newString);
    const std::map<std::string, std::string> before = TreeState(root);
    const std::string done = RunBatch(root, copy, force, newString, store);
    if (seen != nullptr) seen->append(done);
    if (done.rfind("the preview differs", 0) == 0) {
      ++wrong;
      if (report) ADD_FAILURE() << (copy ? "copy" : "rename") << " round " << round << ": " << done;
    }

    PlanningFileSystem plan(NativeFileSystem());
    EventSink planned;
    UndoNewestBatch(CommandEnv{plan, nullptr, planned}, store, true);
    EventSink undone;
    const UndoCounts counts = UndoNewestBatch(CommandEnv{NativeFileSystem(), nullptr, undone}, store, false);
    const std::map<std::string, std::string> after = TreeState(root);
    const bool markedUndone = !store.List().empty() && store.List()[0].undone;
    if (after != before || planned.events != undone.events || counts.failed != 0 || !markedUndone) {
      ++wrong;
      if (report) {
        ADD_FAILURE() << (copy ? "copy" : "rename") << " round " << round << (force ? " forced" : "") << "\n"
                      << done << "undo: " << ::testing::PrintToString(undone.events)
                      << "\nplanned: " << ::testing::PrintToString(planned.events)
                      << "\nbefore: " << ::testing::PrintToString(before)
                      << "\nafter:  " << ::testing::PrintToString(after);
      }
    }
    Unlock(root);
  }
  return wrong;
}

class UndoDiskTest : public DiskTest {};

TEST_F(UndoDiskTest, RenameOrCopyThenUndoLeavesRandomTreesAsTheyWere) {
  for (const bool copy : {false, true}) {
    SCOPED_TRACE(copy ? "copy" : "rename");
    const std::string base = tmp_.Join(copy ? "copy" : "rename");
    stdfs::create_directories(base);
    std::string seen;
    RoundsNotTakenBack(base, copy, 30, true, &seen);
    // The rounds replaced files, and met refusals.
    for (const char* words : {"+replaced", ": target exists"}) EXPECT_NE(seen.find(words), std::string::npos) << words;
  }
}

TEST_F(UndoDiskTest, RenameOrCopyThenUndoLeavesRandomTreesAsTheyWereForAnOrdinaryUser) {
  if (geteuid() != 0) GTEST_SKIP() << "not root: the test above ran as an ordinary user already";
  const std::string base = tmp_.Join("user");
  stdfs::create_directories(base);
  const int result = RunInChild(
      [&] {
        std::string seen;
        const int renames = RoundsNotTakenBack(base + "/rename", false, 30, false, &seen);
        const int copies = RoundsNotTakenBack(base + "/copy", true, 30, false, &seen);
        for (const char* words : {": permission denied", ": read-only target", "+replaced"}) {
          if (seen.find(words) == std::string::npos) return 99;
        }
        return std::min(renames, 9) * 10 + std::min(copies, 9);
      },
      testing::Unprivileged(base));
  Unlock(base);
  if (result == testing::kCannotDrop) GTEST_SKIP() << ChildTrouble(result);
  EXPECT_EQ(result, 0) << ChildTrouble(result)
                       << " (rename rounds not taken back x 10 + copy rounds; 99: no refusal or replacement met)";
}

TEST_F(UndoDiskTest, UndoKeepsEveryFileTheBatchDidNotMakeAndNamesTheStepsItCannotTakeBack) {
  const ScopedEnv data("XDG_DATA_HOME", tmp_.Join("data"));
  JournalStore store(tmp_.Join("state"));
  Make("r/a_old.txt", "a");
  Make("r/b_old.txt", "b");
  Make("r/c_old.txt", "c");
  Make("r/c_new.txt", "replaced by c");
  Make("r/d_old.txt", "d");
  Make("in/e.txt", "e");
  Make("in/f.txt", "f");
  Make("in/g.txt", "g");
  Make("out/e.txt", "older e");
  Make("out/g.txt", "older g");
  for (const bool copy : {false, true}) {
    std::unique_ptr<JournalFile> journal = store.Start(copy ? BatchKind::Copy : BatchKind::Rename);
    ASSERT_TRUE(journal);
    CommandEnv env{NativeFileSystem()};
    env.journal = &journal->journal();
    if (copy) {
      const FileList files = List({"in/e.txt", "in/f.txt", "in/g.txt"});
      EXPECT_EQ(CopyFiles(env, files, tmp_.Join("in/"), OutputFolderFromText(tmp_.Join("out"))).succeeded, 3u);
    } else {
      const FileList files = List({"r/a_old.txt", "r/b_old.txt", "r/c_old.txt", "r/d_old.txt"});
      EXPECT_EQ(RenameFiles(env, files, "_old", "_new", true), 4u);
    }
    journal->Finish();
  }
  // After the batches: a copy changed, another replaced by a new file, a renamed file replaced, an old name
  // taken by a new file, a file added.
  Make("out/e.txt", "edited e");
  Make("out/g.tmp", "new g");
  stdfs::rename(tmp_.Join("out/g.tmp"), tmp_.Join("out/g.txt"));
  Make("r/b_new.tmp", "new b");
  stdfs::rename(tmp_.Join("r/b_new.tmp"), tmp_.Join("r/b_new.txt"));
  Make("r/d_old.txt", "new d");
  Make("out/added.txt", "added");
  const std::map<std::string, std::string> keep = TreeState(tmp_.path());

  EventSink copyUndo;
  UndoCounts counts = UndoNewestBatch(CommandEnv{NativeFileSystem(), nullptr, copyUndo}, store, false);
  EXPECT_EQ(counts.undone, 1u);
  EXPECT_EQ(counts.failed, 2u);
  const std::string out = tmp_.Join("out");
  EXPECT_EQ(copyUndo.Outcomes(),
            (std::vector<std::string>{"failed 0 " + out + "/g.txt: changed since the batch",
                                      "skipped 1 " + out + "/g.txt",
                                      "removed 2 " + out + "/f.txt (copy of " + tmp_.Join("in/f.txt") + ")",
                                      "failed 3 " + out + "/e.txt: changed since the batch",
                                      "skipped 4 " + out + "/e.txt"}));
  EXPECT_FALSE(store.List()[0].undone) << "a batch not taken back in full is offered again";

  EventSink renameUndo;
  // The copy batch is still the newest not undone: it is offered again and fails the same way; the rename
  // batch comes back once the copy batch is marked.
  UndoNewestBatch(CommandEnv{NativeFileSystem(), nullptr, renameUndo}, store, false);
  EXPECT_EQ(renameUndo.Outcomes().size(), 4u) << ::testing::PrintToString(renameUndo.Outcomes());
  {
    FileJournalWriter writer;
    ASSERT_TRUE(writer.Open(store.List()[0].path, false));
    ASSERT_TRUE(BatchJournal(writer).Undone());
  }
  renameUndo.events.clear();
  counts = UndoNewestBatch(CommandEnv{NativeFileSystem(), nullptr, renameUndo}, store, false);
  const std::string r = tmp_.Join("r");
  EXPECT_EQ(renameUndo.Outcomes(),
            (std::vector<std::string>{"failed 0 " + r + "/d_new.txt: target exists",
                                      "renamed 1 " + r + "/c_new.txt -> " + r + "/c_old.txt",
                                      "renamed 2 " + tmp_.Join("data/Trash/files/c_new.txt") + " -> " + r + "/c_new.txt",
                                      "failed 3 " + r + "/b_new.txt: no longer the file the batch left there",
                                      "renamed 4 " + r + "/a_new.txt -> " + r + "/a_old.txt"}));
  EXPECT_EQ(counts.failed, 2u);
  // Every file made or changed after the batches is as it was; what could go back did.
  std::map<std::string, std::string> now = TreeState(tmp_.path());
  for (const char* kept : {"out/e.txt", "out/g.txt", "out/added.txt", "r/b_new.txt", "r/d_old.txt", "r/d_new.txt"}) {
    EXPECT_EQ(now[kept], keep.at(kept)) << kept;
  }
  EXPECT_EQ(testing::ReadFile(tmp_.Join("r/c_new.txt")), "replaced by c");
  EXPECT_EQ(testing::ReadFile(tmp_.Join("r/c_old.txt")), "c");
  EXPECT_EQ(testing::ReadFile(tmp_.Join("r/a_old.txt")), "a");
  EXPECT_FALSE(stdfs::exists(tmp_.Join("out/f.txt")));
}

TEST_F(UndoDiskTest, AReplacedFileLiesInTheTrashAsAFileManagerExpectsIt) {
  const ScopedEnv data("XDG_DATA_HOME", tmp_.Join("data"));
  const std::string trash = tmp_.Join("data/Trash");
  struct Case {
    const char* name;
    const char* encoded;
  };
  const std::vector<Case> cases = {{"plain.txt", "plain.txt"},
                                   {"with space & 中.txt", "with%20space%20%26%20%E4%B8%AD.txt"},
                                   {"plain.txt", "plain.txt"}};  // the same name again: a name of its own
  std::vector<std::string> where;
  for (const Case& c : cases) {
    const std::string path = Make(std::string("dir/") + c.name, c.name);
    const FsResult<std::string> trashed = NativeFileSystem().MoveToTrash(path);
    ASSERT_TRUE(trashed) << trashed.failure.detail;
    EXPECT_FALSE(stdfs::exists(path));
    EXPECT_EQ(stdfs::path(trashed.value).parent_path().string(), trash + "/files");
    const std::string name = stdfs::path(trashed.value).filename().string();
    const std::optional<std::string> info = testing::ReadFile(trash + "/info/" + name + ".trashinfo");
    ASSERT_TRUE(info) << name;
    EXPECT_TRUE(std::regex_match(*info, std::regex("\\[Trash Info\\]\nPath=" + tmp_.Join("dir/") + std::string(c.encoded) +
                                                   "\nDeletionDate=20[0-9]{2}-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\n")))
        << *info;
    where.push_back(trashed.value);
  }
  EXPECT_NE(where[0], where[2]);
  // Back from the trash: the file, and no info file left; never over a file that took its place.
  Make("dir/plain.txt", "new");
  EXPECT_EQ(NativeFileSystem().RestoreFromTrash(where[0], tmp_.Join("dir/plain.txt")).failure.reason,
            FailureReason::TargetExists);
  EXPECT_EQ(testing::ReadFile(tmp_.Join("dir/plain.txt")), "new");
  ASSERT_TRUE(NativeFileSystem().RestoreFromTrash(where[1], tmp_.Join("dir/back.txt")));
  EXPECT_EQ(testing::ReadFile(tmp_.Join("dir/back.txt")), cases[1].name);
  EXPECT_FALSE(stdfs::exists(trash + "/info/" + stdfs::path(where[1]).filename().string() + ".trashinfo"));
  EXPECT_EQ(NativeFileSystem().RestoreFromTrash(where[1], tmp_.Join("dir/again.txt")).failure.reason,
            FailureReason::NotInTrash);
}

TEST_F(UndoDiskTest, ARenameKilledHalfWayIsTakenBack) {
  const ScopedEnv data("XDG_DATA_HOME", tmp_.Join("data"));
  JournalStore store(tmp_.Join("state"));
  const std::string root = tmp_.Join("tree");
  FileList files;
  for (int i = 0; i < 4000; ++i) {
    const std::string name = root + "/d" + std::to_string(i % 40) + "/f" + std::to_string(i) + "_old.txt";
    Write(name, "file " + std::to_string(i), stdfs::perms::unknown, i + 1);
    if (i % 7 == 0) Write(root + "/d" + std::to_string(i % 40) + "/f" + std::to_string(i) + "_new.txt", "in the way");
    files.push_back(name);
  }
  const std::map<std::string, std::string> before = TreeState(root);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::unique_ptr<JournalFile> journal = store.Start(BatchKind::Rename);
    CommandEnv env{NativeFileSystem()};
    env.journal = journal ? &journal->journal() : nullptr;
    RenameFiles(env, files, "_old", "_new", true);
    _exit(3);  // not killed in time
  }
  // Killed once the batch is under way, wherever it is.
  for (int wait = 0; wait < 2000; ++wait) {
    const std::vector<BatchSummary> batches = store.List();
    if (!batches.empty() && batches[0].files > 1000) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the rename ended before it was killed";
  ASSERT_NE(TreeState(root), before);

  EventSink sink;
  const UndoCounts counts = UndoNewestBatch(CommandEnv{NativeFileSystem(), nullptr, sink}, store, false);
  EXPECT_EQ(counts.failed, 0u) << ::testing::PrintToString(sink.Outcomes());
  EXPECT_GT(counts.undone, 1000u);
  EXPECT_TRUE(TreeState(root) == before);
  EXPECT_TRUE(store.List()[0].undone);
}

}  // namespace
}  // namespace kestrin
