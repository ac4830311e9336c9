#include "search/multi_search.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/ascii_case.h"

namespace kestrin {

namespace {

// The trie as the patterns are inserted: children as sibling lists, numbered in insertion order.
struct TrieNode {
  std::uint32_t firstChild = 0;  // 0: none (the root is nobody's child)
  std::uint32_t nextSibling = 0;
  std::uint16_t cls = 0;
};

}  // namespace

MultiSearcher::MultiSearcher(const std::vector<std::string>& patterns, bool ignoreCase, std::size_t denseBudget,
                             MultiSearchScan scan, SearchKernel kernel)
    : patternCount_(patterns.size()),
      ignoreCase_(ignoreCase),
      scan_(scan),
      kernel_(KernelAvailable(kernel) ? kernel : SearchKernel::Scalar) {
  if (patterns.size() >= kMatch) throw std::length_error("too many patterns");
  textBegin_.reserve(patterns.size() + 1);
  for (const std::string& p : patterns) {
    if (text_.size() + p.size() >= kMatch) throw std::length_error("patterns too long");
    textBegin_.push_back(static_cast<std::uint32_t>(text_.size()));
    for (const char ch : p) text_.push_back(ignoreCase ? AsciiToLower(static_cast<unsigned char>(ch)) : static_cast<unsigned char>(ch));
  }
  textBegin_.push_back(static_cast<std::uint32_t>(text_.size()));
  text_.resize(text_.size() + 8, 0);
  // Byte classes: class 0 is every byte that no pattern holds.
  std::uint16_t classes = 1;
  bool used[256] = {};
  for (const std::string& p : patterns) {
    for (const char ch : p) used[ignoreCase ? AsciiToLower(static_cast<unsigned char>(ch)) : static_cast<unsigned char>(ch)] = true;
  }
  for (int b = 0; b < 256; ++b) {
    if (used[b]) classOf_[b] = classes++;
  }
  if (ignoreCase) {
    for (int b = 0; b < 256; ++b) classOf_[b] = classOf_[AsciiToLower(static_cast<unsigned char>(b))];
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
  depth_.assign(count, 0);
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
      depth_[order.size()] = depth_[i] + 1;
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

  // The prefilter.
  std::vector<std::uint32_t> longOnes;
  std::vector<std::uint32_t> shortOnes;
  std::size_t shortest = 8;
  std::size_t shortestLong = 8 + kMostStride - 1;
  for (std::uint32_t p = 0; p < patterns.size(); ++p) {
    if (patterns[p].size() >= 8) {
      longOnes.push_back(p);
      shortestLong = std::min(shortestLong, patterns[p].size());
    } else if (!patterns[p].empty()) {
      shortOnes.push_back(p);
      shortest = std::min(shortest, patterns[p].size());
    }
  }
  anyLong_ = !longOnes.empty();
  anyShort_ = !shortOnes.empty();
  if (anyLong_) long_.Build(*this, longOnes, 8, shortestLong - 7, ignoreCase);
  if (anyShort_) short_.Build(*this, shortOnes, shortest, 1, ignoreCase);
}

namespace {

// Sets 0x20 in each byte of word that holds an ASCII capital, and in no other.
std::uint64_t FoldLetters(std::uint64_t word) {
  constexpr std::uint64_t kHigh = 0x8080808080808080ull;
  const std::uint64_t low7 = word & ~kHigh;
  const std::uint64_t atLeastA = low7 + 0x3F3F3F3F3F3F3F3Full;  // high bit set where the byte >= 'A'
  const std::uint64_t aboveZ = low7 + 0x2525252525252525ull;    // high bit set where the byte > 'Z'
  return word | ((atLeastA & ~aboveZ & ~word & kHigh) >> 2);
}

unsigned Log2For(std::size_t wanted, unsigned low, unsigned high) {
  unsigned log2 = low;
  while (log2 < high && (std::size_t{1} << log2) < wanted) ++log2;
  return log2;
}

}  // namespace

void MultiSearcher::WindowFilter::Build(const MultiSearcher& searcher, const std::vector<std::uint32_t>& patterns,
                                        std::size_t byteCount, std::size_t step, bool foldCase) {
  width = byteCount;
  stride = step;
  ignoreCase = foldCase;
  unsigned char maskBytes[8] = {};
  unsigned char foldBytes[8] = {};
  for (std::size_t i = 0; i < width; ++i) {
    maskBytes[i] = 0xFF;
    foldBytes[i] = ignoreCase ? 0x20 : 0;
  }
  std::memcpy(&mask, maskBytes, 8);
  std::memcpy(&fold, foldBytes, 8);
  maskLow = static_cast<std::uint32_t>(mask);
  maskHigh = static_cast<std::uint32_t>(mask >> 32);
  foldLow = static_cast<std::uint32_t>(fold);
  foldHigh = static_cast<std::uint32_t>(fold >> 32);
  // About 128 bits a key, so that few positions pass by a chance collision, within 4 Ki and 1 Mi bits.
  const std::size_t keyCount = patterns.size() * stride;
  const unsigned bitsLog2 = Log2For(keyCount * 128, 12, 20);
  shift = 32 - bitsLog2;
  bits.assign((std::size_t{1} << bitsLog2) / 32, 0);
  const unsigned keysLog2 = Log2For(keyCount * 2, 4, 31);
  keyShift = 64 - keysLog2;
  keys.assign(std::size_t{1} << keysLog2, 0);
  states.assign(std::size_t{1} << keysLog2, 0);
  const std::size_t slotMask = keys.size() - 1;
  // Each pattern's keys, pattern by pattern and offset by offset, as the slots they went to; then the
  // lists of the slots that few keys share, in that order.
  std::vector<std::uint32_t> slotOf;
  slotOf.reserve(keyCount);
  std::vector<std::uint32_t> listed(keys.size(), 0);  // keys a slot holds
  for (const std::uint32_t p : patterns) {
    for (std::size_t offset = 0; offset < stride; ++offset) {
      // The pattern's bytes as stored (folded when ignoring case) fold the same as the data's.
      const unsigned char* bytes = &searcher.text_[searcher.textBegin_[p] + offset];
      std::uint64_t window = 0;
      std::memcpy(&window, bytes, 8);  // a shorter pattern is followed by others' bytes, masked off below
      const std::size_t i =
          stride > 1 ? Hash((window & mask) | fold, shift + 32)
                     : BitIndex((static_cast<std::uint32_t>(window) & maskLow) | foldLow,
                                (static_cast<std::uint32_t>(window >> 32) & maskHigh) | foldHigh, shift);
      bits[i >> 5] |= std::uint32_t{1} << (i & 31);
      std::uint32_t state = 1;
      if (stride == 1) {
        state = 0;
        for (std::size_t k = 0; k < width; ++k) state = searcher.Child(state, searcher.classOf_[bytes[k]]);
      }
      const std::uint64_t key = ignoreCase ? FoldLetters(window & mask) : window & mask;
      for (std::size_t slot = Hash(key, keyShift);; slot = (slot + 1) & slotMask) {
        if (states[slot] == 0 || keys[slot] == key) {  // a free slot, or the key of another pattern or offset
          keys[slot] = key;
          states[slot] = state;
          slotOf.push_back(static_cast<std::uint32_t>(slot));
          ++listed[slot];
          break;
        }
      }
    }
  }
  listBegin.assign(keys.size(), 0);
  listCount.assign(keys.size(), 0);
  std::uint32_t total = 0;
  for (std::size_t slot = 0; slot < keys.size(); ++slot) {
    if (listed[slot] == 0 || listed[slot] > kMostListed) continue;
    listBegin[slot] = total;
    total += listed[slot];
  }
  lists.resize(total);
  offsets.resize(total);
  std::size_t k = 0;
  for (const std::uint32_t p : patterns) {
    for (std::size_t offset = 0; offset < stride; ++offset, ++k) {
      const std::uint32_t slot = slotOf[k];
      if (listed[slot] > kMostListed) continue;
      const std::uint32_t n = listBegin[slot] + listCount[slot]++;
      lists[n] = p;
      offsets[n] = static_cast<std::uint8_t>(offset);
    }
  }
}

std::size_t MultiSearcher::WindowFilter::SlotAt(std::uint64_t window) const {
  const std::uint64_t key = ignoreCase ? FoldLetters(window & mask) : window & mask;
  const std::size_t slotMask = keys.size() - 1;
  for (std::size_t slot = Hash(key, keyShift);; slot = (slot + 1) & slotMask) {
    if (states[slot] == 0) return keys.size();
    if (keys[slot] == key) return slot;
  }
}

bool MultiSearcher::PatternAt(std::uint32_t p, const unsigned char* data, std::size_t length) const {
  const std::size_t size = textBegin_[p + 1] - textBegin_[p];
  if (size > length) return false;
  const unsigned char* bytes = &text_[textBegin_[p]];
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word, want;
    std::memcpy(&word, data + i, 8);
    std::memcpy(&want, bytes + i, 8);
    if ((ignoreCase_ ? FoldLetters(word) : word) != want) return false;
  }
  if (i == size) return true;
  // The last few bytes: a whole word where the data has one, the pattern's word ending in other bytes.
  std::uint64_t word = 0, want;
  std::memcpy(&word, data + i, std::min<std::size_t>(8, length - i));
  std::memcpy(&want, bytes + i, 8);
  unsigned char keepBytes[8] = {};
  std::memset(keepBytes, 0xFF, size - i);
  std::uint64_t keep;
  std::memcpy(&keep, keepBytes, 8);
  return ((ignoreCase_ ? FoldLetters(word) : word) & keep) == (want & keep);
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

std::uint32_t MultiSearcher::Child(std::uint32_t state, std::uint16_t cls) const {
  if (state < denseCount_) {
    // A row holds every transition; the trie's own child is the one a level deeper.
    const std::uint32_t next = StateOf(dense_[(std::size_t{state} << strideShift_) + cls] & ~kMatch);
    return depth_[next] == depth_[state] + 1 ? next : 0;
  }
  const std::uint32_t at = state - denseCount_;
  const auto begin = childClass_.begin() + childBegin_[at];
  const auto end = childClass_.begin() + childBegin_[at + 1];
  const auto it = std::lower_bound(begin, end, cls);
  return it != end && *it == cls ? childState_[static_cast<std::size_t>(it - childClass_.begin())] : 0;
}

MultiSearchStream::MultiSearchStream(const MultiSearcher& searcher)
    : searcher_(searcher), stateSeen_(searcher.StateCount(), 0), patternSeen_(searcher.PatternCount(), 0) {
  Begin();
}

void MultiSearchStream::Begin() {
  tail_.clear();
  if (filtered_ && !preferAutomaton_) automatonRun_ = 0;  // the last stream was the prefilter's to its end
  filtered_ = false;
  preferAutomaton_ = automatonStreams_ > 0;
  if (preferAutomaton_) --automatonStreams_;
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
  if (length == 0 || searcher_.longest_ == 0) return;
  // A pattern across the seam begins in the tail and ends in the first longest - 1 bytes of this chunk.
  const std::size_t keep = searcher_.longest_ - 1;
  if (!tail_.empty()) {
    joint_.assign(tail_.begin(), tail_.end());
    joint_.insert(joint_.end(), bytes, bytes + std::min(length, keep));
    Search(joint_.data(), joint_.size());
  }
  Search(bytes, length);
  if (length >= keep) {
    tail_.assign(bytes + (length - keep), bytes + length);
  } else {
    tail_.insert(tail_.end(), bytes, bytes + length);
    if (tail_.size() > keep) tail_.erase(tail_.begin(), tail_.end() - static_cast<std::ptrdiff_t>(keep));
  }
}

void MultiSearchStream::Search(const unsigned char* data, std::size_t length) {
  switch (searcher_.scan_) {
    case MultiSearchScan::Automaton:
      SearchWithAutomaton(data, length);
      return;
    case MultiSearchScan::Prefilter:
      SearchFiltered(data, length, false);
      return;
    case MultiSearchScan::Auto: {
      // A stream whose data passed the prefilter too often once goes on with the automaton, from where
      // the prefilter left off.
      std::size_t from = 0;
      if (!preferAutomaton_) {
        filtered_ = true;
        from = SearchFiltered(data, length, true);
        if (from == length) return;
        // Text the prefilter gives up on is mostly followed by more of it: the next streams begin with the
        // automaton, twice as many each time it gives up again.
        preferAutomaton_ = true;
        automatonRun_ = std::min(automatonRun_ == 0 ? 1 : 2 * automatonRun_, kMostAutomatonStreams);
        automatonStreams_ = automatonRun_;
      }
      SearchWithAutomaton(data + from, length - from);
      return;
    }
  }
}

namespace {

// Which of 8 consecutive positions pass a bit table, as bits 0-7, for runs of 8 positions at a time: the
// plain form, and one that hashes the 8 windows of a run at once.
struct FilterRun {
  std::uint32_t maskLow, maskHigh, foldLow, foldHigh;
  unsigned shift;
  const std::uint32_t* bits;
};

FilterRun RunOf(const MultiSearcher::WindowFilter& f) {
  return {f.maskLow, f.maskHigh, f.foldLow, f.foldHigh, f.shift, f.bits.data()};
}

// blocks runs of 8 positions from data, which holds 16 bytes from the start of each; out[k] for run k.
void PassesScalar(const unsigned char* data, std::size_t blocks, const FilterRun& f, std::uint8_t* out) {
  for (std::size_t k = 0; k < blocks; ++k) {
    unsigned pass = 0;
    for (unsigned j = 0; j < 8; ++j) {
      std::uint64_t window;
      std::memcpy(&window, data + 8 * k + j, 8);
      const std::uint32_t i =
          MultiSearcher::BitIndex((static_cast<std::uint32_t>(window) & f.maskLow) | f.foldLow,
                                  (static_cast<std::uint32_t>(window >> 32) & f.maskHigh) | f.foldHigh, f.shift);
      pass |= ((f.bits[i >> 5] >> (i & 31)) & 1) << j;
    }
    out[k] = static_cast<std::uint8_t>(pass);
  }
}

// GCC for 64-bit Windows cannot align the stack for 32-byte vectors it spills, so Windows keeps the plain form.
#if defined(__x86_64__) && !defined(_WIN32)
#define KESTRIN_MULTI_AVX2 1
#endif

#if KESTRIN_MULTI_AVX2
// The same with AVX2, on a little-endian processor: the 8 windows of a run are cut from one 16-byte load,
// their low halves into one vector and their high halves into another, and hashed and looked up together.
__attribute__((target("avx2"))) void PassesAvx2(const unsigned char* data, std::size_t blocks,
                                                const FilterRun& f, std::uint8_t* out) {
  const __m256i lowBytes = _mm256_setr_epi8(0, 1, 2, 3, 1, 2, 3, 4, 2, 3, 4, 5, 3, 4, 5, 6,  //
                                            4, 5, 6, 7, 5, 6, 7, 8, 6, 7, 8, 9, 7, 8, 9, 10);
  const __m256i highBytes = _mm256_setr_epi8(4, 5, 6, 7, 5, 6, 7, 8, 6, 7, 8, 9, 7, 8, 9, 10,  //
                                             8, 9, 10, 11, 9, 10, 11, 12, 10, 11, 12, 13, 11, 12, 13, 14);
  const __m256i maskLow = _mm256_set1_epi32(static_cast<int>(f.maskLow));
  const __m256i maskHigh = _mm256_set1_epi32(static_cast<int>(f.maskHigh));
  const __m256i foldLow = _mm256_set1_epi32(static_cast<int>(f.foldLow));
  const __m256i foldHigh = _mm256_set1_epi32(static_cast<int>(f.foldHigh));
  const __m256i multiplyHigh = _mm256_set1_epi32(static_cast<int>(0x85EBCA77u));
  const __m256i multiply = _mm256_set1_epi32(static_cast<int>(0x9E3779B1u));
  const __m128i shift = _mm_cvtsi32_si128(static_cast<int>(f.shift));
  const __m256i low5 = _mm256_set1_epi32(31);
  const __m256i one = _mm256_set1_epi32(1);
  const int* table = reinterpret_cast<const int*>(f.bits);
  for (std::size_t k = 0; k < blocks; ++k) {
    const __m256i both =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 8 * k)));
    const __m256i low = _mm256_or_si256(_mm256_and_si256(_mm256_shuffle_epi8(both, lowBytes), maskLow), foldLow);
    const __m256i high = _mm256_or_si256(_mm256_and_si256(_mm256_shuffle_epi8(both, highBytes), maskHigh), foldHigh);
    const __m256i hash = _mm256_mullo_epi32(_mm256_xor_si256(_mm256_mullo_epi32(high, multiplyHigh), low), multiply);
    const __m256i index = _mm256_srl_epi32(hash, shift);
    const __m256i words = _mm256_i32gather_epi32(table, _mm256_srli_epi32(index, 5), 4);
    const __m256i bit = _mm256_sllv_epi32(one, _mm256_and_si256(index, low5));
    const __m256i clear = _mm256_cmpeq_epi32(_mm256_and_si256(words, bit), _mm256_setzero_si256());
    out[k] = static_cast<std::uint8_t>(~_mm256_movemask_ps(_mm256_castsi256_ps(clear)) & 0xFF);
  }
}
#endif

