#include "search/match_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/ascii_case.h"
#include "platform/filesystem.h"
#include "tests/support/memory_fs.h"
#include "tests/support/temp_folder.h"

namespace kestrin {
namespace {

struct Line {
  std::uint64_t number;
  std::string text;
  std::uint64_t offset;
  bool cutAfter;
  std::size_t match;
  friend bool operator==(const Line& a, const Line& b) {
    return a.number == b.number && a.text == b.text && a.offset == b.offset && a.cutAfter == b.cutAfter &&
           a.match == b.match;
  }
};

std::ostream& operator<<(std::ostream& out, const Line& line) {
  std::string shown;
  for (const char ch : line.text) shown += (ch == '\0' ? std::string("\\0") : ch == '\r' ? std::string("\\r") : std::string(1, ch));
  return out << line.number << ":" << line.offset << ":" << shown << (line.cutAfter ? "..." : "") << "@" << line.match;
}

// The plain reading: split at each newline, a last piece without one is a line when it is not empty.
std::size_t FindFolded(const std::string& line, const std::string& pattern, bool ignoreCase) {
  if (pattern.empty()) return 0;
  for (std::size_t i = 0; i + pattern.size() <= line.size(); ++i) {
    std::size_t k = 0;
    while (k < pattern.size() && (ignoreCase ? AsciiToLower(line[i + k]) == AsciiToLower(pattern[k])
                                             : line[i + k] == pattern[k])) {
      ++k;
    }
    if (k == pattern.size()) return i;
  }
  return std::string::npos;
}

std::vector<Line> Reference(const std::string& text, const std::string& pattern, bool ignoreCase, std::size_t keep) {
  std::vector<Line> out;
  std::uint64_t number = 1;
  for (std::size_t start = 0; start < text.size(); ++number) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (pattern.find('\n') != std::string::npos) continue;
    const std::size_t at = FindFolded(line, pattern, ignoreCase);
    if (at == std::string::npos) continue;
    std::size_t from = 0;
    std::size_t to = line.size();
    if (line.size() > keep) {
      from = at - std::min(at, keep / 2);
      to = std::min(line.size(), from + keep);
    }
    out.push_back(Line{number, line.substr(from, to - from), from, to < line.size(), at - from});
  }
  return out;
}

std::vector<Line> Match(const std::string& text, const std::string& pattern, bool ignoreCase, std::size_t keep,
                      const std::vector<std::size_t>& pieces) {
  LineMatcher matcher(pattern, ignoreCase, keep);
  std::vector<Line> out;
  const LineMatcher::OnLine collect = [&](const MatchedLine& line) {
    out.push_back(Line{line.number, std::string(line.text), line.offset, line.cutAfter, line.match});
    return true;
  };
  std::size_t at = 0;
  for (std::size_t piece : pieces) {
    piece = std::min(piece, text.size() - at);
    EXPECT_TRUE(matcher.Feed(text.data() + at, piece, collect));
    at += piece;
  }
  EXPECT_TRUE(matcher.Feed(text.data() + at, text.size() - at, collect));
  EXPECT_TRUE(matcher.Finish(collect));
  return out;
}

TEST(MatchLines, LinesAsALineSearchToolPrintsThem) {
  using namespace std::string_literals;
  const struct {
    const char* name;
    std::string text;
    std::string pattern;
    bool ignoreCase;
    std::vector<Line> want;
  } cases[] = {
      {"a CR stays part of its line", "one\r\ntwo x\r\nthree\r\n", "x", false, {{2, "two x\r", 0, false, 4}}},
      {"a last line without a newline", "a\nb x", "x", false, {{2, "b x", 0, false, 2}}},
      {"NUL bytes are ordinary bytes", "a\0x\nb\0\0\n"s, "\0x"s, false, {{1, "a\0x"s, 0, false, 1}}},
      {"an empty pattern: every line, empty ones too", "a\n\nb", "", false,
       {{1, "a", 0, false, 0}, {2, "", 0, false, 0}, {3, "b", 0, false, 0}}},
      {"a newline at the end is no line of its own", "x\n", "", false, {{1, "x", 0, false, 0}}},
      {"an empty text has no line", "", "", false, {}},
      {"a pattern with a newline is in no line", "a\nb\n", "a\nb", false, {}},
      {"case folds only with ignoreCase", "Abc\nabc\n", "ABC", true, {{1, "Abc", 0, false, 0}, {2, "abc", 0, false, 0}}},
      {"case is kept without it", "Abc\nabc\n", "abc", false, {{2, "abc", 0, false, 0}}},
      {"only ASCII letters fold", "\xC4\xE4\n\xE4\xE4\n", "\xE4\xE4", true, {{2, "\xE4\xE4", 0, false, 0}}},
      {"one line with several occurrences is one line", "x x x\n", "x", false, {{1, "x x x", 0, false, 0}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Match(c.text, c.pattern, c.ignoreCase, static_cast<std::size_t>(-1), {}), c.want) << c.name;
    // The same text a byte at a time.
    EXPECT_EQ(Match(c.text, c.pattern, c.ignoreCase, static_cast<std::size_t>(-1), std::vector<std::size_t>(c.text.size(), 1)),
              c.want)
        << c.name << " (a byte at a time)";
  }
}

TEST(MatchLines, EqualsThePlainReadingOnRandomTextsInRandomPieces) {
  std::mt19937 random(7);
  const std::string alphabet("abAB\n\r\0-", 8);
  for (int round = 0; round < 3000; ++round) {
    std::string text(random() % 300, 'a');
    const int newlineOdds = 2 + static_cast<int>(random() % 60);  // short lines and long ones
    for (char& ch : text) ch = random() % newlineOdds == 0 ? '\n' : alphabet[random() % alphabet.size()];
    std::string pattern(random() % 4, 'a');
    for (char& ch : pattern) ch = alphabet[random() % 4];
    if (random() % 20 == 0) pattern = "a\nb";
    const bool ignoreCase = random() % 2 == 0;
    const std::size_t keep = random() % 3 == 0 ? static_cast<std::size_t>(-1) : 2 * pattern.size() + random() % 40;
    std::vector<std::size_t> pieces;
    for (std::size_t left = text.size(); left > 0;) {
      const std::size_t piece = std::min<std::size_t>(left, 1 + random() % 50);
      pieces.push_back(piece);
      left -= piece;
    }
    const std::size_t effectiveKeep = std::max<std::size_t>(keep, std::max<std::size_t>(2 * pattern.size(), 1));
    ASSERT_EQ(Match(text, pattern, ignoreCase, keep, pieces), Reference(text, pattern, ignoreCase, effectiveKeep))
        << "round " << round << " pattern '" << pattern << "' keep " << keep;
  }
}

TEST(MatchLines, AHugeLineIsHeldOnlyAroundItsOccurrence) {
  // A line of 4 MiB with the pattern near its end, fed in 64 KiB pieces, kept to 500 bytes.
  std::string text(std::size_t{4} << 20, 'a');
  const std::size_t at = text.size() - 1000;
  text.replace(at, 6, "needle");
  text += "\nneedle\n";
  const std::vector<Line> lines = Match(text, "needle", false, 500, std::vector<std::size_t>(text.size() / 65536, 65536));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].number, 1u);
  EXPECT_EQ(lines[0].offset, at - 250);
  EXPECT_EQ(lines[0].text.size(), 500u);
  EXPECT_EQ(lines[0].text.substr(lines[0].match, 6), "needle");
  EXPECT_TRUE(lines[0].cutAfter);
  EXPECT_EQ(lines[1], (Line{2, "needle", 0, false, 0}));
}

