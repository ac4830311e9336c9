#include "primitives/nocase.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrin {
namespace {

TEST(NoCaseEqual, FoldsAsciiLettersOnly) {
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const bool letters = ((a | 0x20) == (b | 0x20)) && (a | 0x20) >= 'a' && (a | 0x20) <= 'z';
      EXPECT_EQ(NoCaseEqual(static_cast<unsigned char>(a), static_cast<unsigned char>(b)), a == b || letters)
          << a << " " << b;
    }
  }
}

TEST(NoCaseEqual, NeighboursOfTheLetterRangesDiffer) {
  EXPECT_FALSE(NoCaseEqual(0xC1, 0xE1));
  EXPECT_FALSE(NoCaseEqual(0x5B, 0x7B));  // '[' and '{'
  EXPECT_FALSE(NoCaseEqual(0x40, 0x60));  // '@' and '`'
  EXPECT_FALSE(NoCaseEqual('1', 0x11));
}

struct FindCase {
  const char* text;
  const char* pattern;
  int expected;  // offset into text, -1 for null
};

TEST(FindNoCase, PointsAtTheFirstMatchOrNullForEmptyAndLongPatterns) {
  const FindCase cases[] = {
      {"abcdef", "DEF", 3},           // a pattern that ends the text
      {"PublicRes", "publicres", 0},  // equal but for case
      {"xyz", "", -1},                // empty pattern
      {"xyz", "xyza", -1},            // one byte longer than the text
      {"", "a", -1},                  // empty text
      {"", "", -1},
      {"aaab", "AAB", 1},             // the first try fails part-way
      {"a\\PlugApp\\b\\plugapp\\", "\\PLUGAPP\\", 1},
      {"\xC1\xE1", "\xE1", 1},        // bytes above 0x7F do not fold
      {"abc", "abd", -1},
      {"abab", "BA", 1},
  };
  for (const FindCase& c : cases) {
    const char* found = FindNoCase(c.text, c.pattern);
    if (c.expected < 0) {
      EXPECT_EQ(found, nullptr) << c.text << " / " << c.pattern;
    } else {
      EXPECT_EQ(found, c.text + c.expected) << c.text << " / " << c.pattern;
    }
  }
  EXPECT_EQ(FindNoCase("abc", nullptr), nullptr);
}

struct IndexCase {
  std::string_view text;
  std::string_view pattern;
  std::int32_t expected;
};

TEST(IndexOfNoCase, GivesTheFirstMatchEmptyPatternAtZero) {
  const IndexCase cases[] = {
      {"", "", 0},  // an empty pattern occurs at 0 of every text
      {"abc", "", 0},
      {"ab", "abc", -1},
      {"", "a", -1},
      {"D:\\Game\\vorn_publicres\\x", "VORN_PUBLICRES", 8},
      {"aXbxc", "XC", 3},
      {"abc", "abc", 0},
      {"abc", "c", 2},
      {"[x", "{X", -1},
  };
  for (const IndexCase& c : cases) EXPECT_EQ(IndexOfNoCase(c.text, c.pattern), c.expected) << c.text << " / " << c.pattern;
}

struct TruncateCase {
  std::string_view source;
  std::string_view pattern;
  bool found;
  std::string_view expected;
};

TEST(TruncateAtNoCase, CutsAtTheFirstMatchOrKeepsTheWholeSource) {
  const TruncateCase cases[] = {
      {"d:\\out\\PublicRes\\a.png", "\\publicres\\", true, "d:\\out"},
      {"d:\\out\\a.png", "\\publicres\\", false, "d:\\out\\a.png"},
      {"PublicRes\\x", "PUBLICRES", true, ""},  // a pattern that begins the source
      {"abc", "", true, ""},                     // an empty pattern cuts at 0
      {"", "a", false, ""},
      {"ab", "abc", false, "ab"},
  };
  for (const TruncateCase& c : cases) {
    std::string destination = "previous content";
    EXPECT_EQ(TruncateAtNoCase(destination, c.source, c.pattern), c.found) << c.source;
    EXPECT_EQ(destination, c.expected) << c.source;
  }
}

TEST(TruncateAtNoCase, CutsInPlaceWhenTheSourceIsTheDestination) {
  std::string path = "e:\\work\\PlugApp\\ui\\main.lua";
  EXPECT_TRUE(TruncateAtNoCase(path, path, "\\plugapp\\"));
  EXPECT_EQ(path, "e:\\work");

  std::string unchanged = "e:\\work\\ui";
  EXPECT_FALSE(TruncateAtNoCase(unchanged, unchanged, "\\plugapp\\"));
  EXPECT_EQ(unchanged, "e:\\work\\ui");

  std::string tail = "abcABC";
  EXPECT_TRUE(TruncateAtNoCase(tail, std::string_view(tail).substr(3), "c"));
  EXPECT_EQ(tail, "AB");
}

