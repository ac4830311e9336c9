// The walk and the search streamed together: the same reports in the same order as a walk followed by a
// search, whatever the batches and the workers; matching lines of files read in many chunks; the stop;
// the selection's further filters; how deep the walk goes.

#include "search/tree_search.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "search/glob.h"
#include "search/list_helpers.h"
#include "support/event_sink.h"
#include "support/faulty_fs.h"
#include "support/memory_fs.h"

namespace kestrin {
namespace {

using testing::EventSink;
using testing::FaultyFileSystem;
using testing::FsOp;
using testing::MemoryFileSystem;
using testing::Paths;
using ::testing::ElementsAre;

const PathStyle kPosix = PathStyle::Posix();

// Folders nested a few levels, hidden ones among them, files that hold "needle" (some in the other
// case, some across the chunks a file is read in), FIFO-like entries.
void RandomTree(MemoryFileSystem& mem, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::string> folders{"/t"};
  for (int i = 0; i < 12; ++i) {
    const std::string parent = folders[random() % folders.size()];
    folders.push_back(parent + (random() % 6 == 0 ? "/.h" : "/d") + std::to_string(i));
    mem.AddFolder(folders.back());
  }
  const std::size_t count = 40 + random() % 300;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string path = folders[random() % folders.size()] + "/f" + std::to_string(i) +
                             (random() % 3 == 0 ? ".log" : ".txt");
    if (random() % 12 == 0) {
      mem.AddOther(path);
      continue;
    }
    std::string content;
    const std::size_t lines = random() % 4 == 0 ? 3000 + random() % 40000 : random() % 30;
    for (std::size_t l = 0; l < lines; ++l) {
      std::string line(random() % 40, 'a');
      switch (random() % 8) {
        case 0: line.insert(random() % (line.size() + 1), "needle"); break;
        case 1: line.insert(random() % (line.size() + 1), "NeeDLE"); break;
        case 2: line += '\r'; break;
        case 3: line.insert(random() % (line.size() + 1), std::string(1, '\0')); break;
        default: break;
      }
      content += line;
      if (l + 1 < lines || random() % 2 == 0) content += '\n';
    }
    mem.AddFile(path, content);
  }
}

struct Case {
  std::optional<std::string> content;
  bool ignoreCase;
  bool hidden;
};
const Case kCases[] = {{"needle", false, false}, {"needle", true, true}, {std::nullopt, false, true}, {"e\r", false, false}};

// Streamed, the reports of the files are those of the walk's list searched afterwards, index for index.
TEST(SearchTree, ReportsWhatAWalkThenASearchReports) {
  for (unsigned seed = 1; seed <= 5; ++seed) {
    MemoryFileSystem mem(kPosix);
    RandomTree(mem, seed);
    for (const Case& c : kCases) {
      WalkOptions walk;
      walk.includeHidden = c.hidden;
      SelectionFilters filters;
      filters.content = c.content;
      filters.ignoreCase = c.ignoreCase;
      FileList files;
      CollectFiles(CommandEnv{mem}, "/t/", files, walk, kPosix);
      EventSink expected;
      FilterFiles(CommandEnv{mem, nullptr, expected}, files, filters, 2);
      for (const std::size_t batch : {std::size_t{1}, std::size_t{7}, std::size_t{256}}) {
        for (const unsigned workers : {1u, 3u}) {
          // A walk held closer to the search than its batches are large (here one file ahead) hands a
          // batch whenever the search has reached every file it had, rather than wait for ever.
          const std::size_t ahead = workers == 3 && batch == 7 ? 1 : 0;
          SCOPED_TRACE("seed " + std::to_string(seed) + " batch " + std::to_string(batch) + " workers " +
                       std::to_string(workers) + " ahead " + std::to_string(ahead));
          TreeSearchOptions options;
          options.walk = walk;
          options.filters = filters;
          options.workers = workers;
          options.firstBatch = batch;
          options.walkAhead = ahead;
          EventSink streamed;
          EXPECT_EQ(SearchTree(CommandEnv{mem, nullptr, streamed}, "/t/", options, kPosix), files.size());
          EXPECT_EQ(streamed.events, expected.events);
        }
      }
    }
  }
}

struct LineHit {
  std::uint64_t number;
  std::string text;
};

// The lines a line-oriented search prints: split at '\n', the last one without it a line too, CR and NUL
// bytes kept, ASCII letters folded with ignoreCase.
std::vector<LineHit> ReferenceLines(const std::string& content, const std::string& pattern, bool ignoreCase) {
  const auto fold = [&](std::string text) {
    if (ignoreCase) {
      for (char& ch : text) {
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
      }
    }
    return text;
  };
  std::vector<LineHit> hits;
  std::size_t begin = 0;
  for (std::uint64_t number = 1; begin < content.size(); ++number) {
    const std::size_t end = std::min(content.find('\n', begin), content.size());
    const std::string line = content.substr(begin, end - begin);
    if (fold(line).find(fold(pattern)) != std::string::npos) hits.push_back(LineHit{number, line});
    begin = end + 1;
  }
  return hits;
}

// The walk's failures reach the sink before the reports of the files listed after them, and those met
// after the last file come last, whatever the batches and the workers, with or without reading.
TEST(SearchTree, TheWalksFailuresComeBeforeTheFilesListedAfterThem) {
  // The walk's sink notes how many files were listed when each failure came.
  struct WalkSink : EventSink {
    explicit WalkSink(const FileList& files) : files(files) {}
    void Outcome(const FileOutcome& o) override {
      EventSink::Outcome(o);
      before.push_back(files.size());
    }
    const FileList& files;
    std::vector<std::size_t> before;
  };
  for (unsigned seed = 1; seed <= 3; ++seed) {
    MemoryFileSystem mem(kPosix);
    RandomTree(mem, seed);
    FaultyFileSystem faulty(mem);
    faulty.Fail(FsOp::Enumerate, "/d3").StopEnumeration("/d7", 2).Fail(FsOp::Enumerate, "/d11");
    for (const std::optional<std::string>& content : {std::optional<std::string>("needle"), std::optional<std::string>()}) {
      WalkOptions walk;
      walk.includeHidden = true;
      SelectionFilters filters;
      filters.content = content;
      FileList files;
      WalkSink walked(files);
      CollectFiles(CommandEnv{faulty, nullptr, walked}, "/t/", files, walk, kPosix);
      ASSERT_FALSE(walked.Outcomes().empty()) << "the tree of seed " << seed << " has none of the failing folders";
      EventSink searched;
      FilterFiles(CommandEnv{faulty, nullptr, searched}, files, filters, 2);
      for (const std::size_t batch : {std::size_t{1}, std::size_t{5}, std::size_t{64}}) {
        for (const unsigned workers : {1u, 3u}) {
          SCOPED_TRACE("seed " + std::to_string(seed) + (content ? " content" : " names") + " batch " +
                       std::to_string(batch) + " workers " + std::to_string(workers));
          TreeSearchOptions options;
          options.walk = walk;
          options.filters = filters;
          options.workers = workers;
          options.firstBatch = batch;
          EventSink streamed;
          EXPECT_EQ(SearchTree(CommandEnv{faulty, nullptr, streamed}, "/t/", options, kPosix), files.size());
          // Without the walk's failures, the search's reports; the walk's failures in their order, each
          // before the first report of every file listed after it.
          std::vector<std::string> search;
          std::vector<std::string> walkFailures;
          std::size_t filesReported = 0;  // files whose first report has come
          for (const std::string& event : streamed.events) {
            if (event.rfind("failed - ", 0) == 0) {
              ASSERT_LT(walkFailures.size(), walked.before.size()) << event;
              EXPECT_LE(filesReported, walked.before[walkFailures.size()]) << event << " came after a file listed after it";
              walkFailures.push_back(event);
              continue;
            }
            if (event.rfind("pos ", 0) == 0) filesReported = std::stoul(event.substr(4)) + 1;
            search.push_back(event);
          }
          EXPECT_EQ(search, searched.events);
          EXPECT_EQ(walkFailures, walked.Outcomes());
        }
      }
    }
  }
}

TEST(SearchTree, LinesAndCountsOfEachResultAsTheReferenceFindsThem) {
  for (unsigned seed = 11; seed <= 12; ++seed) {
    MemoryFileSystem mem(kPosix);
    RandomTree(mem, seed);
    for (const bool countOnly : {false, true}) {
      for (const Case& c : kCases) {
        if (!c.content) continue;
        SCOPED_TRACE("seed " + std::to_string(seed) + " pattern " + *c.content + (countOnly ? " count" : ""));
        TreeSearchOptions options;
        options.walk.includeHidden = c.hidden;
        options.filters.content = c.content;
        options.filters.ignoreCase = c.ignoreCase;
        options.firstBatch = 5;
        std::vector<std::string> withLines;
        std::size_t last = 0;
        LineOutput output;
        if (!countOnly) {
          output.format = [](std::string_view, const MatchedLine& line, std::string& out) {
            out += std::to_string(line.number) + ':' + std::string(line.text) + '\n';
          };
        }
        output.deliver = [&](std::size_t index, std::string_view path, std::uint64_t matching, std::string_view text) {
          EXPECT_TRUE(withLines.empty() || index > last);
          last = index;
          withLines.emplace_back(path);
          const std::vector<LineHit> expected = ReferenceLines(*mem.Content(path), *c.content, c.ignoreCase);
          EXPECT_EQ(matching, expected.size()) << path;
          std::string lines;
          if (!countOnly) {
            for (const LineHit& hit : expected) lines += std::to_string(hit.number) + ':' + hit.text + '\n';
          }
          EXPECT_EQ(text, lines) << path;
        };
        options.lines = &output;
        EventSink sink;
        SearchTree(CommandEnv{mem, nullptr, sink}, "/t/", options, kPosix);
        // Exactly the files with a matching line: every file of the walk checked against the reference.
        FileList files;
        CollectFiles(CommandEnv{mem}, "/t/", files, options.walk, kPosix);
        std::vector<std::string> expected;
        for (std::size_t i = 0; i < files.size(); ++i) {
          const std::optional<std::string> content = mem.Content(files[i]);
          if (content && !ReferenceLines(*content, *c.content, c.ignoreCase).empty()) expected.emplace_back(files[i]);
        }
        EXPECT_EQ(withLines, expected);
      }
    }
  }
}

// A stop raised at the first result ends the walk and the search: the call returns with a prefix of
// the results, long before the tree is through.
TEST(SearchTree, StopEndsTheWalkAndTheSearch) {
  MemoryFileSystem mem(kPosix);
  for (int d = 0; d < 50; ++d) {
    for (int f = 0; f < 200; ++f) {
      mem.AddFile("/t/d" + std::to_string(d) + "/f" + std::to_string(f), d == 0 && f == 3 ? "a needle" : "hay");
    }
  }
  StopFlag stop;
  struct StopAtMatch : EventSink {
    StopFlag* stop = nullptr;
    void Outcome(const FileOutcome& o) override {
      EventSink::Outcome(o);
      if (o.kind == FileOutcome::Kind::Matched) stop->Request();
    }
  } sink;
  sink.stop = &stop;
  TreeSearchOptions options;
  options.filters.content = "needle";
  options.firstBatch = 16;
  options.workers = 2;
  const std::size_t listed = SearchTree(CommandEnv{mem, &stop, sink}, "/t/", options, kPosix);
  EXPECT_EQ(sink.Outcomes(), std::vector<std::string>{"matched 3"});
  EXPECT_EQ(sink.events.back(), "end");
  EXPECT_LT(listed, 2000u);
}

// Any of the path texts, any of the extensions, and the globs below the folder.
TEST(FilterSelection, AnyTextAnyExtensionAndGlobs) {
  MemoryFileSystem mem(kPosix);
  FileList files;
  for (const char* path : {"/t/ui/a.png", "/t/ui/b.lua", "/t/x/ui.txt", "/t/x/c.png", "/t/skip/d.png", "/t/e.LUA"}) {
    mem.AddFile(path, "");
    files.push_back(path);
  }
  GlobSet globs(kPosix);
  globs.Add("!skip/");
  const struct {
    std::vector<std::string> texts;
    std::vector<std::string> extensions;
    const GlobSet* globs;
    std::vector<std::string> expected;
  } cases[] = {
      {{"ui"}, {}, nullptr, {"/t/ui/a.png", "/t/ui/b.lua", "/t/x/ui.txt"}},
      {{"/x/", "b."}, {}, nullptr, {"/t/ui/b.lua", "/t/x/ui.txt", "/t/x/c.png"}},
      {{}, {"png", "lua"}, nullptr, {"/t/ui/a.png", "/t/ui/b.lua", "/t/x/c.png", "/t/skip/d.png"}},
      {{}, {"png"}, &globs, {"/t/ui/a.png", "/t/x/c.png"}},
      {{"ui", "skip"}, {"png"}, nullptr, {"/t/ui/a.png", "/t/skip/d.png"}},
      {{}, {}, &globs, {"/t/ui/a.png", "/t/ui/b.lua", "/t/x/ui.txt", "/t/x/c.png", "/t/e.LUA"}},
  };
  for (const auto& c : cases) {
    SelectionFilters filters;
    for (const std::string& text : c.texts) (filters.path ? filters.otherPaths.push_back(text) : void(filters.path = text));
    for (const std::string& ext : c.extensions) {
      (filters.extension ? filters.otherExtensions.push_back(ext) : void(filters.extension = ext));
    }
    filters.globs = c.globs;
    filters.globBase = 3;  // "/t/"
    EXPECT_EQ(Paths(FilterSelection(CommandEnv{mem}, files, filters)), c.expected);
  }
}

TEST(CollectFiles, MaxDepthCountsTheLevelsOfFolders) {
  MemoryFileSystem mem(kPosix);
  mem.AddFile("/t/a").AddFile("/t/s/b").AddFile("/t/s/u/c").AddFile("/t/z");
  const struct {
    std::size_t depth;
    std::vector<std::string> expected;
  } cases[] = {
      {0, {}},
      {1, {"/t/a", "/t/z"}},
      {2, {"/t/a", "/t/s/b", "/t/z"}},
      {3, {"/t/a", "/t/s/b", "/t/s/u/c", "/t/z"}},
      {WalkOptions::kNoLimit, {"/t/a", "/t/s/b", "/t/s/u/c", "/t/z"}},
  };
  for (const auto& c : cases) {
    WalkOptions walk;
    walk.maxDepth = c.depth;
    FileList files;
    CollectFiles(CommandEnv{mem}, "/t/", files, walk, kPosix);
    EXPECT_EQ(Paths(files), c.expected) << c.depth;
  }
}

}  // namespace
}  // namespace kestrin
