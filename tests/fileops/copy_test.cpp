// The copy mapping and the single copy, on the in-memory file system with both path styles.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fileops/copy.h"
#include "support/event_sink.h"
#include "support/memory_fs.h"
#include "styles.h"

namespace kestrin {
namespace {

using namespace fileops_test;

struct CopyCase {
  const PathStyle& style;
  const char* source;
  const char* prefix;
  const char* output;
  const char* relative;  // what the prefix leaves of the source
  const char* target;
};

const CopyCase kCopyCases[] = {
    {kWin, "D:\\proj\\PublicRes\\ui\\a.png", "D:\\proj", "d:\\proj\\bak\\", "\\PublicRes\\ui\\a.png", "d:\\proj\\bak\\PublicRes\\ui\\a.png"},
    {kWin, "D:\\proj\\PublicRes\\ui\\a.png", "D:\\proj", "e:\\release\\publicres\\", "\\PublicRes\\ui\\a.png", "e:\\release\\PublicRes\\ui\\a.png"},
    {kWin, "D:\\proj\\PlugApp\\m\\b.lua", "D:\\proj", "e:\\release\\publicres\\x\\", "\\PlugApp\\m\\b.lua", "e:\\release\\PlugApp\\m\\b.lua"},
    {kWin, "D:\\proj\\PublicRes\\c.xml", "D:\\proj", "e:\\game\\plugapp\\", "\\PublicRes\\c.xml", "e:\\game\\PublicRes\\c.xml"},
    {kWin, "D:\\proj\\PublicRes\\c.xml", "D:\\proj", "e:\\动态资源\\game\\plugapp\\", "\\PublicRes\\c.xml", "e:\\动态资源\\game\\vorn_publicres\\PublicRes\\c.xml"},
    {kWin, "E:\\other\\d.txt", "D:\\proj", "d:\\out\\", "other\\d.txt", "d:\\out\\other\\d.txt"},
    {kWin, "D:\\proj\\.svn\\entries", "D:\\proj", "d:\\out\\", "\\.svn\\entries", "d:\\out\\svn\\entries"},
    // The prefix compares leading characters, not folder names, without regard to case.
    {kWin, "D:\\project2\\f.txt", "D:\\proj", "d:\\out\\", "ect2\\f.txt", "d:\\out\\ect2\\f.txt"},
    {kWin, "D:\\proj\\a\\f.txt", "d:\\PROJ\\", "d:\\out\\", "a\\f.txt", "d:\\out\\a\\f.txt"},
    {kWin, "D:\\proj\\a\\f.txt", "D:/proj", "d:\\out\\", "proj\\a\\f.txt", "d:\\out\\proj\\a\\f.txt"},
    {kWin, "D:\\proj\\x\\f.txt", "D:\\proj", "d:\\a\\x\\b\\x\\", "\\x\\f.txt", "d:\\a\\x\\f.txt"},
    {kWin, "D:\\proj\\PlugApp\\b.lua", "D:\\proj", "d:\\out\\", "\\PlugApp\\b.lua", "d:\\out\\PlugApp\\b.lua"},
    {kWin, "D:\\proj\\PlugApp\\b", "D:\\proj", "e:\\plugapp\\publicres\\x\\", "\\PlugApp\\b", "e:\\PlugApp\\b"},
    {kWin, "D:\\proj\\sub/dir/a.txt", "D:\\proj", "d:\\out\\", "\\sub/dir/a.txt", "d:\\out\\sub\\dir\\a.txt"},
    // A trail byte 0x5C of a double-byte character is neither a separator nor the start of a marker.
    {kWinGbk, "D:\\proj\\x\\f", "D:\\proj", "e:\\\x95\\x\\", "\\x\\f", "e:\\\x95\\x\\x\\f"},
    {kWinGbk, "D:\\proj\\PlugApp\\b", "D:\\proj", "e:\\\x95\\PublicRes\\x\\", "\\PlugApp\\b", "e:\\\x95\\PublicRes\\x\\PlugApp\\b"},

    {kPosix, "/proj/PublicRes/ui/a.png", "/proj", "/proj/bak/", "/PublicRes/ui/a.png", "/proj/bak/PublicRes/ui/a.png"},
    {kPosix, "/proj/PublicRes/ui/a.png", "/proj", "/release/publicres/", "/PublicRes/ui/a.png", "/release/PublicRes/ui/a.png"},
    {kPosix, "/proj/PlugApp/m/b.lua", "/proj", "/release/publicres/x/", "/PlugApp/m/b.lua", "/release/PlugApp/m/b.lua"},
    {kPosix, "/proj/PublicRes/c.xml", "/proj", "/game/plugapp/", "/PublicRes/c.xml", "/game/PublicRes/c.xml"},
    {kPosix, "/proj/PublicRes/c.xml", "/proj", "/动态资源/game/plugapp/", "/PublicRes/c.xml", "/动态资源/game/vorn_publicres/PublicRes/c.xml"},
    {kPosix, "/other/d.txt", "/proj", "/out/", "other/d.txt", "/out/other/d.txt"},
    {kPosix, "/proj/.svn/entries", "/proj", "/out/", "/.svn/entries", "/out/svn/entries"},
    {kPosix, "/proj/x/f", "/PROJ/", "/a/x/b/x/", "x/f", "/a/x/f"},
    {kPosix, "/proj/a/f.txt", "", "/out/", "/proj/a/f.txt", "/out/proj/a/f.txt"},
    // Backslash and colon are ordinary bytes: no drive, no separator.
    {kPosix, "/proj/a\\b/C:x", "/proj", "/out/", "/a\\b/C:x", "/out/a\\b/C:x"},
    {kPosix, "/proj/C:/x", "/proj", "/out/", "/C:/x", "/out/C:/x"},
};

TEST(CopyTest, MapsAndCopiesEachWorkedCase) {
  for (const CopyCase& c : kCopyCases) {
    SCOPED_TRACE(c.source + std::string(" -> ") + c.output);
    EXPECT_EQ(MapCopyTarget(c.output, c.relative, c.style), c.target);
    testing::MemoryFileSystem mem(c.style);
    mem.AddFolder(c.style.windows ? "d:\\" : "/").AddFolder(c.style.windows ? "e:\\" : "/").AddFile(c.source, c.source);
    EXPECT_TRUE(CopyOneFile(CommandEnv{mem}, c.source, c.prefix, c.output, c.style));
    EXPECT_EQ(mem.Content(c.target), c.source);
    EXPECT_EQ(mem.Content(c.source), c.source);
  }
}

TEST(CopyTest, MappingEdgeCases) {
  const std::string name70(70, 'L');
  const std::string name63(63, 'L');
  // A drive-qualified relative path is the target itself, slashes and all.
  EXPECT_EQ(MapCopyTarget("d:\\out\\", "D:/x/a.txt", kWin), "D:/x/a.txt");
  // A long first folder name is compared by its first 63 characters and appended whole.
  EXPECT_EQ(MapCopyTarget("d:\\" + name63 + "\\o\\", name70 + "\\f", kWin), "d:\\" + name70 + "\\f");
  EXPECT_EQ(MapCopyTarget("d:\\" + name70 + "\\o\\", name70 + "\\f", kWin), "d:\\" + name70 + "\\o\\" + name70 + "\\f");
  // Nothing left after the prefix: no file name to copy to.
  EXPECT_EQ(MapCopyTarget("/out/", "", kPosix), "");
}

TEST(CopyTest, RefusedCopiesChangeNothing) {
  struct Refused {
    const PathStyle& style;
    const char* source;
    const char* prefix;
    const char* output;
  };
  const std::string longOut = "d:\\" + std::string(251, 'o') + "\\";  // the target gets 260 bytes
  const Refused cases[] = {
      {kWin, "D:\\proj\\a.txt", "", "d:\\out\\"},         // mapped onto itself
      {kPosix, "/t/in/a.txt", "", "/t/out/"},             // re-rooted at "t": onto itself
      {kPosix, "/t/in/a.txt", "/t/in", "/t/hard/"},       // the target is a hard link of the source
      {kPosix, "/t/in/fifo", "/t/in", "/t/out/"},         // not a regular file
      {kPosix, "/t/in/gone.txt", "/t/in", "/t/out/"},     // vanished after the walk
      {kPosix, "/t/in/dir.txt", "/t/in", "/t/folder/"},   // the target is a folder
      {kWin, "D:\\proj\\a.txt", "D:\\proj", longOut.c_str()},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.source + std::string(" -> ") + c.output);
    testing::MemoryFileSystem mem(c.style);
    mem.AddFile("D:\\proj\\a.txt", "a").AddFolder("d:\\");
    mem.AddFile("/t/in/a.txt", "a").AddFile("/t/in/dir.txt", "d").AddOther("/t/in/fifo");
    mem.AddAlias("/t/hard/a.txt", "/t/in/a.txt").AddFile("/t/folder/dir.txt/keep", "k");
    const std::vector<std::string> before = mem.Paths();
    EXPECT_FALSE(CopyOneFile(CommandEnv{mem}, c.source, c.prefix, c.output, c.style));
    EXPECT_EQ(mem.Paths(), before);
    EXPECT_EQ(mem.Content(c.style.windows ? "D:\\proj\\a.txt" : "/t/in/a.txt"), "a");
    EXPECT_EQ(mem.Content("/t/folder/dir.txt/keep"), "k");
  }
  // One byte shorter fits the path limit.
  testing::MemoryFileSystem mem(kWin);
  mem.AddFile("D:\\proj\\a.txt", "a");
  ScopedFileSystem use(mem);
  EXPECT_TRUE(CopyOneFile(CommandEnv{mem}, "D:\\proj\\a.txt", "D:\\proj", longOut.substr(0, longOut.size() - 2) + "\\", kWin));
}

TEST(CopyTest, BatchCountsEveryFileAndReportsEachAfterItsPosition) {
  testing::MemoryFileSystem mem(kPosix);
  mem.AddFile("/in/a", "1").AddFile("/in/x/a", "2").AddOther("/in/p").AddFile("/in/b", "new").AddFile("/out/x/b", "old");
  const char* const sources[] = {"/in/a", "/in/gone", "/in/p", "/in/b", "/in/x/a"};
  const char* const targets[] = {"/out/x/a", "", "", "/out/x/b", "/out/x/a"};  // /in/x/a re-roots at x
  FileList files;
  for (const char* source : sources) files.push_back(source, source[4] == 'p' ? EntryKind::Other : EntryKind::File);
  std::vector<std::size_t> positions;
  struct Sink : testing::EventSink {
    std::function<void(std::size_t)> before;
    void Progress(std::size_t i) override {
      before(i);
      EventSink::Progress(i);
    }
  } sink;
  sink.before = [&](std::size_t i) {
    positions.push_back(i);
    if (i != 4 && *targets[i] != '\0') {
      EXPECT_NE(mem.Content(targets[i]), mem.Content(sources[i])) << i;  // not copied yet
    }
  };
  const CopyCounts counts = CopyFiles(CommandEnv{mem, nullptr, sink}, files, "/in", "/out/x/", kPosix);
  EXPECT_EQ(positions, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
  // The second file mapped to a target this batch wrote is refused: the first copy stays.
  EXPECT_EQ(sink.Outcomes(), (std::vector<std::string>{"copied 0 /in/a -> /out/x/a", "failed 1 /in/gone: vanished",
                                                       "failed 2 /in/p: not a regular file",
                                                       "copied 3 /in/b -> /out/x/b +replaced",
                                                       "failed 4 /in/x/a: another file of this batch was copied there"}));
  EXPECT_EQ(sink.events.back(), "end");
  EXPECT_EQ(counts.succeeded, 2u);
  EXPECT_EQ(counts.failed, 3u);
  EXPECT_EQ(mem.Content("/out/x/a"), "1");
  EXPECT_EQ(mem.Content("/out/x/b"), "new");
  EXPECT_FALSE(mem.Exists("/out/x/p"));
}

// The output folder of the copy and open-copy-path commands: normalised, then made with its parents.
TEST(CopyTest, PrepareOutputFolderNormalisesThenCreates) {
  struct Case {
    const PathStyle& style;
    const char* boxText;
    const char* path;
    bool created;
  };
  const Case cases[] = {
      {kWin, "D:/Out//New\\x", "d:\\out\\new\\x\\", true},
      {kWin, "D:\\blocked\\sub", "d:\\blocked\\sub\\", false},  // a file stands where a folder must
      {kWin, "", "", false},
      {kPosix, "/out//New", "/out/New/", true},
      {kPosix, "/blocked/sub/", "/blocked/sub/", false},
      {kPosix, "", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.boxText);
    testing::MemoryFileSystem mem(c.style);
    mem.AddFolder(c.style.windows ? "D:\\out" : "/out").AddFile(c.style.windows ? "D:\\blocked" : "/blocked", "f");
    const PreparedFolder folder = PrepareOutputFolder(mem, c.boxText, c.style);
    EXPECT_EQ(folder.path, c.path);
    EXPECT_EQ(folder.created, c.created);
    EXPECT_EQ(mem.IsFolder(c.path), c.created);
    if (*c.path == '\0') {
      EXPECT_TRUE(mem.MakeFolderCalls().empty());  // nothing to make, nothing made
    }
  }
}

}  // namespace
}  // namespace kestrin
