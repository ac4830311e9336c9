#include "search/reference_report.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/filesystem.h"
#include "search/multi_search.h"
#include "search/parallel_scan.h"

namespace kestrin {

namespace {

// Bytes read from a file at a time, as the content search reads them. The automaton carries its state
// from one chunk to the next, so a name across a chunk boundary is found without reading any byte twice.
constexpr std::size_t kChunkSize = std::size_t{256} << 10;

// One worker's reading: a buffer and a stream through the shared automaton, and the worker's own reader of
// the file system.
class ReferenceReader {
 public:
  ReferenceReader(FileSystem& fs, unsigned workers, const MultiSearcher& searcher, const StopFlag* stop)
      : files_(fs, workers), stop_(stop), stream_(searcher), buffer_(new unsigned char[kChunkSize]) {}

  // Tells the reader which files of [first, last) the worker's run opens.
  void AnnounceRun(const FileList& files, std::size_t first, std::size_t last) {
    const auto isFile = [&files](std::size_t i) { return files.kind(i) == EntryKind::File; };
    files_.AnnounceRun(files, first, last, isFile, kChunkSize);
  }

  // The names found in the file, as pattern numbers; none when it is empty or cannot be opened (recorded
  // in failures).
  void Scan(std::string_view entry, EntryKind kind, std::vector<std::uint32_t>& found, FailureList& failures) {
    if (kind != EntryKind::File) {
      failures.Add(entry, FailureReason::NotRegularFile);
      return;
    }
    path_.assign(entry);
    // The reader opens regular files only, whatever took a listed file's place since the walk.
    if (!files_.Open(path_, &failures)) return;
    stream_.Begin();
    bool content = false;
    // A stop between the reads of a large file keeps what the part read holds, as a read error does.
    for (bool first = true; first || stop_ == nullptr || !stop_->Requested(); first = false) {
      // Bytes the reader holds in memory already (read ahead) are fed where they lie; the stream keeps the
      // few it needs for a name across the seam to the next chunk.
      const unsigned char* data = buffer_.get();
      const std::int64_t count = files_.Next(buffer_.get(), kChunkSize, data, true, &failures);
      // What was read before a read error stands, as it does for the content search.
      if (count <= 0) break;
      content = true;
      stream_.Feed(data, static_cast<std::size_t>(count));
      if (stream_.FoundAll()) break;
    }
    files_.Close();
    if (content) found = stream_.Found();
  }

 private:
  FileScanner files_;
  const StopFlag* stop_;
  MultiSearchStream stream_;
  std::unique_ptr<unsigned char[]> buffer_;
  std::string path_;
};

}  // namespace

std::vector<std::size_t> CountReferences(const CommandEnv& env, const FileList& files,
                                         const std::vector<std::string>& names, bool ignoreCase) {
  std::vector<std::size_t> counts(names.size(), 0);
  if (files.empty() || names.empty()) {
    env.sink.End();
    return counts;
  }

  // Equal names are searched once.
  std::vector<std::string> patterns;
  std::vector<std::uint32_t> patternOf(names.size());
  {
    std::unordered_map<std::string_view, std::uint32_t> numbers;
    patterns.reserve(names.size());
    for (std::size_t k = 0; k < names.size(); ++k) {
      const auto [it, added] = numbers.emplace(names[k], static_cast<std::uint32_t>(patterns.size()));
      if (added) patterns.push_back(names[k]);
      patternOf[k] = it->second;
    }
  }
  const MultiSearcher searcher(patterns, ignoreCase);
  std::vector<std::size_t> patternCounts(patterns.size(), 0);
  // Each worker takes a run of files at a time, and the file system may read their starts ahead together.
  struct Worker {
    ReferenceReader reader;
    const FileList& files;
    void Prepare(std::size_t first, std::size_t last) { reader.AnnounceRun(files, first, last); }
  };
  ParallelScanOptions options;
  options.run = kScanReadAheadRun;
  const unsigned readers = ScanWorkerCount(options.workers, files.size());
  ScanInParallel<std::vector<std::uint32_t>>(
      files.size(), [&] { return Worker{ReferenceReader(env.fs, readers, searcher, env.stop), files}; },
      [&](Worker& worker, std::size_t i, std::vector<std::uint32_t>& found, FailureList& failures) {
        worker.reader.Scan(files[i], files.kind(i), found, failures);
      },
      [&](std::size_t i, std::vector<std::uint32_t>& found) {
        for (const std::uint32_t p : found) ++patternCounts[p];
        if (!found.empty()) env.Done(FileOutcome::Kind::Matched, i, files[i]);
      },
      env, options);
  env.sink.End();
  for (std::size_t k = 0; k < names.size(); ++k) counts[k] = patternCounts[patternOf[k]];
  return counts;
}

}  // namespace kestrin
