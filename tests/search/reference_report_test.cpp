// The reference report: counts equal to one content search per name, over random trees in both path
// styles, names across chunk seams, equal and empty names, failures and stops.

#include "search/reference_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/path_style.h"
#include "search/parallel_scan.h"
#include "search/search.h"
#include "support/event_sink.h"
#include "support/faulty_fs.h"
#include "support/memory_fs.h"

#ifndef _WIN32
#include <sys/stat.h>

#include "support/temp_folder.h"
#endif

namespace kestrin {
namespace {

using testing::EventSink;
using testing::FaultyFileSystem;
using testing::FsOp;
using testing::MemoryFileSystem;
using testing::OnProgress;

// One content search per name, as the search runs it.
std::vector<std::size_t> CountOneByOne(FileSystem& fs, const FileList& files, const std::vector<std::string>& names,
                                       bool ignoreCase) {
  std::vector<std::size_t> counts;
  for (const std::string& name : names) {
    SearchFilters filters;
    filters.content = name;
    filters.ignoreCase = ignoreCase;
    counts.push_back(FilterFiles(CommandEnv{fs}, files, filters).size());
  }
  return counts;
}

// A random tree in mem below root: small files of pieces of the names and noise, some empty, a few
// larger than one read chunk with a name planted across the chunk seam, and a FIFO-like entry; the
// listed files also hold one that is not there at all.
FileList RandomTree(MemoryFileSystem& mem, const std::string& root, char sep, const std::vector<std::string>& names,
                    std::mt19937& random) {
  const std::vector<std::string> noise = {"a", "B", "\xB0", "\x61", "[", "{", ".", "\\", "\xD7\xCA"};
  FileList files;
  const std::size_t count = 1 + random() % 40;
  for (std::size_t f = 0; f < count; ++f) {
    std::string content;
    const std::size_t pieces = random() % 4 == 0 ? 0 : random() % 30;
    for (std::size_t i = 0; i < pieces; ++i) {
      const std::string& name = names[random() % names.size()];
      if (random() % 3 == 0) {
        content += noise[random() % noise.size()];
      } else if (!name.empty()) {
        // The whole name, or a part of it, now and then in the other case.
        std::string piece = name.substr(random() % name.size());
        if (random() % 2 == 0) {
          for (char& ch : piece) ch = (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 32) : ch;
        }
        content += piece;
      }
    }
    if (f % 13 == 5) {  // a name across the seam of the 256 KiB reads
      const std::string& name = names[random() % names.size()];
      content = std::string((std::size_t{256} << 10) - name.size() / 2, 'x') + name + content;
    }
    const std::string path = root + sep + "d" + std::to_string(f % 3) + sep + "\xD7\xCA" + std::to_string(f);
    mem.AddFile(path, content);
    files.push_back(path);
  }
  mem.AddOther(root + sep + "fifo");
  files.push_back(root + sep + "fifo", EntryKind::Other);
  files.push_back(root + sep + "missing");
  return files;
}

TEST(CountReferences, EqualsOneSearchPerNameOnRandomTrees) {
  std::mt19937 random(1515);
  const std::vector<std::string> alphabet = {"ui", "Bg", "bg_", "\xB0\x41", "\xD7\xCA\xD4\xB4", "/", ".", "x"};
  for (int round = 0; round < 40; ++round) {
    const bool windows = round % 2 == 1;
    MemoryFileSystem mem(windows ? PathStyle::Windows(&GbkLeadBytes()) : PathStyle::Posix());
    std::vector<std::string> names(1 + random() % 12);
    // In some rounds every name is 9 bytes or more, as resource names mostly are: the search then looks at
    // one position in a few only.
    const bool longNames = round % 4 == 2;
    for (std::string& name : names) {
      const std::size_t parts = longNames ? 3 + random() % 3 : random() % 4;  // sometimes empty
      for (std::size_t i = 0; i < parts; ++i) name += alphabet[random() % alphabet.size()];
      if (longNames && name.size() < 9) name.resize(9, '_');
    }
    names.push_back(names.front());  // a duplicate
    const FileList files = RandomTree(mem, windows ? "C:\\\xD7\xCA" : "/in", windows ? '\\' : '/', names, random);
    for (const bool ignoreCase : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "round " << round << ", ignoreCase " << ignoreCase << ", names "
                                        << ::testing::PrintToString(names));
      std::vector<std::size_t> positions;
      OnProgress sink([&](std::size_t i) { positions.push_back(i); });
      const std::vector<std::size_t> counts = CountReferences(CommandEnv{mem, nullptr, sink}, files, names, ignoreCase);
      ASSERT_EQ(counts, CountOneByOne(mem, files, names, ignoreCase));
      ASSERT_EQ(positions.size(), files.size());
      for (std::size_t i = 0; i < positions.size(); ++i) ASSERT_EQ(positions[i], i);
    }
  }
}

TEST(CountReferences, EmptyNamesCountFilesWithContentAndEmptyInputsCountNothing) {
  MemoryFileSystem mem;
  mem.AddFile("/in/a", "x").AddFile("/in/empty", "").AddFile("/in/b", "ab").AddOther("/in/fifo");
  FileList files;
  for (const char* p : {"/in/a", "/in/empty", "/in/b", "/in/gone"}) files.push_back(p);
  files.push_back("/in/fifo", EntryKind::Other);
  EXPECT_EQ(CountReferences(CommandEnv{mem}, files, {"", "b", ""}, false), (std::vector<std::size_t>{2, 1, 2}));
  EXPECT_EQ(CountReferences(CommandEnv{mem}, files, {}, false), std::vector<std::size_t>{});
  EventSink events;
  EXPECT_EQ(CountReferences(CommandEnv{mem, nullptr, events}, FileList(), {"a", ""}, true),
            (std::vector<std::size_t>{0, 0}));
  EXPECT_EQ(events.events, std::vector<std::string>{"end"});
}

TEST(CountReferences, FailuresInListOrderWithTheirReasons) {
  MemoryFileSystem mem;
  for (int i = 0; i < 20; ++i) mem.AddFile("/in/f" + std::to_string(i), "name");
  mem.AddFile("/in/cut", "name" + std::string(1000, 'x') + "late").AddFile("/in/locked", "name");
  mem.AddOther("/in/fifo");
  FileList files;
  for (int i = 0; i < 20; ++i) {
    files.push_back("/in/f" + std::to_string(i));
    if (i == 3) files.push_back("/in/cut");
    if (i == 7) files.push_back("/in/gone");
    if (i == 11) files.push_back("/in/fifo", EntryKind::Other);
    if (i == 15) files.push_back("/in/locked");
  }
  FaultyFileSystem faulty(mem);
  faulty.FailReadAfter("/in/cut", 100).Fail(FsOp::OpenForRead, "/in/locked");
  FailureList failures;
  EventSink events;
  FailureCollector collector(failures, events);
  // What was read before a read error counts, as in the content search: "name" but not "late".
  EXPECT_EQ(CountReferences(CommandEnv{faulty, nullptr, collector}, files, {"name", "late"}, false),
            (std::vector<std::size_t>{21, 0}));
  ASSERT_EQ(failures.size(), 4u);
  // Each file's reports follow its progress step: the cut file (index 4) both counts and failed.
  const auto at = [&](const std::string& e) {
    return std::find_if(events.events.begin(), events.events.end(),
                        [&](const std::string& event) { return event.compare(0, e.size(), e) == 0; }) -
           events.events.begin();
  };
  EXPECT_LT(at("pos 4"), at("failed 4 /in/cut: "));
  EXPECT_LT(at("failed 4 /in/cut: "), at("matched 4"));
  EXPECT_LT(at("matched 4"), at("pos 5"));
  EXPECT_EQ(events.events.back(), "end");
  const std::vector<std::pair<std::string, FailureReason>> expected = {
      {"/in/cut", FailureReason::System},
      {"/in/gone", FailureReason::Vanished},
      {"/in/fifo", FailureReason::NotRegularFile},
      {"/in/locked", FailureReason::System}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(failures[i].path, expected[i].first);
    EXPECT_EQ(failures[i].reason, expected[i].second);
  }
  // The reasons the file system gave, as the content search words them.
  EXPECT_EQ(ReasonText(failures[0]), "injected failure");
  EXPECT_EQ(ReasonText(failures[3]), "injected failure");
}

TEST(CountReferences, StopEndsWithThePrefixCounted) {
  MemoryFileSystem mem;
  FileList files;
  const std::size_t count = 10 + kScanReadAheadRun + 2 * DefaultScanWindow(ScanWorkerCount(0, 100000));
  for (std::size_t i = 0; i < count; ++i) {  // more than a window past the stop
    mem.AddFile("/in/f" + std::to_string(i), "ref");
    files.push_back("/in/f" + std::to_string(i));
  }
  StopFlag stop;
  std::size_t last = 0;
  OnProgress sink([&](std::size_t i) {
    last = i;
    if (i == 9) stop.Request();
  });
  const std::vector<std::size_t> counts = CountReferences(CommandEnv{mem, &stop, sink}, files, {"ref"}, false);
  EXPECT_GE(last, 9u);
  // The files already begun when the stop came are delivered (at most a window of them), none after.
  EXPECT_LE(last, 9u + kScanReadAheadRun + DefaultScanWindow(ScanWorkerCount(0, files.size())))
      << "went on long after the stop";
  EXPECT_EQ(counts[0], last + 1);
}

#ifndef _WIN32
// A FIFO that took the place of a listed file is never read: the report neither blocks nor counts it.
TEST(CountReferences, FileTurnedFifoAfterTheWalkIsNotRead) {
  testing::TempFolder tmp;
  ASSERT_TRUE(testing::WriteFile(tmp.Join("a.txt"), "ref"));
  ASSERT_EQ(mkfifo(tmp.Join("b.txt").c_str(), 0600), 0);
  FileList files;
  files.push_back(tmp.Join("a.txt"));
  files.push_back(tmp.Join("b.txt"));  // listed as a regular file
  FailureList failures;
  FailureCollector collector(failures);
  EXPECT_EQ(CountReferences(CommandEnv{NativeFileSystem(), nullptr, collector}, files, {"ref", ""}, false),
            (std::vector<std::size_t>{1, 1}));
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].reason, FailureReason::NotRegularFile);
}
#endif

}  // namespace
}  // namespace kestrin