TEST(MatchLines, ALineCallbackThatSaysStopEndsTheSearch) {
  const std::string text = "x1\nx2\nx3\nx4";
  for (const std::size_t piece : {std::size_t{1}, std::size_t{4}, text.size()}) {
    LineMatcher matcher("x", false);
    std::vector<std::uint64_t> seen;
    const LineMatcher::OnLine twoOnly = [&](const MatchedLine& line) {
      seen.push_back(line.number);
      return seen.size() < 2;
    };
    bool going = true;
    for (std::size_t at = 0; going && at < text.size(); at += piece) {
      going = matcher.Feed(text.data() + at, std::min(piece, text.size() - at), twoOnly);
    }
    if (going) going = matcher.Finish(twoOnly);
    EXPECT_FALSE(going) << piece;
    EXPECT_EQ(seen, (std::vector<std::uint64_t>{1, 2})) << piece;
  }
}

#ifndef _WIN32
// A file's lines as the pane lists them: "N:TEXT", as a line-oriented search tool prints them.
std::string Listed(const FileLines& lines) {
  std::string out;
  for (const FileLine& line : lines.lines) out += std::to_string(line.number) + ":" + line.text + "\n";
  return out;
}

// grep -n -F (with -i for the no-case rule, -a so that NUL bytes are text) in the C locale.
std::string Grep(const std::string& file, const std::string& pattern, bool ignoreCase) {
  const std::string command = std::string("LC_ALL=C grep -a -n -F ") + (ignoreCase ? "-i " : "") + "-e '" + pattern +
                              "' '" + file + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "popen failed";
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  pclose(pipe);
  return out;
}

TEST(FileLinesTest, EqualGrepOnRandomFilesReadInSmallChunks) {
  std::mt19937 random(23);
  testing::TempFolder tmp;
  const std::string file = tmp.Join("f.txt");
  const std::string alphabet("abAB\n\r\0-xy", 11);
  for (int round = 0; round < 150; ++round) {
    std::string text(random() % 2000, 'a');
    const int newlineOdds = 2 + static_cast<int>(random() % 80);
    for (char& ch : text) ch = random() % newlineOdds == 0 ? '\n' : alphabet[random() % alphabet.size()];
    if (round % 3 == 0 && !text.empty()) text.back() = 'a';  // a last line without newline
    std::string pattern(1 + random() % 3, 'a');
    for (char& ch : pattern) ch = "abABxy-"[random() % 7];
    const bool ignoreCase = random() % 2 == 0;
    ASSERT_TRUE(testing::WriteFile(file, text));
    FileLinesLimits limits;
    limits.keepBytes = static_cast<std::size_t>(-1);
    limits.maxLines = static_cast<std::size_t>(-1);
    limits.chunkBytes = 1 + random() % 64;  // lines across many reads
    const FileLines lines = ReadFileLines(CommandEnv{NativeFileSystem()}, file, pattern, ignoreCase, limits);
    ASSERT_FALSE(lines.failed);
    EXPECT_TRUE(lines.complete);
    EXPECT_EQ(lines.matching, lines.lines.size());
    ASSERT_EQ(Listed(lines), Grep(file, pattern, ignoreCase)) << "round " << round << " pattern " << pattern;
  }
}
#endif

