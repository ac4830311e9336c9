// The shared test doubles behave as their headers promise: other tests trust them to.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/faulty_fs.h"
#include "support/memory_fs.h"

namespace kestrin {
namespace {

using testing::FaultyFileSystem;
using testing::FsOp;
using testing::MemoryFileSystem;
using Paths = std::vector<std::string>;

// The content of a file, read through a reader of the file system; "<closed>" when it cannot be opened.
// last: the outcome of the last read.
std::string ReadAll(FileSystem& fs, const std::string& path, FsResult<std::size_t>* last = nullptr) {
  std::string out;
  const std::unique_ptr<FileReader> reader = fs.NewReader({});
  const FsResult<ReadHandle> h = reader->Open(path);
  if (!h) return "<closed>";
  char buffer[64];
  FsResult<std::size_t> n;
  while ((n = reader->Read(h.value, buffer, sizeof buffer)) && n.value > 0) out.append(buffer, n.value);
  if (last) *last = n;
  reader->Close(h.value);
  return out;
}

Paths Listing(FileSystem& fs, const std::string& folder, bool* ok = nullptr) {
  Paths names;
  const bool result = fs.Enumerate(folder, [&](const DirEntry& e) { names.emplace_back(e.name); }).ok;
  if (ok) *ok = result;
  return names;
}

TEST(MemoryFileSystem, TreeOrderHiddenAndPaths) {
  MemoryFileSystem mem(PathStyle::Posix());
  mem.AddFile("/r/b.txt", "b").AddFolder("/r/sub", true).AddFile("/r/.dot").AddFile("rel/x");
  EXPECT_EQ(mem.Paths(), (Paths{"/r", "/r/b.txt", "/r/sub", "/r/.dot", "rel", "rel/x"}));
  EXPECT_EQ(Listing(mem, "/r"), (Paths{"b.txt", "sub", ".dot"}));
  EXPECT_TRUE(mem.IsHidden("/r/sub"));
  EXPECT_TRUE(mem.IsHidden("/r/.dot"));
  EXPECT_FALSE(mem.IsHidden("/r/b.txt"));
  EXPECT_FALSE(mem.Exists("/rel/x"));  // relative and absolute trees differ
  EXPECT_TRUE(mem.Exists("/r//b.txt"));
  EXPECT_FALSE(mem.Exists("/r/b.txt/"));
  EXPECT_TRUE(mem.Exists("/"));
}

TEST(MemoryFileSystem, WindowsStyleFoldsCaseAndTakesBothSeparators) {
  MemoryFileSystem mem(PathStyle::Windows(&GbkLeadBytes()));
  mem.AddFile("C:\\Out\\\x81\x5C\\File.TXT", "x");
  EXPECT_TRUE(mem.Exists("c:/out/\x81\x5C/file.txt"));
  EXPECT_FALSE(mem.Exists("c:/out/\x81"));
  EXPECT_EQ(mem.Paths(), (Paths{"C:", "C:\\Out", "C:\\Out\\\x81\x5C", "C:\\Out\\\x81\x5C\\File.TXT"}));
  EXPECT_TRUE(mem.MoveNoReplace("c:\\out\\\x81\x5C\\file.txt", "C:\\OUT\\\x81\x5C\\FILE.txt"));  // new spelling
  EXPECT_EQ(Listing(mem, "C:\\Out\\\x81\x5C"), (Paths{"FILE.txt"}));
}

TEST(MemoryFileSystem, OpenFilesKeepTheirContentAndAreCounted) {
  MemoryFileSystem mem(PathStyle::Posix());
  mem.AddFile("/a", "old");
  const ReadHandle h = mem.OpenForRead("/a").value;
  EXPECT_EQ(mem.OpenHandles(), 1u);
  mem.AddFile("/a", "new");
  char buffer[8];
  EXPECT_EQ(mem.Read(h, buffer, sizeof buffer).value, 3u);
  EXPECT_EQ(std::string(buffer, 3), "old");
  mem.Close(h);
  EXPECT_EQ(mem.OpenHandles(), 0u);
  mem.AddOther("/fifo");
  EXPECT_EQ(mem.OpenForRead("/fifo").failure.reason, FailureReason::NotRegularFile);
  EXPECT_FALSE(mem.CopyReplacing("/fifo", "/copy"));
  EXPECT_EQ(mem.Lookup("/fifo").kind, EntryKind::Other);
}

TEST(FaultyFileSystem, AfterAndTimesCountMatchingCalls) {
  MemoryFileSystem mem(PathStyle::Posix());
  mem.AddFolder("/out");
  FaultyFileSystem faulty(mem);
  faulty.Fail(FsOp::MakeFolder, "/out/", 1, 2);  // the 2nd and 3rd matching calls fail
  const std::vector<bool> expected = {true, false, false, true};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(faulty.MakeFolder("/out/" + std::to_string(i)).ok, expected[i]) << i;
  }
  EXPECT_TRUE(faulty.MakeFolder("/other"));  // never matched
  EXPECT_EQ(faulty.Calls(FsOp::MakeFolder), 5);
  EXPECT_EQ(mem.MakeFolderCalls(), (Paths{"/out/0", "/out/3", "/other"}));
}

TEST(FaultyFileSystem, HalfwayCopyAndMove) {
  MemoryFileSystem mem(PathStyle::Posix());
  mem.AddFile("/a", "A").AddFile("/b", "B");
  FaultyFileSystem faulty(mem);
  faulty.Halfway(FsOp::CopyReplacing).Halfway(FsOp::MoveNoReplace);
  EXPECT_FALSE(faulty.CopyReplacing("/a", "/c"));
  EXPECT_EQ(mem.Content("/c"), "A");
  EXPECT_FALSE(faulty.MoveNoReplace("/b", "/d"));
  EXPECT_EQ(mem.Content("/b"), "B");  // the source stays
  EXPECT_EQ(mem.Content("/d"), "B");
  EXPECT_FALSE(faulty.MoveNoReplace("/b", "/a"));  // never overwrites, even half-way
  EXPECT_EQ(mem.Content("/a"), "A");
}

TEST(FaultyFileSystem, EnumerationStopsMidFolder) {
  MemoryFileSystem mem(PathStyle::Posix());
  mem.AddFile("/in/1").AddFile("/in/2").AddFile("/in/3").AddFile("/other/1");
  FaultyFileSystem faulty(mem);
  faulty.StopEnumeration("/in", 2);
  bool ok = true;
  EXPECT_EQ(Listing(faulty, "/in", &ok), (Paths{"1", "2"}));
  EXPECT_FALSE(ok);
  EXPECT_EQ(Listing(faulty, "/other", &ok), (Paths{"1"}));
  EXPECT_TRUE(ok);
}

TEST(FaultyFileSystem, ShortAndFailingReads) {
  MemoryFileSystem mem(PathStyle::Posix());
  mem.AddFile("/short", "0123456789").AddFile("/broken", "0123456789");
  FaultyFileSystem faulty(mem);
  faulty.ShortReads("/short", 3).FailReadAfter("/broken", 4);
  FsResult<std::size_t> last;
  EXPECT_EQ(ReadAll(faulty, "/short", &last), "0123456789");
  EXPECT_TRUE(last);
  EXPECT_EQ(last.value, 0u);
  EXPECT_EQ(faulty.Calls(FsOp::Read), 5);  // 3+3+3+1, then the end
  EXPECT_EQ(ReadAll(faulty, "/broken", &last), "0123");
  EXPECT_FALSE(last);
  EXPECT_EQ(last.failure.detail, "injected failure");
  EXPECT_EQ(mem.OpenHandles(), 0u);
}

TEST(FaultyFileSystem, VanishedEntriesAreListedButMissing) {
  MemoryFileSystem mem(PathStyle::Posix());
  mem.AddFile("/in/gone.txt", "x").AddFile("/in/kept.txt", "y");
  FaultyFileSystem faulty(mem);
  faulty.Vanish("gone.txt");
  EXPECT_EQ(Listing(faulty, "/in"), (Paths{"gone.txt", "kept.txt"}));
  EXPECT_FALSE(faulty.Lookup("/in/gone.txt").found);
  EXPECT_EQ(faulty.OpenForRead("/in/gone.txt").failure.reason, FailureReason::Vanished);
  EXPECT_FALSE(faulty.CopyReplacing("/in/gone.txt", "/in/c"));
  EXPECT_FALSE(faulty.CopyReplacing("/in/kept.txt", "/in/gone.txt"));
  EXPECT_FALSE(faulty.RemoveFile("/in/gone.txt"));
  EXPECT_TRUE(mem.Exists("/in/gone.txt"));
  EXPECT_TRUE(faulty.Lookup("/in/kept.txt").found);
}

TEST(FaultyFileSystem, ForwardsToTheNativeFileSystemByDefault) {
  FaultyFileSystem faulty;
  faulty.Fail(FsOp::Lookup);
  EXPECT_FALSE(faulty.Lookup(".").found);
  faulty.ClearFaults();
  EXPECT_TRUE(faulty.Lookup(".").found);
}

}  // namespace
}  // namespace kestrin
