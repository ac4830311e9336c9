// The file list the walk fills: its block of paths grows, copies and moves without losing an entry.

#include "primitives/file_list.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace kestrin {
namespace {

std::string PathNumber(std::size_t i) { return "/tree/folder" + std::to_string(i % 97) + "/file" + std::to_string(i); }

void ExpectNumbered(const FileList& list, std::size_t count) {
  ASSERT_EQ(list.size(), count);
  for (std::size_t i = 0; i < count; ++i) {
    ASSERT_EQ(list[i], PathNumber(i));
    ASSERT_EQ(std::string(list.c_str(i)), PathNumber(i));
    ASSERT_EQ(list.kind(i), i % 5 == 0 ? EntryKind::Other : EntryKind::File);
  }
}

TEST(FileList, GrowsCopiesAndMoves) {
  FileList list;
  const std::size_t count = 50000;  // a few megabytes: the block grows many times
  for (std::size_t i = 0; i < count; ++i) list.push_back(PathNumber(i), i % 5 == 0 ? EntryKind::Other : EntryKind::File);
  ExpectNumbered(list, count);

  FileList copy = list;
  ExpectNumbered(copy, count);
  copy.push_back("/extra");
  EXPECT_EQ(list.size(), count) << "a copy owns its own paths";

  FileList moved = std::move(copy);
  EXPECT_EQ(moved[count], "/extra");
  moved = list;
  ExpectNumbered(moved, count);
  const FileList& alias = moved;
  moved = alias;  // assigned to itself
  ExpectNumbered(moved, count);

  moved.clear();
  EXPECT_TRUE(moved.empty());
  EXPECT_EQ(moved.bytes(), 0u);
  moved.push_back("");
  moved.push_back("x");
  EXPECT_EQ(moved[0], "");
  EXPECT_EQ(moved[1], "x");
  EXPECT_EQ(moved.bytes(), 3u);

  FileList empty;
  FileList emptyCopy = empty;
  EXPECT_TRUE(emptyCopy.empty());
  emptyCopy.reserve(10, 1000);
  emptyCopy.push_back("a");
  EXPECT_EQ(emptyCopy[0], "a");
}

}  // namespace
}  // namespace kestrin