void Passes(SearchKernel kernel, const unsigned char* data, std::size_t blocks, const FilterRun& f,
            std::uint8_t* out) {
#if KESTRIN_MULTI_AVX2
  // The bit tables' gather has no wider form worth its cost: a processor with AVX-512 runs the AVX2 one.
  if (kernel == SearchKernel::Avx2 || kernel == SearchKernel::Avx512) {
    PassesAvx2(data, blocks, f, out);
    return;
  }
#endif
  (void)kernel;
  PassesScalar(data, blocks, f, out);
}

}  // namespace

// Inline: it runs at every position the bit tables pass.
inline MultiSearchStream::KeyCheck MultiSearchStream::CheckKey(const MultiSearcher::WindowFilter& filter,
                                                              const unsigned char* data, std::size_t length,
                                                              std::size_t at) {
  std::uint64_t window;
  std::memcpy(&window, data + at, 8);
  const std::size_t slot = filter.SlotAt(window);
  if (slot == filter.keys.size()) return KeyCheck::None;
  if (filter.listCount[slot] != 0) {
    CompareListed(filter, slot, data, length, at);
    return KeyCheck::Compared;
  }
  if (filter.stride == 1) {
    WalkFrom(filter.states[slot], data, length, at + filter.width);
  } else {
    // Too many patterns hold the key to compare each: walk the trie from each place one may begin.
    for (std::size_t offset = 0; offset < filter.stride && offset <= at; ++offset) CheckAt(data, length, at - offset);
  }
  return KeyCheck::Walked;
}

