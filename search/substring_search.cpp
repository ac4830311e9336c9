#include "search/substring_search.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "platform/ascii_case.h"

#if defined(__x86_64__)
#define KESTRIN_SEARCH_X86 1
#include <immintrin.h>
// Not where the compiler keeps the stack at 16 bytes (64-bit Windows): a 64-byte vector it spilled there
// would be stored unaligned.
#if !defined(_WIN32)
#define KESTRIN_SEARCH_AVX512 1
#endif
#endif

namespace kestrin {

namespace {

constexpr std::size_t npos = SubstringSearcher::npos;

// The kernels fold by setting bit 0x20 of letters, the vector form of AsciiToLower: for the 52 ASCII
// letters, and only for them, c | 0x20 equals AsciiToLower(c) with both cases of a letter meeting.
bool IsAsciiLetter(unsigned char c) {
  const unsigned char lower = c | 0x20;
  return lower >= 'a' && lower <= 'z';
}

// 0x20 for an ASCII letter, 0 for any other byte: OR-ing it into a data byte folds the letter's two cases
// into the lower one (AsciiToLower), and only those two bytes map onto that lower-case letter.
unsigned char FoldMask(unsigned char c) { return IsAsciiLetter(c) ? 0x20 : 0; }

constexpr std::array<unsigned char, 256> MakeLowerTable() {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = AsciiToLower(static_cast<unsigned char>(c));
  return table;
}
constexpr std::array<unsigned char, 256> kLower = MakeLowerTable();

// A rough frequency rank of each byte value in the files people search (program sources, text, markup,
// resource files in UTF-8 or GBK, some binaries): the higher, the more common. Only the order matters; it
// picks the pattern bytes that the prefilter compares, the rarer the fewer false candidates.
constexpr std::array<unsigned char, 256> MakeFrequencyTable() {
  std::array<unsigned char, 256> f{};
  for (int c = 0; c < 256; ++c) f[c] = 40;                    // control bytes, unusual high bytes
  for (int c = 0x80; c < 0xC0; ++c) f[c] = 90;                // UTF-8 continuation, GBK trail bytes
  for (int c = 0xC0; c < 0x100; ++c) f[c] = 70;               // UTF-8 and GBK lead bytes
  for (int c = 0xE4; c <= 0xE9; ++c) f[c] = 95;               // UTF-8 leads of CJK ideographs
  f[0x00] = 170;
  f[0xFF] = 140;
  const char* letters = "etaoinsrhldcumfpgwybvkxjqz";  // most common first
  for (int i = 0; letters[i] != '\0'; ++i) {
    f[static_cast<unsigned char>(letters[i])] = static_cast<unsigned char>(250 - 5 * i);
    f[static_cast<unsigned char>(letters[i] - 32)] = static_cast<unsigned char>(170 - 4 * i);
  }
  for (int i = 0; i < 10; ++i) f['0' + i] = static_cast<unsigned char>(200 - 5 * i);
  const char* punctuation = ".,_()/-\";=:'*{}<>[]#&+\\!%$@|?~^`";  // most common first
  for (int i = 0; punctuation[i] != '\0'; ++i)
    f[static_cast<unsigned char>(punctuation[i])] = static_cast<unsigned char>(200 - 4 * i);
  f[' '] = 255;
  f['\n'] = 215;
  f['\t'] = 180;
  f['\r'] = 150;
  return f;
}
constexpr std::array<unsigned char, 256> kFrequency = MakeFrequencyTable();

// How common a pattern byte is as the prefilter sees it: with ignoreCase a letter stands for both cases.
int Commonness(unsigned char c, bool ignoreCase) {
  if (ignoreCase && IsAsciiLetter(c)) return kFrequency[c | 0x20] + kFrequency[c & ~0x20];
  return kFrequency[c];
}

// What the prefilter and the full compares need, in one place for the kernels.
struct Prefilter {
  const unsigned char* pattern;
  std::size_t length;
  std::size_t offset1;
  std::size_t offset2;
  unsigned char value1;
  unsigned char mask1;
  unsigned char value2;
  unsigned char mask2;
};

// Each false candidate costs about this many compared bytes on top of its compare.
constexpr std::size_t kCandidateCost = 32;
// Compare work allowed before the guard looks at the ratio, so that a few early candidates never switch.
constexpr std::size_t kCostSlack = 4096;

#ifdef KESTRIN_SEARCH_X86
// True when the 16 bytes at d equal the 16 at p under the matching rule.
template <bool kIcase>
inline bool Equal16(const unsigned char* d, const unsigned char* p) {
  __m128i data = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
  __m128i pattern = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  if (kIcase) {
    const __m128i lower = _mm_or_si128(pattern, _mm_set1_epi8(0x20));
    const __m128i rel = _mm_sub_epi8(lower, _mm_set1_epi8('a'));
    const __m128i letter = _mm_cmpeq_epi8(_mm_min_epu8(rel, _mm_set1_epi8(25)), rel);
    const __m128i mask = _mm_and_si128(letter, _mm_set1_epi8(0x20));
    data = _mm_or_si128(data, mask);
    pattern = _mm_or_si128(pattern, mask);
  }
  return _mm_movemask_epi8(_mm_cmpeq_epi8(data, pattern)) == 0xFFFF;
}
#endif

// True when the pattern matches the data at d (which has at least m bytes); cost grows by the bytes looked at.
template <bool kIcase, bool kVector>
__attribute__((always_inline)) inline bool MatchesAt(const unsigned char* d, const unsigned char* p, std::size_t m, std::size_t& cost) {
#ifdef KESTRIN_SEARCH_X86
  if (kVector && m >= 16) {
    std::size_t j = 0;
    for (; j + 16 <= m; j += 16) {
      if (!Equal16<kIcase>(d + j, p + j)) {
        cost += j + 16;
        return false;
      }
    }
    cost += m;
    return j == m || Equal16<kIcase>(d + m - 16, p + m - 16);
  }
#endif
  for (std::size_t j = 0; j < m; ++j) {
    if (kIcase) {
      const unsigned char mask = FoldMask(p[j]);
      if ((d[j] | mask) != (p[j] | mask)) {
        cost += j + 1;
        return false;
      }
    } else if (d[j] != p[j]) {
      cost += j + 1;
      return false;
    }
  }
  cost += m;
  return true;
}

// The candidates of one block: bit k of bits stands for the start position base + k. Returns true when the
// scan is over: with *match set to a match, or with *resume set to where the linear search takes over
// because the full compares have cost more than about twice the bytes scanned.
// Always inlined: a call from a kernel built for AVX2 into code built without it switches the vector
// state on every candidate, which cost more than the scan itself on a pattern that turns up every line.
template <bool kIcase, bool kVector>
__attribute__((always_inline)) inline bool TestCandidates(const Prefilter& f, const unsigned char* d, std::size_t base, std::uint64_t bits,
                           std::size_t& cost, std::size_t* match, std::size_t* resume) {
  while (bits != 0) {
    const std::size_t at = base + static_cast<std::size_t>(std::countr_zero(bits));
    bits &= bits - 1;
    if (MatchesAt<kIcase, kVector>(d + at, f.pattern, f.length, cost)) {
      *match = at;
      return true;
    }
    cost += kCandidateCost;
    if (cost > 2 * at + kCostSlack) {
      *resume = at + 1;
      return true;
    }
  }
  return false;
}

inline bool IsCandidate(const Prefilter& f, const unsigned char* d, std::size_t i) {
  return (d[i + f.offset1] | f.mask1) == f.value1 && (d[i + f.offset2] | f.mask2) == f.value2;
}

// Start positions from..last one at a time, fewer than 64 of them.
template <bool kIcase, bool kVector>
std::size_t ScanShortTail(const Prefilter& f, const unsigned char* d, std::size_t from, std::size_t last,
                          std::size_t& cost, std::size_t* resume) {
  std::uint64_t bits = 0;
  for (std::size_t i = from; i <= last; ++i)
    if (IsCandidate(f, d, i)) bits |= std::uint64_t{1} << (i - from);
  std::size_t match = npos;
  TestCandidates<kIcase, kVector>(f, d, from, bits, cost, &match, resume);
  return match;
}

// The portable kernel: memchr on the rarest byte where it is a single byte value, else a byte loop.
template <bool kIcase>
std::size_t ScanScalar(const Prefilter& f, const unsigned char* d, std::size_t length, std::size_t* resume) {
  const std::size_t last = length - f.length;
  std::size_t cost = 0;
  std::size_t match = npos;
  const unsigned char* first = d + f.offset1;
  std::size_t i = 0;
  while (i <= last) {
    if (f.mask1 == 0) {
      const void* hit = std::memchr(first + i, f.value1, last + 1 - i);
      if (hit == nullptr) return npos;
      i = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - first);
    } else if ((first[i] | f.mask1) != f.value1) {
      ++i;
      continue;
    }
    cost += 8;  // a hit of the first byte alone: cheap, but a run of them must still end in the linear search
    if ((d[i + f.offset2] | f.mask2) == f.value2) {
      if (TestCandidates<kIcase, false>(f, d, i, 1, cost, &match, resume)) return match;
    } else if (cost > 2 * i + kCostSlack) {
      *resume = i + 1;
      return npos;
    }
    ++i;
  }
  return npos;
}

#ifdef KESTRIN_SEARCH_X86
// Candidate bits of the 16 start positions at d.
template <bool kIcase>
inline std::uint32_t Block16(const unsigned char* d, const Prefilter& f, __m128i v1, __m128i k1, __m128i v2,
                             __m128i k2) {
  __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + f.offset1));
  __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + f.offset2));
  if (kIcase) {
    a = _mm_or_si128(a, k1);
    b = _mm_or_si128(b, k2);
  }
  return static_cast<std::uint32_t>(
      _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, v1), _mm_cmpeq_epi8(b, v2))));
}

