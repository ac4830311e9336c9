#include "search/search.h"

#include <algorithm>
#include <bit>
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
  template <class List, class Keep>
  void AnnounceRun(const List& files, std::size_t first, std::size_t last, const Keep& keep) {
    files_.AnnounceRun(files, first, last, keep, FirstReadSize());
  }

  // The bytes the next file's first read asks for.
  std::size_t FirstReadSize() const { return early_ * 4 >= late_ ? kFirstReadSize : kChunkSize; }

  // True when the file holds the pattern; false when it does not, is empty, is not a regular file, cannot
  // be opened or read (recorded in failures, when given), or the command was stopped.
  bool Contains(const std::string& path, FailureList* failures = nullptr) {
    return Scan(path, failures, nullptr, nullptr) == Found::Yes;
  }

  // How Lines ended.
  enum class Found {
    No,    // the file does not hold the pattern (or could not be read, or a stop came first)
    Yes,   // it does, and the matcher has had the whole file
    Late,  // it does, but not in its first bytes read: the matcher has had none of it
    Cut,   // it does, but a stop or a read error ended the reading for the matcher part-way
  };

  // Contains, which hands the file on to the matcher (whose line numbers begin at the file's start) once
  // the pattern turns up in the first bytes read, and reads on to the end for it, so that a file of
  // results is read once. An occurrence found only later is Late: the lines before it went by uncounted.
  Found Lines(const std::string& path, FailureList* failures, LineMatcher& matcher, const LineMatcher::OnLine& onLine) {
    return Scan(path, failures, &matcher, &onLine);
  }

 private:
  Found Scan(const std::string& path, FailureList* failures, LineMatcher* matcher, const LineMatcher::OnLine* onLine) {
    if (!files_.Open(path, failures)) return Found::No;
    Found found = Found::No;
    std::size_t carried = 0;  // the tail of the previous chunk, just before readAt_
    std::size_t want = FirstReadSize();
    bool feeding = false;  // the matcher has the file from its start and takes every chunk
    for (bool first = true;; first = false) {
      if (!first && stop_ != nullptr && stop_->Requested()) {
        if (feeding) found = Found::Cut;
        break;
      }
      unsigned char* chunk = buffer_.get() + readAt_;
      // The first bytes of a file may be in memory already (read ahead with others): they are searched
      // where they lie, and only the carry is copied from them for the next chunk.
      const unsigned char* data = chunk;
      const std::int64_t count = files_.Next(chunk, want, data, first, failures);
      if (feeding) {
        if (count < 0 || (count == 0 ? !matcher->Finish(*onLine) : !matcher->Feed(data, count, *onLine))) {
          found = Found::Cut;
          break;
        }
        if (count == 0) break;
        continue;
      }
      if (count <= 0) break;  // the end of the file, or a read error: no match either way
      const unsigned char* begin = data - carried;  // nothing is carried into bytes held in place
      const std::size_t size = carried + static_cast<std::size_t>(count);
      const std::size_t at = searcher_.Find(begin, size);
      if (first) Learn(at, size);
      if (at != SubstringSearcher::npos) {
        found = Found::Yes;
        if (matcher == nullptr) break;
        if (!first) {
          found = Found::Late;
          break;
        }
        if (!matcher->Feed(data, static_cast<std::size_t>(count), *onLine)) {
          found = Found::Cut;
          break;
        }
        feeding = true;
        want = kChunkSize;
        continue;
      }
      carried = std::min(carry_, size);
      std::memmove(chunk - carried, begin + size - carried, carried);
      want = kChunkSize;
    }
    files_.Close();
    return found;
  }

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

// The state of one worker of a scan that reads files: its scanner, told each run's files ahead.
template <class List, class Opens>
struct ScanWorker {
  ContentScanner scanner;
  const Opens& opens;
  const List& files;
  std::string path;  // of the file being read, its room kept from file to file
  void Prepare(std::size_t first, std::size_t last) { scanner.AnnounceRun(files, first, last, opens); }
};

// Whether file i is read: it passes the path tests and the walk saw a regular file; a FIFO, socket or
// device node it met is a failure, and never opened.
template <class List>
bool ToRead(const List& files, std::size_t i, const PathTests& pathTests, FailureList& failures) {
  const std::string_view entry = files[i];
  if (!pathTests.Pass(entry)) return false;
  if (files.kind(i) != EntryKind::File) {
    failures.Add(entry, FailureReason::NotRegularFile);
    return false;
  }
  return true;
}

