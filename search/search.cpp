#include "search/search.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/filesystem.h"
#include "primitives/fs_query.h"
#include "search/glob.h"
#include "search/match_lines.h"
#include "search/parallel_scan.h"
#include "search/substring_search.h"

namespace kestrin {

namespace {

// Bytes read from a file at a time. Large enough that a multi-megabyte file costs few system calls, small
// enough that the buffer stays in the processor's second-level cache while it is searched.
constexpr std::size_t kChunkSize = std::size_t{256} << 10;
// While the pattern keeps turning up in the first few kilobytes of files, the first read of each file is
// this small, and the rest of a file that holds it early is never copied. While it does not (a rare
// pattern), each file is read in full chunks from the start, which saves a read per file.
constexpr std::size_t kFirstReadSize = std::size_t{4} << 10;

// Searches the content of files for one pattern, a chunk at a time through one buffer that serves every
// file. Consecutive chunks overlap by the pattern length minus one, so a match across a chunk boundary is
// found, and reading stops at the first match; a file of any size costs no more memory than the buffer.
// A stop is seen between chunks, so that a large file does not hold it up.
class ContentScanner {
 public:
  // workers: how many scanners read at the same time.
  ContentScanner(FileSystem& fs, unsigned workers, std::string_view pattern, bool ignoreCase, const StopFlag* stop)
      : files_(fs, workers),
        stop_(stop),
        searcher_(pattern, ignoreCase),
        carry_(pattern.empty() ? 0 : pattern.size() - 1),
        readAt_((carry_ + 63) / 64 * 64),
        buffer_(new unsigned char[readAt_ + kChunkSize]) {}
  ContentScanner(ContentScanner&&) = default;
  ContentScanner& operator=(ContentScanner&&) = default;

  // Tells the reader which files of [first, last) the worker's run opens (those keep(i) holds).
  template <class Keep>
  void AnnounceRun(const FileList& files, std::size_t first, std::size_t last, const Keep& keep) {
    files_.AnnounceRun(files, first, last, keep, FirstReadSize());
  }

  // The bytes the next file's first read asks for.
  std::size_t FirstReadSize() const { return early_ * 4 >= late_ ? kFirstReadSize : kChunkSize; }

  // True when the file holds the pattern; false when it does not, is empty, is not a regular file, cannot
  // be opened or read (recorded in failures, when given), or the command was stopped.
  bool Contains(const std::string& path, FailureList* failures = nullptr) {
    if (!files_.Open(path, failures)) return false;
    bool found = false;
    std::size_t carried = 0;  // the tail of the previous chunk, just before readAt_
    std::size_t want = FirstReadSize();
    for (bool first = true;; first = false) {
      if (!first && stop_ != nullptr && stop_->Requested()) break;
      unsigned char* chunk = buffer_.get() + readAt_;
      // The first bytes of a file may be in memory already (read ahead with others): they are searched
      // where they lie, and only the carry is copied from them for the next chunk.
      const unsigned char* data = chunk;
      const std::int64_t count = files_.Next(chunk, want, data, first, failures);
      if (count <= 0) break;  // the end of the file, or a read error: no match either way
      const unsigned char* begin = data - carried;  // nothing is carried into bytes held in place
      const std::size_t size = carried + static_cast<std::size_t>(count);
      const std::size_t at = searcher_.Find(begin, size);
      if (first) Learn(at, size);
      if (at != SubstringSearcher::npos) {
        found = true;
        break;
      }
      carried = std::min(carry_, size);
      std::memmove(chunk - carried, begin + size - carried, carried);
      want = kChunkSize;
    }
    files_.Close();
    return found;
  }

 private:
  // Counts, from the first read of a file of size bytes (or more), whether the match ended within the
  // first kFirstReadSize bytes, or the file went on beyond them without one. Recent files weigh most.
  void Learn(std::size_t at, std::size_t size) {
    if (at != SubstringSearcher::npos && at + searcher_.PatternSize() <= kFirstReadSize) {
      ++early_;
    } else if (size >= kFirstReadSize) {
      ++late_;
    }
    if (early_ + late_ >= 256) {
      early_ /= 2;
      late_ /= 2;
    }
  }