template <bool kIcase>
std::size_t ScanSse2(const Prefilter& f, const unsigned char* d, std::size_t length, std::size_t* resume) {
  const std::size_t last = length - f.length;
  const __m128i v1 = _mm_set1_epi8(static_cast<char>(f.value1));
  const __m128i k1 = _mm_set1_epi8(static_cast<char>(f.mask1));
  const __m128i v2 = _mm_set1_epi8(static_cast<char>(f.value2));
  const __m128i k2 = _mm_set1_epi8(static_cast<char>(f.mask2));
  std::size_t cost = 0;
  std::size_t match = npos;
  std::size_t i = 0;
  for (; i + 64 <= last + 1; i += 64) {
    const std::uint64_t bits = std::uint64_t{Block16<kIcase>(d + i, f, v1, k1, v2, k2)} |
                               std::uint64_t{Block16<kIcase>(d + i + 16, f, v1, k1, v2, k2)} << 16 |
                               std::uint64_t{Block16<kIcase>(d + i + 32, f, v1, k1, v2, k2)} << 32 |
                               std::uint64_t{Block16<kIcase>(d + i + 48, f, v1, k1, v2, k2)} << 48;
    if (bits != 0 && TestCandidates<kIcase, true>(f, d, i, bits, cost, &match, resume)) return match;
  }
  for (; i + 16 <= last + 1; i += 16) {
    const std::uint64_t bits = Block16<kIcase>(d + i, f, v1, k1, v2, k2);
    if (bits != 0 && TestCandidates<kIcase, true>(f, d, i, bits, cost, &match, resume)) return match;
  }
  if (i > last) return npos;
  if (last + 1 < 16) return ScanShortTail<kIcase, true>(f, d, i, last, cost, resume);
  // The last block overlaps the one before; its positions below i were tested already.
  const std::size_t q = last + 1 - 16;
  const std::uint64_t bits = Block16<kIcase>(d + q, f, v1, k1, v2, k2) >> (i - q);
  TestCandidates<kIcase, true>(f, d, i, bits, cost, &match, resume);
  return match;
}

