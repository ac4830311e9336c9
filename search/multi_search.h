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
// chunk is walked in eight lanes at once.
//
// Where the patterns are rare in the data, as names of resources mostly are, the automaton is not walked
// at all. A prefilter hashes the window of bytes at each position (the first 8 bytes of the long
// patterns, the first few of the short ones) and looks the hash up in a bit table of the patterns'
// beginnings. Where the long patterns are all longer than 8 bytes, by k bytes or more (up to 7), their
// filter looks at one position in k + 1 only and knows each by its first k + 1 windows of 8 bytes, one of
// which lies at a position looked at. Only where a bit is set are the patterns that really hold those bytes
// checked: compared with the data one by one where a few share them (and not again once found in the
// stream), by a walk down the trie where more do. Where the patterns' beginnings are so common in the
// data that the prefilter would pass too many positions (very short patterns, or text made of the very
// words the patterns are), the stream goes on with the automaton instead, from where the prefilter left
// off, and the next few streams begin with it. Each chunk is searched on its own; a pattern across a seam
// is found in the few bytes either side of it, kept from one chunk to the next.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "search/substring_search.h"

namespace kestrin {

// How the data is searched; Auto chooses for each chunk. The other two are for tests and measurements.
enum class MultiSearchScan : unsigned char { Auto, Automaton, Prefilter };

class MultiSearcher {
 public:
  // The largest table of full rows, in bytes.
  static constexpr std::size_t kDenseBudget = std::size_t{32} << 20;

  // denseBudget: for tests, a smaller table than kDenseBudget, so that the other states are exercised;
  // scan and kernel (of the prefilter's bit tables), for tests and measurements too.
  MultiSearcher(const std::vector<std::string>& patterns, bool ignoreCase,
                std::size_t denseBudget = kDenseBudget, MultiSearchScan scan = MultiSearchScan::Auto,
                SearchKernel kernel = BestSearchKernel());

  std::size_t PatternCount() const { return patternCount_; }
  // The number of states, and how many of them have a full row.
  std::size_t StateCount() const { return fail_.size(); }
  std::size_t DenseStateCount() const { return denseCount_; }

  // The prefilter of one group of patterns (public for the scan kernels): a bit table of the hashes of
  // their first `width` bytes (folded by setting 0x20 in each byte when ignoring case, which maps a
  // letter's two cases together and keeps every match a match), and, for the positions that pass it, a
  // table from those first bytes themselves (letters folded) to the state of the trie they lead to.
  struct WindowFilter {
    // The bit table: a window of 8 bytes is read as a 64-bit number and hashed by its two 32-bit halves.
    std::uint32_t maskLow = 0, maskHigh = 0;  // the first `width` bytes of the window
    std::uint32_t foldLow = 0, foldHigh = 0;  // 0x20 in each of those bytes when ignoring case
    unsigned shift = 32;                      // 32 minus the bits of a bit table index
    std::vector<std::uint32_t> bits;
    // A strided filter hashes its 8-byte window whole, in one 64-bit product: Hash(window | fold, shift + 32).
    std::uint64_t fold = 0;  // foldLow and foldHigh together
    // The table of first bytes.
    std::uint64_t mask = 0;
    unsigned keyShift = 64;  // 64 minus the bits of a key table index
    std::vector<std::uint64_t> keys;
    // 0 where no key is. Otherwise, with a stride of 1, the state of the trie after the key, from which
    // a walk goes on; with a larger stride just 1, as a walk then starts from the root at each offset the
    // key may lie at in a pattern.
    std::vector<std::uint32_t> states;
    // The patterns of the group that hold a key, when they are few enough to be compared one by one:
    // lists[listBegin[slot] .. listBegin[slot] + listCount[slot]), each with the offset of the key in it
    // (offsets, beside lists). A count of 0 walks the trie instead.
    std::vector<std::uint32_t> listBegin;
    std::vector<std::uint8_t> listCount;
    std::vector<std::uint32_t> lists;
    std::vector<std::uint8_t> offsets;
    std::size_t width = 0;
    // Every stride-th position of the data is looked at, and each pattern is known by the windows at its
    // first `stride` offsets: one of them lies at a position looked at, as a pattern is at least
    // width + stride - 1 bytes long.
    std::size_t stride = 1;
    bool ignoreCase = false;

    static constexpr std::size_t kMostListed = 4;

    // patterns: the group's pattern numbers, none shorter than width + stride - 1 bytes.
    void Build(const MultiSearcher& searcher, const std::vector<std::uint32_t>& patterns, std::size_t width,
               std::size_t stride, bool ignoreCase);
    // The slot of the table of keys that holds the first `width` bytes of window, or keys.size() when no
    // pattern of the group holds them.
    std::size_t SlotAt(std::uint64_t window) const;
  };
  // The most positions one look of the long patterns' filter may stand for.
  static constexpr std::size_t kMostStride = 8;
  // The bit table index of a window's halves, already masked and folded; the vector kernel computes the same.
  static std::uint32_t BitIndex(std::uint32_t low, std::uint32_t high, unsigned shift) {
    return ((high * 0x85EBCA77u) ^ low) * 0x9E3779B1u >> shift;
  }
  static std::uint64_t Hash(std::uint64_t key, unsigned shift) { return key * 0x9E3779B97F4A7C15ull >> shift; }

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
  // The child of state along a byte of class cls in the trie, or 0 when the trie has none.
  std::uint32_t Child(std::uint32_t state, std::uint16_t cls) const;

