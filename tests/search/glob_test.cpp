#include "search/glob.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "fuzz/reference.h"

namespace kestrin {
namespace {

const PathStyle kPosix = PathStyle::Posix();

TEST(Glob, MatchesAsIgnoreFilesWriteGlobs) {
  const struct {
    const char* glob;
    const char* path;
    bool matches;
  } cases[] = {
      // A name without a separator matches at any depth.
      {"*.lua", "main.lua", true},
      {"*.lua", "scripts/ui/main.lua", true},
      {"*.lua", "scripts/main.luac", false},
      {"*.lua", "lua", false},
      {"main.lua", "a/b/main.lua", true},
      {"main", "a/main.lua", false},
      // '*' and '?' stay within one name.
      {"a*", "abc/x", false},
      {"*", "a/b", true},
      {"a?c", "abc", true},
      {"a?c", "a/c", false},
      {"a?c", "ac", false},
      {"a*c", "ac", true},
      {"a*c", "abbbc", true},
      {"a*c", "abbbcd", false},
      {"*a*b*c*", "xaybzc", true},
      {"*a*b*c*", "xaycbz", false},
      // A separator at the start or in the middle anchors the glob at the top folder.
      {"/main.lua", "main.lua", true},
      {"/main.lua", "a/main.lua", false},
      {"ui/*.png", "ui/x.png", true},
      {"ui/*.png", "game/ui/x.png", false},
      {"ui/*.png", "ui/sub/x.png", false},
      // "**" as a whole name.
      {"**/x.png", "x.png", true},
      {"**/x.png", "a/b/x.png", true},
      {"ui/**", "ui/a/b.png", true},
      {"ui/**", "ui", false},
      {"ui/**/b.png", "ui/b.png", true},
      {"ui/**/b.png", "ui/a/c/b.png", true},
      {"ui/**/b.png", "x/ui/b.png", false},
      {"**", "a/b/c", true},
      {"a/**/b/**/c", "a/x/b/y/z/c", true},
      {"a/**/b/**/c", "a/x/c", false},
      // "**" within a name is a plain '*'.
      {"a**", "abc", true},
      {"a**", "a/bc", false},
      {"**a", "xa", true},
      // Sets.
      {"[abc].txt", "b.txt", true},
      {"[abc].txt", "d.txt", false},
      {"[a-c]x", "cx", true},
      {"[!a-c]x", "cx", false},
      {"[^a-c]x", "dx", true},
      {"[]]", "]", true},
      {"[!]]", "a", true},
      {"[a-]", "-", true},
      {"[z-a]", "m", false},
      {"[abc", "[abc", true},
      {"[a/b]", "[a/b]", true},  // a '[' before a separator is a plain character
      {"[a/b]", "a", false},
      // Backslash makes the next character plain.
      {"\\*.txt", "*.txt", true},
      {"\\*.txt", "a.txt", false},
      {"a\\?", "a?", true},
      {"[\\]]", "]", true},
      // A glob ending with a separator matches folders: the files below them.
      {"build/", "build/a.o", true},
      {"build/", "src/build/x/a.o", true},
      {"build/", "build", false},
      {"/build/", "src/build/a.o", false},
      // Empty names and globs.
      {"", "a", false},
      {"/", "a", false},
      {"a//b", "a/b", true},
      {"a", "a//", true},
      // Case counts on POSIX.
      {"*.PNG", "x.png", false},
      // Bytes past ASCII are plain bytes.
      {"\xE8\xB5\x84*", "\xE8\xB5\x84\xE6\xBA\x90.png", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Glob(c.glob, kPosix).Matches(c.path), c.matches) << "glob '" << c.glob << "' path '" << c.path << "'";
    EXPECT_EQ(reference::GlobMatches(c.glob, c.path, false), c.matches)
        << "reference: glob '" << c.glob << "' path '" << c.path << "'";
  }
}

TEST(Glob, WindowsSeparatorsCaseAndDoubleByteCharacters) {
  const PathStyle gbk = PathStyle::Windows(&GbkLeadBytes());
  const struct {
    const char* glob;
    const char* path;
    bool matches;
  } cases[] = {
      {"ui/*.png", "ui\\x.png", true},
      {"ui\\*.png", "ui/x.png", true},
      {"*.PNG", "A\\X.png", true},
      {"[A-C]x", "bX", true},
      {"[a-c]x", "BX", true},
      // A double-byte character whose trail byte is 0x5C is one character, not a name and a separator.
      {"?.txt", "\x95\x5C.txt", true},
      {"\x95\x5C*", "a\\\x95\x5C.txt", true},
      {"a/?", "a\\\x95\x5C", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Glob(c.glob, gbk).Matches(c.path), c.matches) << "glob '" << c.glob << "' path '" << c.path << "'";
  }
}

TEST(Glob, SetsOfGlobsSelectAndExclude) {
  GlobSet globs(kPosix);
  EXPECT_TRUE(globs.Passes("a/b.txt"));  // no glob: everything
  globs.Add("*.lua");
  globs.Add("*.txt");
  globs.Add("!vendor/");
  globs.Add("!*_test.lua");
  globs.Add("!/old");
  const struct {
    const char* path;
    bool passes;
  } cases[] = {
      {"main.lua", true},          {"notes.txt", true},           {"x.png", false},
      {"vendor/lib.lua", false},   {"a/vendor/b/c.lua", false},   {"ui_test.lua", false},
      {"old/a.lua", false},        {"new/old/a.lua", true},       {"old", false},
  };
  for (const auto& c : cases) EXPECT_EQ(globs.Passes(c.path), c.passes) << c.path;
  GlobSet excludeOnly(kPosix);
  excludeOnly.Add("!*.bak");
  EXPECT_TRUE(excludeOnly.Passes("a.txt"));
  EXPECT_FALSE(excludeOnly.Passes("d/a.bak"));
}

TEST(Glob, EqualsTheLiteralReadingOnRandomGlobsAndPaths) {
  std::mt19937 random(11);
  const std::string globBytes = "ab/*?[]!-\\^.";
  const std::string pathBytes = "ab/.-\\[]*";
  for (int round = 0; round < 20000; ++round) {
    std::string glob(random() % 10, 'a');
    for (char& ch : glob) ch = globBytes[random() % globBytes.size()];
    if (random() % 4 == 0) glob.insert(random() % (glob.size() + 1), random() % 2 ? "**/" : "/**");
    std::string path(1 + random() % 10, 'a');
    for (char& ch : path) ch = pathBytes[random() % pathBytes.size()];
    const Glob compiled(glob, kPosix);
    ASSERT_EQ(compiled.Matches(path), reference::GlobMatches(glob, path, false))
        << "glob '" << glob << "' path '" << path << "'";
    ASSERT_EQ(compiled.MatchesPathOrFolder(path), reference::GlobMatches(glob, path, true))
        << "or folder: glob '" << glob << "' path '" << path << "'";
  }
}

}  // namespace
}  // namespace kestrin
