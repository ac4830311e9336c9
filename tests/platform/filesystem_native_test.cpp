// What only the native file system of each platform can show: permission bits, FIFOs, links and deep
// trees on POSIX; hidden attributes, drive letters, case folding and code-page names on Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/filesystem.h"
#include "support/child_process.h"
#include "support/temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <future>
#endif

namespace kestrin {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  NativeFileSystem().Enumerate(folder, [&](const DirEntry& e) { names.insert(std::string(e.name)); });
  return names;
}

#ifndef _WIN32

struct Listed {
  EntryKind kind;
  bool hidden;
  FileId id;
};

std::map<std::string, Listed> List(const std::string& folder) {
  std::map<std::string, Listed> out;
  EXPECT_TRUE(NativeFileSystem().Enumerate(folder, [&](const DirEntry& e) {
    out[std::string(e.name)] = Listed{e.kind, e.hidden, e.id};
  }));
  return out;
}

TEST(PosixFileSystem, EnumerationKindsHiddenAndLinks) {
  TempFolder tmp;
  const std::string t = tmp.path();
  ASSERT_EQ(mkdir((t + "/dir").c_str(), 0777), 0);
  ASSERT_EQ(mkdir((t + "/.hidden_dir").c_str(), 0777), 0);
  ASSERT_TRUE(WriteFile(t + "/file", "x"));
  ASSERT_TRUE(WriteFile(t + "/.dotfile", "x"));
  ASSERT_TRUE(WriteFile(t + "/back\\slash", "x"));
  ASSERT_EQ(mkfifo((t + "/fifo").c_str(), 0600), 0);
  ASSERT_EQ(symlink("dir", (t + "/link_to_dir").c_str()), 0);
  ASSERT_EQ(symlink("file", (t + "/link_to_file").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (t + "/dangling").c_str()), 0);
  ASSERT_EQ(symlink("fifo", (t + "/link_to_fifo").c_str()), 0);

  const auto listed = List(t);
  struct Row {
    const char* name;
    EntryKind kind;
    bool hidden;
  };
  const Row rows[] = {
      {"dir", EntryKind::Directory, false},         {".hidden_dir", EntryKind::Directory, true},
      {"file", EntryKind::File, false},             {".dotfile", EntryKind::File, true},
      {"back\\slash", EntryKind::File, false},      {"fifo", EntryKind::Other, false},
      {"link_to_dir", EntryKind::Directory, false}, {"link_to_file", EntryKind::File, false},
      {"dangling", EntryKind::File, false},         {"link_to_fifo", EntryKind::Other, false},
  };
  EXPECT_EQ(listed.size(), std::size(rows));
  for (const Row& r : rows) {
    auto it = listed.find(r.name);
    ASSERT_NE(it, listed.end()) << r.name;
    EXPECT_EQ(it->second.kind, r.kind) << r.name;
    EXPECT_EQ(it->second.hidden, r.hidden) << r.name;
  }
  // A link leading to a folder has that folder's identity, so a walk can tell it has been there.
  const FileId dirId = NativeFileSystem().Lookup(t + "/dir").id;
  EXPECT_TRUE(listed.at("dir").id == dirId);
  EXPECT_TRUE(listed.at("link_to_dir").id == dirId);

  EXPECT_EQ(NativeFileSystem().Lookup(t + "/fifo").kind, EntryKind::Other);
  EXPECT_TRUE(NativeFileSystem().Lookup(t + "/link_to_dir").directory);
  EXPECT_FALSE(NativeFileSystem().Lookup(t + "/dangling").found);
}

TEST(PosixFileSystem, OpeningAFifoForReadingNeitherBlocksNorSucceeds) {
  TempFolder tmp;
  const std::string fifo = tmp.Join("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto opened = std::async(std::launch::async, [&] {
    const FsResult<ReadHandle> h = NativeFileSystem().OpenForRead(fifo);
    if (h) NativeFileSystem().Close(h.value);
    return h.ok || h.failure.reason != FailureReason::NotRegularFile;
  });
  if (opened.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    close(open(fifo.c_str(), O_WRONLY | O_NONBLOCK));  // let the blocked open go
    FAIL() << "opening a FIFO blocked";
  }
  EXPECT_FALSE(opened.get()) << "only a regular file is opened for reading";
}

