#include "search/match_lines.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/filesystem.h"

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace kestrin {

namespace {

const unsigned char* FindByte(const unsigned char* begin, const unsigned char* end, unsigned char byte) {
  return begin == end ? nullptr : static_cast<const unsigned char*>(std::memchr(begin, byte, end - begin));
}

const unsigned char* FindLastNewline(const unsigned char* begin, const unsigned char* end) {
  for (const unsigned char* p = end; p != begin;) {
    if (*--p == '\n') return p;
  }
  return nullptr;
}

#if defined(__x86_64__)
// Sixteen bytes at a time (every x86-64 processor has the instructions): each block's compare adds one
// to the byte counters where a newline is, and the counters are added up before any can overflow.
std::uint64_t CountNewlines(const unsigned char* begin, const unsigned char* end) {
  const __m128i newline = _mm_set1_epi8('\n');
  std::uint64_t count = 0;
  while (end - begin >= 16) {
    const std::size_t blocks = std::min<std::size_t>(static_cast<std::size_t>(end - begin) / 16, 255);
    __m128i counters = _mm_setzero_si128();
    for (std::size_t k = 0; k < blocks; ++k, begin += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin));
      counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(bytes, newline));
    }
    const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());  // two sums of eight counters
    count += static_cast<std::uint64_t>(_mm_cvtsi128_si32(sums)) + static_cast<std::uint64_t>(_mm_extract_epi16(sums, 4));
  }
  return count + static_cast<std::uint64_t>(std::count(begin, end, static_cast<unsigned char>('\n')));
}
#else
// Eight bytes at a time (the plain count is compiled a byte at a time): a byte of word ^ "\n\n..." is
// zero where a newline was, and a byte's high bit in ((x & 0x7f..) + 0x7f..) | x is set exactly where x's
// byte is not zero (no carry crosses a byte).
std::uint64_t CountNewlines(const unsigned char* begin, const unsigned char* end) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kLow7 = kOnes * 0x7f;
  constexpr std::uint64_t kHigh = kOnes * 0x80;
  std::uint64_t count = 0;
  for (; end - begin >= 8; begin += 8) {
    std::uint64_t word;
    std::memcpy(&word, begin, sizeof word);
    const std::uint64_t x = word ^ (kOnes * '\n');
    const std::uint64_t notZero = ((x & kLow7) + kLow7) | x;
    // One bit a newline, at the bottom of its byte; the multiplication adds the eight bytes into the top
    // one (a portable popcount may be a library call).
    count += (((~notZero & kHigh) >> 7) * kOnes) >> 56;
  }
  return count + static_cast<std::uint64_t>(std::count(begin, end, static_cast<unsigned char>('\n')));
}
#endif

}  // namespace

LineMatcher::LineMatcher(std::string_view pattern, bool ignoreCase, std::size_t keepBytes)
    : pattern_(pattern),
      searcher_(pattern_, ignoreCase),
      never_(pattern.find('\n') != std::string_view::npos),
      keep_(std::max(keepBytes, std::max<std::size_t>(2 * pattern.size(), 1))) {}

std::size_t LineMatcher::FindIn(const unsigned char* begin, const unsigned char* end) const {
  if (never_) return kNone;
  const std::size_t at = searcher_.Find(begin, static_cast<std::size_t>(end - begin));
  return at == SubstringSearcher::npos ? kNone : at;
}

bool LineMatcher::Deliver(const unsigned char* begin, const unsigned char* end, std::size_t match,
                          const OnLine& onLine) {
  const std::size_t length = static_cast<std::size_t>(end - begin);
  MatchedLine line;
  line.number = number_;
  std::size_t from = 0;
  std::size_t to = length;
  if (length > keep_) {
    // Up to half of what is kept before the occurrence, the rest after it: the same part as a line that
    // arrives in pieces keeps.
    from = match - std::min(match, keep_ / 2);
    to = std::min(length, from + keep_);
  }
  line.text = std::string_view(reinterpret_cast<const char*>(begin) + from, to - from);
  line.offset = from;
  line.cutAfter = to < length;
  line.match = match - from;
  return onLine(line);
}

