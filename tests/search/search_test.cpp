// Extension, file content and list filtering, over the in-memory and the fault-injecting file systems.

#include "search/search.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <random>
#include <thread>
#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "support/event_sink.h"
#include "support/faulty_fs.h"
#include "support/memory_fs.h"
#include "search/list_helpers.h"

namespace kestrin {
namespace {

using testing::EventSink;
using testing::ListOf;
using testing::Paths;
using testing::FaultyFileSystem;
using testing::FsOp;
using testing::MemoryFileSystem;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// The in-memory file system, noting every file opened for reading.
class RecordingFileSystem : public MemoryFileSystem {
 public:
  using MemoryFileSystem::MemoryFileSystem;
  FsResult<ReadHandle> OpenForRead(const std::string& path) override {
    {
      const std::lock_guard<std::mutex> lock(mutex_);  // the search opens files on several threads
      opened.push_back(path);
    }
    return MemoryFileSystem::OpenForRead(path);
  }
  std::vector<std::string> opened;

 private:
  std::mutex mutex_;
};

TEST(ExtensionOf, LastDotAnywhereInThePath) {
  struct Case {
    const char* path;
    const char* want;  // null: no extension
  };
  const Case cases[] = {
      {"a.txt", "txt"},
      {"archive.tar.gz", "gz"},
      {"C:\\a.b\\readme", "b\\readme"},  // the scan does not stop at separators
      {"/x.d/readme", "d/readme"},
      {"readme", nullptr},
      {"", nullptr},
      {"ends.", ""},
      {".profile", "profile"},
      {"..", ""},
  };
  for (const Case& c : cases) {
    const char* got = ExtensionOf(c.path);
    if (c.want == nullptr) {
      EXPECT_EQ(got, nullptr) << c.path;
    } else {
      ASSERT_NE(got, nullptr) << c.path;
      EXPECT_STREQ(got, c.want) << c.path;
      EXPECT_EQ(got, c.path + std::strlen(c.path) - std::strlen(c.want)) << "a pointer into the path itself";
    }
  }
  EXPECT_EQ(ExtensionOf(nullptr), nullptr);
}

TEST(ExtensionFilterFromText, LeadingDotsAreSkipped) {
  const std::pair<const char*, const char*> cases[] = {
      {"txt", "txt"}, {".txt", "txt"}, {"..txt", "txt"}, {".tar.gz", "tar.gz"}, {"...", ""}, {"t.", "t."}, {"", ""},
  };
  for (const auto& [box, filter] : cases) EXPECT_EQ(ExtensionFilterFromText(box), filter) << box;
}

// Each row: the filters, and which of the paths below pass. Every file holds "Hello World".
TEST(FilterFiles, EachFilterRule) {
  const std::vector<std::string> paths = {
      "/work/a.txt", "/work/README.md", "/work/sub/readme", "/work/x.tar.gz", "/work/end.", "/work/B.TXT",
  };
  RecordingFileSystem mem;
  for (const std::string& p : paths) mem.AddFile(p, "Hello World");
  const FileList files = ListOf(paths);

  struct Case {
    const char* what;
    SearchFilters filters;
    std::vector<std::string> want;
  };
  const std::vector<Case> cases = {
      {"path filter anywhere in the path", {"work", {}, {}, false}, paths},
      {"path filter case-sensitive", {"README", {}, {}, false}, {"/work/README.md"}},
      {"path filter without case", {"README", {}, {}, true}, {"/work/README.md", "/work/sub/readme"}},
      {"path filter longer than any path", {"/work/README.md/more", {}, {}, true}, {}},
      {"path filter ending on the last byte", {"x.tar.gz", {}, {}, false}, {"/work/x.tar.gz"}},
      {"extension exact", {{}, "txt", {}, false}, {"/work/a.txt"}},
      {"extension case-sensitive even without case", {{}, "TXT", {}, true}, {"/work/B.TXT"}},
      {"only the last dot counts", {{}, "tar.gz", {}, false}, {}},
      {"last extension", {{}, "gz", {}, false}, {"/work/x.tar.gz"}},
      {"empty extension: paths ending in a dot", {{}, "", {}, false}, {"/work/end."}},
      {"no dot never passes", {{}, "readme", {}, false}, {}},
      {"content exact", {{}, {}, "World", false}, paths},
      {"content case-sensitive", {{}, {}, "world", false}, {}},
      {"content without case", {{}, {}, "WORLD", true}, paths},
      {"all three", {"work", "md", "hello", true}, {"/work/README.md"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Paths(FilterFiles(CommandEnv{mem}, files, c.filters)), c.want) << c.what;
  }
}

TEST(FilterFiles, ReadsOnlyFilesThatPassedThePathAndExtensionTests) {
  RecordingFileSystem mem;
  mem.AddFile("/in/a.txt", "needle").AddFile("/in/a.log", "needle").AddFile("/in/b.txt", "needle");
  const FileList files = ListOf({"/in/a.txt", "/in/a.log", "/in/b.txt"});
  EXPECT_THAT(Paths(FilterFiles(CommandEnv{mem}, files, {"/in/a", "txt", "needle", false})), ElementsAre("/in/a.txt"));
  EXPECT_THAT(mem.opened, ElementsAre("/in/a.txt"));
  EXPECT_EQ(mem.OpenHandles(), 0u) << "every file opened is closed";
}

TEST(FilterFiles, ContentRulesForEmptyMissingAndSpecialFiles) {
  RecordingFileSystem mem;
  mem.AddFile("/in/empty", "").AddFile("/in/one", "x").AddOther("/in/fifo").AddFolder("/in/dir");
  FileList files = ListOf({"/in/empty", "/in/one", "/in/missing"});
  files.push_back("/in/fifo", EntryKind::Other);
  files.push_back("/in/dir", EntryKind::Directory);

  // An empty content filter is found in every file that has a byte, and in no other.
  EXPECT_THAT(Paths(FilterFiles(CommandEnv{mem}, files, {{}, {}, "", false})), ElementsAre("/in/one"));
  EXPECT_THAT(Paths(FilterFiles(CommandEnv{mem}, files, {{}, {}, "x", true})), ElementsAre("/in/one"));
  for (const std::string& opened : mem.opened) {
    EXPECT_NE(opened, "/in/fifo") << "a FIFO is never opened";
    EXPECT_NE(opened, "/in/dir");
  }
  // Without a content filter such entries are files like any other, and keep their kind.
  const FileList all = FilterFiles(CommandEnv{mem}, files, {"/in/", {}, {}, false});
  ASSERT_EQ(all.size(), 5u);
  EXPECT_EQ(all.kind(3), EntryKind::Other);
}

TEST(FileContains, LooksAPathUpBeforeOpeningIt) {
  RecordingFileSystem mem;
  mem.AddFile("/in/a", "abc").AddFile("/in/empty", "").AddOther("/in/fifo").AddFolder("/in/dir");
  EXPECT_TRUE(FileContains(CommandEnv{mem}, "/in/a", "B", true));
  EXPECT_FALSE(FileContains(CommandEnv{mem}, "/in/a", "B", false));
  EXPECT_TRUE(FileContains(CommandEnv{mem}, "/in/a", "", false));
  EXPECT_FALSE(FileContains(CommandEnv{mem}, "/in/empty", "", false)) << "an empty file holds not even the empty pattern";
  EXPECT_FALSE(FileContains(CommandEnv{mem}, "/in/missing", "", false));
  EXPECT_FALSE(FileContains(CommandEnv{mem}, "/in/fifo", "", false));
  EXPECT_FALSE(FileContains(CommandEnv{mem}, "/in/dir", "", false));
  EXPECT_THAT(mem.opened, ElementsAre("/in/a", "/in/a", "/in/a", "/in/empty"));
}

// Content around the places where reads may split a file: the first 4 KiB, then 256 KiB chunks, and
// powers of two; and patterns longer than a chunk.
TEST(FileContains, MatchesAcrossChunkBoundaries) {
  MemoryFileSystem mem;
  const std::size_t first = std::size_t{4} << 10;
  const std::size_t chunk = std::size_t{256} << 10;
  const std::string pattern = "Boundary-Pattern";
  for (std::size_t boundary : {first, first + chunk, first + 2 * chunk, chunk, 2 * chunk}) {
    for (std::size_t back = 0; back <= pattern.size(); ++back) {
      std::string content(3 * chunk + 100, '.');
      content.replace(boundary - back, pattern.size(), pattern);
      mem.AddFile("/f", content);
      EXPECT_TRUE(FileContains(CommandEnv{mem}, "/f", pattern, false)) << "boundary " << boundary << " minus " << back;
      EXPECT_TRUE(FileContains(CommandEnv{mem}, "/f", "bOUNDARY-pATTERN", true)) << "boundary " << boundary << " minus " << back;
      EXPECT_FALSE(FileContains(CommandEnv{mem}, "/f", "Boundary-PatterN", false));
    }
  }
  // A pattern larger than a chunk, at the very end of a larger file.
  std::string big(chunk + 1234, 'q');
  big[777] = 'Z';
  std::string content(3 * chunk, 'q');
  content += big;
  mem.AddFile("/big", content);
  EXPECT_TRUE(FileContains(CommandEnv{mem}, "/big", big, false));
  big[778] = 'Y';
  EXPECT_FALSE(FileContains(CommandEnv{mem}, "/big", big, false));
}

// A search through many files adapts how it reads them to where the pattern turns up; whichever way it
// reads, a match across any of its read boundaries is found.
TEST(FilterFiles, FindsMatchesAcrossReadBoundariesAfterManyFilesWithout) {
  MemoryFileSystem mem;
  const std::size_t chunk = std::size_t{256} << 10;
  const std::string pattern = "Boundary-Pattern";
  std::vector<std::string> paths;
  std::vector<std::string> want;
  for (int i = 0; i < 40; ++i) {
    paths.push_back("/none" + std::to_string(i));
    mem.AddFile(paths.back(), std::string(8192, 'n'));
  }
  for (std::size_t boundary : {std::size_t{4096}, chunk, chunk + 4096, 2 * chunk}) {
    for (std::size_t back : {std::size_t{1}, pattern.size() / 2, pattern.size() - 1}) {
      std::string content(3 * chunk, '.');
      content.replace(boundary - back, pattern.size(), pattern);
      paths.push_back("/at" + std::to_string(boundary) + "-" + std::to_string(back));
      want.push_back(paths.back());
      mem.AddFile(paths.back(), content);
    }
  }
  for (const char* p : {"/early1", "/early2"}) {
    paths.push_back(p);
    want.push_back(p);
    mem.AddFile(p, pattern + std::string(3 * chunk, '.'));
  }
  EXPECT_EQ(Paths(FilterFiles(CommandEnv{mem}, ListOf(paths), {{}, {}, pattern, false})), want);
  EXPECT_EQ(Paths(FilterFiles(CommandEnv{mem}, ListOf(paths), {{}, {}, "boundary-PATTERN", true})), want);
}

TEST(FileContains, ShortReadsAndReadErrors) {
  MemoryFileSystem mem;
  std::string content(100000, 'x');
  content.replace(99990, 6, "needle");
  mem.AddFile("/broken", content);
  // Reads cut at odd places: the pattern across each cut.
  for (std::size_t cut : {1, 2, 5, 4093}) {
    for (std::size_t at : {cut - 1, cut, 2 * cut + 1, 4 * cut - 1}) {
      std::string text(5 * cut + 10, '.');
      text.replace(at, 6, "needle");
      mem.AddFile("/short", text);
      FaultyFileSystem faulty(mem);
      faulty.ShortReads("/short", cut);
      EXPECT_TRUE(FileContains(CommandEnv{faulty}, "/short", "NEEDLE", true)) << "reads of " << cut << " bytes, pattern at " << at;
    }
  }
  FaultyFileSystem faulty(mem);
  faulty.FailReadAfter("/broken", 50000);
  EXPECT_FALSE(FileContains(CommandEnv{faulty}, "/broken", "needle", false)) << "a read error is no match";
  EXPECT_TRUE(FileContains(CommandEnv{faulty}, "/broken", "xxxx", false)) << "a match before the error stands";
  EXPECT_EQ(faulty.Calls(FsOp::OpenForRead), faulty.Calls(FsOp::Close));
}

// The instrumented builds scan some hundred times slower: there a smaller file keeps the test short, and
// the plain builds cover the offsets beyond 32 bits.
#if defined(__SANITIZE_ADDRESS__)
#define KESTRIN_SLOW_SCAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTRIN_SLOW_SCAN 1
#endif
#endif

// A file of zeros a little over 4 GiB long with one pattern across the 4 GiB mark, made up on the fly.
class HugeFileSystem : public MemoryFileSystem {
 public:
#ifdef KESTRIN_SLOW_SCAN
  static constexpr std::uint64_t kMark = std::uint64_t{1} << 26;
#else
  static constexpr std::uint64_t kMark = std::uint64_t{1} << 32;
#endif
  static constexpr std::uint64_t kSize = kMark + 3;
  static constexpr std::string_view kPattern = "NEEDLE";  // its last 3 bytes end the file

  HugeFileSystem() { AddFile("/huge"); }
  FsResult<ReadHandle> OpenForRead(const std::string& path) override {
    if (path != "/huge") return MemoryFileSystem::OpenForRead(path);
    position_ = 0;
    return kHandle;
  }
  FsResult<std::size_t> Read(ReadHandle handle, void* buffer, std::size_t size) override {
    if (handle != kHandle) return MemoryFileSystem::Read(handle, buffer, size);
    largestRead = std::max(largestRead, size);
    const std::uint64_t count = std::min<std::uint64_t>(size, kSize - position_);
    auto* out = static_cast<char*>(buffer);
    std::memset(out, 0, count);
    const std::uint64_t start = kSize - kPattern.size();
    for (std::uint64_t i = std::max(position_, start); i < position_ + count; ++i) out[i - position_] = kPattern[i - start];
    position_ += count;
    return static_cast<std::size_t>(count);
  }
  void Close(ReadHandle handle) override {
    if (handle != kHandle) MemoryFileSystem::Close(handle);
  }
  std::size_t largestRead = 0;

 private:
  static constexpr ReadHandle kHandle = 1000000;
  std::uint64_t position_ = 0;
};

TEST(FileContains, FileOverFourGigabytesIsReadInChunks) {
  HugeFileSystem huge;
  EXPECT_TRUE(FileContains(CommandEnv{huge}, "/huge", "needle", true)) << "every byte is read, with no offset wrapping at 2 or 4 GiB";
  EXPECT_GT(huge.largestRead, 0u);
  EXPECT_LE(huge.largestRead, std::size_t{1} << 20) << "never read whole";
}

// A stop ends the search of a single huge file between two of its chunks; stopped before it begins, the
// file is not even opened. A stop is no failure.
TEST(FileContains, AStopLeavesAHugeFileBetweenTwoChunks) {
  struct StoppingHugeFileSystem : HugeFileSystem {
    FsResult<std::size_t> Read(ReadHandle handle, void* buffer, std::size_t size) override {
      if (++reads == 2) stop.Request();
      return HugeFileSystem::Read(handle, buffer, size);
    }
    StopFlag stop;
    int reads = 0;
  } huge;
  FailureList failures;
  FailureCollector collector(failures);
  const CommandEnv env{huge, &huge.stop, collector};
  EXPECT_FALSE(FileContains(env, "/huge", "needle", true));
  EXPECT_EQ(huge.reads, 2);
  EXPECT_FALSE(FileContains(env, "/huge", "needle", true));
  EXPECT_EQ(huge.reads, 2);
  EXPECT_TRUE(failures.empty());
}

TEST(FileContains, RecordsEachFileItCannotSearchWithTheReason) {
  MemoryFileSystem mem;
  mem.AddOther("/in/fifo").AddFolder("/in/dir").AddFile("/in/bad", "abcdef");
  FaultyFileSystem faulty(mem);
  faulty.Vanish("/in/gone").FailReadAfter("/in/bad", 2);
  const std::pair<const char*, FailureReason> rows[] = {
      {"/in/gone", FailureReason::Vanished},
      {"/in/fifo", FailureReason::NotRegularFile},
      {"/in/dir", FailureReason::NotRegularFile},
      {"/in/bad", FailureReason::System},  // a read error part-way
  };
  for (const auto& [path, reason] : rows) {
    FailureList failures;
    EventSink events;
    FailureCollector collector(failures, events);
    EXPECT_FALSE(FileContains(CommandEnv{faulty, nullptr, collector}, path, "zzz", false));
    ASSERT_EQ(failures.size(), 1u) << path;
    EXPECT_EQ(failures[0].path, path);
    EXPECT_EQ(failures[0].reason, reason) << path;
    // The one file is reported as a list of one.
    ASSERT_EQ(events.events.size(), 3u);
    EXPECT_EQ(events.events.front(), "pos 0");
    EXPECT_EQ(events.events.back(), "end");
  }
}

TEST(FilterFiles, ReportsProgressInOrder) {
  MemoryFileSystem mem;
  mem.AddFile("/d/a.txt", "1").AddFile("/d/b.md", "2").AddFile("/d/c.txt", "3");
  const FileList files = ListOf({"/d/a.txt", "/d/b.md", "/d/c.txt"});
  EventSink sink;
  std::vector<std::string>& events = sink.events;
  const CommandEnv env{mem, nullptr, sink};

  // With a filter: the position before each file, then the file if it passed, and the end.
  FileList results = FilterFiles(env, files, {{}, "txt", {}, false});
  EXPECT_THAT(Paths(results), ElementsAre("/d/a.txt", "/d/c.txt"));
  EXPECT_THAT(events, ElementsAreArray({"pos 0", "matched 0", "pos 1", "pos 2", "matched 2", "end"}));

  // With none: every file passes, in the same order.
  events.clear();
  results = FilterFiles(env, files, {});
  EXPECT_THAT(Paths(results), ElementsAre("/d/a.txt", "/d/b.md", "/d/c.txt"));
  EXPECT_THAT(events, ElementsAreArray({"pos 0", "matched 0", "pos 1", "matched 1", "pos 2", "matched 2", "end"}));

  // With content, read on workers: the same order, on this thread.
  events.clear();
  results = FilterFiles(env, files, {{}, {}, "2", false}, 2);
  EXPECT_THAT(events, ElementsAreArray({"pos 0", "pos 1", "matched 1", "pos 2", "end"}));

  // No files: only the end.
  events.clear();
  EXPECT_TRUE(FilterFiles(env, FileList{}, {"x", {}, {}, false}).empty());
  EXPECT_THAT(events, ElementsAre("end"));

  // A sink is optional.
  EXPECT_EQ(FilterFiles(CommandEnv{mem}, files, {"/d/", {}, {}, false}).size(), 3u);
}

}  // namespace
}  // namespace kestrin

namespace kestrin {
namespace {

// A random tree: files of random sizes (some across several read chunks) holding the pattern or a near
// miss anywhere, some entries that are not regular files, some missing.
FileList RandomTree(MemoryFileSystem& mem, unsigned seed) {
  std::mt19937 random(seed);
  FileList files;
  const std::size_t count = 50 + random() % 200;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string path = "/t/d" + std::to_string(random() % 7) + "/f" + std::to_string(i) +
                             (random() % 3 == 0 ? ".log" : ".txt");
    switch (random() % 10) {
      case 0:
        mem.AddOther(path);
        files.push_back(path, EntryKind::Other);
        continue;
      case 1:
        files.push_back(path);  // listed, then gone
        continue;
      default:
        break;
    }
    std::string content(random() % 3 == 0 ? random() % (600 << 10) : random() % 5000, 'a');
    if (random() % 3 == 0 && !content.empty()) {
      const std::string word = random() % 2 ? "NeedLe" : "needle";
      content.replace(random() % content.size(), 0, word);
    } else if (!content.empty()) {
      content.replace(random() % content.size(), 0, "needl");
    }
    mem.AddFile(path, content);
    files.push_back(path);
  }
  return files;
}

// One worker or several: the same results, the same failures, positions that only rise and passed(i) in
// list order, all on the calling thread.
TEST(FilterFiles, ParallelResultsEqualTheSequentialOnes) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    MemoryFileSystem mem;
    const FileList files = RandomTree(mem, seed);
    for (const SearchFilters& filters : {SearchFilters{{}, {}, "needle", false}, SearchFilters{{}, "txt", "needle", true},
                                         SearchFilters{"/d3/", {}, "a", false}}) {
      std::vector<std::vector<std::string>> results;
      std::vector<std::vector<std::string>> failures;
      for (unsigned workers : {1u, 2u, 5u}) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(workers) + " workers");
        const std::thread::id caller = std::this_thread::get_id();
        std::vector<std::size_t> positions;
        std::vector<std::size_t> passed;
        struct Sink : CommandSink {
          std::function<void(std::size_t)> position, pass;
          void Progress(std::size_t i) override { position(i); }
          void Outcome(const FileOutcome& o) override {
            if (o.kind == FileOutcome::Kind::Matched) pass(o.index);
          }
        } sink;
        sink.position = [&](std::size_t i) {
          EXPECT_EQ(std::this_thread::get_id(), caller);
          positions.push_back(i);
        };
        sink.pass = [&](std::size_t i) {
          EXPECT_EQ(std::this_thread::get_id(), caller);
          passed.push_back(i);
        };
        FailureList failed;
        FailureCollector collector(failed, sink);
        results.push_back(Paths(FilterFiles(CommandEnv{mem, nullptr, collector}, files, filters, workers)));
        failures.emplace_back();
        for (const Failure& f : failed.items()) failures.back().push_back(f.path + ": " + ReasonText(f));
        ASSERT_EQ(positions.size(), files.size());
        for (std::size_t i = 0; i < positions.size(); ++i) EXPECT_EQ(positions[i], i);
        ASSERT_EQ(passed.size(), results.back().size());
        for (std::size_t k = 0; k < passed.size(); ++k) EXPECT_EQ(files[passed[k]], results.back()[k]);
        EXPECT_EQ(results.back(), results.front());
        EXPECT_EQ(failures.back(), failures.front());
      }
      EXPECT_EQ(mem.OpenHandles(), 0u);
    }
  }
}

