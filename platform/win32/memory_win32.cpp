#include "platform/memory.h"

#include <cstdlib>
#include <new>

namespace kestrin {

// Large pages need a privilege ordinary users lack on Windows: every block comes from the C library.
MemoryBlock GrowMemoryBlock(MemoryBlock block, std::size_t used, std::size_t wanted) {
  static_cast<void>(used);
  if (wanted <= block.capacity) return block;
  void* grown = std::realloc(block.data, wanted);
  if (grown == nullptr) throw std::bad_alloc();
  return MemoryBlock{grown, wanted, false};
}

void FreeMemoryBlock(MemoryBlock block) noexcept { std::free(block.data); }

}  // namespace kestrin
