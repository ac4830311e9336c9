#include "search/tree_search.h"

#include <algorithm>
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

void Report(CommandSink& sink, const WalkReport& report) {
  FileOutcome outcome;
  outcome.kind = report.kind;
  outcome.source = report.path;
  outcome.reason = report.reason;
  outcome.detail = report.detail;
  sink.Outcome(outcome);
}

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

// The walk's reports, each kept with the index of the first file listed after it, until the search
// reaches that file.
class WalkReports {
 public:
  // Walking thread: reports met before file `before` of the list.
  void Add(std::size_t before, std::vector<WalkReport> reports) {
    if (reports.empty()) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    waiting_.emplace_back(before, std::move(reports));
  }
  // Passes on to sink the reports met before file upTo (all of them, with npos), in order.
  void PassOn(CommandSink& sink, std::size_t upTo) {
    for (;;) {
      std::vector<WalkReport> reports;
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (waiting_.empty() || waiting_.front().first > upTo) return;
        reports = std::move(waiting_.front().second);
        waiting_.pop_front();
      }
      for (const WalkReport& report : reports) {
        Report(sink, report);
      }
    }
  }

 private:
  std::mutex mutex_;
  std::deque<std::pair<std::size_t, std::vector<WalkReport>>> waiting_;
};

// Keeps the walk a bounded number of files ahead of the search, so that a search ended early (a reader
// that has seen enough) leaves the rest of a large tree unwalked, and a tree's list does not pile up in
// memory while the reading lags behind.
class WalkPace {
 public:
  explicit WalkPace(std::size_t ahead) : ahead_(ahead) {}
  // The search has reached file index. The walk is woken only once it has room.
  void Reached(std::size_t index) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      reached_ = index + 1;
      if (reached_ < awaited_) return;
      awaited_ = kNobodyWaits;
    }
    room_.notify_one();
  }
  // The walk, with `handed` files handed to the search so far: waits until a list of `listed` files is
  // few enough ahead, or the search has reached every file it has (a batch larger than the distance
  // allowed must not wait for files that will never come); false once the search has ended.
  bool WaitForRoom(std::size_t handed, std::size_t listed) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto room = [&] { return ended_ || listed <= reached_ + ahead_ || reached_ >= handed; };
    while (!room()) {
      awaited_ = std::min(listed - ahead_, handed);
      room_.wait(lock);
    }
    awaited_ = kNobodyWaits;
    return !ended_;
  }
  // The search has ended: the walk is wanted no more.
  void End() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      ended_ = true;
    }
    room_.notify_all();
  }

 private:
  const std::size_t ahead_;
  std::mutex mutex_;
  std::condition_variable room_;
  static constexpr std::size_t kNobodyWaits = ~std::size_t{0};
  std::size_t reached_ = 0;             // files the search has reached
  std::size_t awaited_ = kNobodyWaits;  // the count reached that gives the waiting walk room
  bool ended_ = false;
};

// The search's reports on their way to the command's sink: the walk's reports met before a file go
// first, and the search's End() is kept back. Each file reached lets the walk go on.
class WalkFirstSink : public CommandSink {
 public:
  WalkFirstSink(CommandSink& next, WalkReports& walk, WalkPace& pace) : next_(next), walk_(walk), pace_(pace) {}
  void Progress(std::size_t index) override {
    walk_.PassOn(next_, index);
    pace_.Reached(index);
    next_.Progress(index);
  }
  void Outcome(const FileOutcome& outcome) override { next_.Outcome(outcome); }

 private:
  CommandSink& next_;
  WalkReports& walk_;
  WalkPace& pace_;
};

// SearchTree with a content filter: the files the walk lists go into one list that grows while one
// search with one set of workers reads it, so that no worker waits at the end of a batch for the others.
std::size_t SearchWhileWalking(const CommandEnv& env, const std::string& top, const TreeSearchOptions& options,
                               const PathStyle& style) {
  GrowingFileList files;
  WalkReports walkReports;
  // As far ahead as the batches waiting for the search without a content filter, unless told.
  WalkPace pace(options.walkAhead != 0 ? options.walkAhead
                                       : BatchQueue::kWaiting * kLastBatchTimes * std::max<std::size_t>(options.firstBatch, 1));
  std::thread walker([&] {
    ReportRecorder recorder;
    FileList list;
    const auto hand = [&](FileList& batch, bool last) {
      // The last files are always handed on, so that the search knows there are no more.
      const bool room = pace.WaitForRoom(files.size(), files.size() + batch.size()) || last;
      if (room) {
        walkReports.Add(files.size(), std::move(recorder.reports));
        recorder.reports.clear();
        files.Append(std::move(batch), last);
      }
      batch.clear();
      return room;
    };
    // The last files are handed after the walk has ended, whatever stopped it, so that the search knows.
    CollectFiles(CommandEnv{env.fs, env.stop, recorder}, top, list, options.walk, style, options.firstBatch,
                 [&](FileList& batch) { return hand(batch, false); });
    hand(list, true);
  });
  // The walk ends however the search does: told that no more files are wanted, then waited for.
  struct Joiner {
    WalkPace& pace;
    std::thread& thread;
    ~Joiner() {
      pace.End();
      if (thread.joinable()) thread.join();
    }
  } joiner{pace, walker};

  WalkFirstSink sink(env.sink, walkReports, pace);
  const CommandEnv search{env.fs, env.stop, sink};
  if (options.lines != nullptr) {
    FilterFileLines(search, files, options.filters, *options.lines, options.workers);
  } else {
    FilterSelection(search, files, options.filters, options.workers);
  }
  pace.End();
  walker.join();
  // What the walk met after its last file; nothing more after a stop.
  if (!env.Stopped()) walkReports.PassOn(env.sink, ~std::size_t{0});
  env.sink.End();
  return files.size();
}

}  // namespace

std::size_t SearchTree(const CommandEnv& env, std::string_view folder, const TreeSearchOptions& options,
                       const PathStyle& style) {
  const std::string top(folder);
  if (options.filters.content) return SearchWhileWalking(env, top, options, style);

  // Without a content filter nothing is read: each batch is filtered as it comes.
  BatchQueue queue;
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
    for (const WalkReport& report : batch.reports) Report(env.sink, report);
    if (!batch.files.empty() && !env.Stopped()) {
      OffsetSink sink(env.sink, listed);
      const CommandEnv part{env.fs, env.stop, sink};
      FilterSelection(part, batch.files, options.filters, options.workers);
      listed += batch.files.size();
    }
    if (batch.last || env.Stopped()) break;
  }
  env.sink.End();
  return listed;
}

}  // namespace kestrin
