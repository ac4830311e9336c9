// The home folder the copy defaults use: HOME without trailing slashes, else the password entry.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/user_folders.h"

namespace kestrin {
namespace {

TEST(HomeFolderTest, TakesHomeElseThePasswordEntry) {
  const passwd* entry = getpwuid(getuid());
  const std::string fromPasswd = entry && entry->pw_dir[0] == '/' ? entry->pw_dir : "";
  const char* saved = std::getenv("HOME");
  const std::string kept = saved ? saved : "";
  const std::pair<const char*, std::string> cases[] = {
      {"/home/u//", "/home/u"}, {"relative", ""}, {"", fromPasswd}, {nullptr, fromPasswd}};
  for (const auto& [home, expected] : cases) {
    home ? setenv("HOME", home, 1) : unsetenv("HOME");
    EXPECT_EQ(HomeFolder(), expected) << (home ? home : "(unset)");
  }
  saved ? setenv("HOME", kept.c_str(), 1) : unsetenv("HOME");
}

}  // namespace
}  // namespace kestrin
#endif