TEST(PosixFileSystem, CopyOfAFifoFailsWithoutBlocking) {
  TempFolder tmp;
  const std::string fifo = tmp.Join("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto copied = std::async(std::launch::async, [&] { return NativeFileSystem().CopyReplacing(fifo, tmp.Join("out")); });
  if (copied.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    close(open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    FAIL() << "copying a FIFO blocked";
  }
  EXPECT_FALSE(copied.get());
  EXPECT_EQ(Names(tmp.path()), (std::set<std::string>{"fifo"}));
}

TEST(PosixFileSystem, CopyKeepsPermissionBits) {
  TempFolder tmp;
  const mode_t modes[] = {0755, 0700, 0644, 0600, 0444};
  for (mode_t mode : modes) {
    const std::string from = tmp.Join("script.sh");
    const std::string to = tmp.Join("copy.sh");
    ASSERT_TRUE(WriteFile(from, "#!/bin/sh\n"));
    ASSERT_EQ(chmod(from.c_str(), mode), 0);
    ASSERT_TRUE(NativeFileSystem().CopyReplacing(from, to)) << std::oct << mode;
    struct stat st;
    ASSERT_EQ(stat(to.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode) << std::oct << mode;
    unlink(from.c_str());
  }
}

TEST(PosixFileSystem, CopyOntoALinkToItselfLeavesItWhole) {
  TempFolder tmp;
  ASSERT_TRUE(WriteFile(tmp.Join("a"), "content"));
  ASSERT_EQ(symlink("a", tmp.Join("link").c_str()), 0);
  EXPECT_FALSE(NativeFileSystem().CopyReplacing(tmp.Join("a"), tmp.Join("link")));
  EXPECT_FALSE(NativeFileSystem().CopyReplacing(tmp.Join("link"), tmp.Join("a")));
  EXPECT_EQ(ReadFile(tmp.Join("a")), "content");
  EXPECT_EQ(Names(tmp.path()), (std::set<std::string>{"a", "link"}));
}

// A copy that fails part-way (here the file-size limit stops the writes after 4 KiB) keeps the old target
// whole and leaves no temporary file behind.
TEST(PosixFileSystem, CopyFailingHalfWayKeepsTheOldTarget) {
  TempFolder tmp;
  const std::string source(64 * 1024, 's');
  ASSERT_TRUE(WriteFile(tmp.Join("big"), source));
  ASSERT_TRUE(WriteFile(tmp.Join("target"), "old target"));

  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool copied = NativeFileSystem().CopyReplacing(tmp.Join("big"), tmp.Join("target")).ok;
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);

  EXPECT_FALSE(copied);
  EXPECT_EQ(ReadFile(tmp.Join("target")), "old target");
  EXPECT_EQ(Names(tmp.path()), (std::set<std::string>{"big", "target"}));

  EXPECT_TRUE(NativeFileSystem().CopyReplacing(tmp.Join("big"), tmp.Join("target")));
  EXPECT_EQ(ReadFile(tmp.Join("target")), source);
}

// Enumerations nest while a walk descends; a tree deeper than the descriptors a process may hold open
// is still listed completely.
TEST(PosixFileSystem, DeepTreeDoesNotRunOutOfDescriptors) {
  TempFolder tmp;
  constexpr int kDepth = 200;
  std::string path = tmp.path();
  for (int i = 0; i < kDepth; ++i) {
    path += "/d";
    ASSERT_EQ(mkdir(path.c_str(), 0777), 0);
    ASSERT_TRUE(WriteFile(path + "/f", "x"));
  }
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &small), 0);
  int folders = 0;
  int files = 0;
  std::function<void(const std::string&)> walk = [&](const std::string& folder) {
    const FsStatus ok = NativeFileSystem().Enumerate(folder, [&](const DirEntry& e) {
      if (e.kind == EntryKind::Directory) {
        ++folders;
        walk(folder + "/" + std::string(e.name));
      } else {
        ++files;
      }
    });
    EXPECT_TRUE(ok) << folder.size();
  };
  walk(tmp.path());
  setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(folders, kDepth);
  EXPECT_EQ(files, kDepth);
}

// The two ways a reader reads: with files read ahead together (through io_uring, where the system offers
// it) and one file at a time. A test runs both; where the system refuses io_uring, the first is the second
// and the output says so.
struct ReaderWay {
  const char* name;
  bool readAhead;
};
constexpr ReaderWay kReaderWays[] = {{"read ahead", true}, {"one at a time", false}};