// How a scan that reads files runs: runs of files a worker reads ahead together, over count files or
// those growth says.
ParallelScanOptions ReadingScan(unsigned workers, ScanGrowth* growth) {
  ParallelScanOptions options;
  options.workers = workers;
  options.run = kScanReadAheadRun;
  options.growth = growth;
  return options;
}

// The number of workers of such a scan, for the scanners to share the file system's reading out.
unsigned ReadingScanWorkers(unsigned workers, std::size_t count, const ScanGrowth* growth) {
  return ScanWorkerCount(workers, growth != nullptr ? ~std::size_t{0} : count);
}

// The content test of FilterSelection over count files (those growth says, with growth): each file that
// passes the path tests and holds the text goes to pass(i), on the calling thread, in list order.
// The files are read on several workers, each taking a run of files at a time whose first chunks the
// file system may read ahead together; FIFOs, sockets and device nodes the walk met are never opened.
template <class List, class Pass>
void ScanContent(const CommandEnv& env, const List& files, std::size_t count, const SelectionFilters& filters,
                 const PathTests& pathTests, unsigned workers, ScanGrowth* growth, const Pass& pass) {
  const auto opened = [&](std::size_t i) { return files.kind(i) == EntryKind::File && pathTests.Pass(files[i]); };
  using Worker = ScanWorker<List, decltype(opened)>;
  const unsigned scanners = ReadingScanWorkers(workers, count, growth);
  ScanInParallel<bool>(
      count,
      [&] {
        return Worker{ContentScanner(env.fs, scanners, *filters.content, filters.ignoreCase, env.stop), opened, files,
                      std::string()};
      },
      [&](Worker& worker, std::size_t i, bool& hit, FailureList& failures) {
        if (!ToRead(files, i, pathTests, failures)) return;
        worker.path.assign(files[i]);
        hit = worker.scanner.Contains(worker.path, &failures);
      },
      [&](std::size_t i, bool hit) {
        if (hit) pass(i);
      },
      env, ReadingScan(workers, growth));
}

// FilterFileLines over count files (those growth says, with growth): each file with a matching line goes
// to pass(i) and then to output, on the calling thread, in list order.
template <class List, class Pass>
void ScanLines(const CommandEnv& env, const List& files, std::size_t count, const SelectionFilters& filters,
               const PathTests& pathTests, const LineOutput& output, unsigned workers, ScanGrowth* growth,
               const Pass& pass) {
  const auto opened = [&](std::size_t i) { return files.kind(i) == EntryKind::File && pathTests.Pass(files[i]); };
  using Worker = ScanWorker<List, decltype(opened)>;
  // What a worker made of one file.
  struct Matches {
    std::uint64_t matching = 0;
    std::string text;
  };
  const unsigned scanners = ReadingScanWorkers(workers, count, growth);
  const std::string pattern = filters.content.value_or(std::string());
  ScanInParallel<Matches>(
      count,
      [&] {
        return Worker{ContentScanner(env.fs, scanners, pattern, filters.ignoreCase, env.stop), opened, files,
                      std::string()};
      },
      [&](Worker& worker, std::size_t i, Matches& matches, FailureList& failures) {
        if (!ToRead(files, i, pathTests, failures)) return;
        const std::string_view entry = files[i];
        const std::string& path = worker.path.assign(entry);
        const LineMatcher::OnLine onLine = [&](const MatchedLine& line) {
          ++matches.matching;
          if (output.format) output.format(entry, line, matches.text);
          return true;
        };
        LineMatcher matcher(pattern, filters.ignoreCase);
        switch (worker.scanner.Lines(path, &failures, matcher, onLine)) {
          case ContentScanner::Found::No:
          case ContentScanner::Found::Yes:
            return;
          case ContentScanner::Found::Cut:
            matches = Matches{};  // read in part: its numbers and count would be wrong
            return;
          case ContentScanner::Found::Late:
            break;
        }
        // Read again from the start, for the lines before the first occurrence to be counted.
        LineMatcher again(pattern, filters.ignoreCase);
        if (!ReadFileLines(CommandEnv{env.fs, env.stop}, path, again, onLine, kChunkSize, failures)) {
          matches = Matches{};
        }
      },
      [&](std::size_t i, Matches& matches) {
        if (matches.matching == 0) return;
        pass(i);
        if (output.deliver) output.deliver(i, files[i], matches.matching, matches.text);
      },
      env, ReadingScan(workers, growth));
}

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
  if (!filters.content) {
    for (std::size_t i = 0; i < n && !env.Stopped(); ++i) {
      env.sink.Progress(i);
      if (pathTests.Pass(files[i])) pass(i);
    }
    env.sink.End();
    return results;
  }

  ScanContent(env, files, files.size(), filters, pathTests, workers, nullptr, pass);
  env.sink.End();
  return results;
}