// The prefilter's loop over the positions before end, in runs of 8: the bit tables first, then, for each
// position that passes one, the patterns that hold the key there. Returns end, or the position where it
// gave up.
template <bool kLong, bool kShort>
std::size_t MultiSearchStream::ScanWindows(const unsigned char* data, std::size_t length, std::size_t end,
                                           bool mayGiveUp) {
  constexpr std::size_t kBatch = 64;  // runs whose bit table results are taken at a time
  const MultiSearcher::WindowFilter& longFilter = searcher_.long_;
  const MultiSearcher::WindowFilter& shortFilter = searcher_.short_;
  const FilterRun longRun = RunOf(longFilter);
  const FilterRun shortRun = RunOf(shortFilter);
  const SearchKernel kernel = searcher_.kernel_;
  std::uint8_t longPass[kBatch] = {};
  std::uint8_t shortPass[kBatch] = {};
  std::size_t walks = 0;
  // Whole runs of 8 positions, each read as 16 bytes (its windows take 15 of them).
  const std::size_t runs = length >= 16 ? (length - 8) / 8 : 0;
  for (std::size_t first = 0; first < runs; first += kBatch) {
    const std::size_t count = std::min(kBatch, runs - first);
    const unsigned char* from = data + 8 * first;
    if (kLong) Passes(kernel, from, count, longRun, longPass);
    if (kShort) Passes(kernel, from, count, shortRun, shortPass);
    for (std::size_t k = 0; k < count; ++k) {
      for (unsigned pass = longPass[k] | shortPass[k]; pass != 0; pass &= pass - 1) {
        const unsigned j = static_cast<unsigned>(std::countr_zero(pass));
        const std::size_t at = 8 * (first + k) + j;
        KeyCheck shortCheck = KeyCheck::None;
        KeyCheck longCheck = KeyCheck::None;
        if (kShort && ((shortPass[k] >> j) & 1) != 0) shortCheck = CheckKey(shortFilter, data, length, at);
        // A short pattern's walk down the trie covers the long ones beginning there too.
        if (kLong && shortCheck != KeyCheck::Walked && ((longPass[k] >> j) & 1) != 0) {
          longCheck = CheckKey(longFilter, data, length, at);
        }
        const bool checked = shortCheck != KeyCheck::None || longCheck != KeyCheck::None;
        if (mayGiveUp && checked && ++walks * 8 > at && at >= kGiveUpFrom) return at;
      }
    }
  }
  // The positions after the last whole run, one at a time.
  for (std::size_t at = runs * 8; at < end; ++at) CheckAt(data, length, at);
  return end;
}