std::unique_ptr<FileReader> NewNativeReader(const ReaderWay& way, unsigned readers = 1) {
  ReaderOptions options;
  options.readAhead = way.readAhead;
  options.readers = readers;
  return NativeFileSystem().NewReader(options);
}

// False, with a note in the output, when the reader was to read ahead and the system will not let it.
bool ReadsAsAsked(const ReaderWay& way, const FileReader& reader) {
  if (way.readAhead && !reader.ReadsAhead()) {
    std::cout << "[   NOTE   ] this system refuses io_uring: the read-ahead path is not run\n";
    return false;
  }
  EXPECT_EQ(reader.ReadsAhead(), way.readAhead);
  return true;
}

// The bytes of an open file, read to its end; nullopt after a read error.
std::optional<std::string> ReadToEnd(FileReader& reader, ReadHandle h, std::size_t chunk = 4096,
                                     const std::function<void(int)>& afterRead = {}) {
  std::string got;
  std::vector<char> buffer(chunk);
  for (int reads = 0;; ++reads) {
    const FsResult<std::size_t> n = reader.Read(h, buffer.data(), buffer.size());
    if (!n) return std::nullopt;
    if (n.value == 0) return got;
    got.append(buffer.data(), n.value);
    if (afterRead) afterRead(reads);
  }
}

// A read is not asked of the system once a file's size has been read; the size decides nothing where it
// cannot be trusted: a file that grew since it was opened, or one of the system's own files, whose size
// is 0 whatever they hold.
TEST(PosixFileSystem, ReadsEveryByteWhateverTheSizeSaidAtOpening) {
  TempFolder tmp;
  const std::string path = tmp.Join("grows");
  for (const ReaderWay& way : kReaderWays) {
    for (const bool announced : {false, true}) {
      SCOPED_TRACE(std::string(way.name) + (announced ? ", announced" : ""));
      const std::unique_ptr<FileReader> reader = NewNativeReader(way);
      const auto open = [&](const std::string& file) {
        if (announced) reader->Announce({file}, 4);
        const FsResult<ReadHandle> h = reader->Open(file);
        EXPECT_TRUE(h) << file;
        return h.value;
      };
      ASSERT_TRUE(WriteFile(path, "abcdef"));
      ReadHandle h = open(path);
      EXPECT_EQ(ReadToEnd(*reader, h, 4), "abcdef");
      reader->Close(h);
      // Grown by 3 bytes after the first read of 4, so past its size at opening.
      h = open(path);
      EXPECT_EQ(ReadToEnd(*reader, h, 4,
                          [&](int reads) {
                            if (reads == 0) {
                              EXPECT_TRUE(WriteFile(path, "abcdefghi"));
                            }
                          }),
                "abcdefghi");
      reader->Close(h);
      if (!std::filesystem::exists("/proc/self/status")) continue;
      h = open("/proc/self/status");
      const std::optional<std::string> status = ReadToEnd(*reader, h, 4);
      reader->Close(h);
      ASSERT_TRUE(status);
      EXPECT_NE(status->find("Name:"), std::string::npos);
    }
  }
}

