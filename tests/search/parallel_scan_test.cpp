// The parallel scan: results in list order whatever the number of workers, stops that deliver a prefix,
// one state per worker on its own thread, a bounded window, errors carried back to the caller.

#include "search/parallel_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace kestrin {
namespace {

// What one scan saw: the delivered indices and results, the failures in the order they arrived, and how
// many states were made and files begun.
struct Outcome {
  std::vector<std::size_t> delivered;
  std::vector<std::uint64_t> results;
  std::vector<std::string> failures;
  std::size_t states = 0;
  std::size_t begun = 0;
  std::vector<std::pair<std::size_t, std::size_t>> runs;  // as the states were told of them, sorted
};

std::uint64_t Mix(std::size_t i) { return (i + 1) * 0x9E3779B97F4A7C15ull ^ (i >> 3); }

// Scans count files: file i yields Mix(i) after a pause that depends on seed (so that workers finish out
// of order), and fails when i % 7 == 3. stopAt raises the stop flag in the delivery of that index.
Outcome RunScan(std::size_t count, ParallelScanOptions options, unsigned seed, std::size_t stopAt = SIZE_MAX,
            StopFlag* stop = nullptr) {
  Outcome out;
  FailureList failures;
  StopFlag own;
  StopFlag& flag = stop != nullptr ? *stop : own;
  FailureCollector collector(failures);
  const CommandEnv env{NativeFileSystem(), &flag, collector};
  std::atomic<std::size_t> states{0}, begun{0}, delivered{0};
  const std::size_t window =
      options.window != 0 ? options.window : DefaultScanWindow(ScanWorkerCount(options.workers, count));
  std::mutex runsMutex;
  struct State {
    std::thread::id thread = std::this_thread::get_id();
    std::mt19937 random;
    Outcome* out = nullptr;
    std::mutex* runsMutex = nullptr;
    void Prepare(std::size_t first, std::size_t last) {
      const std::lock_guard<std::mutex> lock(*runsMutex);
      out->runs.emplace_back(first, last);
    }
  };
  ScanInParallel<std::uint64_t>(
      count,
      [&] {
        const std::size_t n = states++;
        return State{std::this_thread::get_id(), std::mt19937(seed + static_cast<unsigned>(n)), &out, &runsMutex};
      },
      [&](State& state, std::size_t i, std::uint64_t& result, FailureList& fileFailures) {
        EXPECT_EQ(state.thread, std::this_thread::get_id()) << "a state left its thread";
        EXPECT_EQ(result, 0u) << "a result slot was not reset";
        EXPECT_LT(i, delivered.load() + window) << "a worker ran beyond the window";
        ++begun;
        if (state.random() % 4 == 0) std::this_thread::sleep_for(std::chrono::microseconds(state.random() % 300));
        result = Mix(i);
        if (i % 7 == 3) fileFailures.Add(std::string("f").append(std::to_string(i)), FailureReason::System);
      },
      [&](std::size_t i, std::uint64_t& result) {
        out.delivered.push_back(i);
        out.results.push_back(result);
        delivered = i + 1;
        if (i == stopAt) flag.Request();
      },
      env, options);
  for (const Failure& f : failures.items()) out.failures.push_back(f.path);
  out.states = states;
  out.begun = begun;
  std::sort(out.runs.begin(), out.runs.end());
  return out;
}

// The runs the states were told of follow each other from the first file, none longer than asked, and
// cover every file begun.
void ExpectRunsCover(const Outcome& out, std::size_t run) {
  std::size_t next = 0;
  for (const auto& [first, last] : out.runs) {
    ASSERT_EQ(first, next) << "runs overlap or leave a gap";
    ASSERT_GT(last, first);
    ASSERT_LE(last - first, run);
    next = last;
  }
  EXPECT_GE(next, out.begun);
}

std::vector<std::string> FailuresUpTo(std::size_t count) {
  std::vector<std::string> paths;
  for (std::size_t i = 3; i < count; i += 7) paths.push_back(std::string("f").append(std::to_string(i)));
  return paths;
}

TEST(ParallelScan, DeliversEveryFileInListOrderWhateverTheWorkers) {
  std::mt19937 random(7);
  for (unsigned workers : {1u, 2u, 3u, 8u}) {
    for (const auto& [window, run] : {std::pair<std::size_t, std::size_t>{0, 1}, {1, 1}, {5, 1}, {0, 16}, {5, 16}}) {
      const std::size_t count = random() % 400;
      SCOPED_TRACE(testing::Message() << workers << " workers, window " << window << ", runs of " << run << ", "
                                      << count << " files");
      const Outcome out = RunScan(count, {workers, window, run}, random());
      ExpectRunsCover(out, run);
      ASSERT_EQ(out.delivered.size(), count);
      for (std::size_t i = 0; i < count; ++i) {
        ASSERT_EQ(out.delivered[i], i);
        ASSERT_EQ(out.results[i], Mix(i));
      }
      EXPECT_EQ(out.failures, FailuresUpTo(count));
      EXPECT_EQ(out.begun, count);
      EXPECT_LE(out.states, workers);
    }
  }
}

TEST(ParallelScan, StopDeliversThePrefixBegunAndBeginsNothingMore) {
  for (const auto& [workers, run] : {std::pair<unsigned, std::size_t>{1, 1}, {4, 1}, {1, 16}, {4, 16}}) {
    for (std::size_t stopAt : {std::size_t{0}, std::size_t{10}, std::size_t{150}}) {
      SCOPED_TRACE(testing::Message() << workers << " workers, runs of " << run << ", stop at " << stopAt);
      // More than a window past the stop.
      const Outcome out = RunScan(stopAt + 2 * DefaultScanWindow(workers), {workers, 0, run}, 11, stopAt);
      ASSERT_GT(out.delivered.size(), stopAt);
      EXPECT_LE(out.delivered.size(), stopAt + 1 + DefaultScanWindow(workers)) << "files begun after the stop";
      EXPECT_EQ(out.begun, out.delivered.size()) << "a begun file was not delivered";
      for (std::size_t i = 0; i < out.delivered.size(); ++i) ASSERT_EQ(out.delivered[i], i);
      EXPECT_EQ(out.failures, FailuresUpTo(out.delivered.size()));
    }
  }
  StopFlag early;
  early.Request();
  const Outcome none = RunScan(50, {3, 0}, 1, SIZE_MAX, &early);
  EXPECT_TRUE(none.delivered.empty());
  EXPECT_EQ(none.begun, 0u);
}

// While one worker reads a slow file, the others go on through the files after it until the window of
// results waiting for it is full, and no further: the whole default window serves.
TEST(ParallelScan, OtherWorkersGoOnPastASlowFileAsFarAsTheWindow) {
  const std::size_t window = DefaultScanWindow(2);
  const std::size_t count = window + 100;
  StopFlag stop;
  FailureList failures;
  FailureCollector collector(failures);
  const CommandEnv env{NativeFileSystem(), &stop, collector};
  std::atomic<std::size_t> begun{0};
  std::size_t begunWhileHeld = 0;
  ScanInParallel<int>(
      count, [] { return 0; },
      [&](int&, std::size_t i, int&, FailureList&) {
        ++begun;
        if (i != 0) return;
        // The first file is held until every other file of the window has begun (or long enough to see
        // that they never will), then a little longer, for any file beyond the window to show.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (begun.load() < window && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        begunWhileHeld = begun.load();
      },
      [](std::size_t, int&) {}, env, {2, 0, 1});
  EXPECT_EQ(begunWhileHeld, window);
  EXPECT_EQ(begun.load(), count);
}

TEST(ParallelScan, NoMoreWorkersThanFilesAndNothingForNoFiles) {
  const Outcome few = RunScan(3, {16, 0}, 5);
  EXPECT_EQ(few.delivered, (std::vector<std::size_t>{0, 1, 2}));
  EXPECT_LE(few.states, 3u);
  const Outcome none = RunScan(0, {4, 0}, 5);
  EXPECT_TRUE(none.delivered.empty());
  EXPECT_EQ(none.states, 0u);

  EXPECT_EQ(ScanWorkerCount(16, 3), 3u);
  EXPECT_EQ(ScanWorkerCount(2, 0), 1u);
  EXPECT_GE(ScanWorkerCount(0, 1000), 1u);
  EXPECT_EQ(ScanWorkerCount(0, 1000), std::max(1u, std::thread::hardware_concurrency()));
}

// Files still coming: whatever the steps and pauses of their arrival, each file is scanned once, after
// it came, and delivered in order; the scan waits for more rather than end, and ends once the last came
// (none at all included).
TEST(ParallelScan, FilesStillComingAreScannedAsTheyComeAndTheScanEndsAfterTheLast) {
  std::mt19937 random(3);
  for (unsigned workers : {1u, 2u, 5u}) {
    for (const std::size_t total : {std::size_t{0}, std::size_t{1}, std::size_t{700}}) {
      SCOPED_TRACE(testing::Message() << workers << " workers, " << total << " files");
      ScanGrowth growth;
      std::atomic<std::size_t> came{0};
      const unsigned seed = random();
      std::thread producer([&] {
        std::mt19937 steps(seed);
        std::size_t count = 0;
        while (count < total) {
          count = std::min(total, count + 1 + steps() % 60);
          came = count;
          growth.Grow(count, false);
          if (steps() % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(steps() % 2000));
        }
        growth.Grow(count, true);
      });
      std::vector<std::atomic<int>> scanned(total);
      std::atomic<bool> early{false};
      std::vector<std::size_t> delivered;
      ParallelScanOptions options;
      options.workers = workers;
      options.run = 4;
      options.growth = &growth;
      ScanInParallel<std::uint64_t>(
          0, [] { return 0; },
          [&](int&, std::size_t i, std::uint64_t& result, FailureList&) {
            if (i >= came.load()) early = true;
            ++scanned[i];
            result = Mix(i);
          },
          [&](std::size_t i, std::uint64_t result) {
            EXPECT_EQ(result, Mix(i));
            delivered.push_back(i);
          },
          CommandEnv{NativeFileSystem()}, options);
      producer.join();
      EXPECT_FALSE(early) << "a file was scanned before it came";
      ASSERT_EQ(delivered.size(), total);
      for (std::size_t i = 0; i < total; ++i) {
        ASSERT_EQ(delivered[i], i);
        ASSERT_EQ(scanned[i], 1);
      }
    }
  }
}

TEST(ParallelScan, ErrorsOfScanOrDeliveryReachTheCaller) {
  for (unsigned workers : {1u, 4u}) {
    EXPECT_THROW(ScanInParallel<int>(
                     100, [] { return 0; },
                     [](int&, std::size_t i, int&, FailureList&) {
                       if (i == 20) throw std::runtime_error("scan");
                     },
                     [](std::size_t, int&) {}, CommandEnv{NativeFileSystem()}, {workers, 0}),
                 std::runtime_error);
    std::size_t last = 0;
    EXPECT_THROW(ScanInParallel<int>(
                     100, [] { return 0; }, [](int&, std::size_t, int&, FailureList&) {},
                     [&](std::size_t i, int&) {
                       last = i;
                       if (i == 30) throw std::logic_error("deliver");
                     },
                     CommandEnv{NativeFileSystem()}, {workers, 0}),
                 std::logic_error);
    EXPECT_EQ(last, 30u);
  }
}

}  // namespace
}  // namespace kestrin