std::size_t MultiSearchStream::SearchFiltered(const unsigned char* data, std::size_t length, bool mayGiveUp) {
  // Positions with 8 bytes to hash; in the last seven only short patterns fit, and each is walked.
  const std::size_t end = length >= 8 ? length - 7 : 0;
  const bool strided = searcher_.anyLong_ && searcher_.long_.stride > 1;
  const bool anyLong = searcher_.anyLong_ && !strided;
  // The strided scan first, over the whole of data: where the other one gives up, the long patterns are
  // all found already. Where the strided one gives up, nothing of the short ones is.
  if (strided) {
    const std::size_t reached = ScanStrided(data, length, mayGiveUp);
    if (reached < length) return searcher_.anyShort_ ? 0 : reached;
  }
  std::size_t reached = end;
  if (anyLong && searcher_.anyShort_) {
    reached = ScanWindows<true, true>(data, length, end, mayGiveUp);
  } else if (anyLong) {
    reached = ScanWindows<true, false>(data, length, end, mayGiveUp);
  } else if (searcher_.anyShort_) {
    reached = ScanWindows<false, true>(data, length, end, mayGiveUp);
  }
  if (reached < end) return reached;
  if (!searcher_.anyShort_ && !anyLong) return length;  // the long patterns all lie within the positions hashed
  for (std::size_t at = end; at < length; ++at) CheckAt(data, length, at);
  return length;
}