// A memory file system whose reads of one file raise a stop flag at the second read.
class StoppingFileSystem : public MemoryFileSystem {
 public:
  FsResult<std::size_t> Read(ReadHandle handle, void* buffer, std::size_t size) override {
    if (++reads == 2) stop.Request();
    return MemoryFileSystem::Read(handle, buffer, size);
  }
  StopFlag stop;
  std::atomic<int> reads{0};
};

// A stop raised part-way: the results found so far are kept, the progress never passes what was
// delivered, and a large file being read is left between two chunks.
TEST(FilterFiles, AStopKeepsWhatWasFoundAndLeavesALargeFileBetweenChunks) {
  MemoryFileSystem mem;
  FileList files;
  // Many more files than the scan holds in flight, so that a search that missed the stop shows.
  const std::size_t count = 4 * DefaultScanWindow(3);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string path = "/s/f" + std::to_string(i);
    mem.AddFile(path, i % 3 == 0 ? "needle" : "hay");
    files.push_back(path);
  }
  for (unsigned workers : {1u, 3u}) {
    StopFlag stop;
    std::size_t last = 0;
    struct Sink : CommandSink {
      std::size_t& last;
      StopFlag& stop;
      Sink(std::size_t& l, StopFlag& s) : last(l), stop(s) {}
      void Progress(std::size_t i) override {
        last = i;
        if (i == 100) stop.Request();
      }
    } sink(last, stop);
    const std::vector<std::string> found =
        Paths(FilterFiles(CommandEnv{mem, &stop, sink}, files, {{}, {}, "needle", false}, workers));
    // Every file delivered is listed or not as a full search would have it: a prefix of its results.
    ASSERT_GE(last, 100u);
    ASSERT_LT(last, files.size() - 1) << "the stop was not seen";
    std::vector<std::string> expected;
    for (std::size_t i = 0; i <= last; i += 3) expected.push_back(files[i].data());
    EXPECT_EQ(found, expected) << workers << " workers";
  }

  StoppingFileSystem big;
  big.AddFile("/big", std::string(std::size_t{64} << 20, 'x'));
  EXPECT_TRUE(FilterFiles(CommandEnv{big, &big.stop}, ListOf({"/big"}), {{}, {}, "needle", false}).empty());
  EXPECT_LE(big.reads.load(), 3) << "the file was read on after the stop";
  EXPECT_EQ(big.OpenHandles(), 0u);
}


