#pragma once
// Content, extension and path matching, and the filtering of a file list into search results.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "primitives/command_sink.h"
#include "primitives/file_list.h"
#include "search/match_lines.h"
#include "search/parallel_scan.h"

namespace kestrin {

// True when pattern occurs in the data. With ignoreCase, an ASCII letter of the pattern also matches the
// same letter in the other case; no other byte folds. An empty pattern occurs in any data.
bool BufferContains(const void* data, std::size_t length, std::string_view pattern, bool ignoreCase);

// True when the content of the file contains pattern. A missing, unreadable, empty or non-regular file
// never contains anything, not even the empty pattern; a missing, unreadable or non-regular one is
// reported as failed. Files of any size are searched in chunks, never held whole in memory. A stop (seen
// before the file is opened and between its chunks) returns false at once: the part read so far did not
// hold the pattern. The sink hears of the file as index 0 of a list of one: Progress(0), Matched when it
// holds the pattern or Failed, then End().
bool FileContains(const CommandEnv& env, const std::string& path, std::string_view pattern, bool ignoreCase);

// The text after the last dot of path (a pointer into it; the end of the string when the path ends with
// a dot), or null when path is null, empty or holds no dot. The scan does not stop at separators.
const char* ExtensionOf(const char* path);

class GlobSet;

// The three search filters; an absent one (nullopt) is not applied.
struct SearchFilters {
  std::optional<std::string> path;       // substring of the whole path (case mode applies)
  std::optional<std::string> extension;  // equals ExtensionOf exactly, case-sensitive always
  std::optional<std::string> content;    // contained in the file's content (case mode applies)
  bool ignoreCase = false;
  bool AllAbsent() const { return !path && !extension && !content; }
};

// The search filters with what the command line adds to them.
struct SelectionFilters : SearchFilters {
  // More texts of the path and more extensions, any of which passes a file as path and extension do (a
  // file passes the path filter when it holds path or one of otherPaths).
  std::vector<std::string> otherPaths;
  std::vector<std::string> otherExtensions;
  // Globs over the path below the folder searched, whose text is the first globBase bytes of each path;
  // null: none. Not owned.
  const GlobSet* globs = nullptr;
  std::size_t globBase = 0;
  bool AllAbsent() const {
    return SearchFilters::AllAbsent() && otherPaths.empty() && otherExtensions.empty() && globs == nullptr;
  }
};

// The extension filter as the extension box's text gives it: leading dots are skipped, so ".txt", "..txt"
// and "txt" are one filter; a text of dots only leaves the empty extension (paths that end with a dot).
std::string ExtensionFilterFromText(std::string_view boxText);

// The entries of files that pass every present filter, in list order. A file's content is read only
// when its path and extension tests passed, and only when it is a regular file; the content test runs on
// `workers` threads (0: one per core), while the sink hears on the calling thread, in list order:
// Progress(i) for each file come to, then Matched when it passes, or Failed when it could not be read or
// is not a regular file; End() last. A stop (seen between files, and between the chunks of a large file)
// returns the entries that passed so far.
FileList FilterFiles(const CommandEnv& env, const FileList& files, const SearchFilters& filters,
                     unsigned workers = 0);
// FilterFiles with the command line's further filters.
FileList FilterSelection(const CommandEnv& env, const FileList& files, const SelectionFilters& filters,
                         unsigned workers = 0);

// A list of files that grows while it is searched: the walk appends each batch it lists on its thread,
// and the search's workers read any entry below the size they were told of, on theirs, without a lock. An
// entry stays where it is once appended, so the views of it stay valid while the list lives.
class GrowingFileList {
 public:
  GrowingFileList() = default;
  GrowingFileList(const GrowingFileList&) = delete;
  GrowingFileList& operator=(const GrowingFileList&) = delete;
  ~GrowingFileList();

  // The walk's side: appends a batch; last: no more will come. The search hears of it through growth().
  void Append(FileList batch, bool last);
  std::size_t size() const { return size_.load(std::memory_order_acquire); }
  std::string_view operator[](std::size_t i) const;
  EntryKind kind(std::size_t i) const;
  ScanGrowth& growth() { return growth_; }

 private:
  // A batch, and where it begins in the list.
  struct Part {
    FileList files;
    std::size_t begin = 0;
    std::size_t end() const { return begin + files.size(); }
  };
  // Part p lies in segment s = bit_width(p + 1) - 1, which holds 2^s parts: segments are made as the list
  // grows and never move, so a reader needs no lock to find a part that was published before it looked.
  static constexpr std::size_t kSegments = 8 * sizeof(std::size_t);
  const Part& PartAt(std::size_t p) const;
  // The batch that holds entry i, and i's index in it.
  std::pair<const FileList*, std::size_t> Locate(std::size_t i) const;

  std::mutex appending_;  // appends, one at a time
  std::array<std::atomic<Part*>, kSegments> segments_{};
  std::atomic<std::size_t> parts_{0};  // published: their segments and contents are there for readers
  std::atomic<std::size_t> size_{0};
  ScanGrowth growth_;
};

// How a search by lines hands on what it finds (FilterFileLines). format runs on the worker that read the
// file, for each of the file's matching lines in order (the line whole), and appends to out what the
// line is to become, so that the workers share the cost of making the text; without format the lines are
// only counted. deliver runs on the calling thread, in list order, for each file with at least one
// matching line: its index, its path, its count of matching lines and all that format made of them.
struct LineOutput {
  std::function<void(std::string_view path, const MatchedLine& line, std::string& out)> format;
  std::function<void(std::size_t index, std::string_view path, std::uint64_t matching, std::string_view text)>
      deliver;
};

// FilterFiles by lines, as a line-oriented search tool finds them (the lines and numbers ReadFileLines
// gives): each file that passes the path filters and has at least one line holding the content filter's
// text (which must be present) is Matched and handed to output. A file is read once where it can be:
// searched as FilterFiles searches it until the text turns up, and read on for its lines from there when
// that was in its first bytes read; a file whose first occurrence comes later is read again from its
// start. A file whose reading a stop or a read error cut short is not a result. The sink hears as
// FilterFiles tells. Returns the entries matched.
FileList FilterFileLines(const CommandEnv& env, const FileList& files, const SelectionFilters& filters,
                         const LineOutput& output, unsigned workers = 0);

// FilterSelection with a content filter, and FilterFileLines, over files that are still coming: each
// file is searched as soon as it is in the list, and the sink hears as those tell, in list order, until
// the list has said that its last files have come and they are through (or a stop). The results are
// told to the sink only. Always on worker threads, the calling thread reporting.
void FilterSelection(const CommandEnv& env, GrowingFileList& files, const SelectionFilters& filters,
                     unsigned workers = 0);
void FilterFileLines(const CommandEnv& env, GrowingFileList& files, const SelectionFilters& filters,
                     const LineOutput& output, unsigned workers = 0);

}  // namespace kestrin
