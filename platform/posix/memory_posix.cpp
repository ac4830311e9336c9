#include "platform/memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace kestrin {

namespace {

// Blocks this large are mapped on their own, in whole large pages; smaller ones come from malloc.
constexpr std::size_t kLargePage = std::size_t{2} << 20;
constexpr std::size_t kMappedFrom = std::size_t{256} << 10;

bool Mapped(std::size_t capacity) { return capacity >= kMappedFrom; }

// `length` bytes (a multiple of kLargePage) aligned to a large page, with the hint that large pages suit
// them; nullptr when the system has no memory left.
void* MapLarge(std::size_t length) {
  void* mapped = mmap(nullptr, length + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  auto* const start = static_cast<unsigned char*>(mapped);
  auto* const block = reinterpret_cast<unsigned char*>(
      (reinterpret_cast<std::uintptr_t>(start) + kLargePage - 1) / kLargePage * kLargePage);
  const auto head = static_cast<std::size_t>(block - start);
  if (head > 0) munmap(start, head);
  if (kLargePage - head > 0) munmap(block + length, kLargePage - head);
#ifdef MADV_HUGEPAGE
  madvise(block, length, MADV_HUGEPAGE);  // a hint: where large pages are off, small ones serve
#endif
  return block;
}

}  // namespace

MemoryBlock GrowMemoryBlock(MemoryBlock block, std::size_t used, std::size_t wanted) {
  if (wanted <= block.capacity) return block;
  if (!Mapped(wanted) && !block.mapped) {
    void* grown = std::realloc(block.data, wanted);
    if (grown == nullptr) throw std::bad_alloc();
    return MemoryBlock{grown, wanted, false};
  }
  const std::size_t length = (wanted + kLargePage - 1) / kLargePage * kLargePage;
  void* grown = MapLarge(length);
  if (grown == nullptr) throw std::bad_alloc();
  if (used > 0) std::memcpy(grown, block.data, used);
  FreeMemoryBlock(block);
  return MemoryBlock{grown, length, true};
}

void FreeMemoryBlock(MemoryBlock block) noexcept {
  if (block.data == nullptr) return;
  if (block.mapped) {
    munmap(block.data, block.capacity);
  } else {
    std::free(block.data);
  }
}

}  // namespace kestrin