TEST(FileLinesTest, KeepsTheFirstLinesCountsTheRestAndStopsOnAHugeFile) {
  std::string many;
  for (int i = 1; i <= 50; ++i) many += "line " + std::to_string(i) + (i % 2 == 0 ? " hit\n" : "\n");
  std::string huge;
  for (int i = 0; i < 200000; ++i) huge += "hit\n";  // 800,000 bytes
  testing::MemoryFileSystem mem;
  mem.AddFolder("/in").AddFile("/in/many", many).AddFile("/in/huge", huge).AddFile("/in/long", std::string(2000, '-') + "hit" + std::string(2000, '-'));
  const CommandEnv env{mem};
  FileLinesLimits limits;
  limits.maxLines = 10;
  limits.chunkBytes = 7;

  const struct {
    const char* name;
    const char* path;
    std::optional<std::string> pattern;
    std::size_t kept;
    std::uint64_t matching;
    bool complete;
    std::uint64_t firstNumber;
  } cases[] = {
      {"more matches than kept: all counted", "/in/many", "hit", 10, 25, true, 2},
      {"no pattern: the first lines, and no more read", "/in/many", std::nullopt, 10, 11, false, 1},
      {"no pattern, fewer lines than kept", "/in/long", std::nullopt, 1, 1, true, 1},
  };
  for (const auto& c : cases) {
    const FileLines lines = ReadFileLines(env, c.path, c.pattern, false, limits);
    EXPECT_EQ(lines.lines.size(), c.kept) << c.name;
    EXPECT_EQ(lines.matching, c.matching) << c.name;
    EXPECT_EQ(lines.complete, c.complete) << c.name;
    ASSERT_FALSE(lines.lines.empty()) << c.name;
    EXPECT_EQ(lines.lines.front().number, c.firstNumber) << c.name;
  }

  // Reading stops once the lines are kept and the counting budget is spent.
  limits.chunkBytes = 4096;
  limits.countBytes = 64 * 1024;
  const FileLines stopped = ReadFileLines(env, "/in/huge", std::string("hit"), false, limits);
  EXPECT_FALSE(stopped.complete);
  EXPECT_EQ(stopped.lines.size(), 10u);
  EXPECT_GE(stopped.matching, 16u * 1024);
  EXPECT_LT(stopped.matching, 30u * 1024);

  // A long line is cut around its match, which is marked.
  const FileLines cut = ReadFileLines(env, "/in/long", std::string("HIT"), true, FileLinesLimits{});
  ASSERT_EQ(cut.lines.size(), 1u);
  const FileLine& line = cut.lines.front();
  EXPECT_EQ(line.text.size(), 500u);
  EXPECT_TRUE(line.cutBefore);
  EXPECT_TRUE(line.cutAfter);
  EXPECT_EQ(line.text.substr(line.match, line.matchLength), "hit");

  // A missing file says why; a raised stop reads nothing.
  const FileLines missing = ReadFileLines(env, "/in/none", std::string("x"), false, limits);
  EXPECT_TRUE(missing.failed);
  EXPECT_EQ(missing.failure.reason, FailureReason::Vanished);
  StopFlag stop;
  stop.Request();
  const FileLines none = ReadFileLines(CommandEnv{mem, &stop}, "/in/many", std::string("hit"), false, limits);
  EXPECT_TRUE(none.lines.empty());
  EXPECT_FALSE(none.complete);
}

TEST(FileLinesTest, TheHeadOfAFileAndItsSize) {
  testing::MemoryFileSystem mem;
  mem.AddFolder("/in").AddFile("/in/big", std::string(600 * 1024, 'z')).AddFile("/in/small", "abc");
  const CommandEnv env{mem};
  const FileHead big = ReadFileHead(env, "/in/big", 1000);
  EXPECT_TRUE(big.complete);
  EXPECT_EQ(big.size, 600u * 1024);
  EXPECT_EQ(big.bytes, std::string(1000, 'z'));
  const FileHead small = ReadFileHead(env, "/in/small", 1000);
  EXPECT_EQ(small.bytes, "abc");
  EXPECT_EQ(small.size, 3u);
  const FileHead folder = ReadFileHead(env, "/in", 1000);
  EXPECT_TRUE(folder.failed);
  EXPECT_EQ(folder.failure.reason, FailureReason::NotRegularFile);
}

}  // namespace
}  // namespace kestrin
