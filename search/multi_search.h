#pragma once
// Many patterns found in one pass: which of them occur in a stream of bytes read a chunk at a time.
//
//   MultiSearcher searcher({"ui/bg", "bg", "title"}, /*ignoreCase=*/true);   // shared by every thread
//   MultiSearchStream stream(searcher);                                        // one per thread
//   stream.Begin();
//   stream.Feed(chunk1, n1);  stream.Feed(chunk2, n2);                          // a match may span them
//   for (std::uint32_t p : stream.Found()) ...                                 // "ui/bg" and "bg"
//
// Matching follows the one rule of the single-pattern search in both case modes: with ignoreCase, an ASCII
// letter matches the same letter in either case, and no other byte folds. Every pattern is found wherever
// it occurs, overlapping or inside another one. An empty pattern occurs in any stream, as in
// BufferContains; patterns equal to each other are found together.
//
// The automaton: a trie of the patterns with failure links (Aho-Corasick) over an alphabet of byte
// classes (each byte that appears in a pattern, folded when ignoring case, is a class of its own; every
// other byte is one more class). The states nearest the root, where a scan spends nearly all its time,
// get a full row of transitions; when the patterns are too many for every state to get one within
// kDenseBudget, the deeper states keep only their own children and follow their failure links. A long
// chunk is walked in eight lanes at once (see Feed).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrin {

class MultiSearcher {
 public:
  // The largest table of full rows, in bytes.
  static constexpr std::size_t kDenseBudget = std::size_t{32} << 20;

  // denseBudget: for tests, a smaller table than kDenseBudget, so that the other states are exercised.
  MultiSearcher(const std::vector<std::string>& patterns, bool ignoreCase,
                std::size_t denseBudget = kDenseBudget);

  std::size_t PatternCount() const { return patternCount_; }
  // The number of states, and how many of them have a full row.
  std::size_t StateCount() const { return fail_.size(); }
  std::size_t DenseStateCount() const { return denseCount_; }

 private:
  friend class MultiSearchStream;
  static constexpr std::uint32_t kMatch = std::uint32_t{1} << 31;  // set on a state that ends a pattern

  // State values as the scan holds them: a dense state as the offset of its row (its number times the
  // stride), a sparse one as denseEnd_ plus its number past the dense ones; kMatch added where a pattern
  // ends at the state or at a state on its chain of failure links.
  std::uint32_t Value(std::uint32_t state) const;
  std::uint32_t StateOf(std::uint32_t value) const;
  // The transition from a sparse state.
  std::uint32_t SparseNext(std::uint32_t state, std::uint16_t cls) const;

  std::size_t patternCount_ = 0;
  std::size_t longest_ = 0;  // bytes of the longest pattern
  std::uint16_t classOf_[256] = {};
  std::uint32_t strideShift_ = 0;  // a row holds 1 << strideShift_ entries, at least one per class
  std::uint32_t denseCount_ = 0;   // states 0 .. denseCount_ - 1 have full rows
  std::uint32_t denseEnd_ = 0;     // denseCount_ << strideShift_
  std::vector<std::uint32_t> dense_;      // full rows, values as above
  std::vector<std::uint32_t> fail_;       // per state
  std::vector<bool> match_;               // per state: kMatch applies
  // Children of the sparse states, sorted by class: state s's are childBegin_[s - denseCount_] up to
  // childBegin_[s - denseCount_ + 1].
  std::vector<std::uint32_t> childBegin_;
  std::vector<std::uint16_t> childClass_;
  std::vector<std::uint32_t> childState_;
  // Patterns ending exactly at a state: patternsAt_[patternBegin_[s] .. patternBegin_[s + 1]).
  std::vector<std::uint32_t> patternBegin_;
  std::vector<std::uint32_t> patternsAt_;
  // The nearest state on the failure chain (the state itself excluded) where a pattern ends, or 0.
  std::vector<std::uint32_t> outputLink_;
  std::vector<std::uint32_t> emptyPatterns_;  // found in every stream
};

// One stream at a time through a MultiSearcher: the state between chunks and the patterns found so far.
// Not shared between threads; the searcher must outlive it.
class MultiSearchStream {
 public:
  explicit MultiSearchStream(const MultiSearcher& searcher);

  // Starts a new stream: no pattern found yet (but the empty ones), at the start of the automaton. A new
  // stream object has begun one already.
  void Begin();
  // Continues the stream with length bytes; a pattern may begin in an earlier chunk.
  void Feed(const void* data, std::size_t length);
  // The patterns found since Begin, each once, in the order they were first found.
  const std::vector<std::uint32_t>& Found() const { return found_; }
  // True when every pattern has been found: the rest of the stream cannot change Found().
  bool FoundAll() const { return found_.size() == searcher_.patternCount_; }

 private:
  void Report(std::uint32_t state);

  const MultiSearcher& searcher_;
  std::uint32_t value_ = 0;
  std::uint32_t epoch_ = 0;
  std::vector<std::uint32_t> stateSeen_;    // epoch at which a state's patterns were last reported
  std::vector<std::uint32_t> patternSeen_;  // epoch at which a pattern was last found
  std::vector<std::uint32_t> found_;
};

}  // namespace kestrin