template <bool kIcase>
__attribute__((target("avx2"))) inline std::uint32_t Block32(const unsigned char* d, const Prefilter& f,
                                                               __m256i v1, __m256i k1, __m256i v2,
                                                               __m256i k2) {
  __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + f.offset1));
  __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + f.offset2));
  if (kIcase) {
    a = _mm256_or_si256(a, k1);
    b = _mm256_or_si256(b, k2);
  }
  return static_cast<std::uint32_t>(
      _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(a, v1), _mm256_cmpeq_epi8(b, v2))));
}

template <bool kIcase>
__attribute__((target("avx2"))) std::size_t ScanAvx2(const Prefilter& f, const unsigned char* d,
                                                     std::size_t length, std::size_t* resume) {
  const std::size_t last = length - f.length;
  if (last + 1 < 32) return ScanSse2<kIcase>(f, d, length, resume);
  const __m256i v1 = _mm256_set1_epi8(static_cast<char>(f.value1));
  const __m256i k1 = _mm256_set1_epi8(static_cast<char>(f.mask1));
  const __m256i v2 = _mm256_set1_epi8(static_cast<char>(f.value2));
  const __m256i k2 = _mm256_set1_epi8(static_cast<char>(f.mask2));
  std::size_t cost = 0;
  std::size_t match = npos;
  std::size_t i = 0;
  for (; i + 64 <= last + 1; i += 64) {
    const std::uint32_t low = Block32<kIcase>(d + i, f, v1, k1, v2, k2);
    const std::uint32_t high = Block32<kIcase>(d + i + 32, f, v1, k1, v2, k2);
    if ((low | high) == 0) continue;
    const std::uint64_t bits = std::uint64_t{low} | std::uint64_t{high} << 32;
    if (TestCandidates<kIcase, true>(f, d, i, bits, cost, &match, resume)) return match;
  }
  for (; i + 32 <= last + 1; i += 32) {
    const std::uint64_t bits = Block32<kIcase>(d + i, f, v1, k1, v2, k2);
    if (bits != 0 && TestCandidates<kIcase, true>(f, d, i, bits, cost, &match, resume)) return match;
  }
  if (i > last) return npos;
  // The last block overlaps the one before; its positions below i were tested already.
  const std::size_t q = last + 1 - 32;
  const std::uint64_t bits = Block32<kIcase>(d + q, f, v1, k1, v2, k2) >> (i - q);
  TestCandidates<kIcase, true>(f, d, i, bits, cost, &match, resume);
  return match;
}
#endif

