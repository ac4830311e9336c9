#pragma once
// An ordered list of owned path strings, as the walk produces it and the search and file operations
// consume it. All paths live in one growing block, so a walk of 200,000 files costs a handful of
// allocations rather than one per path.

#include <cstddef>
#include <cstdint>
#include <string_view>
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
    text_.insert(text_.end(), path.begin(), path.end());
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
  std::vector<char> text_;
  std::vector<std::size_t> starts_;
  std::vector<EntryKind> kinds_;
};

}  // namespace kestrin
