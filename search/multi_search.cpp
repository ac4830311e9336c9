#include "search/multi_search.h"

#include <algorithm>
#include <stdexcept>

namespace kestrin {

namespace {

unsigned char Fold(unsigned char b) { return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + 32) : b; }

// The trie as the patterns are inserted: children as sibling lists, numbered in insertion order.
struct TrieNode {
  std::uint32_t firstChild = 0;  // 0: none (the root is nobody's child)
  std::uint32_t nextSibling = 0;
  std::uint16_t cls = 0;
};

}  // namespace

MultiSearcher::MultiSearcher(const std::vector<std::string>& patterns, bool ignoreCase, std::size_t denseBudget)
    : patternCount_(patterns.size()) {
  if (patterns.size() >= kMatch) throw std::length_error("too many patterns");
  // Byte classes: class 0 is every byte that no pattern holds.
  std::uint16_t classes = 1;
  bool used[256] = {};
  for (const std::string& p : patterns) {
    for (const char ch : p) used[ignoreCase ? Fold(static_cast<unsigned char>(ch)) : static_cast<unsigned char>(ch)] = true;
  }
  for (int b = 0; b < 256; ++b) {
    if (used[b]) classOf_[b] = classes++;
  }
  if (ignoreCase) {
    for (int b = 'A'; b <= 'Z'; ++b) classOf_[b] = classOf_[b + 32];
  }
  while ((std::uint32_t{1} << strideShift_) < classes) ++strideShift_;

  // The trie, in insertion order.
  std::vector<TrieNode> trie(1);
  std::vector<std::uint32_t> endOf(patterns.size(), 0);
  for (std::uint32_t p = 0; p < patterns.size(); ++p) {
    longest_ = std::max(longest_, patterns[p].size());
    if (patterns[p].empty()) {
      emptyPatterns_.push_back(p);
      continue;
    }
    std::uint32_t node = 0;
    for (const char ch : patterns[p]) {
      const std::uint16_t cls = classOf_[static_cast<unsigned char>(ch)];
      std::uint32_t child = trie[node].firstChild;
      while (child != 0 && trie[child].cls != cls) child = trie[child].nextSibling;
      if (child == 0) {
        if (trie.size() >= kMatch / 2) throw std::length_error("patterns too long");
        child = static_cast<std::uint32_t>(trie.size());
        TrieNode made;
        made.cls = cls;
        made.nextSibling = trie[node].firstChild;
        trie.push_back(made);
        trie[node].firstChild = child;
      }
      node = child;
    }
    endOf[p] = node;
  }

  // Numbered breadth first, so that the states nearest the root come first, and each state's children
  // sorted by class.
  const std::size_t count = trie.size();
  std::vector<std::uint32_t> order;  // new number -> insertion number
  std::vector<std::uint32_t> number(count, 0);
  order.reserve(count);
  order.push_back(0);
  std::vector<std::uint32_t> childStart(count + 1, 0);  // by new number
  std::vector<std::pair<std::uint16_t, std::uint32_t>> children;  // (class, new number)
  children.reserve(count);
  for (std::size_t i = 0; i < order.size(); ++i) {
    childStart[i] = static_cast<std::uint32_t>(children.size());
    const std::size_t first = children.size();
    for (std::uint32_t c = trie[order[i]].firstChild; c != 0; c = trie[c].nextSibling) {
      children.emplace_back(trie[c].cls, c);
    }
    std::sort(children.begin() + static_cast<std::ptrdiff_t>(first), children.end());
    for (std::size_t k = first; k < children.size(); ++k) {
      number[children[k].second] = static_cast<std::uint32_t>(order.size());
      order.push_back(children[k].second);
      children[k].second = number[children[k].second];
    }
  }
  childStart[count] = static_cast<std::uint32_t>(children.size());
  trie.clear();
  trie.shrink_to_fit();

  patternBegin_.assign(count + 1, 0);
  for (std::uint32_t p = 0; p < patterns.size(); ++p) {
    if (!patterns[p].empty()) ++patternBegin_[number[endOf[p]] + 1];
  }
  for (std::size_t s = 0; s < count; ++s) patternBegin_[s + 1] += patternBegin_[s];
  patternsAt_.resize(patternBegin_[count]);
  {
    std::vector<std::uint32_t> fill(patternBegin_.begin(), patternBegin_.end() - 1);
    for (std::uint32_t p = 0; p < patterns.size(); ++p) {
      if (!patterns[p].empty()) patternsAt_[fill[number[endOf[p]]]++] = p;
    }
  }

  const std::size_t rowBytes = (std::size_t{1} << strideShift_) * sizeof(std::uint32_t);
  denseCount_ = static_cast<std::uint32_t>(std::clamp<std::size_t>(denseBudget / rowBytes, 1, count));
  denseEnd_ = denseCount_ << strideShift_;
  if (std::size_t{denseEnd_} + (count - denseCount_) >= kMatch) throw std::length_error("patterns too long");
  dense_.assign(std::size_t{denseEnd_}, 0);
  childBegin_.assign(count - denseCount_ + 1, 0);
  for (std::size_t s = denseCount_; s <= count; ++s) {
    childBegin_[s - denseCount_] = childStart[s] - childStart[std::min<std::size_t>(denseCount_, count)];
  }
  const std::uint32_t sparseFrom = childStart[denseCount_];
  childClass_.reserve(children.size() - sparseFrom);
  childState_.reserve(children.size() - sparseFrom);
  for (std::size_t k = sparseFrom; k < children.size(); ++k) {
    childClass_.push_back(children[k].first);
    childState_.push_back(children[k].second);
  }

  // Failure links, output links and rows, breadth first: a state's failure target is shallower, so its
  // row or its own failure chain is complete when the state is reached.
  fail_.assign(count, 0);
  outputLink_.assign(count, 0);
  match_.assign(count, false);
  const std::uint32_t stride = std::uint32_t{1} << strideShift_;
  for (std::uint32_t s = 0; s < count; ++s) {
    for (std::uint32_t k = childStart[s]; k < childStart[s + 1]; ++k) {
      const auto [cls, child] = children[k];
      const std::uint32_t f = s == 0 ? 0 : StateOf(SparseNext(fail_[s], cls) & ~kMatch);
      fail_[child] = f;
      outputLink_[child] = patternBegin_[f + 1] > patternBegin_[f] ? f : outputLink_[f];
      match_[child] = patternBegin_[child + 1] > patternBegin_[child] || match_[f];
    }
    if (s >= denseCount_) continue;
    std::uint32_t* row = &dense_[std::size_t{s} << strideShift_];
    if (s != 0) {
      const std::uint32_t* failRow = &dense_[std::size_t{fail_[s]} << strideShift_];
      std::copy(failRow, failRow + stride, row);
    }
    for (std::uint32_t k = childStart[s]; k < childStart[s + 1]; ++k) row[children[k].first] = Value(children[k].second);
  }
}