#ifdef KESTRIN_SEARCH_AVX512
// Candidate bits of the 64 start positions at d.
template <bool kIcase>
__attribute__((target("avx512f,avx512bw"))) inline std::uint64_t Block64(const unsigned char* d, const Prefilter& f,
                                                                           __m512i v1, __m512i k1, __m512i v2,
                                                                           __m512i k2) {
  __m512i a = _mm512_loadu_si512(d + f.offset1);
  __m512i b = _mm512_loadu_si512(d + f.offset2);
  if (kIcase) {
    a = _mm512_or_si512(a, k1);
    b = _mm512_or_si512(b, k2);
  }
  return _mm512_mask_cmpeq_epi8_mask(_mm512_cmpeq_epi8_mask(a, v1), b, v2);
}

// The AVX2 kernel's loop with 64 start positions to a compare: half the instructions a byte, where the
// scan of a rare pattern's bytes is what a search spends its own time on.
template <bool kIcase>
__attribute__((target("avx512f,avx512bw"))) std::size_t ScanAvx512(const Prefilter& f, const unsigned char* d,
                                                                   std::size_t length, std::size_t* resume) {
  const std::size_t last = length - f.length;
  if (last + 1 < 64) return ScanAvx2<kIcase>(f, d, length, resume);
  const __m512i v1 = _mm512_set1_epi8(static_cast<char>(f.value1));
  const __m512i k1 = _mm512_set1_epi8(static_cast<char>(f.mask1));
  const __m512i v2 = _mm512_set1_epi8(static_cast<char>(f.value2));
  const __m512i k2 = _mm512_set1_epi8(static_cast<char>(f.mask2));
  std::size_t cost = 0;
  std::size_t match = npos;
  std::size_t i = 0;
  for (; i + 128 <= last + 1; i += 128) {
    const std::uint64_t low = Block64<kIcase>(d + i, f, v1, k1, v2, k2);
    const std::uint64_t high = Block64<kIcase>(d + i + 64, f, v1, k1, v2, k2);
    if ((low | high) == 0) continue;
    if (low != 0 && TestCandidates<kIcase, true>(f, d, i, low, cost, &match, resume)) return match;
    if (high != 0 && TestCandidates<kIcase, true>(f, d, i + 64, high, cost, &match, resume)) return match;
  }
  for (; i + 64 <= last + 1; i += 64) {
    const std::uint64_t bits = Block64<kIcase>(d + i, f, v1, k1, v2, k2);
    if (bits != 0 && TestCandidates<kIcase, true>(f, d, i, bits, cost, &match, resume)) return match;
  }
  if (i > last) return npos;
  // The last block overlaps the one before; its positions below i were tested already.
  const std::size_t q = last + 1 - 64;
  const std::uint64_t bits = Block64<kIcase>(d + q, f, v1, k1, v2, k2) >> (i - q);
  TestCandidates<kIcase, true>(f, d, i, bits, cost, &match, resume);
  return match;
}
#endif