// The lines a line-oriented search prints, "NUMBER:TEXT\n" each: split at '\n' (the last line without it
// a line too), ASCII letters folded with ignoreCase.
std::string ReferenceLines(const std::string& content, const std::string& pattern, bool ignoreCase) {
  const auto fold = [&](std::string text) {
    if (ignoreCase) std::transform(text.begin(), text.end(), text.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    return text;
  };
  std::string out;
  std::size_t begin = 0;
  for (std::uint64_t number = 1; begin < content.size(); ++number) {
    const std::size_t end = std::min(content.find('\n', begin), content.size());
    const std::string line = content.substr(begin, end - begin);
    if (fold(line).find(fold(pattern)) != std::string::npos) out += std::to_string(number) + ':' + line + '\n';
    begin = end + 1;
  }
  return out;
}

// A file is read once when the text turns up in its first bytes read, and again from its start when it
// turns up later; either way its lines and their numbers are those of the reference, whatever the chunk
// a line or an occurrence straddles, and whether the first reads are small (after files that hold the
// text early) or whole chunks (after files that hold it late or not at all).
// Entries are found in the batch they came in, across batches of every size (none included), while a
// reader reads what it was told of as the list grows on another thread.
TEST(GrowingFileList, EachEntryIsWhereItWasAppendedWhileTheListGrows) {
  GrowingFileList files;
  const auto name = [](std::size_t i) { return "/t/" + std::to_string(i) + (i % 3 == 0 ? "/" : ""); };
  const auto kind = [](std::size_t i) { return i % 3 == 0 ? EntryKind::Directory : EntryKind::File; };
  constexpr std::size_t kBatches = 300;
  std::atomic<bool> done{false};
  std::atomic<std::size_t> wrong{0};
  std::thread reader([&] {
    std::mt19937 random(7);
    while (!done.load()) {
      const std::size_t size = files.size();
      if (size == 0) continue;
      const std::size_t i = random() % size;
      if (files[i] != name(i) || files.kind(i) != kind(i)) ++wrong;
    }
  });
  std::size_t total = 0;
  for (std::size_t b = 0; b < kBatches; ++b) {
    FileList batch;
    for (std::size_t k = 0; k < (b * 7) % 11; ++k, ++total) batch.push_back(name(total), kind(total));
    files.Append(std::move(batch), b + 1 == kBatches);
  }
  done = true;
  reader.join();
  EXPECT_EQ(wrong.load(), 0u);
  ASSERT_EQ(files.size(), total);
  for (std::size_t i = 0; i < total; ++i) {
    ASSERT_EQ(files[i], name(i)) << i;
    ASSERT_EQ(files.kind(i), kind(i)) << i;
  }
}

TEST(FilterFileLines, EachFilesLinesAsTheReferenceFindsThemReadOnceWhereTheyCanBe) {
  const auto lines = [](std::size_t count, const std::string& line) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += line + '\n';
    return out;
  };
  const struct {
    const char* name;
    std::string content;
    bool readOnce;  // the first occurrence lies in the first 4 KiB (every first read holds them)
  } files[] = {
      {"early, then more after each chunk", "a needle\n" + lines(500, "hay and hay") + "NEEDLE x\n" +
                                                lines(30000, "more hay") + "x needle y\r\n" + lines(5, "hay"), true},
      {"an occurrence across the 4 KiB and 256 KiB reads", "needle\n" + std::string(4090, 'h') + "needle\n" +
                                                              std::string(262144 - 4, 'h') + "neEDle" + "\n", true},
      {"late: first in the second chunk", lines(1000, "hay hay hay") + "the needle\n" + lines(3, "hay") + "needle", false},
      {"late: first beyond 256 KiB, after empty lines", lines(1, "h") + std::string(300000, '\n') + "needle\n", false},
      {"CR, NUL and no last newline", std::string("ne\0edle\r\nneedle\0\r\n\0needle", 26), true},
      {"no occurrence", lines(20000, "hay"), true},
      {"empty", "", true},
  };
  for (const bool ignoreCase : {false, true}) {
    for (const unsigned workers : {1u, 3u}) {
      RecordingFileSystem mem;
      FileList list;
      // Files that hold the text early make the first reads small; then each case, several times over.
      for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 8; ++i) {
          const std::string path = "/early" + std::to_string(round) + "_" + std::to_string(i);
          mem.AddFile(path, "needle\n" + lines(i * 100, "hay"));
          list.push_back(path);
        }
        for (std::size_t k = 0; k < std::size(files); ++k) {
          const std::string path = "/case" + std::to_string(round) + "_" + std::to_string(k);
          mem.AddFile(path, files[k].content);
          list.push_back(path);
        }
      }
      SelectionFilters filters;
      filters.content = "needle";
      filters.ignoreCase = ignoreCase;
      std::vector<std::string> delivered;
      LineOutput output;
      output.format = [](std::string_view, const MatchedLine& line, std::string& out) {
        out += std::to_string(line.number) + ':' + std::string(line.text) + '\n';
      };
      output.deliver = [&](std::size_t index, std::string_view path, std::uint64_t matching, std::string_view text) {
        delivered.emplace_back(path);
        const std::string want = ReferenceLines(*mem.Content(path), "needle", ignoreCase);
        EXPECT_EQ(text, want) << path << (ignoreCase ? " ignoring case" : "");
        EXPECT_EQ(matching, static_cast<std::uint64_t>(std::count(want.begin(), want.end(), '\n'))) << path;
        EXPECT_EQ(list[index], path);
      };
      EventSink sink;
      const FileList found = FilterFileLines(CommandEnv{mem, nullptr, sink}, list, filters, output, workers);
      std::vector<std::string> expected;
      for (std::size_t i = 0; i < list.size(); ++i) {
        if (!ReferenceLines(*mem.Content(list[i]), "needle", ignoreCase).empty()) expected.emplace_back(list[i]);
      }
      EXPECT_EQ(delivered, expected);
      EXPECT_EQ(Paths(found), expected);
      for (std::size_t k = 0; k < std::size(files); ++k) {
        const std::string path = "/case0_" + std::to_string(k);
        const std::size_t opens = static_cast<std::size_t>(std::count(mem.opened.begin(), mem.opened.end(), path));
        const bool matches = !ReferenceLines(files[k].content, "needle", ignoreCase).empty();
        EXPECT_EQ(opens, files[k].content.empty() || !matches || files[k].readOnce ? 1u : 2u) << files[k].name;
      }
    }
  }
}

