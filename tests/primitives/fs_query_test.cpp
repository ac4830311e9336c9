#include "primitives/fs_query.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/faulty_fs.h"
#include "support/memory_fs.h"
#include "support/temp_folder.h"

namespace kestrin {
namespace {

using testing::FaultyFileSystem;
using testing::FsOp;
using testing::MemoryFileSystem;
using testing::TempFolder;
using Paths = std::vector<std::string>;

const PathStyle kPosix = PathStyle::Posix();
const PathStyle kWindows = PathStyle::Windows();
const PathStyle kGbk = PathStyle::Windows(&GbkLeadBytes());

struct EnsureCase {
  const char* what;
  const PathStyle* style;
  Paths folders;  // existing before the call
  Paths files;
  std::string path;
  bool expected;
  Paths made;  // MakeFolder calls, in order
  std::string lookupsFailFor = {};  // lookups of paths containing this fail (to reach a drive colon)
};

std::vector<EnsureCase> EnsureCases() {
  const std::string gbkPath = std::string("C:\\base\\\x81\x5C\\f.txt");
  const std::string fit259 = "C:\\base\\a\\" + std::string(249, 'f');
  const std::string posix4095 = "/base/a/" + std::string(4087, 'f');
  return {
      {"existing file", &kPosix, {"/base"}, {"/base/f"}, "/base/f", true, {}},
      {"existing folder", &kPosix, {"/base/a"}, {}, "/base/a", true, {}},
      {"existing path over the limit", &kPosix, {"/base"}, {"/base/" + std::string(5000, 'x')},
       "/base/" + std::string(5000, 'x'), true, {}},
      {"two levels and a file name", &kPosix, {"/base"}, {}, "/base/a/b/f.txt", true, {"/base/a", "/base/a/b"}},
      {"trailing separator", &kPosix, {"/base"}, {}, "/base/a/b/", true, {"/base/a", "/base/a/b"}},
      {"last part is a file name", &kPosix, {"/base"}, {}, "/base/a/b", true, {"/base/a"}},
      {"root anchor", &kPosix, {}, {}, "/x/y/f", true, {"/x", "/x/y"}},
      {"file in the root", &kPosix, {}, {}, "/f.txt", true, {}},
      {"relative, first folder exists", &kPosix, {"rel"}, {}, "rel/a/f", true, {"rel/a"}},
      {"relative, nothing exists", &kPosix, {}, {}, "none/a/f", false, {}},
      {"empty path", &kPosix, {}, {}, "", false, {}},
      {"a colon is an ordinary byte", &kPosix, {}, {}, "c:/a/f", false, {}},
      {"a backslash is an ordinary byte", &kPosix, {"/base"}, {}, "/base/a\\b/f", true, {"/base/a\\b"}},
      {"doubled separators", &kPosix, {"/base"}, {}, "/base//a/f", true, {"/base//a"}},
      {"a file where a folder should be", &kPosix, {"/base"}, {"/base/file"}, "/base/file/", false, {"/base/file"}},
      {"file in the way higher up", &kPosix, {"/base"}, {"/base/file"}, "/base/file/x/f", false, {"/base/file"}},
      {"4095 bytes", &kPosix, {"/base"}, {}, posix4095, true, {"/base/a"}},
      {"4096 bytes", &kPosix, {"/base"}, {}, posix4095 + "f", false, {}},

      {"drive path", &kWindows, {"C:\\base"}, {}, "C:\\base\\a\\b\\f.txt", true, {"C:\\base\\a", "C:\\base\\a\\b"}},
      {"slashes are written back as backslashes from the anchor on", &kWindows, {"C:\\base"}, {},
       "C:/base/a/b/f", true, {"C:/base\\a", "C:/base\\a\\b"}},
      {"mixed case names", &kWindows, {"C:\\Base"}, {}, "c:\\BASE\\a\\f", true, {"c:\\BASE\\a"}},
      {"drive colon anchor", &kWindows, {"D:"}, {}, "D:\\x\\y\\f", true, {"D:\\x", "D:\\x\\y"}, "D:"},
      {"no separator after the colon", &kWindows, {"D:"}, {}, "D:x\\y\\f", false, {"D:x\\y"}, "D:"},
      {"no separator after the colon, one level", &kWindows, {"D:"}, {}, "D:x\\", true, {}, "D:"},
      {"relative without anchor", &kWindows, {}, {}, "x\\y\\f", false, {}},
      {"a colon is an anchor only on Windows", &kWindows, {"c:"}, {}, "c:/a/f", true, {"c:\\a"}, "c:"},
      {"259 bytes", &kWindows, {"C:\\base"}, {}, fit259, true, {"C:\\base\\a"}},
      {"260 bytes", &kWindows, {"C:\\base"}, {}, fit259 + "f", false, {}},
      {"existing 300 bytes", &kWindows, {"C:\\base"}, {"C:\\base\\" + std::string(292, 'f')},
       "C:\\base\\" + std::string(292, 'f'), true, {}},
      // A GBK character whose trail byte is 0x5C names one folder...
      {"double-byte name", &kGbk, {"C:\\base"}, {}, gbkPath, true, {"C:\\base\\\x81\x5C"}},
      // ...that byte by byte would be split, making a wrong folder before failing.
      {"double-byte name split byte by byte", &kWindows, {"C:\\base"}, {}, gbkPath, false,
       {"C:\\base\\\x81", "C:\\base\\\x81\\"}},
  };
}

TEST(EnsureDirectories, InMemoryTable) {
  for (const EnsureCase& c : EnsureCases()) {
    SCOPED_TRACE(c.what);
    MemoryFileSystem memory(*c.style);
    for (const std::string& folder : c.folders) memory.AddFolder(folder);
    for (const std::string& file : c.files) memory.AddFile(file, "x");
    FaultyFileSystem faulty(memory);
    if (!c.lookupsFailFor.empty()) faulty.Fail(FsOp::Lookup, c.lookupsFailFor);
    EXPECT_EQ(EnsureDirectories(faulty, c.path, *c.style), c.expected);
    EXPECT_EQ(memory.MakeFolderCalls(), c.made);
    if (c.expected) {
      for (const std::string& made : c.made) EXPECT_TRUE(memory.IsFolder(made)) << made;
    }
  }
}

TEST(EnsureDirectories, StopsAtTheFirstFailedCreationKeepingWhatWasMade) {
  MemoryFileSystem memory(kPosix);
  memory.AddFolder("/base");
  FaultyFileSystem faulty(memory);
  faulty.Fail(FsOp::MakeFolder, "/base/a/b");
  EXPECT_FALSE(EnsureDirectories(faulty, "/base/a/b/c/f", kPosix));
  EXPECT_EQ(memory.MakeFolderCalls(), Paths{"/base/a"});  // the refused call never reached the disk double
  EXPECT_TRUE(memory.IsFolder("/base/a"));
  EXPECT_FALSE(memory.Exists("/base/a/b"));
  EXPECT_EQ(faulty.Calls(FsOp::MakeFolder), 2);
}

TEST(EnsureDirectories, AFolderThatAppearsAfterTheWalkIsAFailure) {
  MemoryFileSystem memory(kPosix);
  memory.AddFolder("/base");
  FaultyFileSystem faulty(memory);
  faulty.Fail(FsOp::Lookup, "/base/a");  // the walk does not see "/base/a", creation then finds it there
  memory.AddFolder("/base/a");
  EXPECT_FALSE(EnsureDirectories(faulty, "/base/a/f", kPosix));
}

// A failure says why: the folder that could not be made (its own reason, not an earlier call's), the
// lookup that found nothing to start from, or a path over the limit.
TEST(EnsureDirectories, SaysWhyItFailed) {
  MemoryFileSystem mem(PathStyle::Posix());
  mem.AddFolder("/out").AddFile("/out/file", "x");
  FaultyFileSystem faulty(mem);
  faulty.Fail(FsOp::MakeFolder, "/out/locked");
  struct Case {
    std::string path;
    FailureReason reason;
    std::string detail;
  };
  const Case cases[] = {
      {"/out/file/a/b.txt", FailureReason::TargetExists, ""},       // a file where a folder is made
      {"/out/locked/b.txt", FailureReason::System, "injected failure"},
      {"rel/a/b.txt", FailureReason::Vanished, ""},                 // nothing to start from
      {"/out/" + std::string(PathStyle::Posix().PathLimit(), 'n') + "/b.txt", FailureReason::PathTooLong, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.substr(0, 40));
    FsFailure why{FailureReason::ReadOnlyTarget, "left by an earlier call"};
    EXPECT_FALSE(EnsureDirectories(faulty, c.path, PathStyle::Posix(), &why));
    EXPECT_EQ(why.reason, c.reason);
    EXPECT_EQ(why.detail, c.detail);
  }
}

TEST(FsQuery, InMemoryLookups) {
  MemoryFileSystem memory(kPosix);
  memory.AddFolder("/base/dir").AddFile("/base/file.txt", "x").AddOther("/base/fifo");
  struct Row {
    const char* path;
    bool exists;
    bool directory;
  };
  const Row rows[] = {
      {"/base/dir", true, true},   {"/base/file.txt", true, false}, {"/base/fifo", true, false},
      {"/base/none", false, false}, {"", false, false},              {"/base/file.txt/", false, false},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(PathExists(memory, r.path), r.exists) << r.path;
    EXPECT_EQ(IsDirectory(memory, r.path), r.directory) << r.path;
  }
}

// The same rules on the real disk, in the native style.
TEST(EnsureDirectories, OnDisk) {
  TempFolder tmp;
  const PathStyle& style = NativePathStyle();
  ASSERT_TRUE(EnsureDirectories(NativeFileSystem(), tmp.Join("a/b/f.txt"), style));
  EXPECT_TRUE(IsDirectory(NativeFileSystem(), tmp.Join("a")));
  EXPECT_TRUE(IsDirectory(NativeFileSystem(), tmp.Join("a/b")));
  EXPECT_FALSE(PathExists(NativeFileSystem(), tmp.Join("a/b/f.txt")));

  ASSERT_TRUE(EnsureDirectories(NativeFileSystem(), tmp.Join("c/d/"), style));
  EXPECT_TRUE(IsDirectory(NativeFileSystem(), tmp.Join("c/d")));

  ASSERT_TRUE(EnsureDirectories(NativeFileSystem(), tmp.Join("e/f"), style));
  EXPECT_TRUE(IsDirectory(NativeFileSystem(), tmp.Join("e")));
  EXPECT_FALSE(PathExists(NativeFileSystem(), tmp.Join("e/f")));

  ASSERT_TRUE(testing::WriteFile(tmp.Join("file"), "x"));
  EXPECT_TRUE(EnsureDirectories(NativeFileSystem(), tmp.Join("file"), style));
  EXPECT_FALSE(EnsureDirectories(NativeFileSystem(), tmp.Join("file/"), style));
  EXPECT_FALSE(EnsureDirectories(NativeFileSystem(), tmp.Join("file/x/y"), style));
  EXPECT_TRUE(PathExists(NativeFileSystem(), tmp.Join("file")));
  EXPECT_FALSE(IsDirectory(NativeFileSystem(), tmp.Join("file")));
  EXPECT_FALSE(IsDirectory(NativeFileSystem(), tmp.Join("missing")));
  EXPECT_FALSE(PathExists(NativeFileSystem(), tmp.Join("missing")));
}

#ifdef _WIN32
TEST(EnsureDirectories, OnDiskDoubleByteFolderWithBackslashTrailByte) {
  TempFolder tmp;
  const std::string name = "\x95\x5C";  // a GBK character whose trail byte is '\'
  ASSERT_TRUE(EnsureDirectories(NativeFileSystem(), tmp.path() + "\\" + name + "\\sub\\f.txt"));
  EXPECT_TRUE(IsDirectory(NativeFileSystem(), tmp.path() + "\\" + name + "\\sub"));
  EXPECT_FALSE(PathExists(NativeFileSystem(), tmp.path() + "\\\x95"));
}
#endif

}  // namespace
}  // namespace kestrin
