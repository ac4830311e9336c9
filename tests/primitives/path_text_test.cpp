#include "primitives/path_text.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrin {
namespace {

const PathStyle kPosix = PathStyle::Posix();
const PathStyle kWindows = PathStyle::Windows();
const PathStyle kGbk = PathStyle::Windows(&GbkLeadBytes());

// "\x81\x5C" and "\x95\x5C" are GBK characters whose trail byte is a backslash; "\x81\x41" one whose
// trail byte is 'A'.
constexpr const char* kTrailBackslash = "\x81\x5C";

TEST(AsciiToLower, ChangesExactlyTheUpperCaseLetters) {
  for (int c = 0; c < 256; ++c) {
    const char ch = static_cast<char>(c);
    const char expected = (c >= 0x41 && c <= 0x5A) ? static_cast<char>(c + 0x20) : ch;
    EXPECT_EQ(AsciiToLower(ch), expected) << c;
  }
}

struct SplitCase {
  const PathStyle* style;
  std::string_view path;
  std::string_view name;       // FileNamePart
  std::string_view directory;  // DirectoryPart
};

TEST(PathSplit, NameAndFolderSplitAtTheLastSeparatorCharacter) {
  const std::string gbkFolder = std::string("d:\\") + kTrailBackslash + "\\a.txt";
  const std::string gbkName = std::string("d:\\x\\") + kTrailBackslash + ".txt";
  const SplitCase cases[] = {
      {&kWindows, "c:\\a/b\\c.txt", "c.txt", "c:\\a/b\\"},
      {&kWindows, "c:\\a\\b/c.txt", "c.txt", "c:\\a\\b/"},  // whichever separator comes last
      {&kWindows, "name.txt", "name.txt", "name.txt"},     // no separator: the whole path both times
      {&kWindows, "c:\\a\\", "", "c:\\a\\"},               // ends with a separator: empty name
      {&kWindows, "", "", ""},
      {&kWindows, "c:name", "c:name", "c:name"},           // a colon is not a separator
      {&kPosix, "/home/u/a\\b.txt", "a\\b.txt", "/home/u/"},  // '\' is part of a POSIX name
      {&kPosix, "/", "", "/"},
      {&kPosix, "rel/x", "x", "rel/"},
      {&kPosix, "a\\b", "a\\b", "a\\b"},
      // The trail byte 0x5C of a double-byte character is not a separator on a double-byte code page...
      {&kGbk, gbkFolder, "a.txt", std::string_view(gbkFolder).substr(0, 6)},
      {&kGbk, gbkName, std::string_view(gbkName).substr(5), "d:\\x\\"},
      // ...and it is, byte by byte, without a lead-byte table.
      {&kWindows, gbkName, ".txt", std::string_view(gbkName).substr(0, 7)},
      // A lead byte at the very end stands alone.
      {&kGbk, "d:\\a\\\x81", "\x81", "d:\\a\\"},
  };
  for (const SplitCase& c : cases) {
    EXPECT_EQ(FileNamePart(c.path, *c.style), c.name) << c.path;
    EXPECT_EQ(DirectoryPart(c.path, *c.style), c.directory) << c.path;
  }
}

TEST(FileNamePart, ViewsIntoThePath) {
  const std::string path = "c:\\a\\b.txt";
  EXPECT_EQ(FileNamePart(path, kWindows).data(), path.data() + 5);
  const std::string bare = "b.txt";
  EXPECT_EQ(FileNamePart(bare, kWindows).data(), bare.data());  // the same address, not a copy
}

struct DotCase {
  std::string text;
  std::string expected;
};

TEST(CutAtFirstDot, KeepsWhatStandsBeforeTheFirstDotOfTheWholeText) {
  const DotCase cases[] = {
      {"a.tar.gz", "a"},
      {"noext", "noext"},
      {".hidden", ""},
      {"", ""},
      {"dir.v2\\file.txt", "dir"},  // the first dot of the whole text
  };
  for (DotCase c : cases) {
    CutAtFirstDot(c.text);
    EXPECT_EQ(c.text, c.expected);
  }
}

struct NormalizeCase {
  const PathStyle* style;
  std::string_view source;
  std::string_view expected;
};

TEST(NormalizeFolderPath, OneSeparatorPerRunAndLettersLoweredWhereCaseFolds) {
  const std::string gbkTrailA = std::string("D:\\\x81") + "A\\B";
  const std::string gbkTrailSep = std::string("d:\\") + kTrailBackslash + "\\\\x";
  const NormalizeCase cases[] = {
      {&kWindows, "D:/Out//Res\\\\X", "d:\\out\\res\\x"},
      {&kWindows, "d:\\out/", "d:\\out\\"},  // a trailing slash becomes a trailing backslash
      {&kWindows, "\\/\\/", "\\"},           // separators only
      {&kWindows, "\\\\server\\Share", "\\server\\share"},  // two leading backslashes become one
      {&kWindows, "", ""},
      {&kWindows, "C:.\\A B~1\\", "c:.\\a b~1\\"},  // only letters change
      {&kWindows, "\xC1\xDA", "\xC1\xDA"},          // bytes above 0x7F never change
      {&kPosix, "/Home//User/Out/", "/Home/User/Out/"},  // no lowering on a case-sensitive system
      {&kPosix, "/a\\\\b", "/a\\\\b"},                   // '\' is an ordinary byte
      {&kPosix, "//", "/"},
      // GBK: the trail byte 'A' keeps its case, while the 'B' after the separator is lowered...
      {&kGbk, gbkTrailA, std::string_view("d:\\\x81" "A\\b")},
      // ...and a trail byte 0x5C neither merges with the separator after it nor is rewritten.
      {&kGbk, gbkTrailSep, std::string_view("d:\\\x81\x5C\\x")},
      // Byte by byte, the same input loses a byte: the trail byte counts as a separator.
      {&kWindows, gbkTrailSep, std::string_view("d:\\\x81\\x")},
  };
  for (const NormalizeCase& c : cases) {
    EXPECT_EQ(NormalizeFolderPath(c.source, *c.style), c.expected) << c.source;
  }
}

TEST(NormalizeFolderPath, NeverLongerThanItsSourceAndStable) {
  const std::string inputs[] = {"C://A//b/", "\\\\\\x", "abc", "/x/", "D:\\\x81\x5C\\\\q"};
  for (const PathStyle* style : {&kPosix, &kWindows, &kGbk}) {
    for (const std::string& in : inputs) {
      const std::string once = NormalizeFolderPath(in, *style);
      EXPECT_LE(once.size(), in.size()) << in;
      EXPECT_EQ(NormalizeFolderPath(once, *style), once) << in;
    }
  }
}

// A path is cut between characters of its style (bytes on POSIX, where a name is bytes); typed text
// between UTF-8 characters on POSIX.
TEST(WholeCharPrefixLength, PathsAndTypedTextCutBetweenCharacters) {
  struct Case {
    const PathStyle* style;
    CharRule rule;
    std::string_view text;
    std::size_t limit, kept;
  };
  const Case cases[] = {
      {&kPosix, CharRule::Path, "a\xE4\xB8\xAD", 2, 2},  // a POSIX path is bytes
      {&kPosix, CharRule::TypedText, "a\xE4\xB8\xAD", 2, 1},
      {&kGbk, CharRule::Path, "a\xD6\xD0", 2, 1},
      {&kGbk, CharRule::TypedText, "a\xD6\xD0", 2, 1},
      {&kWindows, CharRule::Path, "a\xD6\xD0", 2, 2},
      {&kGbk, CharRule::Path, kTrailBackslash, 1, 0},
      {&kPosix, CharRule::Path, "abc", 10, 3},
      {&kPosix, CharRule::Path, "", 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WholeCharPrefixLength(c.text, c.limit, *c.style, c.rule), c.kept) << c.text << " " << c.limit;
  }
}

}  // namespace
}  // namespace kestrin
