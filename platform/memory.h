#pragma once
// Memory for blocks that may grow large, such as the list of every file of a big tree. Where the system
// offers large pages, a large block is made of them: a block touched small page by small page costs a fault
// for each, and on a virtual machine a fault costs more than the bytes written into its page.

#include <cstddef>

namespace kestrin {

struct MemoryBlock {
  void* data = nullptr;
  std::size_t capacity = 0;  // bytes
  bool mapped = false;       // mapped on its own, not from the C library: how it is given back
};

// A block of at least `wanted` bytes holding the first `used` bytes of `block` (none: {}), which is given
// back; `block` itself when it is large enough already. Throws std::bad_alloc when memory runs out.
MemoryBlock GrowMemoryBlock(MemoryBlock block, std::size_t used, std::size_t wanted);
// Gives a block back; nothing for an empty one.
void FreeMemoryBlock(MemoryBlock block) noexcept;

}  // namespace kestrin
