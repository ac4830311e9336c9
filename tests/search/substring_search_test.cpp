// The fast substring search against the plain quadratic scan, on every kernel this processor runs.

#include "search/substring_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "search/search.h"

namespace kestrin {
namespace {

constexpr std::size_t npos = SubstringSearcher::npos;

// The first start position where every pattern byte equals the data byte, or (ignoreCase, pattern byte an
// ASCII letter) equals it with the letter's case flipped. Position by position, byte by byte.
std::size_t PlainFind(std::string_view data, std::string_view pattern, bool ignoreCase) {
  if (pattern.empty()) return 0;
  if (data.size() < pattern.size()) return npos;
  for (std::size_t i = 0; i + pattern.size() <= data.size(); ++i) {
    std::size_t j = 0;
    for (; j < pattern.size(); ++j) {
      const auto p = static_cast<unsigned char>(pattern[j]);
      const auto d = static_cast<unsigned char>(data[i + j]);
      if (p == d) continue;
      const bool letter = (p >= 'a' && p <= 'z') || (p >= 'A' && p <= 'Z');
      if (ignoreCase && letter && (p ^ 0x20) == d) continue;
      break;
    }
    if (j == pattern.size()) return i;
  }
  return npos;
}

std::vector<SearchKernel> Kernels() {
  std::vector<SearchKernel> kernels;
  for (SearchKernel k : {SearchKernel::Scalar, SearchKernel::Sse2, SearchKernel::Avx2, SearchKernel::Avx512})
    if (KernelAvailable(k)) kernels.push_back(k);
  return kernels;
}

const char* Name(SearchKernel k) {
  return k == SearchKernel::Scalar ? "scalar" : k == SearchKernel::Sse2 ? "sse2" : k == SearchKernel::Avx2 ? "avx2" : "avx512";
}

std::string Show(std::string_view s) {
  std::string out;
  for (unsigned char c : s.substr(0, 120)) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      static const char* hex = "0123456789abcdef";
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

void ExpectAgrees(std::string_view data, std::string_view pattern, bool ignoreCase) {
  const std::size_t want = PlainFind(data, pattern, ignoreCase);
  for (SearchKernel k : Kernels()) {
    const std::size_t got = SubstringSearcher(pattern, ignoreCase, k).Find(data.data(), data.size());
    ASSERT_EQ(got, want) << Name(k) << (ignoreCase ? " nocase" : " exact") << " pattern=\"" << Show(pattern)
                         << "\" (" << pattern.size() << " bytes) data=\"" << Show(data) << "\" (" << data.size()
                         << " bytes)";
  }
  ASSERT_EQ(TwoWayFind(data.data(), data.size(), pattern, ignoreCase), want)
      << "two-way pattern=\"" << Show(pattern) << "\" data=\"" << Show(data) << "\"";
}

TEST(SubstringSearch, FoldsOnlyAsciiLetters) {
  struct Case {
    std::string data;
    std::string pattern;
    bool exact;
    bool nocase;
  };
  const Case cases[] = {
      {"README.md", "readme", false, true},
      {"readme", "README", false, true},
      {"x@y", "x`y", false, false},           // 0x40 and 0x60 differ only in the 0x20 bit, but are no letters
      {"[a]", "{a}", false, false},           // 0x5B / 0x7B
      {"\xC1", "\xE1", false, false},         // bytes above 0x7F compare exactly
      {"\xD7\xD6", "\xF7\xF6", false, false},
      {"\xB0" "a", "\xB0" "A", false, true},  // the trail byte of a double-byte character folds as a plain byte
      {"1+2", "1+2", true, true},
      {"Ab9", "aB9", false, true},
      {"_", "\x7F", false, false},
  };
  for (const Case& c : cases) {
    for (SearchKernel k : Kernels()) {
      EXPECT_EQ(SubstringSearcher(c.pattern, false, k).Find(c.data.data(), c.data.size()) != npos, c.exact)
          << Name(k) << " " << Show(c.pattern) << " in " << Show(c.data);
      EXPECT_EQ(SubstringSearcher(c.pattern, true, k).Find(c.data.data(), c.data.size()) != npos, c.nocase)
          << Name(k) << " " << Show(c.pattern) << " in " << Show(c.data);
    }
  }
}

TEST(SubstringSearch, BufferContainsEdges) {
  struct Case {
    std::string data;
    std::string pattern;
    bool want;
  };
  const Case cases[] = {
      {"", "", true},                  // an empty pattern is in any data, even none
      {"abc", "", true},
      {"", "a", false},
      {"ab", "abc", false},            // longer than the data
      {"abc", "abc", true},            // the whole data
      {"xxabc", "abc", true},          // ends on the last byte
      {std::string("a\0b", 3), std::string("\0b", 2), true},  // zero bytes are data like any other
  };
  for (const Case& c : cases)
    for (bool ignoreCase : {false, true})
      EXPECT_EQ(BufferContains(c.data.data(), c.data.size(), c.pattern, ignoreCase), c.want)
          << Show(c.pattern) << " in " << Show(c.data);
  EXPECT_TRUE(BufferContains(nullptr, 0, "", false));
  EXPECT_FALSE(BufferContains(nullptr, 0, "a", true));
}

// Random buffers and patterns over small alphabets, so that matches, near misses and repeats are common.
// The alphabets mix letters in both cases with the bytes that differ from them only in bit 0x20, and bytes
// above 0x7F.
TEST(SubstringSearch, AgreesWithPlainScanOnRandomInputs) {
  std::mt19937_64 random(20240611);
  const std::vector<std::string> alphabets = {
      "ab",
      "aAbB",
      std::string("aA@`\xC1\xE1[{", 8),
      std::string("xyz\x00\xFF\x80\x9F\xE9", 9),
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,\n",
  };
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  for (int round = 0; round < 6000; ++round) {
    const std::string& alphabet = alphabets[pick(alphabets.size())];
    const std::size_t length = pick(4) == 0 ? pick(700) : pick(140);
    std::string data(length, '\0');
    for (char& c : data) c = alphabet[pick(alphabet.size())];
    std::string pattern;
    const std::size_t m = 1 + (pick(5) == 0 ? pick(70) : pick(12));
    if (!data.empty() && pick(2) == 0) {
      // A piece of the data, perhaps with one byte changed or its case flipped.
      const std::size_t at = pick(data.size());
      pattern = data.substr(at, m);
      if (pick(3) == 0) pattern[pick(pattern.size())] = alphabet[pick(alphabet.size())];
      if (pick(3) == 0) {
        char& c = pattern[pick(pattern.size())];
        if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') c ^= 0x20;
      }
    } else {
      pattern.resize(m);
      for (char& c : pattern) c = alphabet[pick(alphabet.size())];
    }
    ExpectAgrees(data, pattern, round % 2 == 1);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// Periodic data and patterns make the prefilter's candidates fail late and often, which is where the
// search gives up on them and continues with the linear algorithm.
TEST(SubstringSearch, AgreesWithPlainScanOnPeriodicInputs) {
  std::mt19937_64 random(7);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  const std::string units[] = {"a", "ab", "aab", "abA", "aaaaaaaaab", "xyzXYZ", std::string("\xC1\xE1", 2)};
  for (int round = 0; round < 1500; ++round) {
    const std::string& unit = units[pick(std::size(units))];
    std::string data;
    const std::size_t length = 200 + pick(5000);
    while (data.size() < length) data += unit;
    std::string pattern;
    const std::size_t m = 1 + pick(std::min<std::size_t>(300, length));
    while (pattern.size() < m) pattern += unit;
    pattern.resize(m);
    switch (pick(4)) {
      case 0:
        pattern[pick(m)] ^= 0x20;  // a case difference somewhere
        break;
      case 1:
        pattern[pick(m)] = 'c';  // a byte the data lacks
        break;
      case 2:
        data.replace(data.size() - m, m, pattern);  // the only occurrence, ending on the last byte
        pattern.back() = 'Q';
        data[data.size() - 1] = 'Q';
        break;
      default:
        break;
    }
    ExpectAgrees(data, pattern, pick(2) == 0);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST(SubstringSearch, LongRunsAndTheirOneDifference) {
  // 999 times 'a' then 'b', and variants, over a long run of 'a' with or without the difference.
  std::string pattern(999, 'a');
  pattern += 'b';
  std::string data(1 << 14, 'a');
  ExpectAgrees(data, pattern, false);
  ExpectAgrees(data, pattern, true);
  data[data.size() - 1] = 'b';
  ExpectAgrees(data, pattern, false);
  data[data.size() - 1] = 'B';
  ExpectAgrees(data, pattern, true);
  for (std::size_t i = 999; i < data.size(); i += 997) data[i] = 'b';  // many near misses
  ExpectAgrees(data, pattern, false);
  ExpectAgrees(data, std::string(500, 'a') + "b" + std::string(499, 'a'), true);
}

TEST(SubstringSearch, FindsEveryPositionAndAlignment) {
  // A match at each position of buffers of the lengths around the vector widths (up to two blocks of
  // 128 start positions and the tail after them), at every alignment.
  const std::string pattern = "kEy!";
  std::string storage(384, 'x');
  for (std::size_t length = 4; length <= 270; ++length) {
    for (std::size_t at = 0; at + pattern.size() <= length; at += (length > 70 ? 7 : 1)) {
      const std::size_t offset = (length + at) % 64;
      std::string buffer = storage.substr(0, offset + length);
      buffer.replace(offset + at, pattern.size(), "KeY!");
      const std::string_view data(buffer.data() + offset, length);
      ExpectAgrees(data, pattern, true);
      ExpectAgrees(data, pattern, false);
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

}  // namespace
}  // namespace kestrin
