#pragma once
// Runs a per-file job over the entries of a list on several threads, and hands the results back to the
// calling thread one file at a time, in list order.
//
//   ScanInParallel<bool>(files.size(),
//       [&] { return ContentScanner(pattern, ignoreCase); },        // one state per worker, made on it
//       [&](ContentScanner& s, std::size_t i, bool& hit, FailureList& failures) {
//         hit = s.Contains(std::string(files[i]));                  // on a worker thread
//       },
//       [&](std::size_t i, bool& hit) { ... },                      // calling thread: i = 0, 1, 2, ...
//       env);
//
// The contract:
// - makeState() is called once on each worker thread before its first file, and the state it returns is
//   destroyed on that thread after its last: a state may hold what belongs to one thread (a read buffer,
//   a searcher, a folder the file system keeps open for that thread's reads).
// - scan(state, index, result, failures) runs on a worker thread, for each index at most once. result
//   starts as a value-initialised Result; failures starts empty and collects the file's own failures.
//   Two scans never share a state at the same time; anything else scan touches must be safe to use from
//   several threads at once (reading the file list is).
// - deliver(index, result) runs on the calling thread, for index 0, 1, 2, ... with no gap, each index
//   after env.sink has had Progress(index) and then the file's failures, each as a Failed outcome. It
//   may move the result out, and report the file's other outcomes to the sink. So the sink sees every
//   command's reports in one order, on the calling thread, with no lock.
// - The workers claim runs of consecutive files (ParallelScanOptions::run), and a state may say which
//   files it will take next: when it has a member Prepare(first, last), it is called on the worker with
//   each run before the run's first file (a state may read the run's files ahead, together).
// - The stop flag of env is looked at before each run is claimed: after a stop, no run is claimed,
//   and the runs already claimed are scanned (the scan looks at the flag itself) and delivered, so what
//   was delivered is always a prefix of the list. A scan that reads a large file should look at the flag
//   between chunks as well.
// - Memory stays bounded whatever the number of files: one state per worker, and at most `window`
//   results (DefaultScanWindow unless given) held between the scan and the delivery; a worker that runs
//   that far ahead of the delivery waits.
// - The calling thread is woken for a run of ready results rather than for each file (a quarter of the
//   window, or whatever is ready once a result has waited kScanDeliveryLatency), so that a scan of many
//   small files does not spend its time switching threads; the last results come as soon as they are
//   ready.
// - An exception from makeState, scan or deliver stops the other workers, and is thrown again on the
//   calling thread once every worker has ended.
// - With one worker (one core, or at most one file) and every file there from the start, everything runs
//   on the calling thread, in the same order, with no thread started.
// - The files may still be coming (ParallelScanOptions::growth, a walk listing them meanwhile): the
//   workers then wait for more rather than end, until told the last have come.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/filesystem.h"
#include "primitives/command.h"
#include "primitives/command_sink.h"
#include "primitives/file_list.h"

namespace kestrin {

class ScanGrowth;

struct ParallelScanOptions {
  unsigned workers = 0;     // 0: one per core (std::thread::hardware_concurrency)
  std::size_t window = 0;   // results in flight at most; 0: DefaultScanWindow
  std::size_t run = 1;      // files a worker claims at a time, at most
  // Files that are still coming: the count grows as growth says, and the scan ends once growth has said
  // that the last have come and they are delivered. Null: the count given is all there is.
  ScanGrowth* growth = nullptr;
};

// The results in flight with the given number of workers, unless the options say otherwise. Wide enough
// that the other workers go on through small files while one reads a file of many megabytes, and that the
// calling thread is woken for runs of hundreds of results rather than dozens.
inline std::size_t DefaultScanWindow(unsigned workers) { return std::size_t{1024} * workers; }

// Files a worker of a scan that reads them takes at a time, so that its reader may read their starts
// ahead together (FileReader::Announce).
inline constexpr std::size_t kScanReadAheadRun = 16;

// The reading of one worker of a scan that reads files: a reader of the file system of its own (made and
// destroyed on the worker, FileSystem::NewReader), told the files of each run ahead (AnnounceRun), and the
// failures of opening and reading recorded with the reason the system gave, the same way for every scan.
class FileScanner {
 public:
  // workers: how many scan at the same time, each with its own scanner.
  FileScanner(FileSystem& fs, unsigned workers);
  FileScanner(FileScanner&&) = default;
  FileScanner& operator=(FileScanner&&) = default;
  ~FileScanner();