  FileScanner files_;
  const StopFlag* stop_;
  SubstringSearcher searcher_;
  std::size_t early_ = 0;  // files whose match ended within their first kFirstReadSize bytes
  std::size_t late_ = 0;   // files that went on beyond them without such a match
  std::size_t carry_;   // bytes kept from one chunk for the next
  std::size_t readAt_;  // offset of each chunk in the buffer, room for the carried bytes before it
  std::unique_ptr<unsigned char[]> buffer_;
};

// The extension of a path as ExtensionOf gives it, as a view.
std::optional<std::string_view> ExtensionView(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  return path.substr(dot + 1);
}

}  // namespace

bool BufferContains(const void* data, std::size_t length, std::string_view pattern, bool ignoreCase) {
  return SubstringSearcher(pattern, ignoreCase).Find(data, length) != SubstringSearcher::npos;
}

bool FileContains(const CommandEnv& env, const std::string& path, std::string_view pattern, bool ignoreCase) {
  bool found = false;
  if (!env.Stopped()) {
    env.sink.Progress(0);
    FsFailure why;
    if (!IsRegularFile(env.fs, path, &why)) {
      env.Failed(0, path, why);
    } else {
      FailureList failures;
      found = ContentScanner(env.fs, 1, pattern, ignoreCase, env.stop).Contains(path, &failures);
      for (const Failure& failure : failures.items()) env.Failed(0, path, failure.reason, failure.detail);
      if (found) env.Done(FileOutcome::Kind::Matched, 0, path);
    }
  }
  env.sink.End();
  return found;
}

const char* ExtensionOf(const char* path) {
  if (path == nullptr) return nullptr;
  const char* dot = std::strrchr(path, '.');
  return dot == nullptr ? nullptr : dot + 1;
}

std::string ExtensionFilterFromText(std::string_view boxText) {
  return std::string(boxText.substr(std::min(boxText.find_first_not_of('.'), boxText.size())));
}

namespace {

// The tests of a path that need no reading: its texts, its extensions and the globs.
class PathTests {
 public:
  explicit PathTests(const SelectionFilters& filters) : filters_(filters) {
    if (filters.path) texts_.emplace_back(*filters.path, filters.ignoreCase);
    for (const std::string& text : filters.otherPaths) texts_.emplace_back(text, filters.ignoreCase);
    if (filters.extension) extensions_.push_back(*filters.extension);
    extensions_.insert(extensions_.end(), filters.otherExtensions.begin(), filters.otherExtensions.end());
  }

  bool Pass(std::string_view entry) const {
    if (!texts_.empty() && std::none_of(texts_.begin(), texts_.end(), [&](const SubstringSearcher& text) {
          return text.Find(entry.data(), entry.size()) != SubstringSearcher::npos;
        })) {
      return false;
    }
    if (!extensions_.empty()) {
      const std::optional<std::string_view> extension = ExtensionView(entry);
      if (!extension || std::find(extensions_.begin(), extensions_.end(), *extension) == extensions_.end()) {
        return false;
      }
    }
    if (filters_.globs != nullptr && !filters_.globs->Passes(entry.substr(std::min(filters_.globBase, entry.size())))) {
      return false;
    }
    return true;
  }

