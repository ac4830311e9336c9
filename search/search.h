#pragma once
// Content, extension and path matching, and the filtering of a file list into search results.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "primitives/command.h"
#include "primitives/file_list.h"

namespace kestrin {

// True when pattern occurs in the data. With ignoreCase, an ASCII letter of the pattern also matches the
// same letter in the other case; no other byte folds. An empty pattern occurs in any data.
bool BufferContains(const void* data, std::size_t length, std::string_view pattern, bool ignoreCase);

// True when the content of the file contains pattern. A missing, unreadable, empty or non-regular file
// never contains anything, not even the empty pattern, and is recorded in the context's failures. Files
// of any size are searched in chunks, never held whole in memory. A stop (seen before the file is opened
// and between its chunks) returns false at once: the part read so far did not hold the pattern.
bool FileContains(const std::string& path, std::string_view pattern, bool ignoreCase,
                  const CommandContext& context = {});

// The text after the last dot of path (a pointer into it; the end of the string when the path ends with
// a dot), or null when path is null, empty or holds no dot. The scan does not stop at separators.
const char* ExtensionOf(const char* path);

// The three search filters; an absent one (nullopt) is not applied.
struct SearchFilters {
  std::optional<std::string> path;       // substring of the whole path (case mode applies)
  std::optional<std::string> extension;  // equals ExtensionOf exactly, case-sensitive always
  std::optional<std::string> content;    // contained in the file's content (case mode applies)
  bool ignoreCase = false;
  bool AllAbsent() const { return !path && !extension && !content; }
};

// The extension filter as the extension box's text gives it: leading dots are skipped, so ".txt", "..txt"
// and "txt" are one filter; a text of dots only leaves the empty extension (paths that end with a dot).
std::string ExtensionFilterFromText(std::string_view boxText);

// What FilterFiles reports as it goes, so that a caller can drive a progress bar and fill a list in
// order. With at least one filter: position(i) before file i is tested, then passed(i) if it passes.
// With no filter: passed(i) then position(i), for every file.
struct FilterProgress {
  std::function<void(std::size_t index)> position;
  std::function<void(std::size_t index)> passed;
};

// The entries of files that pass every present filter, in list order. A file's content is read only
// when its path and extension tests passed, and only when it is a regular file; the content test runs on
// `workers` threads (0: one per core), while position and passed are called on the calling thread, in
// list order, as above. Files that could not be read, or are not regular files, are recorded in the
// context's failures. A stop (seen between files, and between the chunks of a large file) returns the
// entries that passed so far.
FileList FilterFiles(const FileList& files, const SearchFilters& filters, const FilterProgress& progress = {},
                     const CommandContext& context = {}, unsigned workers = 0);

}  // namespace kestrin