// Files announced to a reader are handed out by Open with every byte and every check of a file opened on
// its own: small, empty, larger than what is read ahead, gone, a FIFO, a folder; and a reader that opens
// other files than it announced reads them all the same. Read alone, or in turn with ReadInPlace (which
// sees the bytes read ahead where they lie), gives the file's bytes in order.
TEST(PosixFileSystem, FilesReadAheadReadAsFilesOpenedOneByOne) {
  TempFolder tmp;
  std::string large;
  for (int i = 0; large.size() < (std::size_t{300} << 10); ++i) large += std::to_string(i) + ' ';
  ASSERT_TRUE(WriteFile(tmp.Join("small"), "small file"));
  ASSERT_TRUE(WriteFile(tmp.Join("empty"), ""));
  ASSERT_TRUE(WriteFile(tmp.Join("large"), large));
  ASSERT_TRUE(WriteFile(tmp.Join("exact"), std::string(4096, 'e')));
  ASSERT_EQ(mkfifo(tmp.Join("fifo").c_str(), 0600), 0);
  struct Case {
    std::string name;
    bool opens;
    std::string content;
    FailureReason why;
  };
  const std::vector<Case> cases = {{"small", true, "small file", {}},
                                   {"empty", true, "", {}},
                                   {"large", true, large, {}},
                                   {"exact", true, std::string(4096, 'e'), {}},
                                   {"gone", false, "", FailureReason::Vanished},
                                   {"fifo", false, "", FailureReason::NotRegularFile},
                                   {".", false, "", FailureReason::NotRegularFile}};
  std::vector<std::string> paths;
  for (const Case& c : cases) paths.push_back(tmp.Join(c.name));
  for (const ReaderWay& way : kReaderWays) {
    const std::unique_ptr<FileReader> reader = NewNativeReader(way);
    if (!ReadsAsAsked(way, *reader)) continue;
    std::size_t inPlace = 0;  // bytes seen in place
    const auto readAll = [&](const std::string& path, std::string& got, bool turns = false) {
      const FsResult<ReadHandle> h = reader->Open(path);
      if (!h) return h.failure;
      char buffer[4096];
      FsResult<std::size_t> n;
      for (int turn = 0; got.size() <= (std::size_t{1} << 20); ++turn) {  // no file here is larger
        const unsigned char* held = nullptr;
        if (const std::size_t k =
                turns && turn % 2 == 0 ? reader->ReadInPlace(h.value, held, turn % 4 == 0 ? 1 : 5000) : 0) {
          got.append(reinterpret_cast<const char*>(held), k);
          inPlace += k;
          continue;
        }
        n = reader->Read(h.value, buffer, turn % 3 == 0 ? 10 : sizeof buffer);
        if (!n || n.value == 0) break;
        got.append(buffer, n.value);
      }
      reader->Close(h.value);
      return n ? FsFailure{} : FsFailure{FailureReason::System, "a read failed"};
    };
    for (const bool announced : {true, false}) {
      for (const std::size_t bytes : {std::size_t{4} << 10, std::size_t{256} << 10}) {
        for (const bool turns : {false, true}) {
          if (announced) reader->Announce(paths, bytes);
          for (std::size_t k = 0; k < cases.size(); ++k) {
            SCOPED_TRACE(std::string(way.name) + ": " + cases[k].name + (announced ? ", announced" : "") + ", " +
                         std::to_string(bytes) + (turns ? ", in turns" : ""));
            std::string got;
            const FsFailure why = readAll(paths[k], got, turns);
            EXPECT_EQ(why.reason, cases[k].opens ? FailureReason::System : cases[k].why);
            EXPECT_EQ(why.detail, "");
            EXPECT_EQ(got, cases[k].content);
          }
        }
      }
    }
    EXPECT_EQ(inPlace > 0, way.readAhead) << way.name << ": only bytes read ahead are seen in place";
    // Announced one way, opened another: the files skipped and those never announced read all the same.
    reader->Announce({paths[0], paths[1], paths[2]}, 4096);
    std::string got;
    EXPECT_EQ(readAll(paths[2], got).reason, FailureReason::System);
    EXPECT_EQ(got, large);
    got.clear();
    EXPECT_EQ(readAll(paths[0], got).reason, FailureReason::System);
    EXPECT_EQ(got, "small file");
  }
}

std::size_t OpenDescriptors() {
  std::size_t n = 0;
  std::error_code error;
  for (auto it = std::filesystem::directory_iterator("/proc/self/fd", error);
       !error && it != std::filesystem::directory_iterator();
       it.increment(error))
    ++n;
  return n;
}

// The descriptors of files read ahead are closed in batches, after the files themselves: none outlives the
// reader, whether its file was read whole, in part or never, and however many runs it read, few are open
// at once.
TEST(PosixFileSystem, ReadAheadLeavesNoDescriptorOpen) {
  if (OpenDescriptors() == 0) GTEST_SKIP() << "no /proc here";
  TempFolder tmp;
  std::vector<std::string> paths;
  for (int i = 0; i < 120; ++i) {
    paths.push_back(tmp.Join("f" + std::to_string(i)));
    ASSERT_TRUE(WriteFile(paths.back(), std::string(i % 2 == 0 ? 10 : 100000, 'x')));
  }
  for (const ReaderWay& way : kReaderWays) {
    SCOPED_TRACE(way.name);
    const std::size_t before = OpenDescriptors();
    std::size_t most = before;
    {
      const std::unique_ptr<FileReader> reader = NewNativeReader(way);
      if (!ReadsAsAsked(way, *reader)) continue;
      for (std::size_t first = 0; first < paths.size(); first += 12) {
        const std::vector<std::string> run(paths.begin() + static_cast<std::ptrdiff_t>(first),
                                           paths.begin() + static_cast<std::ptrdiff_t>(first + 12));
        reader->Announce(run, 4096);
        for (std::size_t k = 0; k < run.size(); ++k) {
          if (k % 5 == 4) continue;  // announced, never opened
          const FsResult<ReadHandle> h = reader->Open(run[k]);
          ASSERT_TRUE(h);
          char buffer[4096];
          EXPECT_GT(reader->Read(h.value, buffer, sizeof buffer).value, 0u);
          most = std::max(most, OpenDescriptors());
          reader->Close(h.value);
        }
      }
    }
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_LE(most, before + 12 + 32 + 2);
  }
}

