#pragma once
// Substring search over byte buffers that stays fast on every input.
//
// The common case runs a vector prefilter: the two rarest bytes of the pattern (by a fixed table of byte
// frequencies in text and program files) are compared at their offsets for 16, 32 or 64 start positions at
// once, and only positions where both agree are compared in full. When those full compares cost more than
// the scan itself (a periodic pattern over periodic data), the rest of the buffer is searched with the
// two-way algorithm, which is linear in the data length whatever the pattern.
//
// Matching follows one rule in both directions: a pattern byte equals a data byte when they are the same
// byte, or, with ignoreCase, when the pattern byte is an ASCII letter and the data byte is the same letter
// in the other case. Bytes 0x80 and above, digits and punctuation always compare exactly.

#include <cstddef>
#include <string_view>

namespace kestrin {

// The prefilter implementations: a portable one, and SSE2 (every x86-64 processor), AVX2 and AVX-512 ones.
enum class SearchKernel : unsigned char { Scalar, Sse2, Avx2, Avx512 };

// Whether this processor can run the kernel.
bool KernelAvailable(SearchKernel kernel);
// The fastest kernel this processor runs.
SearchKernel BestSearchKernel();

class SubstringSearcher {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  // Prepares a search for pattern. The pattern is not copied: it must outlive the searcher.
  SubstringSearcher(std::string_view pattern, bool ignoreCase, SearchKernel kernel = BestSearchKernel());

  // The start of the first occurrence of the pattern in data, or npos. An empty pattern occurs at 0.
  std::size_t Find(const void* data, std::size_t length) const;

  std::size_t PatternSize() const { return pattern_.size(); }

  // The two-way plan of a pattern: its critical position splits it into a left and a right half.
  struct TwoWayPlan {
    std::size_t critical = 0;  // length of the left half
    std::size_t period = 1;    // the shift after a full match of the right half
    bool periodic = false;     // the left half repeats with that period, so matched bytes are remembered
  };

 private:
  std::string_view pattern_;
  bool ignoreCase_;
  SearchKernel kernel_;
  // The prefilter: a start position is a candidate when (data[i + offset] | mask) == value for both bytes.
  std::size_t offset1_ = 0;
  std::size_t offset2_ = 0;
  unsigned char value1_ = 0;
  unsigned char mask1_ = 0;
  unsigned char value2_ = 0;
  unsigned char mask2_ = 0;
  TwoWayPlan plan_;
};

// The two-way search alone, from the start of data: the linear fallback of SubstringSearcher.
std::size_t TwoWayFind(const void* data, std::size_t length, std::string_view pattern, bool ignoreCase);

}  // namespace kestrin
