// Growing memory blocks: the bytes in use survive every step, from small blocks of the C library to large
// mapped ones and back to the same block when it is large enough.

#include "platform/memory.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <algorithm>
#include <cstring>

namespace kestrin {
namespace {

TEST(MemoryBlock, GrowsKeepingTheBytesInUse) {
  // Sizes across the line where blocks stop coming from the C library, and an odd one past a large page.
  const std::size_t steps[] = {100, 4096, 200000, 256u << 10, (1u << 20) + 1, 3u << 20, (5u << 20) + 7, 100};
  MemoryBlock block;
  std::size_t used = 0;
  for (const std::size_t wanted : steps) {
    SCOPED_TRACE(wanted);
    const MemoryBlock before = block;
    block = GrowMemoryBlock(block, used, wanted);
    ASSERT_NE(block.data, nullptr);
    EXPECT_GE(block.capacity, wanted);
    if (wanted <= before.capacity) {
      EXPECT_EQ(block.data, before.data) << "large enough already";
    }
    auto* const bytes = static_cast<unsigned char*>(block.data);
    for (std::size_t i = 0; i < used; ++i) ASSERT_EQ(bytes[i], static_cast<unsigned char>(i * 7)) << i;
    // Fill what is wanted now (every page of it), for the next step to find.
    for (std::size_t i = used; i < wanted; ++i) bytes[i] = static_cast<unsigned char>(i * 7);
    used = std::max(used, wanted);
  }
  FreeMemoryBlock(block);
  FreeMemoryBlock(MemoryBlock{});  // nothing to give back
}

}  // namespace
}  // namespace kestrin
