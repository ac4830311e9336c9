#include "search/tree_search.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kestrin {

namespace {

// What the walk reported outside any list, kept until the batch it precedes is handed on.
struct WalkReport {
  FileOutcome::Kind kind;
  std::string path;
  FailureReason reason;
  std::string detail;
};

struct Batch {
  FileList files;
  std::vector<WalkReport> reports;
  bool last = false;
};

// The walk's side of the hand-over: its reports, recorded on the walking thread.
class ReportRecorder : public CommandSink {
 public:
  void Outcome(const FileOutcome& outcome) override {
    reports.push_back(WalkReport{outcome.kind, std::string(outcome.source), outcome.reason, std::string(outcome.detail)});
  }
  std::vector<WalkReport> reports;
};

// Batches from the walking thread to the calling one, at most kWaiting of them waiting.
class BatchQueue {
 public:
  static constexpr std::size_t kWaiting = 4;

  // Walking thread: false when the search has ended and wants no more.
  bool Push(Batch batch) {
    std::unique_lock<std::mutex> lock(mutex_);
    room_.wait(lock, [&] { return closed_ || batches_.size() < kWaiting; });
    if (closed_) return false;
    batches_.push_back(std::move(batch));
    ready_.notify_one();
    return true;
  }
  // Calling thread: the next batch; false once the last has been taken.
  bool Pop(Batch& batch) {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [&] { return !batches_.empty(); });
    batch = std::move(batches_.front());
    batches_.pop_front();
    room_.notify_one();
    return true;
  }
  // Calling thread: no more batches are wanted.
  void Close() {
    const std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    room_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable room_;
  std::condition_variable ready_;
  std::deque<Batch> batches_;
  bool closed_ = false;
};

// Passes a batch's reports on to the command's sink, its indexes made those of the whole list, and keeps
// the End() of each batch's search to itself.
class OffsetSink : public CommandSink {
 public:
  OffsetSink(CommandSink& next, std::size_t base) : next_(next), base_(base) {}
  void Progress(std::size_t index) override { next_.Progress(base_ + index); }
  void Outcome(const FileOutcome& outcome) override {
    FileOutcome shifted = outcome;
    if (shifted.index != FileOutcome::kNoIndex) shifted.index += base_;
    next_.Outcome(shifted);
  }

 private:
  CommandSink& next_;
  std::size_t base_;
};

}  // namespace

std::size_t SearchTree(const CommandEnv& env, std::string_view folder, const TreeSearchOptions& options,
                       const PathStyle& style) {
  BatchQueue queue;
  const std::string top(folder);
  std::thread walker([&] {
    ReportRecorder recorder;
    FileList list;
    const auto hand = [&](FileList& files, bool last) {
      Batch batch;
      batch.files = std::move(files);
      files.clear();
      batch.reports = std::move(recorder.reports);
      recorder.reports.clear();
      batch.last = last;
      return queue.Push(std::move(batch));
    };
    // The last batch is handed after the walk has ended, whatever stopped it, so that the search knows.
    CollectFiles(CommandEnv{env.fs, env.stop, recorder}, top, list, options.walk, style, options.firstBatch,
                 [&](FileList& files) { return hand(files, false); });
    hand(list, true);
  });
  // The walk ends however the search does: told that no more batches are wanted, then waited for.
  struct Joiner {
    BatchQueue& queue;
    std::thread& thread;
    ~Joiner() {
      queue.Close();
      thread.join();
    }
  } joiner{queue, walker};

  std::size_t listed = 0;
  for (Batch batch; queue.Pop(batch);) {
    for (const WalkReport& report : batch.reports) {
      FileOutcome outcome;
      outcome.kind = report.kind;
      outcome.source = report.path;
      outcome.reason = report.reason;
      outcome.detail = report.detail;
      env.sink.Outcome(outcome);
    }
    if (!batch.files.empty() && !env.Stopped()) {
      OffsetSink sink(env.sink, listed);
      const CommandEnv part{env.fs, env.stop, sink};
      if (options.onLines != nullptr && options.filters.content) {
        const std::size_t base = listed;
        FilterFileLines(
            part, batch.files, options.filters,
            [&](std::size_t index, std::string_view path, const FileLines& lines) {
              (*options.onLines)(base + index, path, lines);
            },
            options.countOnly, options.workers);
      } else {
        FilterSelection(part, batch.files, options.filters, options.workers);
      }
      listed += batch.files.size();
    }
    if (batch.last || env.Stopped()) break;
  }
  env.sink.End();
  return listed;
}

}  // namespace kestrin
