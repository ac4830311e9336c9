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

// One worker's reading: a buffer and a stream through the shared automaton. Made and destroyed on its
// worker thread, which keeps the folder of its last file open between files (OpenForReadInBatch).
class ReferenceReader {
 public:
  ReferenceReader(const MultiSearcher& searcher, const CommandContext& context)
      : fs_(Fs()), context_(context), stream_(searcher), buffer_(new unsigned char[kChunkSize]) {}
  ~ReferenceReader() { fs_.EndReadBatch(); }
  ReferenceReader(const ReferenceReader&) = delete;
  ReferenceReader& operator=(const ReferenceReader&) = delete;

  // The names found in the file, as pattern numbers; none when it is empty or cannot be opened (recorded
  // in failures).
  void Scan(std::string_view entry, EntryKind kind, std::vector<std::uint32_t>& found, FailureList& failures) {
    if (kind != EntryKind::File) {
      failures.Add(entry, FailureReason::NotRegularFile);
      return;
    }
    path_.assign(entry);
    const ReadHandle handle = fs_.OpenForReadInBatch(path_);
    if (handle < 0) {
      // The file system opens regular files only, whatever took a listed file's place since the walk.
      const PathInfo info = fs_.Lookup(path_);
      if (!info.found) {
        failures.Add(entry, FailureReason::Vanished);
      } else if (info.kind != EntryKind::File) {
        failures.Add(entry, FailureReason::NotRegularFile);
      } else {
        failures.Add(entry, FailureReason::System, "could not be opened");
      }
      return;
    }
    stream_.Begin();
    bool content = false;
    // A stop between the reads of a large file keeps what the part read holds, as a read error does.
    for (bool first = true; first || !context_.Stopped(); first = false) {
      // Bytes the file system holds in memory already (read ahead) are fed where they lie; the stream
      // keeps the few it needs for a name across the seam to the next chunk.
      const unsigned char* data = buffer_.get();
      std::int64_t count = static_cast<std::int64_t>(fs_.ReadInPlace(handle, data, kChunkSize));
      if (count == 0) {
        data = buffer_.get();
        count = fs_.Read(handle, buffer_.get(), kChunkSize);
      }
      if (count == 0) break;
      if (count < 0) {
        // What was read before the error stands, as it does for the content search.
        failures.Add(entry, FailureReason::System, "could not be read to its end");
        break;
      }
      content = true;
      stream_.Feed(data, static_cast<std::size_t>(count));
      if (stream_.FoundAll()) break;
    }
    fs_.Close(handle);
    if (content) found = stream_.Found();
  }

 private:
  FileSystem& fs_;
  const CommandContext& context_;
  MultiSearchStream stream_;
  std::unique_ptr<unsigned char[]> buffer_;
  std::string path_;
};

}  // namespace

std::vector<std::size_t> CountReferences(const FileList& files, const std::vector<std::string>& names,
                                         bool ignoreCase, const std::function<void(std::size_t index)>& position,
                                         const CommandContext& context) {
  std::vector<std::size_t> counts(names.size(), 0);
  if (files.empty() || names.empty()) return counts;

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
    std::vector<std::string> ahead;
    void Prepare(std::size_t first, std::size_t last) {
      const auto isFile = [this](std::size_t i) { return files.kind(i) == EntryKind::File; };
      AnnounceRun(Fs(), files, first, last, isFile, kChunkSize, ahead);
    }
  };
  ParallelScanOptions options;
  options.run = kScanReadAheadRun;
  ScanInParallel<std::vector<std::uint32_t>>(
      files.size(), [&] { return Worker{ReferenceReader(searcher, context), files, {}}; },
      [&](Worker& worker, std::size_t i, std::vector<std::uint32_t>& found, FailureList& failures) {
        worker.reader.Scan(files[i], files.kind(i), found, failures);
      },
      [&](std::size_t i, std::vector<std::uint32_t>& found) {
        if (position) position(i);
        for (const std::uint32_t p : found) ++patternCounts[p];
      },
      context, options);
  for (std::size_t k = 0; k < names.size(); ++k) counts[k] = patternCounts[patternOf[k]];
  return counts;
}

}  // namespace kestrin