struct ReplaceCase {
  std::string_view text;
  std::string_view oldString;
  std::string_view newString;
  bool replaced;
  std::string_view expected;
};

TEST(ReplaceFirstNoCase, ReplacesOnlyTheFirstMatchWhateverItsCase) {
  const ReplaceCase cases[] = {
      {"icon_Old_old.png", "OLD", "new", true, "icon_new_old.png"},  // only the first, whatever its case
      {"OLD", "old", "New", true, "New"},                           // the new string alone
      {"a.png", "old", "new", false, ""},                           // none: the output is emptied
      {"abc", "b", "", true, "ac"},
      {"abc", "abcd", "x", false, ""},
      {"aaa", "aa", "b", true, "ba"},
      {"\xB1\xED.png", "\xB1\xED", "x", true, "x.png"},
      {"name", "", "x", false, ""},  // an empty old string is refused
  };
  for (const ReplaceCase& c : cases) {
    std::string output = "left over";
    EXPECT_EQ(ReplaceFirstNoCase(output, c.text, c.oldString, c.newString), c.replaced) << c.text;
    EXPECT_EQ(output, c.expected) << c.text;
  }
}

TEST(ReplaceFirstNoCase, TextLimitIs263Bytes) {
  const std::string fits = std::string(262, 'a') + "X";
  const std::string tooLong = std::string(263, 'a') + "X";
  std::string output;
  EXPECT_TRUE(ReplaceFirstNoCase(output, fits, "x", "yy"));
  EXPECT_EQ(output, std::string(262, 'a') + "yy");
  output = "left over";
  EXPECT_FALSE(ReplaceFirstNoCase(output, tooLong, "x", "y"));
  EXPECT_EQ(output, "");
}

TEST(ReplaceFirstNoCase, OutputMayBeTheText) {
  std::string name = "Old_old";
  EXPECT_TRUE(ReplaceFirstNoCase(name, name, "old", "new"));
  EXPECT_EQ(name, "new_old");
}

TEST(EqualsAndStartsWithNoCase, CompareWholeLengthsWithoutCase) {
  struct Case {
    std::string_view text, other;
    bool equals, startsWith;
  };
  const Case cases[] = {
      {"PublicRes", "publicres", true, true},
      {"PublicRes\\x", "PUBLICRES", false, true},
      {"Public", "PublicRes", false, false},  // shorter than the prefix
      {"", "", true, true},
      {"abc", "", false, true},
      {"\xC1", "\xE1", false, false},  // high bytes never fold
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " | " + std::string(c.other));
    EXPECT_EQ(EqualsNoCase(c.text, c.other), c.equals);
    EXPECT_EQ(StartsWithNoCase(c.text, c.other), c.startsWith);
  }
}

// With a path style, a match only starts on a character: the trail byte of a GBK character ('A' in
// "\x81A", '\\' in "\x81\\") never begins one. Byte by byte it does.
TEST(NoCaseWithPathStyle, MatchesStartOnlyWhereACharacterStarts) {
  const PathStyle gbk = PathStyle::Windows(&GbkLeadBytes());
  const PathStyle bytes = PathStyle::Windows();
  struct Case {
    const PathStyle* style;
    std::string_view text, pattern;
    std::int32_t index;
  };
  const Case cases[] = {
      {&gbk, "\x81" "Ab", "ab", -1},
      {&bytes, "\x81" "Ab", "ab", 1},
      {&gbk, "\x81" "Aab", "AB", 2},
      {&gbk, "d:\\\x81\\PlugApp\\x", "\\plugapp\\", -1},  // the trail backslash is no separator
      {&bytes, "d:\\\x81\\PlugApp\\x", "\\plugapp\\", 4},
      {&gbk, "\x81\\plugapp\\\\plugapp\\", "\\plugapp\\", 10},  // the later, real marker
      {&bytes, "\x81\\plugapp\\\\plugapp\\", "\\plugapp\\", 1},
      {&gbk, "abc", "", 0},
      {&gbk, "ab", "abc", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " | " + std::string(c.pattern));
    EXPECT_EQ(IndexOfNoCase(c.text, c.pattern, *c.style), c.index);
    std::string cut = "left over";
    EXPECT_EQ(TruncateAtNoCase(cut, c.text, c.pattern, *c.style), c.index >= 0);
    EXPECT_EQ(cut, c.index >= 0 ? c.text.substr(0, static_cast<std::size_t>(c.index)) : c.text);
  }
}

}  // namespace
}  // namespace kestrin
