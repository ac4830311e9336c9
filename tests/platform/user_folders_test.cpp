// The home folder and absolute paths, as the copy defaults and the command-line folder use them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/user_folders.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace kestrin {
namespace {

#ifndef _WIN32

// Sets HOME (or unsets it, for nothing) while it lives.
class ScopedHome {
 public:
  explicit ScopedHome(const char* value) {
    if (const char* old = std::getenv("HOME")) saved_ = old;
    if (value) {
      setenv("HOME", value, 1);
    } else {
      unsetenv("HOME");
    }
  }
  ~ScopedHome() {
    if (saved_) {
      setenv("HOME", saved_->c_str(), 1);
    } else {
      unsetenv("HOME");
    }
  }

 private:
  std::optional<std::string> saved_;
};

TEST(HomeFolderTest, TakesHomeWithoutTrailingSlashesElseThePasswordEntry) {
  const passwd* entry = getpwuid(getuid());
  const std::string fromPasswd = entry && entry->pw_dir && entry->pw_dir[0] == '/' ? entry->pw_dir : "";
  struct Case {
    const char* home;
    std::string expected;
  } const cases[] = {
      {"/home/u", "/home/u"}, {"/home/u//", "/home/u"}, {"/", "/"},
      {"relative/home", ""},  {"", fromPasswd},          {nullptr, fromPasswd},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.home ? c.home : "(unset)");
    ScopedHome home(c.home);
    EXPECT_EQ(HomeFolder(), c.expected);
  }
}

TEST(AbsolutePathTest, JoinsTheCurrentFolderAndDropsDotsAndRepeatedSlashes) {
  char buffer[4096];
  ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
  const std::string cwd = buffer;
  const std::string base = cwd == "/" ? "" : cwd;
  struct Case {
    const char* path;
    std::string expected;
  } const cases[] = {
      {"/a//b/./c/", "/a/b/c"}, {"/", "/"},          {"//", "/"},
      {"x", base + "/x"},       {"./x/../y", base + "/x/../y"},
      {".", cwd},               {"", ""},           {"/a\\b", "/a\\b"},
  };
  for (const Case& c : cases) EXPECT_EQ(AbsolutePath(c.path), c.expected) << c.path;
}

#else

TEST(HomeFolderTest, IsNotUsedOnWindows) { EXPECT_EQ(HomeFolder(), ""); }

TEST(AbsolutePathTest, FollowsTheSystemsFullPathRules) {
  EXPECT_EQ(AbsolutePath("C:\\a\\.\\b\\"), "C:\\a\\b\\");
  EXPECT_EQ(AbsolutePath("C:/a/b"), "C:\\a\\b");
  EXPECT_EQ(AbsolutePath(""), "");
}

#endif

}  // namespace
}  // namespace kestrin