  // Whether pattern p occurs at data (length bytes from there on), compared byte for byte.
  bool PatternAt(std::uint32_t p, const unsigned char* data, std::size_t length) const;

  std::size_t patternCount_ = 0;
  std::size_t longest_ = 0;  // bytes of the longest pattern
  bool ignoreCase_ = false;
  // The patterns' bytes, letters folded when ignoring case, pattern p from textBegin_[p] to
  // textBegin_[p + 1], followed by 8 zero bytes so that a comparison may read a whole word.
  std::vector<unsigned char> text_;
  std::vector<std::uint32_t> textBegin_;
  MultiSearchScan scan_ = MultiSearchScan::Auto;
  SearchKernel kernel_ = SearchKernel::Scalar;  // of the prefilter's bit tables
  // The prefilter: patterns of 8 bytes or more by their first 8 bytes (and, where they are all longer,
  // by the 8 bytes at each of their first few offsets, at every few positions of the data), the shorter
  // ones by as many bytes as the shortest of them has.
  WindowFilter long_;
  WindowFilter short_;
  bool anyLong_ = false;
  bool anyShort_ = false;
  std::vector<std::uint32_t> depth_;  // per state: bytes from the root
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
  // Finds the patterns that lie wholly inside data, by the prefilter or by the automaton.
  void Search(const unsigned char* data, std::size_t length);
  // The same by the prefilter. Returns length, or, when it gave up on data because too many positions
  // passed it, a position from which on the patterns that begin there are still to be found.
  std::size_t SearchFiltered(const unsigned char* data, std::size_t length, bool mayGiveUp);
  template <bool kLong, bool kShort>
  std::size_t ScanWindows(const unsigned char* data, std::size_t length, std::size_t end, bool mayGiveUp);
  // The long patterns' filter when it looks at every stride-th position only. Returns length, or the
  // position from which on it leaves the patterns that begin there when it gave up.
  std::size_t ScanStrided(const unsigned char* data, std::size_t length, bool mayGiveUp);
  // Checks the patterns of filter that hold the key the window at data[at] may be: none when it is no key,
  // those listed compared one by one, or a walk down the trie (which, from a short key, covers the long
  // patterns that begin there too).
  enum class KeyCheck : unsigned char { None, Compared, Walked };
  KeyCheck CheckKey(const MultiSearcher::WindowFilter& filter, const unsigned char* data, std::size_t length,
                    std::size_t at);
  // The prefilter gives a chunk up, once past this many positions, when more than one position in eight
  // it looked at began a check.
  static constexpr std::size_t kGiveUpFrom = 1024;
  void SearchWithAutomaton(const unsigned char* data, std::size_t length);
  // Reports the patterns that begin at data[at] and end inside data.
  void CheckAt(const unsigned char* data, std::size_t length, std::size_t at) { WalkFrom(0, data, length, at); }
  // Reports the patterns on the trie's path from state on along data[at], data[at + 1], ...
  void WalkFrom(std::uint32_t state, const unsigned char* data, std::size_t length, std::size_t at);
  void Report(std::uint32_t state);
  // Checks the patterns listed in a slot of filter against the data where they would begin for their
  // key to lie at data[at], skipping those already found and those that would begin before data.
  void CompareListed(const MultiSearcher::WindowFilter& filter, std::size_t slot, const unsigned char* data,
                     std::size_t length, std::size_t at);

  const MultiSearcher& searcher_;
  std::uint32_t epoch_ = 0;
  // The last bytes of the stream, one fewer than the longest pattern: a pattern across the seam to the
  // next chunk begins among them. joint_ holds them followed by the start of the next chunk.
  std::vector<unsigned char> tail_;
  std::vector<unsigned char> joint_;
  bool preferAutomaton_ = false;  // the prefilter gave up on this stream once, or on the streams before
  bool filtered_ = false;         // the prefilter took this stream on (to its end, unless it gave up since)
  // Streams that begin with the automaton, as the ones before gave the prefilter up: the next
  // automatonStreams_ of them, 1, 2, 4 ... up to kMostAutomatonStreams after as many in a row, none once
  // the prefilter took a stream to its end.
  static constexpr std::uint32_t kMostAutomatonStreams = 64;
  std::uint32_t automatonStreams_ = 0;
  std::uint32_t automatonRun_ = 0;
  std::vector<std::uint32_t> stateSeen_;    // epoch at which a state's patterns were last reported
  std::vector<std::uint32_t> patternSeen_;  // epoch at which a pattern was last found
  std::vector<std::uint32_t> found_;
};

}  // namespace kestrin