std::uint32_t MultiSearcher::Value(std::uint32_t state) const {
  const std::uint32_t value = state < denseCount_ ? state << strideShift_ : denseEnd_ + (state - denseCount_);
  return match_[state] ? value | kMatch : value;
}

std::uint32_t MultiSearcher::StateOf(std::uint32_t value) const {
  return value < denseEnd_ ? value >> strideShift_ : denseCount_ + (value - denseEnd_);
}

std::uint32_t MultiSearcher::SparseNext(std::uint32_t state, std::uint16_t cls) const {
  for (;;) {
    if (state < denseCount_) return dense_[(std::size_t{state} << strideShift_) + cls];
    const std::uint32_t at = state - denseCount_;
    const auto begin = childClass_.begin() + childBegin_[at];
    const auto end = childClass_.begin() + childBegin_[at + 1];
    const auto it = std::lower_bound(begin, end, cls);
    if (it != end && *it == cls) return Value(childState_[static_cast<std::size_t>(it - childClass_.begin())]);
    state = fail_[state];
  }
}

MultiSearchStream::MultiSearchStream(const MultiSearcher& searcher)
    : searcher_(searcher), stateSeen_(searcher.StateCount(), 0), patternSeen_(searcher.PatternCount(), 0) {
  Begin();
}

void MultiSearchStream::Begin() {
  value_ = 0;
  found_.clear();
  if (++epoch_ == 0) {  // after 2^32 streams: forget the old marks once
    std::fill(stateSeen_.begin(), stateSeen_.end(), 0);
    std::fill(patternSeen_.begin(), patternSeen_.end(), 0);
    epoch_ = 1;
  }
  for (const std::uint32_t p : searcher_.emptyPatterns_) {
    patternSeen_[p] = epoch_;
    found_.push_back(p);
  }
}

void MultiSearchStream::Feed(const void* data, std::size_t length) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  const std::uint16_t* classOf = searcher_.classOf_;
  const std::uint32_t* dense = searcher_.dense_.data();
  const std::uint32_t denseEnd = searcher_.denseEnd_;
  const auto step = [&](std::uint32_t value, unsigned char byte) {
    const std::uint32_t at = value & ~MultiSearcher::kMatch;
    const std::uint16_t cls = classOf[byte];
    value = at < denseEnd ? dense[at + cls] : searcher_.SparseNext(searcher_.StateOf(at), cls);
    if (value & MultiSearcher::kMatch) Report(searcher_.StateOf(value & ~MultiSearcher::kMatch));
    return value;
  };
  const auto walk = [&](std::uint32_t value, const unsigned char* from, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) value = step(value, from[i]);
    return value;
  };

  // A long chunk runs in eight lanes, each a walk of its own, so that the processor overlaps their table
  // look-ups instead of waiting for each before the next. A lane after the first starts at the root
  // `warm` bytes before its part: after as many bytes as the longest pattern, a walk is in the state the
  // walk from the start of the stream is in, and what it finds before is found by the lane before it too.
  constexpr std::size_t kLanes = 8;
  const std::size_t warm = searcher_.longest_;
  const std::size_t part = length / kLanes;
  if (part < 4 * warm + 256) {
    value_ = walk(value_, bytes, length);
    return;
  }
  std::uint32_t value[kLanes] = {value_};
  const unsigned char* from[kLanes] = {bytes};
  for (std::size_t k = 1; k < kLanes; ++k) from[k] = bytes + k * part - warm;
  const std::size_t steps = part + warm;  // the first lane runs on into the second's part: found twice
  for (std::size_t i = 0; i < steps; ++i) {
    for (std::size_t k = 0; k < kLanes; ++k) value[k] = step(value[k], from[k][i]);
  }
  // The last lane ended at kLanes * part; the rest of the chunk continues its walk.
  value_ = walk(value[kLanes - 1], bytes + kLanes * part, length - kLanes * part);
}

// Marks the patterns that end at state and along its output links. A state already reported in this
// stream has had its whole chain reported, so the walk stops there.
void MultiSearchStream::Report(std::uint32_t state) {
  while (state != 0 && stateSeen_[state] != epoch_) {
    stateSeen_[state] = epoch_;
    for (std::uint32_t k = searcher_.patternBegin_[state]; k < searcher_.patternBegin_[state + 1]; ++k) {
      const std::uint32_t p = searcher_.patternsAt_[k];
      if (patternSeen_[p] != epoch_) {
        patternSeen_[p] = epoch_;
        found_.push_back(p);
      }
    }
    state = searcher_.outputLink_[state];
  }
}

}  // namespace kestrin