// A folder is never read as a file: opening one fails, whichever way it is opened.
TEST(PosixFileSystem, ReadOfAFolderFails) {
  TempFolder tmp;
  const FsResult<ReadHandle> plain = NativeFileSystem().OpenForRead(tmp.path());
  ASSERT_FALSE(plain);
  EXPECT_EQ(plain.failure.reason, FailureReason::NotRegularFile);
  for (const ReaderWay& way : kReaderWays) {
    for (const bool announced : {false, true}) {
      SCOPED_TRACE(std::string(way.name) + (announced ? ", announced" : ""));
      const std::unique_ptr<FileReader> reader = NewNativeReader(way);
      if (announced) reader->Announce({tmp.path()}, 4096);
      const FsResult<ReadHandle> h = reader->Open(tmp.path());
      ASSERT_FALSE(h);
      EXPECT_EQ(h.failure.reason, FailureReason::NotRegularFile);
    }
  }
}

// A view of the bytes read ahead stays as it was while later runs are read ahead, until its file is
// closed; a file opened on its own has nothing to see in place.
TEST(PosixFileSystem, BytesSeenInPlaceOutliveLaterRuns) {
  TempFolder tmp;
  const std::string path = tmp.Join("a");
  ASSERT_TRUE(WriteFile(path, std::string(5000, 'a')));
  ASSERT_TRUE(WriteFile(tmp.Join("b"), std::string(5000, 'b')));
  const std::unique_ptr<FileReader> reader = NewNativeReader(kReaderWays[0]);
  const unsigned char* data = nullptr;
  const FsResult<ReadHandle> plain = reader->Open(path);
  ASSERT_TRUE(plain);
  EXPECT_EQ(reader->ReadInPlace(plain.value, data, 100), 0u);
  reader->Close(plain.value);
  if (!ReadsAsAsked(kReaderWays[0], *reader)) GTEST_SKIP() << "this system reads nothing ahead (no io_uring)";
  reader->Announce({path}, 4096);
  const FsResult<ReadHandle> held = reader->Open(path);
  ASSERT_TRUE(held);
  ASSERT_EQ(reader->ReadInPlace(held.value, data, 8192), 4096u);
  reader->Announce({tmp.Join("b")}, 4096);  // the next run, read into a block of its own
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), 4096), std::string(4096, 'a'));
  reader->Close(held.value);
}