// ---- Two-way (Crochemore and Perrin), memory-less variant, over bytes mapped by Canon.

template <bool kFold>
inline unsigned char Canon(unsigned char c) {
  return kFold ? kLower[c] : c;
}

// The maximal suffix of n under the byte order (or its reverse): its start minus one, and its period.
template <bool kFold>
void MaximalSuffix(const unsigned char* n, std::size_t m, bool reversed, std::ptrdiff_t& before,
                   std::size_t& period) {
  std::ptrdiff_t ip = -1;
  std::size_t jp = 0;
  std::size_t k = 1;
  std::size_t p = 1;
  while (jp + k < m) {
    const unsigned char a = Canon<kFold>(n[static_cast<std::size_t>(ip + static_cast<std::ptrdiff_t>(k))]);
    const unsigned char b = Canon<kFold>(n[jp + k]);
    if (a == b) {
      if (k == p) {
        jp += p;
        k = 1;
      } else {
        ++k;
      }
    } else if (reversed ? a < b : a > b) {
      jp += k;
      k = 1;
      p = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(jp) - ip);
    } else {
      ip = static_cast<std::ptrdiff_t>(jp++);
      k = p = 1;
    }
  }
  before = ip;
  period = p;
}

template <bool kFold>
SubstringSearcher::TwoWayPlan PlanTwoWay(const unsigned char* n, std::size_t m) {
  std::ptrdiff_t before1 = 0;
  std::ptrdiff_t before2 = 0;
  std::size_t period1 = 1;
  std::size_t period2 = 1;
  MaximalSuffix<kFold>(n, m, false, before1, period1);
  MaximalSuffix<kFold>(n, m, true, before2, period2);
  const std::ptrdiff_t before = std::max(before1, before2);
  const std::size_t period = before2 > before1 ? period2 : period1;

  SubstringSearcher::TwoWayPlan plan;
  plan.critical = static_cast<std::size_t>(before + 1);
  plan.periodic = true;
  for (std::size_t j = 0; j < plan.critical; ++j) {
    if (Canon<kFold>(n[j]) != Canon<kFold>(n[j + period])) {
      plan.periodic = false;
      break;
    }
  }
  plan.period = plan.periodic ? period : std::max(plan.critical - 1, m - plan.critical) + 1;
  return plan;
}

template <bool kFold>
std::size_t TwoWaySearch(const SubstringSearcher::TwoWayPlan& plan, const unsigned char* n, std::size_t m,
                         const unsigned char* h, std::size_t length, std::size_t from) {
  const std::size_t critical = plan.critical;
  const std::size_t remembered = plan.periodic ? m - plan.period : 0;
  std::size_t known = 0;  // bytes at the start of the window known to match
  for (std::size_t pos = from; pos <= length - m;) {
    std::size_t k = std::max(critical, known);
    while (k < m && Canon<kFold>(n[k]) == Canon<kFold>(h[pos + k])) ++k;
    if (k < m) {
      pos += k - critical + 1;
      known = 0;
      continue;
    }
    k = critical;
    while (k > known && Canon<kFold>(n[k - 1]) == Canon<kFold>(h[pos + k - 1])) --k;
    if (k <= known) return pos;
    pos += plan.period;
    known = remembered;
  }
  return npos;
}

const unsigned char* Bytes(std::string_view s) { return reinterpret_cast<const unsigned char*>(s.data()); }

}  // namespace

bool KernelAvailable(SearchKernel kernel) {
  switch (kernel) {
    case SearchKernel::Scalar:
      return true;
#ifdef KESTRIN_SEARCH_X86
    case SearchKernel::Sse2:
      return true;
    case SearchKernel::Avx2:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx2");
#endif
#ifdef KESTRIN_SEARCH_AVX512
    case SearchKernel::Avx512:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
#endif
    default:
      return false;
  }
}