  // Tells the reader which files of [first, last) the run will open (those keep(i) holds), and how many
  // bytes of each it reads first.
  template <class List, class Keep>
  void AnnounceRun(const List& files, std::size_t first, std::size_t last, const Keep& keep,
                   std::size_t bytes) {
    // The paths of the last run are overwritten in place, so that their room serves again.
    std::size_t n = 0;
    for (std::size_t i = first; i < last; ++i) {
      if (!keep(i)) continue;
      if (n < ahead_.size()) {
        ahead_[n].assign(files[i]);
      } else {
        ahead_.emplace_back(files[i]);
      }
      ++n;
    }
    ahead_.resize(n);
    if (!ahead_.empty()) reader_->Announce(ahead_, bytes);
  }

  // Opens a file (closing the one open before); false, with the failure recorded, when it cannot be.
  bool Open(const std::string& path, FailureList* failures);
  // The next bytes of the open file, at most size: where the reader holds them in memory already and
  // inPlace allows, data points at them; otherwise they are read into buffer, and data points there. The
  // count; 0 at the end of the file; -1 after a read error, which is recorded.
  std::int64_t Next(unsigned char* buffer, std::size_t size, const unsigned char*& data, bool inPlace,
                    FailureList* failures);
  // Closes the open file, if any.
  void Close();

 private:
  std::unique_ptr<FileReader> reader_;
  ReadHandle handle_ = -1;
  std::string path_;  // of the open file
  std::vector<std::string> ahead_;
};

// Tells the sink that file index is being delivered, and the failures its scan met.
inline void ReportScanned(const CommandEnv& env, std::size_t index, const FailureList& failures) {
  env.sink.Progress(index);
  for (const Failure& failure : failures.items()) env.Failed(index, failure.path, failure.reason, failure.detail);
}

// The longest a ready result waits for the calling thread while the rest of its run is being scanned.
inline constexpr std::chrono::milliseconds kScanDeliveryLatency{20};

// The number of workers a scan of `files` files runs with: the requested count, or one per core when it
// is 0, never more than the number of files, and at least 1.
unsigned ScanWorkerCount(unsigned requested, std::size_t files);

// The hand-over between the workers and the calling thread: which file is next, which results are ready,
// and when the scan is over. Used by ScanInParallel; its members are safe to call from any thread.
class ScanQueue {
 public:
  ScanQueue(std::size_t count, std::size_t window, const StopFlag* stop);
  ScanQueue(const ScanQueue&) = delete;
  ScanQueue& operator=(const ScanQueue&) = delete;

  // Producer side, for a scan of files that are still coming: there are count files now (never fewer
  // than before); last: no more will come.
  void Grow(std::size_t count, bool last);

  // Worker side. Claim gives the next run of files to scan, [first, last), at most `run` of them, waiting
  // while the window is full or, while more files may come, for them; false when every file has been
  // claimed (and no more will come), a stop was asked for, or the scan was aborted. Every file of a run
  // is scanned, a stop notwithstanding (the scan sees the stop itself).
  bool Claim(std::size_t& first, std::size_t& last, std::size_t run);
  // The result of index is ready to be delivered.
  void Finish(std::size_t index);

  // Calling thread. Waits until the result of file `from`, the first not delivered yet, is ready and
  // returns the end of the run of ready results that begins there; returns `from` itself when no further
  // result will come.
  std::size_t WaitReady(std::size_t from);
  // The results before `end` have been delivered: their slots may take new files.
  void Release(std::size_t end);

  // Ends the scan early after an error: no file is begun any more and WaitReady returns at once.
  void Abort();

 private:
  std::size_t Slot(std::size_t index) const { return index % window_; }
  // Whether the calling thread, waiting for the result of `from` (the first not delivered yet), should
  // take what is ready now (the mutex held).
  bool RunReady(std::size_t from) const;

  std::size_t count_;
  bool last_ = true;  // no more files will come
  const std::size_t window_;
  const std::size_t batch_;  // a run of this many ready results wakes the calling thread
  const StopFlag* const stop_;
  std::mutex mutex_;
  std::condition_variable workerWake_;
  std::condition_variable callerWake_;
  std::vector<unsigned char> ready_;  // per slot
  std::size_t next_ = 0;              // the first file not yet begun
  std::size_t released_ = 0;          // the first file not yet delivered
  std::size_t readyEnd_ = 0;          // the end of the run of ready results that begins at released_
  bool closed_ = false;               // no file will be begun any more
  bool aborted_ = false;
  bool callerWaiting_ = false;
};

// The count of a scan's files while they are still coming: the producer (a walk on a thread of its own)
// raises it as it lists them, and says when the last has come; a scan given it in its options
// (ParallelScanOptions::growth) waits for them. Made before the scan, and may be raised before the scan
// begins and after it has ended.
class ScanGrowth {
 public:
  ScanGrowth() = default;
  ScanGrowth(const ScanGrowth&) = delete;
  ScanGrowth& operator=(const ScanGrowth&) = delete;

