// The walk and the search over symbolic links and FIFOs on a real POSIX file system.

#include <sys/resource.h>
#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/filesystem.h"
#include "search/reference_report.h"
#include "search/search.h"
#include "search/walk.h"
#include "support/child_process.h"
#include "support/event_sink.h"
#include "support/faulty_fs.h"
#include "support/temp_folder.h"
#include "search/list_helpers.h"

namespace kestrin {
namespace {

using testing::FailuresTo;
using testing::ListOf;
using testing::Paths;
namespace fs = std::filesystem;
using testing::ChildTrouble;
using testing::RunInChild;
using testing::TempFolder;
using testing::WriteFile;
using ::testing::UnorderedElementsAre;

TEST(SearchOnPosixDisk, LinksAreFollowedButNeverRoundInCircles) {
  TempFolder tmp;
  TempFolder outside;
  fs::create_directories(tmp.Join("a/b"));
  ASSERT_TRUE(WriteFile(tmp.Join("a/b/f.txt"), "f"));
  ASSERT_TRUE(WriteFile(tmp.Join("top.txt"), "t"));
  ASSERT_TRUE(WriteFile(outside.Join("o.txt"), "o"));
  fs::create_directory_symlink(tmp.path(), tmp.Join("a/b/up"));     // back to the top
  fs::create_directory_symlink("..", tmp.Join("a/b/parent"));        // back one level
  fs::create_directory_symlink(".", tmp.Join("a/here"));            // to its own folder
  fs::create_directory_symlink(outside.path(), tmp.Join("out"));    // out of the tree: a folder like others
  fs::create_symlink(tmp.Join("top.txt"), tmp.Join("a/file-link"));  // a link to a file is a file
  fs::create_symlink(tmp.Join("nowhere"), tmp.Join("dangling"));     // and so is a dangling one

  FileList files;
  CollectFiles(CommandEnv{NativeFileSystem()}, tmp.path() + "/", files, true, true);
  EXPECT_THAT(Paths(files), UnorderedElementsAre(tmp.Join("a/b/f.txt"), tmp.Join("top.txt"), tmp.Join("out/o.txt"),
                                                 tmp.Join("a/file-link"), tmp.Join("dangling")));
  EXPECT_THAT(Paths(FilterFiles(CommandEnv{NativeFileSystem()}, files, {{}, {}, "t", false})),
              UnorderedElementsAre(tmp.Join("top.txt"), tmp.Join("a/file-link")));
}

TEST(SearchOnPosixDisk, FifosAreListedButNeverRead) {
  TempFolder tmp;
  ASSERT_TRUE(WriteFile(tmp.Join("a.txt"), "data"));
  ASSERT_EQ(mkfifo(tmp.Join("pipe").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo(tmp.Join("pipe.txt").c_str(), 0600), 0);
  fs::create_symlink(tmp.Join("pipe"), tmp.Join("pipe-link"));

  FileList files;
  CollectFiles(CommandEnv{NativeFileSystem()}, tmp.path() + "/", files, false, false);
  ASSERT_EQ(files.size(), 4u);
  for (std::size_t i = 0; i < files.size(); ++i)
    EXPECT_EQ(files.kind(i), files[i].ends_with("a.txt") ? EntryKind::File : EntryKind::Other) << files[i];
  // Opening a FIFO that has no writer would block: the search must come back, with no match for it.
  EXPECT_THAT(Paths(FilterFiles(CommandEnv{NativeFileSystem()}, files, {{}, {}, "", false})), UnorderedElementsAre(tmp.Join("a.txt")));
  EXPECT_THAT(Paths(FilterFiles(CommandEnv{NativeFileSystem()}, files, {{}, "txt", {}, false})),
              UnorderedElementsAre(tmp.Join("a.txt"), tmp.Join("pipe.txt")));
  EXPECT_FALSE(FileContains(CommandEnv{NativeFileSystem()}, tmp.Join("pipe"), "", false));
  EXPECT_FALSE(FileContains(CommandEnv{NativeFileSystem()}, tmp.Join("pipe-link"), "", false));
  EXPECT_FALSE(FileContains(CommandEnv{NativeFileSystem()}, "/dev/zero", "x", false)) << "a device is never read";
}

// The walk recorded a regular file; by the time of the search it is a link to an endless device. Only
// what is actually opened counts: the device is never read, and the search comes back at once.
TEST(SearchOnPosixDisk, AFileReplacedByADeviceAfterTheWalkIsNeverRead) {
  TempFolder tmp;
  ASSERT_TRUE(WriteFile(tmp.Join("a.txt"), "x needle"));
  ASSERT_TRUE(WriteFile(tmp.Join("zero.txt"), "needle"));
  FileList files;
  CollectFiles(CommandEnv{NativeFileSystem()}, tmp.path() + "/", files, false, false);
  ASSERT_EQ(files.size(), 2u);
  fs::remove(tmp.Join("zero.txt"));
  fs::create_symlink("/dev/zero", tmp.Join("zero.txt"));
  for (const char* pattern : {"needle", "x"}) {
    const int found = RunInChild([&] { return static_cast<int>(FilterFiles(CommandEnv{NativeFileSystem()}, files, {{}, {}, pattern, false}).size()); },
                                 testing::TimeLimit(2));
    EXPECT_EQ(found, 1) << pattern << ": " << ChildTrouble(found);
  }
}

// Twenty folders, each holding two links to the next: entered through every link, the walk would list
// 2^21 - 1 paths. Each folder is entered once, through the first link met, depth first.
TEST(SearchOnPosixDisk, FolderLinksSideBySideDoNotMultiplyTheWalk) {
  TempFolder tmp;
  constexpr int kLevels = 20;
  for (int i = 0; i <= kLevels; ++i) {
    const std::string folder = tmp.Join("d" + std::to_string(i));
    fs::create_directories(folder);
    ASSERT_TRUE(WriteFile(folder + "/f", std::to_string(i)));
    if (i > 0) {
      fs::create_directory_symlink(folder, tmp.Join("d" + std::to_string(i - 1) + "/a"));
      fs::create_directory_symlink(folder, tmp.Join("d" + std::to_string(i - 1) + "/b"));
    }
  }
  const int listed = RunInChild([&] {
    FileList files;
    CollectFiles(CommandEnv{NativeFileSystem()}, tmp.Join("d0/"), files, true, false);
    return static_cast<int>(std::min<std::size_t>(files.size(), 99));
  }, testing::TimeLimit(5));
  ASSERT_EQ(listed, kLevels + 1) << ChildTrouble(listed);

  FileList files;
  FailureList failures;
  CollectFiles(FailuresTo(NativeFileSystem(), failures).env, tmp.Join("d0/"), files, true, false);
  // Every folder by one way down, each deeper than the one before; the other link of each is recorded.
  std::vector<std::string> walked = Paths(files);
  std::sort(walked.begin(), walked.end(), [](const std::string& x, const std::string& y) { return x.size() < y.size(); });
  ASSERT_EQ(walked.size(), std::size_t{kLevels + 1});
  for (int i = 0; i <= kLevels; ++i) EXPECT_EQ(testing::ReadFile(walked[i]), std::to_string(i)) << walked[i];
  ASSERT_EQ(failures.size(), std::size_t{kLevels});
  for (const Failure& failure : failures.items()) EXPECT_EQ(failure.reason, FailureReason::FolderAlreadyWalked);
}

// Files opened one after another by a reader (folder kept open between them) are the same files that
// plain opens give, whatever the order of their folders and however their paths are written.
TEST(SearchOnPosixDisk, BatchOpensMatchPlainOpens) {
  TempFolder tmp;
  fs::create_directories(tmp.Join("a/sub"));
  fs::create_directories(tmp.Join("b"));
  ASSERT_TRUE(WriteFile(tmp.Join("a/x"), "ax"));
  ASSERT_TRUE(WriteFile(tmp.Join("a/sub/y"), "ay"));
  ASSERT_TRUE(WriteFile(tmp.Join("b/x"), "bx"));
  fs::create_directory_symlink(tmp.Join("b"), tmp.Join("link"));
  const std::vector<std::pair<std::string, std::string>> files = {
      {tmp.Join("a/x"), "ax"},       {tmp.Join("b/x"), "bx"},        {tmp.Join("a/x"), "ax"},
      {tmp.Join("a/sub/y"), "ay"},   {tmp.Join("a/sub/../x"), "ax"}, {tmp.Join("a//x"), "ax"},
      {tmp.Join("link/x"), "bx"},    {tmp.Join("b/missing"), ""},    {tmp.Join("missing/x"), ""},
      {tmp.Join("a/x"), "ax"},
  };
  FileSystem& native = NativeFileSystem();
  const auto readSome = [](FileReader& reader, ReadHandle handle) {
    char buffer[16];
    const FsResult<std::size_t> n = reader.Read(handle, buffer, sizeof buffer);
    reader.Close(handle);
    return std::string(buffer, n.value);
  };
  {
    const std::unique_ptr<FileReader> reader = native.NewReader({});
    for (const auto& [path, content] : files) {
      const FsResult<ReadHandle> handle = reader->Open(path);
      if (content.empty()) {
        EXPECT_FALSE(handle) << path;
        EXPECT_EQ(handle.failure.reason, FailureReason::Vanished) << path;
        continue;
      }
      ASSERT_TRUE(handle) << path;
      EXPECT_EQ(readSome(*reader, handle.value), content) << path;
    }
  }
  // A folder replaced between two readers: the new reader sees the new folder.
  {
    const std::unique_ptr<FileReader> reader = native.NewReader({});
    const FsResult<ReadHandle> handle = reader->Open(tmp.Join("b/x"));
    ASSERT_TRUE(handle);
    reader->Close(handle.value);
  }
  fs::rename(tmp.Join("b"), tmp.Join("old-b"));
  fs::create_directories(tmp.Join("b"));
  ASSERT_TRUE(WriteFile(tmp.Join("b/x"), "new"));
  const std::unique_ptr<FileReader> reader = native.NewReader({});
  const FsResult<ReadHandle> handle = reader->Open(tmp.Join("b/x"));
  ASSERT_TRUE(handle);
  EXPECT_EQ(readSome(*reader, handle.value), "new");
}

}  // namespace
}  // namespace kestrin

namespace kestrin {
namespace {

std::vector<std::pair<std::string, FailureReason>> Reasons(const FailureList& failures, const std::string& base) {
  std::vector<std::pair<std::string, FailureReason>> out;
  for (const Failure& f : failures.items()) out.emplace_back(f.path.substr(base.size() + 1), f.reason);
  return out;
}

// The walk and the search say why each file was skipped: gone since the walk, not a regular file (as
// the walk saw it, or as it became), unreadable, a folder that cannot be opened.
TEST(SearchOnPosixDisk, EveryFileSkippedIsRecordedWithItsReason) {
  TempFolder tmp;
  ASSERT_TRUE(WriteFile(tmp.Join("a.txt"), "needle"));
  ASSERT_TRUE(WriteFile(tmp.Join("gone.txt"), "needle"));
  ASSERT_TRUE(WriteFile(tmp.Join("later-fifo.txt"), "needle"));
  ASSERT_EQ(mkfifo(tmp.Join("fifo.txt").c_str(), 0600), 0);
  FileList files;
  CollectFiles(CommandEnv{NativeFileSystem()}, tmp.path() + "/", files, false, false);
  fs::remove(tmp.Join("gone.txt"));
  fs::remove(tmp.Join("later-fifo.txt"));
  ASSERT_EQ(mkfifo(tmp.Join("later-fifo.txt").c_str(), 0600), 0);

  FailureList failures;
  EXPECT_THAT(Paths(FilterFiles(FailuresTo(NativeFileSystem(), failures).env, files, {{}, {}, "needle", false})),
              UnorderedElementsAre(tmp.Join("a.txt")));
  auto reasons = Reasons(failures, tmp.path());
  std::sort(reasons.begin(), reasons.end());
  EXPECT_THAT(reasons, ::testing::ElementsAre(std::pair<std::string, FailureReason>{"fifo.txt", FailureReason::NotRegularFile},
                                              std::pair<std::string, FailureReason>{"gone.txt", FailureReason::Vanished},
                                              std::pair<std::string, FailureReason>{"later-fifo.txt", FailureReason::NotRegularFile}));

  // Unreadable to the user: a file the search cannot open, a folder the walk cannot list.
  fs::create_directories(tmp.Join("closed"));
  ASSERT_TRUE(WriteFile(tmp.Join("closed/x"), "x"));
  ASSERT_TRUE(WriteFile(tmp.Join("secret.txt"), "needle"));
  fs::permissions(tmp.Join("secret.txt"), fs::perms::none);
  fs::permissions(tmp.Join("closed"), fs::perms::none);
  const int reason = RunInChild([&] {
    FailureList walked;
    FileList all;
    CollectFiles(FailuresTo(NativeFileSystem(), walked).env, tmp.path() + "/", all, true, false);
    FailureList searched;
    FilterFiles(FailuresTo(NativeFileSystem(), searched).env, ListOf({tmp.Join("secret.txt")}), {{}, {}, "needle", false});
    if (walked.size() != 1 || walked[0].path != tmp.Join("closed/") || searched.size() != 1) return 90;
    return walked[0].reason == FailureReason::PermissionDenied && searched[0].reason == FailureReason::PermissionDenied ? 0 : 91;
  }, testing::Unprivileged(tmp.path()));
  fs::permissions(tmp.Join("closed"), fs::perms::owner_all);
  if (reason == testing::kCannotDrop) GTEST_SKIP() << ChildTrouble(reason);
  EXPECT_EQ(reason, 0) << ChildTrouble(reason);
}

// Files larger than what is read ahead of them are searched in place up to its end and read on after it:
// a pattern and names across that seam (4 KiB in for the first run of a search, 64 KiB in after), some
// in capitals, are found in both case modes, by one worker and by several, and near misses are not. The
// expected answers come from a plain search of each file's text.
TEST(SearchOnPosixDisk, MatchesAcrossTheEndOfTheBytesReadAhead) {
  TempFolder tmp;
  const std::vector<std::string> names = {"Boundary-Pattern", "ui/bg.png", "bg", "Boundary-PatterX"};
  const std::string& pattern = names[0];
  const auto fold = [](std::string text, bool ignoreCase) {
    for (char& c : text) c = ignoreCase && c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    return text;
  };
  std::vector<std::string> paths;
  std::vector<std::string> contents;
  for (int round = 0; round < 2; ++round) {
    for (const std::size_t seam : {std::size_t{4} << 10, std::size_t{64} << 10}) {
      for (const std::string& name : {names[0], names[1], names[2]}) {
        for (const std::size_t back : {std::size_t{1}, name.size() / 2, name.size() - 1}) {
          std::string content(seam + (std::size_t{70} << 10), '.');
          std::string planted = name;
          if (paths.size() % 2 == 1) {
            for (char& c : planted) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
          }
          // The near miss: the pattern but for its last byte, over the same seam.
          if (name == pattern && back == 1 && round == 1) planted.back() = 'X';
          content.replace(seam - back, planted.size(), planted);
          paths.push_back(tmp.Join(std::to_string(paths.size())));
          contents.push_back(content);
          ASSERT_TRUE(WriteFile(paths.back(), content));
        }
      }
    }
  }
  for (const bool ignoreCase : {false, true}) {
    SCOPED_TRACE(ignoreCase ? "ignoring case" : "exact");
    std::vector<std::string> holding;
    std::vector<std::size_t> counts(names.size(), 0);
    for (std::size_t f = 0; f < paths.size(); ++f) {
      for (std::size_t k = 0; k < names.size(); ++k) {
        if (fold(contents[f], ignoreCase).find(fold(names[k], ignoreCase)) == std::string::npos) continue;
        ++counts[k];
        if (k == 0) holding.push_back(paths[f]);
      }
    }
    ASSERT_FALSE(holding.empty());
    for (const unsigned workers : {1u, 0u}) {
      EXPECT_EQ(Paths(FilterFiles(CommandEnv{NativeFileSystem()}, ListOf(paths), {{}, {}, pattern, ignoreCase}, workers)), holding);
    }
    EXPECT_EQ(CountReferences(CommandEnv{NativeFileSystem()}, ListOf(paths), names, ignoreCase), counts);
  }
}

// A tree of `files` small files in folders of 100, every `every`-th holding the word; the paths of those.
std::vector<std::string> MakeTreeWithWord(const TempFolder& tmp, int files, int every, const std::string& word) {
  std::vector<std::string> holding;
  for (int i = 0; i < files; ++i) {
    const std::string folder = tmp.Join("d" + std::to_string(i / 100));
    if (i % 100 == 0) fs::create_directories(folder);
    const std::string path = folder + "/f" + std::to_string(i) + ".txt";
    std::string content(200 + (i * 37) % 3000, 'x');
    if (i % every == 0) {
      content.replace(content.size() / 2, word.size(), word);
      holding.push_back(path);
    }
    EXPECT_TRUE(WriteFile(path, content));
  }
  return holding;
}

// However few descriptors the process may open (from 20 up), a search finds every file that holds the
// pattern and fails none: the reading ahead takes a share of what is left to each worker, and a file its
// run could not open for want of descriptors is opened on its own.
TEST(SearchOnPosixDisk, ALowDescriptorLimitLosesNoFile) {
  TempFolder tmp;
  std::vector<std::string> holding = MakeTreeWithWord(tmp, 3000, 143, "QuartzFalcon");
  ASSERT_EQ(holding.size(), 21u);
  std::sort(holding.begin(), holding.end());
  FileList files;
  CollectFiles(CommandEnv{NativeFileSystem()}, tmp.path() + "/", files, true, false);
  ASSERT_EQ(files.size(), 3000u);
  for (const rlim_t limit : {rlim_t{20}, rlim_t{24}, rlim_t{32}, rlim_t{64}}) {
    for (const unsigned workers : {0u, 2u, 4u}) {
      SCOPED_TRACE("limit " + std::to_string(limit) + ", " + std::to_string(workers) + " workers");
      const int result = RunInChild(
          [&] {
            struct rlimit lowered;
            if (getrlimit(RLIMIT_NOFILE, &lowered) != 0) return 90;
            lowered.rlim_cur = limit;
            if (setrlimit(RLIMIT_NOFILE, &lowered) != 0) return 91;
            FailureList failures;
            const FileList found =
                FilterFiles(FailuresTo(NativeFileSystem(), failures).env, files,
                            {{}, {}, std::string("QuartzFalcon"), false}, workers);
            if (!failures.empty()) return 10 + static_cast<int>(std::min<std::size_t>(failures.size(), 40));
            std::vector<std::string> paths = Paths(found);
            std::sort(paths.begin(), paths.end());
            return paths == holding ? 0 : 60 + static_cast<int>(found.size() % 30);
          },
          testing::TimeLimit(60));
      EXPECT_EQ(result, 0) << ChildTrouble(result) << " (10+: that many failures, 60+: results wrong)";
    }
  }
}

// Listed files that turn into FIFOs and folders while several workers search them: each is skipped with
// its reason, the files left alone are searched, and nothing races (the descriptors the workers' rings
// close and open go from one thread to another through the kernel; the threads stage checks them).
TEST(SearchOnPosixDisk, FilesTurningIntoFifosAndFoldersMidSearch) {
  TempFolder tmp;
  const std::vector<std::string> holding = MakeTreeWithWord(tmp, 1200, 1, "needle");
  FileList files;
  CollectFiles(CommandEnv{NativeFileSystem()}, tmp.path() + "/", files, true, false);
  ASSERT_EQ(files.size(), 1200u);
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // Every file back to a regular file holding the pattern.
    for (const std::string& path : holding) {
      std::error_code error;
      fs::remove(path, error);
      ASSERT_TRUE(WriteFile(path, "a needle in a file"));
    }
    std::atomic<bool> done{false};
    std::thread changer([&] {
      for (std::size_t i = round % 3; i < holding.size() && !done.load(); i += 3) {
        std::error_code error;
        fs::remove(holding[i], error);
        if (i % 2 == 0) {
          mkfifo(holding[i].c_str(), 0600);
        } else {
          fs::create_directory(holding[i], error);
        }
      }
    });
    FailureList failures;
    const FileList found =
        FilterFiles(FailuresTo(NativeFileSystem(), failures).env, files, {{}, {}, std::string("needle"), false}, 4);
    done = true;
    changer.join();
    std::set<std::string> failed;
    for (const Failure& failure : failures.items()) {
      EXPECT_TRUE(failure.reason == FailureReason::NotRegularFile || failure.reason == FailureReason::Vanished)
          << failure.path << ": " << ReasonText(failure);
      failed.insert(failure.path);
    }
    EXPECT_EQ(found.size() + failed.size(), files.size()) << "every file is found or skipped with a reason";
    for (const std::string& path : Paths(found)) EXPECT_EQ(failed.count(path), 0u) << path;
  }
}

// A file system that raises a stop flag once the walk has been handed the entry named "stop-here".
class StopAfterEntry : public testing::FaultyFileSystem {
 public:
  FsStatus Enumerate(const std::string& folder, const std::function<void(const DirEntry&)>& onEntry) override {
    return FaultyFileSystem::Enumerate(folder, [&](const DirEntry& entry) {
      onEntry(entry);
      if (entry.name == "stop-here") stop.Request();
    });
  }
  StopFlag stop;
};

TEST(SearchOnPosixDisk, AStoppedWalkKeepsTheFilesListedSoFar) {
  TempFolder tmp;
  for (const char* name : {"a/1", "a/2", "b/stop-here", "b/3", "c/4", "d/5"})
    ASSERT_TRUE(WriteFile((fs::create_directories(fs::path(tmp.Join(name)).parent_path()), tmp.Join(name)), name));
  FileList full;
  CollectFiles(CommandEnv{NativeFileSystem()}, tmp.path() + "/", full, true, false);
  StopAfterEntry stopping;
  FileList stopped;
  CollectFiles(CommandEnv{stopping, &stopping.stop}, tmp.path() + "/", stopped, true, false);
  std::vector<std::string> expected = Paths(full);
  const auto at = std::find(expected.begin(), expected.end(), tmp.Join("b/stop-here"));
  ASSERT_NE(at, expected.end());
  expected.erase(at + 1, expected.end());
  EXPECT_EQ(Paths(stopped), expected);
}

}  // namespace
}  // namespace kestrin
