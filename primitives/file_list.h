#pragma once
// An ordered list of owned path strings, as the walk produces it and the search and file operations
// consume it. All paths live in one growing block, so a walk of 200,000 files costs a handful of
// allocations rather than one per path.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/filesystem.h"

namespace kestrin {

class FileList {
 public:
  std::size_t size() const { return starts_.size(); }
  bool empty() const { return starts_.empty(); }

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
    text_.append(path);
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
  // A byte block grown with realloc: a large block grows by remapping its pages rather than by copying
  // them into new ones, so a long walk touches each page of its list once, not twice.
  class Bytes {
   public:
    Bytes() = default;
    Bytes(const Bytes& other) { *this = other; }
    Bytes(Bytes&& other) noexcept { Swap(other); }
    Bytes& operator=(const Bytes& other) {
      if (this != &other) {
        size_ = 0;
        reserve(other.size_);
        if (other.size_ > 0) std::memcpy(data_, other.data_, other.size_);
        size_ = other.size_;
      }
      return *this;
    }
    Bytes& operator=(Bytes&& other) noexcept {
      Swap(other);
      return *this;
    }
    ~Bytes() { std::free(data_); }

    const char* data() const { return data_; }
    std::size_t size() const { return size_; }
    void clear() { size_ = 0; }
    void reserve(std::size_t capacity) {
      if (capacity <= capacity_) return;
      void* grown = std::realloc(data_, capacity);
      if (grown == nullptr) throw std::bad_alloc();
      data_ = static_cast<char*>(grown);
      capacity_ = capacity;
    }
    void append(std::string_view bytes) {
      Make(bytes.size());
      if (!bytes.empty()) std::memcpy(data_ + size_, bytes.data(), bytes.size());
      size_ += bytes.size();
    }
    void push_back(char c) {
      Make(1);
      data_[size_++] = c;
    }

   private:
    void Make(std::size_t more) {
      if (capacity_ - size_ >= more) return;
      std::size_t capacity = capacity_ < 4096 ? 4096 : capacity_ * 2;
      while (capacity - size_ < more) capacity *= 2;
      reserve(capacity);
    }
    void Swap(Bytes& other) noexcept {
      std::swap(data_, other.data_);
      std::swap(size_, other.size_);
      std::swap(capacity_, other.capacity_);
    }
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
  };

  Bytes text_;
  std::vector<std::size_t> starts_;
  std::vector<EntryKind> kinds_;
};

}  // namespace kestrin