  // There are count files now; last: no more will come.
  void Grow(std::size_t count, bool last) {
    const std::lock_guard<std::mutex> lock(mutex_);
    count_ = count;
    last_ = last;
    if (queue_ != nullptr) queue_->Grow(count, last);
  }

  // The scan's side: the queue that hears of the growth from now on (null: none any more).
  void Attach(ScanQueue* queue) {
    const std::lock_guard<std::mutex> lock(mutex_);
    queue_ = queue;
    if (queue_ != nullptr) queue_->Grow(count_, last_);
  }

 private:
  std::mutex mutex_;
  ScanQueue* queue_ = nullptr;
  std::size_t count_ = 0;
  bool last_ = false;
};

template <class Result, class MakeState, class Scan, class Deliver>
void ScanInParallel(std::size_t count, MakeState&& makeState, Scan&& scan, Deliver&& deliver,
                    const CommandEnv& env, const ParallelScanOptions& options = {}) {
  // Files still coming are always scanned on worker threads, the calling thread delivering meanwhile.
  const unsigned workers = ScanWorkerCount(options.workers, options.growth != nullptr ? ~std::size_t{0} : count);
  if (workers <= 1 && options.growth == nullptr) {
    if (count == 0) return;
    auto state = makeState();
    FailureList failures;
    const std::size_t run = std::max<std::size_t>(1, options.run);
    for (std::size_t i = 0; i < count && !env.Stopped(); ++i) {
      if constexpr (requires { state.Prepare(i, i); }) {
        if (i % run == 0) state.Prepare(i, std::min(count, i + run));
      }
      Result result{};
      scan(state, i, result, failures);
      ReportScanned(env, i, failures);
      failures.clear();
      deliver(i, result);
    }
    return;
  }

  const std::size_t window = options.window != 0 ? options.window : DefaultScanWindow(workers);
  struct Slot {
    Result result{};
    FailureList failures;
  };
  std::vector<Slot> slots(window);
  ScanQueue queue(count, window, env.stop);
  // The queue hears of the growth for as long as it lives.
  struct Listening {
    ScanGrowth* growth;
    Listening(ScanGrowth* g, ScanQueue& queue) : growth(g) {
      if (growth != nullptr) growth->Attach(&queue);
    }
    ~Listening() {
      if (growth != nullptr) growth->Attach(nullptr);
    }
  } listening(options.growth, queue);
  std::mutex errorMutex;
  std::exception_ptr error;
  const auto fail = [&](std::exception_ptr e) {
    {
      const std::lock_guard<std::mutex> lock(errorMutex);
      if (!error) error = std::move(e);
    }
    queue.Abort();
  };

  // Joins every worker however the calling thread leaves this function.
  struct Joiner {
    ScanQueue& queue;
    std::vector<std::thread> threads;
    ~Joiner() {
      queue.Abort();
      for (std::thread& t : threads) t.join();
    }
  } joiner{queue, {}};

  try {
    joiner.threads.reserve(workers);
    for (unsigned w = 0; w < workers; ++w) {
      joiner.threads.emplace_back([&] {
        try {
          auto state = makeState();
          std::size_t first = 0;
          std::size_t last = 0;
          while (queue.Claim(first, last, std::max<std::size_t>(1, options.run))) {
            if constexpr (requires { state.Prepare(first, last); }) state.Prepare(first, last);
            for (std::size_t i = first; i < last; ++i) {
              Slot& slot = slots[i % window];
              slot.result = Result{};
              slot.failures.clear();
              scan(state, i, slot.result, slot.failures);
              queue.Finish(i);
            }
          }
        } catch (...) {
          fail(std::current_exception());
        }
      });
    }
    for (std::size_t from = 0;;) {
      const std::size_t end = queue.WaitReady(from);
      if (end == from) break;
      for (std::size_t i = from; i < end; ++i) {
        Slot& slot = slots[i % window];
        ReportScanned(env, i, slot.failures);
        deliver(i, slot.result);
      }
      queue.Release(end);
      from = end;
    }
  } catch (...) {
    fail(std::current_exception());
  }
  for (std::thread& t : joiner.threads) t.join();
  joiner.threads.clear();
  if (error) std::rethrow_exception(error);
}

}  // namespace kestrin