// A file whose reading fails part-way, before or after its first occurrence, is no result: its failure
// is reported, and a count or numbers from part of it are never printed.
TEST(FilterFileLines, AReadErrorPartWayLeavesNoLines) {
  MemoryFileSystem mem;
  const std::string hay(400000, 'h');
  mem.AddFile("/early", "needle\n" + hay + "\nneedle\n");
  mem.AddFile("/late", hay + "\nneedle\n");
  mem.AddFile("/fine", "a needle\n");
  for (const char* broken : {"/early", "/late"}) {
    for (const std::size_t after : {std::size_t{100}, std::size_t{300000}, std::size_t{400002}}) {
      FaultyFileSystem faulty(mem);
      faulty.FailReadAfter(broken, after);
      SelectionFilters filters;
      filters.content = "needle";
      std::vector<std::string> delivered;
      LineOutput output;
      output.deliver = [&](std::size_t, std::string_view path, std::uint64_t, std::string_view) { delivered.emplace_back(path); };
      EventSink sink;
      FilterFileLines(CommandEnv{faulty, nullptr, sink}, ListOf({"/early", "/late", "/fine"}), filters, output, 1);
      const std::vector<std::string> expected{std::string(broken) == "/early" ? "/late" : "/early", "/fine"};
      EXPECT_EQ(delivered, expected) << broken << " failing after " << after;
      const std::vector<std::string> outcomes = sink.Outcomes();
      EXPECT_EQ(std::count_if(outcomes.begin(), outcomes.end(), [](const std::string& o) { return o.rfind("failed ", 0) == 0; }), 1)
          << broken << " failing after " << after;
      EXPECT_EQ(faulty.Calls(FsOp::OpenForRead), faulty.Calls(FsOp::Close));
    }
  }
}

}  // namespace
}  // namespace kestrin
