#include "search/match_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/ascii_case.h"

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

}  // namespace
}  // namespace kestrin