SearchKernel BestSearchKernel() {
  static const SearchKernel best = KernelAvailable(SearchKernel::Avx512) ? SearchKernel::Avx512
                                   : KernelAvailable(SearchKernel::Avx2) ? SearchKernel::Avx2
                                   : KernelAvailable(SearchKernel::Sse2) ? SearchKernel::Sse2
                                                                         : SearchKernel::Scalar;
  return best;
}

SubstringSearcher::SubstringSearcher(std::string_view pattern, bool ignoreCase, SearchKernel kernel)
    : pattern_(pattern), ignoreCase_(ignoreCase), kernel_(KernelAvailable(kernel) ? kernel : SearchKernel::Scalar) {
  const std::size_t m = pattern.size();
  if (m == 0) return;
  const unsigned char* p = Bytes(pattern);
  auto canon = [&](unsigned char c) { return ignoreCase ? kLower[c] : c; };

  // The rarest byte, then the rarest byte of another value at another offset (any other offset when the
  // pattern repeats one value).
  std::size_t best = 0;
  for (std::size_t j = 1; j < m; ++j)
    if (Commonness(p[j], ignoreCase) < Commonness(p[best], ignoreCase)) best = j;
  std::size_t second = best;
  for (std::size_t j = 0; j < m; ++j) {
    if (j == best || canon(p[j]) == canon(p[best])) continue;
    if (second == best || Commonness(p[j], ignoreCase) < Commonness(p[second], ignoreCase)) second = j;
  }
  if (second == best && m > 1) second = best == m - 1 ? 0 : m - 1;
  offset1_ = best;
  offset2_ = second;
  mask1_ = ignoreCase ? FoldMask(p[best]) : 0;
  mask2_ = ignoreCase ? FoldMask(p[second]) : 0;
  value1_ = p[best] | mask1_;
  value2_ = p[second] | mask2_;

  plan_ = ignoreCase ? PlanTwoWay<true>(p, m) : PlanTwoWay<false>(p, m);
}

std::size_t SubstringSearcher::Find(const void* data, std::size_t length) const {
  const auto* d = static_cast<const unsigned char*>(data);
  const std::size_t m = pattern_.size();
  if (m == 0) return 0;
  if (length < m) return npos;
  if (m == 1 && mask1_ == 0) {
    const void* hit = std::memchr(d, value1_, length);
    return hit == nullptr ? npos : static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - d);
  }

  const Prefilter f{Bytes(pattern_), m, offset1_, offset2_, value1_, mask1_, value2_, mask2_};
  std::size_t resume = npos;
  std::size_t found = npos;
  switch (kernel_) {
#ifdef KESTRIN_SEARCH_AVX512
    case SearchKernel::Avx512:
      found = ignoreCase_ ? ScanAvx512<true>(f, d, length, &resume) : ScanAvx512<false>(f, d, length, &resume);
      break;
#endif
#ifdef KESTRIN_SEARCH_X86
    case SearchKernel::Avx2:
      found = ignoreCase_ ? ScanAvx2<true>(f, d, length, &resume) : ScanAvx2<false>(f, d, length, &resume);
      break;
    case SearchKernel::Sse2:
      found = ignoreCase_ ? ScanSse2<true>(f, d, length, &resume) : ScanSse2<false>(f, d, length, &resume);
      break;
#endif
    default:
      found = ignoreCase_ ? ScanScalar<true>(f, d, length, &resume) : ScanScalar<false>(f, d, length, &resume);
      break;
  }
  if (found != npos || resume == npos || resume > length - m) return found;
  return ignoreCase_ ? TwoWaySearch<true>(plan_, f.pattern, m, d, length, resume)
                     : TwoWaySearch<false>(plan_, f.pattern, m, d, length, resume);
}

std::size_t TwoWayFind(const void* data, std::size_t length, std::string_view pattern, bool ignoreCase) {
  const std::size_t m = pattern.size();
  if (m == 0) return 0;
  if (length < m) return npos;
  const auto* d = static_cast<const unsigned char*>(data);
  const unsigned char* p = Bytes(pattern);
  return ignoreCase ? TwoWaySearch<true>(PlanTwoWay<true>(p, m), p, m, d, length, 0)
                    : TwoWaySearch<false>(PlanTwoWay<false>(p, m), p, m, d, length, 0);
}

}  // namespace kestrin
