#pragma once
// The lines of a text that hold a pattern, found as a line-oriented search tool prints them: a line ends
// at '\n' and holds every other byte (a CR before the newline and NUL bytes included); a last line
// without a newline is a line; an empty pattern is held by every line, the empty ones included; a pattern
// holding a newline is held by none. Letters fold by the search's case rule. The text arrives in pieces
// of any size (the chunks of a file as it is read), so a line may span any number of them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure_reason.h"
#include "primitives/command_sink.h"
#include "search/substring_search.h"

namespace kestrin {

// One matching line, or the part of it that was kept. The view is valid only during the call that
// delivers it.
struct MatchedLine {
  std::uint64_t number = 0;  // 1-based
  std::string_view text;     // the line's bytes without its newline, or the part of them that was kept
  std::uint64_t offset = 0;  // where text begins in the line: bytes before it were left out
  bool cutAfter = false;     // bytes of the line after text were left out
  std::size_t match = 0;     // where the line's first occurrence of the pattern begins in text
};

class LineMatcher {
 public:
  // Called for each matching line, in order; returning false ends the search (Feed and Finish then
  // return false and deliver nothing more).
  using OnLine = std::function<bool(const MatchedLine&)>;

  // keepBytes: the most of one line that is held and delivered. Of a longer line, the part around its
  // first occurrence is kept (about half of it before the occurrence), so that a file of one huge line
  // costs no more memory than that. At least twice the pattern's length is always kept.
  LineMatcher(std::string_view pattern, bool ignoreCase, std::size_t keepBytes = static_cast<std::size_t>(-1));
  LineMatcher(const LineMatcher&) = delete;
  LineMatcher& operator=(const LineMatcher&) = delete;

  // The next bytes of the text: delivers the matching lines that end in them.
  bool Feed(const void* data, std::size_t size, const OnLine& onLine);
  // The end of the text: delivers its last line when it has no newline and holds the pattern.
  bool Finish(const OnLine& onLine);

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // Delivers the line [begin, end) of one piece, whose first occurrence begins at match (kNone: none).
  bool Deliver(const unsigned char* begin, const unsigned char* end, std::size_t match, const OnLine& onLine);
  // Adds a piece of the unfinished line, which continues past it.
  void Hold(const unsigned char* begin, const unsigned char* end);
  // The unfinished line has ended: delivers it when it holds the pattern, and starts the next line.
  bool EndHeldLine(const OnLine& onLine);
  // The first occurrence in [begin, end), kNone when there is none.
  std::size_t FindIn(const unsigned char* begin, const unsigned char* end) const;

  std::string pattern_;
  SubstringSearcher searcher_;
  bool never_;  // the pattern holds a newline: no line holds it
  std::size_t keep_;
  std::uint64_t number_ = 1;  // the number of the line that begins or goes on at the next byte

  // The unfinished line: its bytes [heldOffset_, heldOffset_ + held_.size()) are held.
  std::string held_;
  std::uint64_t heldOffset_ = 0;
  std::uint64_t partialLength_ = 0;  // bytes of the unfinished line seen so far
  std::uint64_t heldMatch_ = kNone;  // where its first occurrence begins in the line, kNone: not yet
  bool heldCut_ = false;             // bytes after the held ones were left out
};

}  // namespace kestrin

namespace kestrin {

// How much of a file the matches pane of the window reads and keeps.
struct FileLinesLimits {
  std::size_t maxLines = 1000;   // lines kept; the matching lines after them are only counted
  std::size_t keepBytes = 500;   // of a longer line, the part around its first occurrence
  std::uint64_t countBytes = 64ull << 20;  // after the last kept line, bytes read on to count the rest
  std::size_t chunkBytes = 64 * 1024;      // read at a time; the stop flag is asked between reads
};

// One line of a file as the pane lists it.
struct FileLine {
  std::uint64_t number = 0;   // 1-based
  std::string text;           // the line's bytes without its newline, or the part kept
  bool cutBefore = false;     // bytes of the line before text were left out
  bool cutAfter = false;      // bytes of the line after text were left out
  std::size_t match = 0;      // where the first occurrence begins in text
  std::size_t matchLength = 0;  // its length (0 without a pattern)
};

struct FileLines {
  std::vector<FileLine> lines;  // at most FileLinesLimits::maxLines, in file order
  std::uint64_t matching = 0;   // matching lines seen (lines.size() and those counted after them)
  bool complete = true;         // matching is every matching line of the file: it was read to its end
  bool failed = false;          // the file could not be opened or read: failure says why
  FsFailure failure;
};

// The lines of the file at path that hold pattern under the case rule, read through env.fs; without a
// pattern, its first lines (every line holds the empty pattern). Reading stops at the stop flag, and once
// the lines are kept and countBytes more have been read, so that a file of many gigabytes is not read
// whole; complete then says the count is a lower bound. Reports nothing to env.sink.
FileLines ReadFileLines(const CommandEnv& env, const std::string& path, const std::optional<std::string>& pattern,
                        bool ignoreCase, const FileLinesLimits& limits = {});

// The whole file at path, read through env.fs from its start chunkBytes at a time, handed to matcher (and
// its end, Finish), which hands each matching line to onLine. True when the file went through to its end;
// false when it could not be opened or read (why added to failures), a stop came, or onLine ended it.
bool ReadFileLines(const CommandEnv& env, const std::string& path, LineMatcher& matcher,
                   const LineMatcher::OnLine& onLine, std::size_t chunkBytes, FailureList& failures);

// The first keepBytes bytes of the file at path and its size, read through env.fs (the size by reading
// on to its end, without keeping what follows). Stops at the stop flag: complete is then false.
struct FileHead {
  std::string bytes;
  std::uint64_t size = 0;  // bytes read in all
  bool complete = false;   // read to its end
  bool failed = false;     // could not be opened or read: failure says why
  FsFailure failure;
};
FileHead ReadFileHead(const CommandEnv& env, const std::string& path, std::size_t keepBytes);

}  // namespace kestrin