 private:
  const SelectionFilters& filters_;
  std::vector<SubstringSearcher> texts_;
  std::vector<std::string> extensions_;
};

}  // namespace

FileList FilterFiles(const CommandEnv& env, const FileList& files, const SearchFilters& filters, unsigned workers) {
  SelectionFilters all;
  static_cast<SearchFilters&>(all) = filters;
  return FilterSelection(env, files, all, workers);
}

FileList FilterSelection(const CommandEnv& env, const FileList& files, const SelectionFilters& filters,
                         unsigned workers) {
  FileList results;
  const std::size_t n = files.size();
  const auto pass = [&](std::size_t i) {
    results.push_back(files[i], files.kind(i));
    env.Done(FileOutcome::Kind::Matched, i, files[i]);
  };
  if (filters.AllAbsent()) {
    results.reserve(n, files.bytes());
    for (std::size_t i = 0; i < n && !env.Stopped(); ++i) {
      env.sink.Progress(i);
      pass(i);
    }
    env.sink.End();
    return results;
  }

  // The path and extension tests, which need no reading.
  const PathTests pathTests(filters);
  const auto namePasses = [&](std::string_view entry) { return pathTests.Pass(entry); };
  if (!filters.content) {
    for (std::size_t i = 0; i < n && !env.Stopped(); ++i) {
      env.sink.Progress(i);
      if (namePasses(files[i])) pass(i);
    }
    env.sink.End();
    return results;
  }

  // The content test reads files on several workers, each taking a run of files at a time whose first
  // chunks the file system may read ahead together; the results come back here in list order.
  // FIFOs, sockets and device nodes the walk met are never opened.
  const auto opened = [&](std::size_t i) { return files.kind(i) == EntryKind::File && namePasses(files[i]); };
  struct Worker {
    ContentScanner scanner;
    const decltype(opened)& opens;
    const FileList& files;
    void Prepare(std::size_t first, std::size_t last) { scanner.AnnounceRun(files, first, last, opens); }
  };
  ParallelScanOptions options;
  options.workers = workers;
  options.run = kScanReadAheadRun;
  const unsigned scanners = ScanWorkerCount(workers, n);
  ScanInParallel<bool>(
      n,
      [&] {
        return Worker{ContentScanner(env.fs, scanners, *filters.content, filters.ignoreCase, env.stop), opened, files};
      },
      [&](Worker& worker, std::size_t i, bool& hit, FailureList& failures) {
        const std::string_view entry = files[i];
        if (!namePasses(entry)) return;
        if (files.kind(i) != EntryKind::File) {
          failures.Add(entry, FailureReason::NotRegularFile);
          return;
        }
        hit = worker.scanner.Contains(std::string(entry), &failures);
      },
      [&](std::size_t i, bool hit) {
        if (hit) pass(i);
      },
      env, options);
  env.sink.End();
  return results;
}

FileList FilterFileLines(const CommandEnv& env, const FileList& files, const SelectionFilters& filters,
                         const OnFileLines& onLines, bool countOnly, unsigned workers) {
  FileList results;
  const PathTests pathTests(filters);
  const auto opened = [&](std::size_t i) { return files.kind(i) == EntryKind::File && pathTests.Pass(files[i]); };
  // Every line, whole; or only their count.
  FileLinesLimits limits;
  limits.maxLines = countOnly ? 0 : static_cast<std::size_t>(-1);
  limits.keepBytes = static_cast<std::size_t>(-1);
  limits.countBytes = static_cast<std::uint64_t>(-1);
  limits.chunkBytes = kChunkSize;
  // A file is first searched as FilterFiles searches it, which for most files of most searches ends
  // their reading early or finds nothing; only the files that hold the text are read for their lines.
  struct Worker {
    ContentScanner check;
    const decltype(opened)& opens;
    const FileList& files;
    void Prepare(std::size_t first, std::size_t last) { check.AnnounceRun(files, first, last, opens); }
  };
  ParallelScanOptions options;
  options.workers = workers;
  options.run = kScanReadAheadRun;
  const unsigned scanners = ScanWorkerCount(workers, files.size());
  const std::string pattern = filters.content.value_or(std::string());
  ScanInParallel<FileLines>(
      files.size(),
      [&] {
        return Worker{ContentScanner(env.fs, scanners, pattern, filters.ignoreCase, env.stop), opened, files};
      },
      [&](Worker& worker, std::size_t i, FileLines& lines, FailureList& failures) {
        const std::string_view entry = files[i];
        if (!pathTests.Pass(entry)) return;
        if (files.kind(i) != EntryKind::File) {
          failures.Add(entry, FailureReason::NotRegularFile);
          return;
        }
        const std::string path(entry);
        if (!worker.check.Contains(path, &failures)) return;
        lines = ReadFileLines(CommandEnv{env.fs, env.stop}, path, pattern, filters.ignoreCase, limits);
        if (lines.failed) failures.Add(path, lines.failure.reason, lines.failure.detail);
        if (!lines.complete) lines = FileLines{};  // read in part: its numbers and count would be wrong
      },
      [&](std::size_t i, FileLines& lines) {
        if (lines.matching == 0) return;
        results.push_back(files[i], files.kind(i));
        env.Done(FileOutcome::Kind::Matched, i, files[i]);
        onLines(i, files[i], lines);
      },
      env, options);
  env.sink.End();
  return results;
}

}  // namespace kestrin
