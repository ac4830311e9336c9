// The multi-pattern search: the same patterns found as one BufferContains per pattern, over any split of
// the stream into chunks, in both case modes, with and without the sparse states.

#include "search/multi_search.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "search/search.h"

namespace kestrin {
namespace {

using ::testing::UnorderedElementsAreArray;

// The patterns found in the chunks, fed one after another into one stream, as pattern texts.
std::vector<std::string> FoundIn(const MultiSearcher& searcher, const std::vector<std::string>& patterns,
                                 const std::vector<std::string>& chunks) {
  MultiSearchStream stream(searcher);
  for (const std::string& chunk : chunks) stream.Feed(chunk.data(), chunk.size());
  std::vector<std::string> found;
  for (const std::uint32_t p : stream.Found()) found.push_back(patterns[p]);
  return found;
}

// Each way through the data: the automaton alone, the prefilter alone (with each kernel of its bit
// tables), and the choice made per chunk.
struct Engine {
  MultiSearchScan scan;
  SearchKernel kernel;
  const char* name;
};
const Engine kEngines[] = {{MultiSearchScan::Auto, BestSearchKernel(), "auto"},
                           {MultiSearchScan::Automaton, BestSearchKernel(), "automaton"},
                           {MultiSearchScan::Prefilter, BestSearchKernel(), "prefilter"},
                           {MultiSearchScan::Prefilter, SearchKernel::Scalar, "prefilter, scalar"}};

TEST(MultiSearch, FindsOverlappingAndNestedPatternsInBothCaseModes) {
  struct Case {
    std::vector<std::string> patterns;
    std::vector<std::string> chunks;
    bool ignoreCase;
    std::vector<std::string> found;
  };
  const Case cases[] = {
      {{"he", "she", "his", "hers"}, {"ushers"}, false, {"she", "he", "hers"}},
      {{"a", "aa", "aaa", "aaaa"}, {"aaa"}, false, {"a", "aa", "aaa"}},
      {{"abcd", "bc", "c"}, {"xab", "", "c"}, false, {"bc", "c"}},  // across chunk seams, an empty chunk
      {{"AbC"}, {"xaBcx"}, true, {"AbC"}},
      {{"AbC"}, {"xaBcx"}, false, {}},
      {{"["}, {"{"}, true, {}},  // only letters fold: '[' and '{' differ by the case bit
      {{"\xB0\x41"}, {"\xB0\x61"}, true, {"\xB0\x41"}},  // a double-byte character's second byte folds
      {{"\xC1"}, {"\xE1"}, true, {}},                       // bytes of 0x80 and above never fold
      {{"x", "", "x"}, {"yx"}, false, {"", "x", "x"}},      // the empty pattern, and equal patterns together
      {{""}, {}, false, {""}},                              // the empty pattern occurs in no data at all too
      {{"ab", "b"}, {"a", "b"}, false, {"ab", "b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.patterns) + " in " + ::testing::PrintToString(c.chunks));
    for (const std::size_t budget : {MultiSearcher::kDenseBudget, std::size_t{1}}) {
      for (const Engine& engine : kEngines) {
        const MultiSearcher searcher(c.patterns, c.ignoreCase, budget, engine.scan, engine.kernel);
        EXPECT_THAT(FoundIn(searcher, c.patterns, c.chunks), UnorderedElementsAreArray(c.found)) << engine.name;
      }
    }
  }
}

TEST(MultiSearch, EqualsOneSearchPerPatternOnRandomStreams) {
  std::mt19937 random(15);
  const std::string alphabet = "abAB[{\xB0\xE1z";
  const auto text = [&](std::size_t max) {
    std::string s(random() % (max + 1), ' ');
    for (char& ch : s) ch = alphabet[random() % alphabet.size()];
    return s;
  };
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> patterns(1 + random() % 40);
    const int kind = round % 5;
    for (std::string& p : patterns) p = text(kind == 0 ? 40 : 6);
    if (kind >= 3) {
      // Names that share their first bytes, a few or many to a beginning, and end at any place of a word.
      const std::string stems[] = {text(8), text(8), "aAaAaAaA"};
      for (std::string& p : patterns) p = stems[random() % 3].substr(0, 5 + random() % 4) + text(9);
    }
    if (kind == 4) {
      // All longer than the window hashed, so that the filter looks at every few positions only.
      const std::size_t least = 9 + round % 8;
      for (std::string& p : patterns) {
        while (p.size() < least) p += alphabet[random() % alphabet.size()];
      }
    }
    // Short chunks cross seams everywhere; long ones are walked in lanes.
    const bool longChunks = round % 2 == 0;
    std::string data = text(longChunks ? 6000 : 400);
    // Long names seldom occur in random bytes by chance: some are put in, one letter's case turned.
    for (int put = 0; kind >= 3 && put < 8 && !data.empty(); ++put) {
      std::string name = patterns[random() % patterns.size()];
      if (!name.empty()) name[random() % name.size()] ^= 0x20;
      data.replace(random() % data.size(), name.size(), name);
    }
    std::vector<std::string> chunks;  // the data cut at random places
    for (std::size_t at = 0; at < data.size();) {
      const std::size_t n = std::min<std::size_t>(random() % (longChunks ? 3000 : 9), data.size() - at);
      chunks.push_back(data.substr(at, n));
      at += n;
    }
    for (const bool ignoreCase : {false, true}) {
      std::vector<std::string> expected;
      for (const std::string& p : patterns) {
        if (BufferContains(data.data(), data.size(), p, ignoreCase)) expected.push_back(p);
      }
      for (const std::size_t budget : {MultiSearcher::kDenseBudget, std::size_t{1}, std::size_t{1} << 10}) {
        for (const Engine& engine : kEngines) {
          const MultiSearcher searcher(patterns, ignoreCase, budget, engine.scan, engine.kernel);
          const std::vector<std::string> found = FoundIn(searcher, patterns, chunks);
          ASSERT_THAT(found, UnorderedElementsAreArray(expected)) << "round " << round << ", ignoreCase "
                                                                  << ignoreCase << ", budget " << budget << ", "
                                                                  << engine.name;
        }
      }
    }
  }
}

// Names as resource files have them, in text where they are rare: the prefilter's own ground, with names
// of 8 bytes and more and shorter ones, at every kind of place from a chunk's seams and ends. In capitals,
// a name is found without case only.
TEST(MultiSearch, FindsLongAndShortNamesAtEveryPlaceOfAChunk) {
  const std::vector<std::string> patterns = {"ui_button_close", "ui_button_open", "Hero", "bg_01", "icon_skill_fire"};
  std::string filler;
  for (int i = 0; filler.size() < 3000; ++i) filler += "local x" + std::to_string(i) + " = nil; ";
  for (const bool ignoreCase : {false, true}) {
    for (const Engine& engine : kEngines) {
      const MultiSearcher searcher(patterns, ignoreCase, MultiSearcher::kDenseBudget, engine.scan, engine.kernel);
      for (const std::string& pattern : patterns) {
        for (const bool capitals : {false, true}) {
          std::string name = pattern;
          if (capitals) std::transform(name.begin(), name.end(), name.begin(), [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
          const bool wanted = ignoreCase || !capitals || name == pattern;
          for (const std::size_t at : {std::size_t{0}, std::size_t{1}, std::size_t{7}, std::size_t{100},
                                       filler.size() - name.size() - 1, filler.size() - name.size()}) {
            std::string data = filler;
            data.replace(at, name.size(), name);
            for (const std::size_t cut : {std::size_t{0}, at + 1, at + name.size() - 1, std::size_t{1500}}) {
              SCOPED_TRACE(testing::Message() << engine.name << ", " << name << " at " << at << ", cut at " << cut
                                              << ", ignoreCase " << ignoreCase);
              const std::vector<std::string> found = FoundIn(searcher, patterns, {data.substr(0, cut), data.substr(cut)});
              EXPECT_EQ(std::count(found.begin(), found.end(), pattern), wanted ? 1 : 0);
            }
          }
        }
      }
    }
  }
}

// Text where nearly every position begins a name makes the prefilter give up part way through a chunk,
// after its first thousand positions, and the automaton go on from there: what is put at each place
// around that point is found as one search per name finds it, whichever filter gave up (the one that
// looks at every position, or the one that looks at one in five), including a name that begins one byte
// after the last position the prefilter checked, in a stream of its own or in one of many through one
// stream object.
TEST(MultiSearch, FindsWhatLiesWhereThePrefilterHandsOverToTheAutomaton) {
  struct Case {
    std::vector<std::string> patterns;
    std::string filler;
    std::string put;
  };
  const std::string name = "ui_button_close";
  const Case cases[] = {
      {{"xy", name}, "xy", name},
      {{"xyxyxyxy", name}, "xy", name},
      {{"xyxyxyxyxyxy", name}, "xy", name},
      {{"xxxxxxxx", "xxxxxxxxQ"}, "x", "Q"},          // begins a byte after the position the filter gave up at
      {{"xxxxxxxxxxxx", "xxxxxxxxxxxxQ"}, "x", "Q"},  // the same one position in five
      {{"Qx", "xxxxxxxxxxxx"}, "x", "Q"},             // the strided filter gives up before the short names' scan
  };
  std::string sparse;  // text the prefilter keeps to, between the others in one stream object
  for (int i = 0; sparse.size() < 3000; ++i) sparse += "local v" + std::to_string(i) + " = nil; ";
  for (const Case& c : cases) {
    std::string filler;
    while (filler.size() < 3000) filler += c.filler;
    const MultiSearcher searcher(c.patterns, false);
    // One stream object for them all, as a worker of the reference report has: after streams the
    // prefilter gave up on, the next ones begin with the automaton, and then with the prefilter again.
    MultiSearchStream stream(searcher);
    for (std::size_t at = 900; at < 1300; ++at) {
      std::string data = at % 7 == 0 ? sparse : filler;
      data.replace(at, c.put.size(), c.put);
      std::vector<std::string> expected;
      for (const std::string& p : c.patterns) {
        if (BufferContains(data.data(), data.size(), p, false)) expected.push_back(p);
      }
      stream.Begin();
      stream.Feed(data.data(), data.size());
      std::vector<std::string> found;
      for (const std::uint32_t p : stream.Found()) found.push_back(c.patterns[p]);
      ASSERT_THAT(found, UnorderedElementsAreArray(expected))
          << c.patterns[0] << ", " << c.patterns[1] << ", put at " << at;
      ASSERT_THAT(FoundIn(searcher, c.patterns, {data}), UnorderedElementsAreArray(expected)) << "a stream of its own";
    }
  }
}

TEST(MultiSearch, StreamsStartAfreshAndKnowWhenAllAreFound) {
  const std::vector<std::string> patterns = {"ab", "cd"};
  const MultiSearcher searcher(patterns, false, 1);
  EXPECT_EQ(searcher.DenseStateCount(), 1u);
  EXPECT_EQ(searcher.StateCount(), 5u);
  MultiSearchStream stream(searcher);
  stream.Feed("xa", 2);
  stream.Begin();  // the "a" before the new stream is forgotten
  stream.Feed("bcd", 3);
  EXPECT_EQ(stream.Found(), (std::vector<std::uint32_t>{1}));
  EXPECT_FALSE(stream.FoundAll());
  stream.Feed("ab", 2);
  EXPECT_TRUE(stream.FoundAll());
}

}  // namespace
}  // namespace kestrin