// Every call that fails returns its own reason with its result, whatever failed before it on this thread
// or another.
TEST(PosixFileSystem, EachFailedCallReturnsItsOwnReason) {
  TempFolder tmp;
  FileSystem& fs = NativeFileSystem();
  ASSERT_TRUE(WriteFile(tmp.Join("a"), "a"));
  ASSERT_TRUE(WriteFile(tmp.Join("b"), "b"));
  ASSERT_TRUE(fs.MakeFolder(tmp.Join("dir")));
  ASSERT_EQ(mkfifo(tmp.Join("fifo").c_str(), 0600), 0);
  const std::string gone = tmp.Join("gone");
  struct Row {
    const char* what;
    std::function<FsFailure()> call;
    FailureReason reason;
  };
  const Row rows[] = {
      {"lookup of a missing path", [&] { return fs.Lookup(gone).failure; }, FailureReason::Vanished},
      {"listing of a missing folder", [&] { return fs.Enumerate(gone, [](const DirEntry&) {}).failure; },
       FailureReason::Vanished},
      {"folder made twice", [&] { return fs.MakeFolder(tmp.Join("dir")).failure; }, FailureReason::TargetExists},
      {"folder in a missing folder", [&] { return fs.MakeFolder(gone + "/x").failure; }, FailureReason::Vanished},
      {"copy of a FIFO", [&] { return fs.CopyReplacing(tmp.Join("fifo"), tmp.Join("c")).failure; },
       FailureReason::NotRegularFile},
      {"copy onto itself", [&] { return fs.CopyReplacing(tmp.Join("a"), tmp.Join("a")).failure; },
       FailureReason::TargetExists},
      {"copy onto a folder", [&] { return fs.CopyReplacing(tmp.Join("a"), tmp.Join("dir")).failure; },
       FailureReason::TargetExists},
      {"rename onto a file", [&] { return fs.MoveNoReplace(tmp.Join("a"), tmp.Join("b")).failure; },
       FailureReason::TargetExists},
      {"replacing rename onto a folder", [&] { return fs.MoveReplacing(tmp.Join("a"), tmp.Join("dir")).failure; },
       FailureReason::TargetExists},
      {"removal of a missing file", [&] { return fs.RemoveFile(gone).failure; }, FailureReason::Vanished},
  };
  for (const Row& row : rows) {
    for (const Row& before : rows) {
      if (before.reason == row.reason) continue;
      SCOPED_TRACE(std::string(row.what) + " after " + before.what);
      before.call();
      std::thread([&] { before.call(); }).join();
      const FsFailure why = row.call();
      EXPECT_EQ(why.reason, row.reason);
      EXPECT_EQ(why.detail, "");
    }
  }
  EXPECT_EQ(ReadFile(tmp.Join("a")), "a");
  EXPECT_EQ(ReadFile(tmp.Join("b")), "b");
}

