#pragma once
// What every long command (the walk, the search, the batch rename, the copy, the reference report) shares
// with whoever started it: a stop flag that another thread may raise, and the list of the files the
// command could not handle, each with the reason in words (gathered from its reports by a
// FailureCollector, primitives/command_sink.h). The window and the command-line tool are two front-ends
// on the same commands and read both the same way.

#include <atomic>
#include <cstddef>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/failure_reason.h"

namespace kestrin {

// Raised by the starter, from any thread; a command checks it between files and between the chunks of a
// large file, and returns with what it has done so far.
class StopFlag {
 public:
  void Request() noexcept { stop_.store(true, std::memory_order_relaxed); }
  bool Requested() const noexcept { return stop_.load(std::memory_order_relaxed); }
  void Reset() noexcept { stop_.store(false, std::memory_order_relaxed); }

 private:
  std::atomic<bool> stop_{false};
};

struct Failure {
  std::string path;
  FailureReason reason = FailureReason::System;
  std::string detail;  // the system's own error text, when it said one
};

// The words of a failure's reason, as the command-line tool shows them: the reason's own words, or the
// system's text for FailureReason::System (and after the reason's words where both exist).
std::string ReasonText(const Failure& failure);
// The same with each reason's words given by words(reason), words(FailureReason::System) being those for a
// failure the system gave no text for: how a window shows the reasons in its own language.
std::string ReasonText(const Failure& failure, const std::function<std::string(FailureReason)>& words);
// A reason's own words (English), as ReasonText gives them; for FailureReason::System, "unknown error".
const char* ReasonWords(FailureReason reason);

// The failures of one command, in the order the command met them.
class FailureList {
 public:
  void Add(std::string_view path, FailureReason reason, std::string detail = {}) {
    items_.push_back(Failure{std::string(path), reason, std::move(detail)});
  }
  // Moves other's failures to the end of this list (workers' lists are joined in file-list order).
  void Append(FailureList&& other) {
    items_.insert(items_.end(), std::make_move_iterator(other.items_.begin()),
                  std::make_move_iterator(other.items_.end()));
    other.items_.clear();
  }
  void clear() noexcept { items_.clear(); }
  bool empty() const noexcept { return items_.empty(); }
  std::size_t size() const noexcept { return items_.size(); }
  const Failure& operator[](std::size_t i) const { return items_[i]; }
  const std::vector<Failure>& items() const noexcept { return items_; }

 private:
  std::vector<Failure> items_;
};

}  // namespace kestrin