// One position in `stride` at a time: each key the window there may be, at any of the first stride offsets
// of a pattern, stands for a pattern beginning up to stride - 1 bytes before. Every pattern that lies in
// data has such a position, and the window there lies in data as well.
std::size_t MultiSearchStream::ScanStrided(const unsigned char* data, std::size_t length, bool mayGiveUp) {
  const MultiSearcher::WindowFilter& filter = searcher_.long_;
  const std::size_t stride = filter.stride;
  const std::uint32_t* bits = filter.bits.data();
  const std::uint64_t fold = filter.fold;  // the window is 8 bytes: no mask
  const unsigned shift = filter.shift + 32;
  std::size_t walks = 0;
  const auto passes = [&](std::size_t at) {
    std::uint64_t window;
    std::memcpy(&window, data + at, 8);
    const std::size_t i = MultiSearcher::Hash(window | fold, shift);
    return (bits[i >> 5] >> (i & 31)) & 1;
  };
  // Checks the patterns that hold the key at position; true when the scan gives up there, as the other
  // one does, counting the positions looked at. A pattern that begins at or before that position had its
  // window looked at there or before: those that begin after it are left.
  const auto givesUp = [&](std::size_t position) {
    return CheckKey(filter, data, length, position) != KeyCheck::None && mayGiveUp &&
           ++walks * 8 * stride > position && position >= kGiveUpFrom;
  };
  std::size_t at = 0;
  // Four positions at a time while they all fit, which the processor looks up together.
  for (; at + 3 * stride + 8 <= length; at += 4 * stride) {
    if ((passes(at) | passes(at + stride) | passes(at + 2 * stride) | passes(at + 3 * stride)) == 0) continue;
    for (std::size_t k = 0; k < 4; ++k) {
      const std::size_t position = at + k * stride;
      if (passes(position) != 0 && givesUp(position)) return position + 1;
    }
  }
  for (; at + 8 <= length; at += stride) {
    if (passes(at) != 0 && givesUp(at)) return at + 1;
  }
  return length;
}