void LineMatcher::Hold(const unsigned char* begin, const unsigned char* end) {
  const std::size_t size = static_cast<std::size_t>(end - begin);
  partialLength_ += size;
  if (heldCut_) return;  // what is kept of the line is complete
  // Until the line is found to hold the pattern, its held tail is searched again with the new bytes, as
  // far back as an occurrence across the seam can begin.
  const std::size_t overlap = std::min(held_.size(), pattern_.empty() ? 0 : pattern_.size() - 1);
  const std::size_t searchFrom = held_.size() - overlap;
  held_.append(reinterpret_cast<const char*>(begin), size);
  if (heldMatch_ == kNone) {
    const auto* data = reinterpret_cast<const unsigned char*>(held_.data());
    const std::size_t found = FindIn(data + searchFrom, data + held_.size());
    if (found != kNone) heldMatch_ = heldOffset_ + searchFrom + found;
  }
  if (heldMatch_ != kNone) {
    // A line longer than what is kept keeps the part Deliver keeps of a line that came in one piece.
    if (partialLength_ <= keep_) return;
    const std::uint64_t from = heldMatch_ - std::min<std::uint64_t>(heldMatch_, keep_ / 2);
    if (from > heldOffset_) {
      held_.erase(0, static_cast<std::size_t>(from - heldOffset_));
      heldOffset_ = from;
    }
    if (held_.size() > keep_) {
      held_.resize(keep_);
      heldCut_ = true;
    }
  } else if (held_.size() > keep_) {
    // Not found yet: only the tail that may come before an occurrence stays, half of what is kept before
    // wherever an occurrence may still begin.
    const std::size_t stay = keep_ / 2 + (pattern_.empty() ? 0 : pattern_.size() - 1);
    const std::size_t drop = held_.size() - stay;
    held_.erase(0, drop);
    heldOffset_ += drop;
  }
}

bool LineMatcher::EndHeldLine(const OnLine& onLine) {
  bool go = true;
  if (heldMatch_ != kNone) {
    MatchedLine line;
    line.number = number_;
    line.text = held_;
    line.offset = heldOffset_;
    line.cutAfter = heldCut_;
    line.match = static_cast<std::size_t>(heldMatch_ - heldOffset_);
    go = onLine(line);
  }
  ++number_;
  held_.clear();
  heldOffset_ = 0;
  partialLength_ = 0;
  heldMatch_ = kNone;
  heldCut_ = false;
  return go;
}

bool LineMatcher::Feed(const void* data, std::size_t size, const OnLine& onLine) {
  const auto* p = static_cast<const unsigned char*>(data);
  const unsigned char* const end = p + size;
  if (partialLength_ != 0) {
    // The unfinished line goes on to the first newline.
    const unsigned char* newline = FindByte(p, end, '\n');
    Hold(p, newline != nullptr ? newline : end);
    if (newline == nullptr) return true;
    if (!EndHeldLine(onLine)) return false;
    p = newline + 1;
  }
  // Whole lines, up to the last newline; the rest begins the next unfinished line.
  const unsigned char* last = FindLastNewline(p, end);
  const unsigned char* const wholeEnd = last != nullptr ? last + 1 : p;
  if (pattern_.empty()) {
    while (p != wholeEnd) {
      const unsigned char* newline = FindByte(p, wholeEnd, '\n');
      if (!Deliver(p, newline, 0, onLine)) return false;
      ++number_;
      p = newline + 1;
    }
  } else {
    while (p != wholeEnd) {
      const std::size_t found = FindIn(p, wholeEnd);
      if (found == kNone) {
        number_ += CountNewlines(p, wholeEnd);
        p = wholeEnd;
        break;
      }
      // p is at the start of a line; the occurrence lies within one line, as the pattern has no newline.
      const unsigned char* at = p + found;
      const unsigned char* lineStart = FindLastNewline(p, at);
      lineStart = lineStart != nullptr ? lineStart + 1 : p;
      number_ += CountNewlines(p, lineStart);
      const unsigned char* newline = FindByte(at, wholeEnd, '\n');
      if (!Deliver(lineStart, newline, static_cast<std::size_t>(at - lineStart), onLine)) return false;
      ++number_;
      p = newline + 1;
    }
  }
  if (p != end) Hold(p, end);
  return true;
}

bool LineMatcher::Finish(const OnLine& onLine) {
  if (partialLength_ == 0) return true;
  return EndHeldLine(onLine);
}

}  // namespace kestrin

