// The walk and the search on the real disk, through the native file system.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/filesystem.h"
#include "search/search.h"
#include "search/walk.h"
#include "support/temp_folder.h"
#include "search/list_helpers.h"

namespace kestrin {
namespace {

using testing::Paths;
using testing::TempFolder;
using testing::WriteFile;
using ::testing::UnorderedElementsAre;

TEST(SearchOnDisk, WalkThenFilterByContent) {
  TempFolder tmp;
  const char sep = NativePathStyle().Separator();
  ASSERT_TRUE(WriteFile(tmp.Join("a.txt"), "first line\nThe Needle\n"));
  ASSERT_TRUE(WriteFile(tmp.Join("b.txt"), "nothing here"));
  ASSERT_TRUE(WriteFile(tmp.Join("empty.txt"), ""));
  std::filesystem::create_directories(tmp.Join("sub/deeper"));
  ASSERT_TRUE(WriteFile(tmp.Join("sub/deeper/c.bin"), std::string("\0\xFFneedle", 8)));

  FileList files;
  CollectFiles(CommandEnv{NativeFileSystem()}, tmp.path() + sep, files, true, false);
  EXPECT_THAT(Paths(files), UnorderedElementsAre(tmp.Join("a.txt"), tmp.Join("b.txt"), tmp.Join("empty.txt"),
                                                 tmp.Join("sub/deeper/c.bin")));
  EXPECT_THAT(Paths(FilterFiles(CommandEnv{NativeFileSystem()}, files, {{}, {}, "needle", true})),
              UnorderedElementsAre(tmp.Join("a.txt"), tmp.Join("sub/deeper/c.bin")));
  EXPECT_THAT(Paths(FilterFiles(CommandEnv{NativeFileSystem()}, files, {{}, "txt", "needle", false})), ::testing::IsEmpty());
  EXPECT_TRUE(FileContains(CommandEnv{NativeFileSystem()}, tmp.Join("a.txt"), "Needle", false));
  EXPECT_FALSE(FileContains(CommandEnv{NativeFileSystem()}, tmp.Join("sub"), "", false)) << "a folder holds nothing";
}

// A sparse file whose holes read as zeros, with the pattern at its very end.
TEST(SearchOnDisk, SparseFile) {
  TempFolder tmp;
  const std::string path = tmp.Join("sparse.bin");
  const std::streamoff size = std::streamoff{64} << 20;
  {
    std::ofstream out(path, std::ios::binary);
    ASSERT_TRUE(out.good());
    out.seekp(size - 6);
    out.write("NEEDLE", 6);
    ASSERT_TRUE(out.good());
  }
  EXPECT_TRUE(FileContains(CommandEnv{NativeFileSystem()}, path, "needle", true));
  EXPECT_TRUE(FileContains(CommandEnv{NativeFileSystem()}, path, std::string(1000, '\0') + "NEEDLE", false));
  EXPECT_FALSE(FileContains(CommandEnv{NativeFileSystem()}, path, "NEEDLE!", false));
}

}  // namespace
}  // namespace kestrin