void MultiSearchStream::CompareListed(const MultiSearcher::WindowFilter& filter, std::size_t slot,
                                      const unsigned char* data, std::size_t length, std::size_t at) {
  const std::uint32_t begin = filter.listBegin[slot];
  for (std::uint32_t n = begin; n < begin + filter.listCount[slot]; ++n) {
    const std::uint32_t p = filter.lists[n];
    const std::size_t offset = filter.offsets[n];
    if (patternSeen_[p] != epoch_ && offset <= at &&
        searcher_.PatternAt(p, data + (at - offset), length - (at - offset))) {
      patternSeen_[p] = epoch_;
      found_.push_back(p);
    }
  }
}

void MultiSearchStream::WalkFrom(std::uint32_t state, const unsigned char* data, std::size_t length,
                                 std::size_t at) {
  if (searcher_.match_[state]) Report(state);
  for (std::size_t k = at; k < length; ++k) {
    state = searcher_.Child(state, searcher_.classOf_[data[k]]);
    if (state == 0) return;
    if (searcher_.match_[state]) Report(state);
  }
}


void MultiSearchStream::SearchWithAutomaton(const unsigned char* bytes, std::size_t length) {
  const std::uint16_t* classOf = searcher_.classOf_;
  const std::uint32_t* dense = searcher_.dense_.data();
  const std::uint32_t denseEnd = searcher_.denseEnd_;
  const auto next = [&](std::uint32_t value, unsigned char byte) {
    const std::uint32_t at = value & ~MultiSearcher::kMatch;
    const std::uint16_t cls = classOf[byte];
    return at < denseEnd ? dense[at + cls] : searcher_.SparseNext(searcher_.StateOf(at), cls);
  };
  const auto reportAt = [&](std::uint32_t value) {
    const std::uint32_t state = searcher_.StateOf(value & ~MultiSearcher::kMatch);
    if (stateSeen_[state] != epoch_) Report(state);
  };
  const auto step = [&](std::uint32_t value, unsigned char byte) {
    value = next(value, byte);
    if (value & MultiSearcher::kMatch) reportAt(value);
    return value;
  };
  const auto walk = [&](std::uint32_t value, const unsigned char* from, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) value = step(value, from[i]);
    return value;
  };

  // A long chunk runs in eight lanes, each a walk of its own, so that the processor overlaps their table
  // look-ups instead of waiting for each before the next. A lane after the first starts at the root
  // `warm` bytes before its part: after as many bytes as the longest pattern, a walk is in the state the
  // walk from the start of the chunk is in, and what it finds before is found by the lane before it too.
  constexpr std::size_t kLanes = 8;
  const std::size_t warm = searcher_.longest_;
  const std::size_t part = length / kLanes;
  if (part < 4 * warm + 256) {
    walk(0, bytes, length);
    return;
  }
  std::uint32_t value[kLanes] = {};
  const unsigned char* from[kLanes] = {bytes};
  for (std::size_t k = 1; k < kLanes; ++k) from[k] = bytes + k * part - warm;
  const std::size_t steps = part + warm;  // the first lane runs on into the second's part: found twice
  // The states where patterns end are noted as the lanes reach them, without a branch, and reported a
  // few steps later: in text made of the patterns, most steps end one, and a branch for each would be
  // mispredicted half the time.
  constexpr std::size_t kBlock = 16;
  std::uint32_t ended[kBlock * kLanes];
  for (std::size_t i = 0; i < steps; i += kBlock) {
    const std::size_t last = std::min(steps, i + kBlock);
    std::size_t count = 0;
    for (std::size_t at = i; at < last; ++at) {
      for (std::size_t k = 0; k < kLanes; ++k) {
        value[k] = next(value[k], from[k][at]);
        ended[count] = value[k];
        count += value[k] >> 31;
      }
    }
    for (std::size_t e = 0; e < count; ++e) reportAt(ended[e]);
  }
  // The last lane ended at kLanes * part; the rest of the chunk continues its walk.
  walk(value[kLanes - 1], bytes + kLanes * part, length - kLanes * part);
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
