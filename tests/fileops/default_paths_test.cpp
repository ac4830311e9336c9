// Default copy paths from an input folder, and the output folder as the copy commands use it.
#include <gtest/gtest.h>

#include "fileops/copy.h"
#include "fileops/default_paths.h"
#include "styles.h"

namespace kestrin {
namespace {

using namespace fileops_test;

struct DefaultsCase {
  const PathStyle& style;
  const char* folder;
  const char* prefix;
  const char* output;
};

const DefaultsCase kDefaults[] = {
    {kWin, "D:\\proj\\PublicRes\\ui\\", "D:\\proj", "D:\\proj\\bak"},
    {kWin, "D:\\proj\\PublicRes\\ui", "D:\\proj", "D:\\proj\\bak"},
    {kWin, "D:\\proj\\PublicRes\\", "D:\\proj", "D:\\proj\\bak"},
    {kWin, "D:\\proj\\PublicRes", "D:\\", "D:\\\\bak"},
    {kWin, "D:\\proj\\plugapp\\m", "D:\\proj", "D:\\proj\\bak"},
    {kWin, "D:\\a\\PlugApp\\b\\PublicRes\\c\\", "D:\\a\\PlugApp\\b", "D:\\a\\PlugApp\\b\\bak"},
    {kWin, "D:\\work\\src\\", "D:\\", "D:\\\\bak"},
    {kWin, "D:\\", "D:\\", "D:\\\\bak"},
    {kWin, "D:\\x\\publicres\\y", "D:\\x", "D:\\x\\bak"},
    {kWin, "\\\\server\\share\\", "\\\\server\\share\\", "\\\\server\\share\\\\bak"},
    {kWin, "D:\\动态资源\\PublicRes\\", "D:\\动态资源", "D:\\动态资源\\bak"},
    // A trail byte 0x5C does not begin a marker.
    {kWinGbk, "D:\\\x95\\PublicRes\\x", "D:\\", "D:\\\\bak"},
    {kPosix, "/proj/PublicRes/ui/", "/proj", "/proj/bak"},
    {kPosix, "/proj/PublicRes/ui", "/proj", "/proj/bak"},
    {kPosix, "/proj/PublicRes", "/", "/bak"},
    {kPosix, "/proj/plugapp/m", "/proj", "/proj/bak"},
    {kPosix, "/a/PlugApp/b/PublicRes/c/", "/a/PlugApp/b", "/a/PlugApp/b/bak"},
    {kPosix, "/work/src/", "/", "/bak"},
    {kPosix, "/", "/", "/bak"},
    {kPosix, "work/src", "work/src", "work/src/bak"},
    {kPosix, "D:\\proj\\PublicRes\\ui\\", "D:\\proj\\PublicRes\\ui\\", "D:\\proj\\PublicRes\\ui\\/bak"},
};

TEST(DefaultCopyPathsTest, WorkedCases) {
  for (const DefaultsCase& c : kDefaults) {
    SCOPED_TRACE(c.folder);
    const DefaultCopyPaths paths = ComputeDefaultCopyPaths(c.folder, true, c.style);
    EXPECT_EQ(paths.prefix, c.prefix);
    EXPECT_EQ(paths.output, c.output);
    const DefaultCopyPaths none = ComputeDefaultCopyPaths(c.folder, false, c.style);
    EXPECT_EQ(none.prefix, "");
    EXPECT_EQ(none.output, "");
  }
}

// On POSIX a folder in the home folder gets it as prefix; markers come first; Windows never looks at it.
TEST(DefaultCopyPathsTest, HomeFolderOnPosix) {
  const DefaultsCase cases[] = {
      {kPosix, "/home/u", "/home/u/", "/home/u/bak"},
      {kPosix, "/home/u/proj/src/", "/home/u/", "/home/u/bak"},
      {kPosix, "/home/u/proj/PublicRes/ui/", "/home/u/proj", "/home/u/proj/bak"},
      // Outside it, the parent folder is dropped and the copies go to bak in the home folder.
      {kPosix, "/home/user2/x/", "/home/user2/", "/home/u/bak"},
      {kPosix, "/var/tmp/kout/", "/var/tmp/", "/home/u/bak"},
      {kPosix, "/srv/game/proj", "/srv/game/", "/home/u/bak"},
      {kPosix, "/srv/game/proj//", "/srv/game/", "/home/u/bak"},
      {kPosix, "/home/u2", "/home/", "/home/u/bak"},
      {kPosix, "/srv", "/", "/home/u/bak"},
      {kPosix, "/", "/", "/home/u/bak"},
      {kPosix, "//", "/", "/home/u/bak"},
      {kPosix, "/srv/PublicRes/ui", "/srv", "/srv/bak"},
      {kPosix, "/srv/PublicRes", "/srv/", "/home/u/bak"},
      {kPosix, "srv/x", "srv/x", "srv/x/bak"},
      {kWin, "/home/u/x/", "/home/u/x/", "/home/u/x/\\bak"},
      {kWin, "D:\\srv\\x", "D:\\", "D:\\\\bak"},
  };
  for (const char* home : {"/home/u", "/home/u/"}) {
    for (const DefaultsCase& c : cases) {
      const DefaultCopyPaths paths = ComputeDefaultCopyPaths(c.folder, true, c.style, home);
      EXPECT_EQ(paths.prefix + " " + paths.output, std::string(c.prefix) + " " + c.output) << c.folder;
    }
  }
  EXPECT_EQ(ComputeDefaultCopyPaths("/srv/x", true, kPosix, "/").output, "/bak");
  EXPECT_EQ(ComputeDefaultCopyPaths("/srv/x", true, kPosix, "/").prefix, "/srv/");
}

// The defaults outside the home folder copy each file below bak in the home folder under the input
// folder's own name, whatever folders the two paths share.
TEST(DefaultCopyPathsTest, OutsideTheHomeFolderTheCopiesKeepTheFoldersName) {
  const struct {
    const char* folder;
    const char* file;
    const char* target;
  } cases[] = {
      {"/srv/game/proj", "/srv/game/proj/a/b.txt", "/home/u/bak/proj/a/b.txt"},
      {"/tmp/x/proj/", "/tmp/x/proj/c.txt", "/home/u/bak/proj/c.txt"},
      {"/bak", "/bak/d.txt", "/home/u/bak/d.txt"},
  };
  for (const auto& c : cases) {
    const DefaultCopyPaths paths = ComputeDefaultCopyPaths(c.folder, true, kPosix, "/home/u");
    const std::string file = c.file;
    ASSERT_TRUE(file.starts_with(paths.prefix)) << c.folder;
    EXPECT_EQ(MapCopyTarget(OutputFolderFromText(paths.output, kPosix), file.substr(paths.prefix.size()), kPosix),
              c.target)
        << c.folder;
  }
}

TEST(DefaultCopyPathsTest, OutputFolderFromBoxText) {
  struct Case {
    const PathStyle& style;
    const char* box;
    const char* folder;
  };
  const Case cases[] = {
      {kWin, "E:/Out//Dir", "e:\\out\\dir\\"}, {kWin, "D:\\\\bak", "d:\\bak\\"}, {kWin, "", ""},
      {kWinGbk, "//", "\\"},                      {kWinGbk, "e:\\\x95\\", "e:\\\x95\\\\"},
      {kPosix, "/tmp//Out/", "/tmp/Out/"},     {kPosix, "//bak", "/bak/"},      {kPosix, "", ""},
      {kPosix, "/a\\B", "/a\\B/"},
  };
  for (const Case& c : cases) EXPECT_EQ(OutputFolderFromText(c.box, c.style), c.folder) << c.box;
}

}  // namespace
}  // namespace kestrin