// Readers on several threads at once, with nothing shared but the descriptor numbers the kernel hands
// from one to the next: each reads every file whole and turns away every FIFO, run after run. (The threads
// stage runs this under the race detector, which does not see a ring's opens and closes.)
TEST(PosixFileSystem, ReadersOnSeveralThreadsShareOnlyTheKernel) {
  TempFolder tmp;
  std::vector<std::string> paths;
  for (int i = 0; i < 16; ++i) {
    paths.push_back(tmp.Join("f" + std::to_string(i)));
    if (i % 2 == 0) {
      ASSERT_TRUE(WriteFile(paths.back(), "file " + std::to_string(i)));
    } else {
      ASSERT_EQ(mkfifo(paths.back().c_str(), 0600), 0);
    }
  }
  for (const ReaderWay& way : kReaderWays) {
    SCOPED_TRACE(way.name);
    std::vector<int> wrong(4, 0);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < wrong.size(); ++t) {
      threads.emplace_back([&, t] {
        const std::unique_ptr<FileReader> reader = NewNativeReader(way, 4);
        for (int run = 0; run < 200; ++run) {
          reader->Announce(paths, 4096);
          for (std::size_t k = 0; k < paths.size(); ++k) {
            const FsResult<ReadHandle> h = reader->Open(paths[k]);
            if (k % 2 == 1) {
              wrong[t] += h.ok || h.failure.reason != FailureReason::NotRegularFile;
              continue;
            }
            if (!h) {
              ++wrong[t];
              continue;
            }
            wrong[t] += ReadToEnd(*reader, h.value) != "file " + std::to_string(k);
            reader->Close(h.value);
          }
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
  }
}

// Files announced while the process has few descriptors left are opened one at a time instead: a run
// whose opens the system refuses for want of descriptors still reads every file, the reader giving back
// what it holds to make room.
TEST(PosixFileSystem, ReadAheadOutOfDescriptorsOpensFilesOneAtATime) {
  TempFolder tmp;
  std::vector<std::string> paths;
  for (int i = 0; i < 16; ++i) {
    paths.push_back(tmp.Join("f" + std::to_string(i)));
    ASSERT_TRUE(WriteFile(paths.back(), "file " + std::to_string(i)));
  }
  for (const ReaderWay& way : kReaderWays) {
    for (const int spare : {0, 1, 3}) {
      SCOPED_TRACE(std::string(way.name) + ", " + std::to_string(spare) + " descriptors spare");
      const int result = testing::RunInChild(
          [&] {
            const std::unique_ptr<FileReader> reader = NewNativeReader(way);
            if (way.readAhead && !reader->ReadsAhead()) return 0;
            // One round first, with descriptors to spare: the sanitizer builds check each dynamic type
            // the first time it is used, through a pipe of their own, which they cannot open once no
            // descriptor is left (they then report the call as undefined behaviour).
            reader->Announce(paths, 4096);
            for (const std::string& path : paths) {
              const FsResult<ReadHandle> h = reader->Open(path);
              if (!h) return 98;
              ReadToEnd(*reader, h.value);
              reader->Close(h.value);
            }
            // Every descriptor taken but `spare` (and one the reader's own folder may need).
            std::vector<int> taken;
            for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) taken.push_back(fd);
            for (int k = 0; k < spare + 1 && !taken.empty(); ++k) {
              close(taken.back());
              taken.pop_back();
            }
            int wrong = 0;
            for (int round = 0; round < 3; ++round) {
              reader->Announce(paths, 4096);
              for (std::size_t k = 0; k < paths.size(); ++k) {
                const FsResult<ReadHandle> h = reader->Open(paths[k]);
                if (!h) {
                  ++wrong;
                  continue;
                }
                if (ReadToEnd(*reader, h.value) != "file " + std::to_string(k)) ++wrong;
                reader->Close(h.value);
              }
            }
            return std::min(wrong, 99);
          },
          testing::TimeLimit(20));
      EXPECT_EQ(result, 0) << testing::ChildTrouble(result);
    }
  }
}

#else  // _WIN32

TEST(WindowsFileSystem, HiddenAttributeAndNoDotEntries) {
  TempFolder tmp;
  ASSERT_TRUE(WriteFile(tmp.Join("shown.txt"), "x"));
  ASSERT_TRUE(WriteFile(tmp.Join("secret.txt"), "x"));
  ASSERT_TRUE(WriteFile(tmp.Join(".dotfile"), "x"));
  ASSERT_TRUE(SetFileAttributesA(tmp.Join("secret.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(CreateDirectoryA(tmp.Join("dir").c_str(), nullptr));
  std::map<std::string, bool> hidden;
  std::map<std::string, EntryKind> kinds;
  ASSERT_TRUE(NativeFileSystem().Enumerate(tmp.path(), [&](const DirEntry& e) {
    hidden[std::string(e.name)] = e.hidden;
    kinds[std::string(e.name)] = e.kind;
  }));
  EXPECT_EQ(hidden.size(), 4u);  // no "." and ".."
  EXPECT_FALSE(hidden["shown.txt"]);
  EXPECT_TRUE(hidden["secret.txt"]);
  EXPECT_EQ(kinds["dir"], EntryKind::Directory);
  EXPECT_EQ(kinds["shown.txt"], EntryKind::File);
  SetFileAttributesA(tmp.Join("secret.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(WindowsFileSystem, DriveLettersBothSeparatorsAndCaseFolding) {
  TempFolder tmp;
  ASSERT_EQ(tmp.path()[1], ':');
  ASSERT_TRUE(WriteFile(tmp.Join("Mixed.TXT"), "x"));
  std::string slashed = tmp.path() + "/mixed.txt";
  EXPECT_TRUE(NativeFileSystem().Lookup(slashed).found);
  EXPECT_TRUE(NativeFileSystem().SameFile(tmp.Join("MIXED.txt"), tmp.Join("Mixed.TXT")));
  EXPECT_FALSE(NativeFileSystem().CopyReplacing(tmp.Join("Mixed.TXT"), tmp.Join("mixed.txt")));
  EXPECT_EQ(ReadFile(tmp.Join("Mixed.TXT")), "x");
}

TEST(WindowsFileSystem, CodePageNamesWithBackslashTrailBytes) {
  ASSERT_EQ(GetACP(), 936u) << "the tests run with the GBK code page";
  TempFolder tmp;
  const std::string folder = tmp.path() + "\\\x95\x5C";  // a character whose second byte is '\'
  ASSERT_TRUE(NativeFileSystem().MakeFolder(folder));
  const std::string file = folder + "\\\xD6\xD0\xCE\xC4.txt";  // 中文.txt
  ASSERT_TRUE(WriteFile(file, "gbk"));
  EXPECT_EQ(Names(folder), (std::set<std::string>{"\xD6\xD0\xCE\xC4.txt"}));
  EXPECT_TRUE(NativeFileSystem().CopyReplacing(file, folder + "\\copy.txt"));
  EXPECT_TRUE(NativeFileSystem().MoveNoReplace(folder + "\\copy.txt", folder + "\\\xB1\xED.txt"));
  EXPECT_EQ(ReadFile(folder + "\\\xB1\xED.txt"), "gbk");
}

TEST(WindowsFileSystem, MoveNoReplaceChangesTheCaseOfAName) {
  TempFolder tmp;
  ASSERT_TRUE(WriteFile(tmp.Join("name.txt"), "x"));
  // Not refused as a second name of the same file. (Windows then shows the new spelling; Wine on a
  // case-sensitive disk keeps the old one.)
  EXPECT_TRUE(NativeFileSystem().MoveNoReplace(tmp.Join("name.txt"), tmp.Join("NAME.txt")));
  EXPECT_EQ(Names(tmp.path()).size(), 1u);
  EXPECT_EQ(ReadFile(tmp.Join("NAME.txt")), "x");
}

TEST(WindowsFileSystem, MoveNoReplaceOntoAnExistingFileFails) {
  TempFolder tmp;
  ASSERT_TRUE(WriteFile(tmp.Join("a"), "a"));
  ASSERT_TRUE(WriteFile(tmp.Join("b"), "b"));
  EXPECT_FALSE(NativeFileSystem().MoveNoReplace(tmp.Join("a"), tmp.Join("b")));
  EXPECT_EQ(ReadFile(tmp.Join("b")), "b");
  EXPECT_TRUE(NativeFileSystem().MoveReplacing(tmp.Join("a"), tmp.Join("b")));
  EXPECT_EQ(ReadFile(tmp.Join("b")), "a");
}

// Each way a copy fails returns its own reason, never the one an earlier call left: a
// source that is not there, the copy beside the target (a source open without sharing), the step that puts
// it in place (a target open without sharing), and the direct copy used when no temporary name can be
// made (a target folder that does not exist). No temporary file stays behind.
TEST(WindowsFileSystem, EveryFailedCopySaysWhy) {
  TempFolder tmp;
  FileSystem& fs = NativeFileSystem();
  const std::string a = tmp.Join("a.txt");
  ASSERT_TRUE(WriteFile(a, "a"));
  ASSERT_TRUE(WriteFile(tmp.Join("held.txt"), "held"));
  const HANDLE held = CreateFileA(tmp.Join("held.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  struct Row {
    const char* what;
    std::string from, to;
    std::vector<FailureReason> reasons;  // the reason, or the reasons Windows and Wine differ between
  };
  const Row rows[] = {
      {"a missing source", tmp.Join("gone.txt"), tmp.Join("b.txt"), {FailureReason::Vanished}},
      {"a wildcard source", tmp.Join("*.txt"), tmp.Join("b.txt"), {FailureReason::System}},
      {"into a missing folder", a, tmp.Join("nowhere\\b.txt"), {FailureReason::Vanished}},
      {"onto itself", a, a, {FailureReason::TargetExists}},
      {"from a file held open", tmp.Join("held.txt"), tmp.Join("b.txt"),
       {FailureReason::System, FailureReason::PermissionDenied}},
      {"onto a file held open", a, tmp.Join("held.txt"), {FailureReason::System, FailureReason::PermissionDenied}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    // Another reason first: the one a failed call before this copy leaves.
    const FailureReason before = row.reasons.front() == FailureReason::Vanished
                                     ? fs.MoveNoReplace(a, tmp.Join("held.txt")).failure.reason
                                     : fs.Lookup(tmp.Join("none")).failure.reason;
    ASSERT_EQ(std::count(row.reasons.begin(), row.reasons.end(), before), 0);

    const FsStatus copied = fs.CopyReplacing(row.from, row.to);
    EXPECT_FALSE(copied);
    const FsFailure& why = copied.failure;
    EXPECT_NE(std::count(row.reasons.begin(), row.reasons.end(), why.reason), 0)
        << static_cast<int>(why.reason) << " " << why.detail;
    if (why.reason == FailureReason::System) {
      EXPECT_FALSE(why.detail.empty());
    }
  }
  CloseHandle(held);
  EXPECT_EQ(ReadFile(tmp.Join("held.txt")), "held");
  EXPECT_EQ(Names(tmp.path()), (std::set<std::string>{"a.txt", "held.txt"}));
}

#endif

}  // namespace
}  // namespace kestrin
