#pragma once
// An ordered list of owned path strings, as the walk produces it and the search and file operations
// consume it. All paths live in one growing block, so a walk of 200,000 files costs a handful of
// allocations rather than one per path.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <utility>

#include "platform/filesystem.h"
#include "platform/memory.h"

namespace kestrin {

class FileList {
 public:
  std::size_t size() const { return starts_.size(); }
  bool empty() const { return starts_.size() == 0; }

  // Entry i, without its terminator. The view stays valid until the list is changed.
  std::string_view operator[](std::size_t i) const {
    const std::size_t begin = starts_[i];
    const std::size_t end = (i + 1 < starts_.size()) ? starts_[i + 1] - 1 : text_.size() - 1;
    return std::string_view(text_.data() + begin, end - begin);
  }
  // Entry i as a zero-terminated string.
  const char* c_str(std::size_t i) const { return text_.data() + starts_[i]; }
  // What the walk learnt of entry i (a FIFO or device node is listed but never read).
  EntryKind kind(std::size_t i) const { return kinds_[i]; }

  void push_back(std::string_view path, EntryKind kind = EntryKind::File) {
    starts_.push_back(text_.size());
    text_.append(path.data(), path.size());
    text_.push_back('\0');
    kinds_.push_back(kind);
  }
  void clear() {
    text_.clear();
    starts_.clear();
    kinds_.clear();
  }
  void reserve(std::size_t entries, std::size_t bytes) {
    starts_.reserve(entries);
    kinds_.reserve(entries);
    text_.reserve(bytes);
  }
  // Total bytes held, terminators included.
  std::size_t bytes() const { return text_.size(); }

 private:
  // A growing array of plain values in a block of the platform's (GrowMemoryBlock): a large list is made
  // of large pages where the system has them, and a long walk does not pay a fault for each small page.
  template <typename T>
  class Array {
    static_assert(std::is_trivially_copyable_v<T>, "the values are moved as bytes");

   public:
    Array() = default;
    Array(const Array& other) { *this = other; }
    Array(Array&& other) noexcept { Swap(other); }
    Array& operator=(const Array& other) {
      if (this != &other) {
        size_ = 0;
        reserve(other.size_);
        if (other.size_ > 0) std::memcpy(data(), other.data(), other.size_ * sizeof(T));
        size_ = other.size_;
      }
      return *this;
    }
    Array& operator=(Array&& other) noexcept {
      Swap(other);
      return *this;
    }
    ~Array() { FreeMemoryBlock(block_); }

    const T* data() const { return static_cast<const T*>(block_.data); }
    T* data() { return static_cast<T*>(block_.data); }
    std::size_t size() const { return size_; }
    const T& operator[](std::size_t i) const { return data()[i]; }
    void clear() { size_ = 0; }
    void reserve(std::size_t count) {
      if (count > block_.capacity / sizeof(T)) block_ = GrowMemoryBlock(block_, size_ * sizeof(T), count * sizeof(T));
    }
    void append(const T* values, std::size_t count) {
      Make(count);
      if (count > 0) std::memcpy(data() + size_, values, count * sizeof(T));
      size_ += count;
    }
    void push_back(T value) {
      Make(1);
      data()[size_++] = value;
    }

   private:
    void Make(std::size_t more) {
      const std::size_t room = block_.capacity / sizeof(T);
      if (room - size_ >= more) return;
      std::size_t capacity = room < 512 ? 512 : room * 2;
      while (capacity - size_ < more) capacity *= 2;
      reserve(capacity);
    }
    void Swap(Array& other) noexcept {
      std::swap(block_, other.block_);
      std::swap(size_, other.size_);
    }
    MemoryBlock block_;
    std::size_t size_ = 0;
  };

  Array<char> text_;
  Array<std::size_t> starts_;
  Array<EntryKind> kinds_;
};

}  // namespace kestrin
