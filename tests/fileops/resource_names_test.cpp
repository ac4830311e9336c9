// The name of a reference file as the two name check boxes build it.
#include "fileops/resource_names.h"

#include <gtest/gtest.h>

#include <string>

#include "styles.h"

namespace kestrin {
namespace {

using namespace fileops_test;

TEST(ReferenceName, FromTheFirstResourceFolderOnAndCutAtTheFirstDot) {
  struct Case {
    const PathStyle& style;
    const char* path;
    bool withDir, withExt;
    const char* name;
  };
  const Case cases[] = {
      {kPosix, "/g/PublicRes/ui/btn.ok.png", false, true, "btn.ok.png"},
      {kPosix, "/g/PublicRes/ui/btn.ok.png", false, false, "btn"},
      {kPosix, "/g/PublicRes/ui/btn.ok.png", true, false, "PublicRes/ui/btn"},
      {kPosix, "/g/PlugApp/m/publicres/a.png", true, true, "publicres/a.png"},  // "PublicRes" wins
      {kPosix, "/g/plugapp/m/a.png", true, true, "plugapp/m/a.png"},           // found without case
      {kPosix, "/g/old_publicres/a.png", true, true, "publicres/a.png"},      // a match, not a folder name
      {kPosix, "/g.v2/art/x.png", true, false, "x"},                           // no resource folder
      {kPosix, "/g/a\\b.png", false, true, "a\\b.png"},                       // '\' is part of a POSIX name
      {kPosix, "/g/.hidden", false, false, ""},
      {kPosix, "", true, true, ""},
      {kWinGbk, "D:\\g\\PublicRes\\ui\\btn.png", true, false, "PublicRes\\ui\\btn"},
      {kWinGbk, "D:\\g\\sub/\x95\\.png", false, true, "\x95\\.png"},  // the trail byte is no separator
      {kWin, "D:\\g\\ui\\btn.png", false, false, "btn"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + (c.withDir ? " dir" : "") + (c.withExt ? " ext" : ""));
    EXPECT_EQ(ReferenceName(c.path, c.withDir, c.withExt, c.style), c.name);
  }
}

}  // namespace
}  // namespace kestrin