namespace kestrin {

namespace {

enum class ChunksRead { Complete, Ended, Stopped, Failed };

// Reads the file at path from its start, chunkBytes at a time into one buffer a thread keeps, and hands
// each chunk to feed while it returns true; the stop flag is asked before each read.
template <class Feed>
ChunksRead ReadChunks(const CommandEnv& env, const std::string& path, std::size_t chunkBytes, const Feed& feed,
                      FsFailure& failure) {
  if (env.Stopped()) return ChunksRead::Stopped;
  FsResult<ReadHandle> file = env.fs.OpenForRead(path);
  if (!file) {
    failure = std::move(file.failure);
    return ChunksRead::Failed;
  }
  // One buffer a thread, kept between files: a new one for each file would be cleared and, being large,
  // mapped and unmapped by the allocator every time.
  thread_local std::vector<unsigned char> buffer;
  buffer.resize(std::max<std::size_t>(chunkBytes, 1));
  ChunksRead how = ChunksRead::Complete;
  for (;;) {
    if (env.Stopped()) {
      how = ChunksRead::Stopped;
      break;
    }
    FsResult<std::size_t> n = env.fs.Read(file.value, buffer.data(), buffer.size());
    if (!n) {
      failure = std::move(n.failure);
      how = ChunksRead::Failed;
      break;
    }
    if (n.value == 0) break;
    if (!feed(buffer.data(), n.value)) {
      how = ChunksRead::Ended;
      break;
    }
  }
  env.fs.Close(file.value);
  return how;
}

}  // namespace

FileLines ReadFileLines(const CommandEnv& env, const std::string& path, const std::optional<std::string>& pattern,
                        bool ignoreCase, const FileLinesLimits& limits) {
  FileLines out;
  const std::size_t patternLength = pattern ? pattern->size() : 0;
  LineMatcher matcher(pattern.value_or(std::string()), ignoreCase, limits.keepBytes);
  std::uint64_t read = 0;        // bytes fed so far
  std::uint64_t fullAt = 0;      // fed when the last line to keep was kept
  bool full = limits.maxLines == 0;
  const LineMatcher::OnLine onLine = [&](const MatchedLine& line) {
    ++out.matching;
    if (out.lines.size() < limits.maxLines) {
      FileLine kept;
      kept.number = line.number;
      kept.text.assign(line.text);
      kept.cutBefore = line.offset != 0;
      kept.cutAfter = line.cutAfter;
      kept.match = line.match;
      kept.matchLength = std::min(patternLength, kept.text.size() - std::min(kept.match, kept.text.size()));
      out.lines.push_back(std::move(kept));
      if (out.lines.size() == limits.maxLines) {
        full = true;
        fullAt = read;
      }
      return true;
    }
    // Without a pattern every line is one: the first line beyond those kept says there are more.
    return pattern.has_value();
  };
  const auto feed = [&](const unsigned char* data, std::size_t size) {
    // Once the lines are kept, the rest is only counted, and only for countBytes more.
    if (full && pattern && read - fullAt >= limits.countBytes) return false;
    read += size;
    return matcher.Feed(data, size, onLine);
  };
  const ChunksRead how = ReadChunks(env, path, limits.chunkBytes, feed, out.failure);
  out.failed = how == ChunksRead::Failed;
  out.complete = how == ChunksRead::Complete && matcher.Finish(onLine);
  return out;
}

bool ReadFileLines(const CommandEnv& env, const std::string& path, LineMatcher& matcher,
                   const LineMatcher::OnLine& onLine, std::size_t chunkBytes, FailureList& failures) {
  const auto feed = [&](const unsigned char* data, std::size_t size) { return matcher.Feed(data, size, onLine); };
  FsFailure failure;
  const ChunksRead how = ReadChunks(env, path, chunkBytes, feed, failure);
  if (how == ChunksRead::Failed) failures.Add(path, failure.reason, std::move(failure.detail));
  return how == ChunksRead::Complete && matcher.Finish(onLine);
}

FileHead ReadFileHead(const CommandEnv& env, const std::string& path, std::size_t keepBytes) {
  FileHead out;
  if (env.Stopped()) return out;
  FsResult<ReadHandle> file = env.fs.OpenForRead(path);
  if (!file) {
    out.failed = true;
    out.failure = std::move(file.failure);
    return out;
  }
  std::vector<char> buffer(256 * 1024);
  while (!env.Stopped()) {
    FsResult<std::size_t> n = env.fs.Read(file.value, buffer.data(), buffer.size());
    if (!n) {
      out.failed = true;
      out.failure = std::move(n.failure);
      break;
    }
    if (n.value == 0) {
      out.complete = true;
      break;
    }
    out.size += n.value;
    if (out.bytes.size() < keepBytes) out.bytes.append(buffer.data(), std::min(n.value, keepBytes - out.bytes.size()));
  }
  env.fs.Close(file.value);
  return out;
}

}  // namespace kestrin
