// The walk and the search over symbolic links and FIFOs on a real POSIX file system.

#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "search/search.h"
#include "search/walk.h"
#include "support/temp_folder.h"
#include "search/list_helpers.h"

namespace kestrin {
namespace {

using testing::Paths;
namespace fs = std::filesystem;
using testing::TempFolder;
using testing::WriteFile;
using ::testing::UnorderedElementsAre;

TEST(SearchOnPosixDisk, LinksAreFollowedButNeverRoundInCircles) {
  TempFolder tmp;
  TempFolder outside;
  fs::create_directories(tmp.Join("a/b"));
  ASSERT_TRUE(WriteFile(tmp.Join("a/b/f.txt"), "f"));
  ASSERT_TRUE(WriteFile(tmp.Join("top.txt"), "t"));
  ASSERT_TRUE(WriteFile(outside.Join("o.txt"), "o"));
  fs::create_directory_symlink(tmp.path(), tmp.Join("a/b/up"));     // back to the top
  fs::create_directory_symlink("..", tmp.Join("a/b/parent"));        // back one level
  fs::create_directory_symlink(".", tmp.Join("a/here"));            // to its own folder
  fs::create_directory_symlink(outside.path(), tmp.Join("out"));    // out of the tree: a folder like others
  fs::create_symlink(tmp.Join("top.txt"), tmp.Join("a/file-link"));  // a link to a file is a file
  fs::create_symlink(tmp.Join("nowhere"), tmp.Join("dangling"));     // and so is a dangling one

  FileList files;
  CollectFiles(tmp.path() + "/", files, true, true);
  EXPECT_THAT(Paths(files), UnorderedElementsAre(tmp.Join("a/b/f.txt"), tmp.Join("top.txt"), tmp.Join("out/o.txt"),
                                                 tmp.Join("a/file-link"), tmp.Join("dangling")));
  EXPECT_THAT(Paths(FilterFiles(files, {{}, {}, "t", false})),
              UnorderedElementsAre(tmp.Join("top.txt"), tmp.Join("a/file-link")));
}

TEST(SearchOnPosixDisk, FifosAreListedButNeverRead) {
  TempFolder tmp;
  ASSERT_TRUE(WriteFile(tmp.Join("a.txt"), "data"));
  ASSERT_EQ(mkfifo(tmp.Join("pipe").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo(tmp.Join("pipe.txt").c_str(), 0600), 0);
  fs::create_symlink(tmp.Join("pipe"), tmp.Join("pipe-link"));

  FileList files;
  CollectFiles(tmp.path() + "/", files, false, false);
  ASSERT_EQ(files.size(), 4u);
  for (std::size_t i = 0; i < files.size(); ++i)
    EXPECT_EQ(files.kind(i), files[i].ends_with("a.txt") ? EntryKind::File : EntryKind::Other) << files[i];
  // Opening a FIFO that has no writer would block: the search must come back, with no match for it.
  EXPECT_THAT(Paths(FilterFiles(files, {{}, {}, "", false})), UnorderedElementsAre(tmp.Join("a.txt")));
  EXPECT_THAT(Paths(FilterFiles(files, {{}, "txt", {}, false})),
              UnorderedElementsAre(tmp.Join("a.txt"), tmp.Join("pipe.txt")));
  EXPECT_FALSE(FileContains(tmp.Join("pipe"), "", false));
  EXPECT_FALSE(FileContains(tmp.Join("pipe-link"), "", false));
  EXPECT_FALSE(FileContains("/dev/zero", "x", false)) << "a device is never read";
}

}  // namespace
}  // namespace kestrin