FileList FilterFileLines(const CommandEnv& env, const FileList& files, const SelectionFilters& filters,
                         const LineOutput& output, unsigned workers) {
  FileList results;
  const PathTests pathTests(filters);
  ScanLines(env, files, files.size(), filters, pathTests, output, workers, nullptr, [&](std::size_t i) {
    results.push_back(files[i], files.kind(i));
    env.Done(FileOutcome::Kind::Matched, i, files[i]);
  });
  env.sink.End();
  return results;
}

GrowingFileList::~GrowingFileList() {
  for (std::atomic<Part*>& segment : segments_) delete[] segment.load(std::memory_order_relaxed);
}

void GrowingFileList::Append(FileList batch, bool last) {
  std::size_t size = 0;
  {
    const std::lock_guard<std::mutex> lock(appending_);
    const std::size_t begin = size_.load(std::memory_order_relaxed);
    size = begin + batch.size();
    if (!batch.empty()) {
      const std::size_t p = parts_.load(std::memory_order_relaxed);
      const std::size_t s = static_cast<std::size_t>(std::bit_width(p + 1)) - 1;
      Part* segment = segments_[s].load(std::memory_order_relaxed);
      if (segment == nullptr) {
        segment = new Part[std::size_t{1} << s];
        segments_[s].store(segment, std::memory_order_relaxed);
      }
      Part& part = segment[p + 1 - (std::size_t{1} << s)];
      part.files = std::move(batch);
      part.begin = begin;
      // The part, its segment and the new size are seen by whoever sees the new count.
      parts_.store(p + 1, std::memory_order_release);
      size_.store(size, std::memory_order_release);
    }
  }
  growth_.Grow(size, last);
}

const GrowingFileList::Part& GrowingFileList::PartAt(std::size_t p) const {
  const std::size_t s = static_cast<std::size_t>(std::bit_width(p + 1)) - 1;
  return segments_[s].load(std::memory_order_relaxed)[p + 1 - (std::size_t{1} << s)];
}

std::pair<const FileList*, std::size_t> GrowingFileList::Locate(std::size_t i) const {
  // A thread mostly asks for the entries of one batch in a row: the part it found last is tried first.
  thread_local const GrowingFileList* lastList = nullptr;
  thread_local std::size_t lastPart = 0;
  const std::size_t parts = parts_.load(std::memory_order_acquire);
  if (lastList == this && lastPart < parts) {
    const Part& part = PartAt(lastPart);
    if (part.begin <= i && i < part.end()) return {&part.files, i - part.begin};
  }
  // The first part whose end lies beyond i.
  std::size_t low = 0;
  std::size_t high = parts;
  while (low < high) {
    const std::size_t mid = low + (high - low) / 2;
    if (PartAt(mid).end() <= i) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  lastList = this;
  lastPart = low;
  const Part& part = PartAt(low);
  return {&part.files, i - part.begin};
}

std::string_view GrowingFileList::operator[](std::size_t i) const {
  const auto [batch, k] = Locate(i);
  return (*batch)[k];
}

EntryKind GrowingFileList::kind(std::size_t i) const {
  const auto [batch, k] = Locate(i);
  return batch->kind(k);
}

void FilterSelection(const CommandEnv& env, GrowingFileList& files, const SelectionFilters& filters,
                     unsigned workers) {
  const PathTests pathTests(filters);
  ScanContent(env, files, 0, filters, pathTests, workers, &files.growth(),
              [&](std::size_t i) { env.Done(FileOutcome::Kind::Matched, i, files[i]); });
  env.sink.End();
}

void FilterFileLines(const CommandEnv& env, GrowingFileList& files, const SelectionFilters& filters,
                     const LineOutput& output, unsigned workers) {
  const PathTests pathTests(filters);
  ScanLines(env, files, 0, filters, pathTests, output, workers, &files.growth(),
            [&](std::size_t i) { env.Done(FileOutcome::Kind::Matched, i, files[i]); });
  env.sink.End();
}

}  // namespace kestrin
