#include "search/parallel_scan.h"

#include <algorithm>

namespace kestrin {

FileScanner::FileScanner(FileSystem& fs, unsigned workers) {
  ReaderOptions options;
  options.readers = workers;
  reader_ = fs.NewReader(options);
}

FileScanner::~FileScanner() {
  if (reader_) Close();
}

bool FileScanner::Open(const std::string& path, FailureList* failures) {
  Close();
  FsResult<ReadHandle> opened = reader_->Open(path);
  if (!opened) {
    if (failures != nullptr) failures->Add(path, opened.failure.reason, std::move(opened.failure.detail));
    return false;
  }
  handle_ = opened.value;
  path_ = path;
  return true;
}

std::int64_t FileScanner::Next(unsigned char* buffer, std::size_t size, const unsigned char*& data, bool inPlace,
                               FailureList* failures) {
  if (handle_ < 0) return 0;
  if (inPlace) {
    if (const std::size_t held = reader_->ReadInPlace(handle_, data, size); held > 0) {
      return static_cast<std::int64_t>(held);
    }
  }
  data = buffer;
  FsResult<std::size_t> read = reader_->Read(handle_, buffer, size);
  if (!read) {
    if (failures != nullptr) failures->Add(path_, read.failure.reason, std::move(read.failure.detail));
    return -1;
  }
  return static_cast<std::int64_t>(read.value);
}

void FileScanner::Close() {
  if (handle_ >= 0) reader_->Close(handle_);
  handle_ = -1;
}

unsigned ScanWorkerCount(unsigned requested, std::size_t files) {
  unsigned workers = requested != 0 ? requested : std::thread::hardware_concurrency();
  if (workers == 0) workers = 1;  // the count is unknown on this system
  if (files < workers) workers = files == 0 ? 1 : static_cast<unsigned>(files);
  return workers;
}

ScanQueue::ScanQueue(std::size_t count, std::size_t window, const StopFlag* stop)
    : count_(count), window_(window), batch_(std::max<std::size_t>(1, window / 4)), stop_(stop),
      ready_(window, 0) {}

bool ScanQueue::RunReady(std::size_t from) const {
  const std::size_t end = std::min(readyEnd_, from + batch_);
  if (end == from) return false;
  // A whole batch; or every file begun is ready and no more will be begun (the last ones), or none can be
  // begun until these are delivered (a full window).
  return end - from >= batch_ || (end == next_ && (closed_ || next_ >= count_)) || next_ >= from + window_;
}

void ScanQueue::Grow(std::size_t count, bool last) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    count_ = std::max(count_, count);
    last_ = last;
  }
  workerWake_.notify_all();
}

bool ScanQueue::Claim(std::size_t& first, std::size_t& last, std::size_t run) {
  std::unique_lock<std::mutex> lock(mutex_);
  workerWake_.wait(lock, [&] { return closed_ || (next_ >= count_ ? last_ : next_ < released_ + window_); });
  if (closed_ || next_ >= count_ || (stop_ != nullptr && stop_->Requested())) {
    // Whoever closes tells the calling thread, which may be waiting for a file that will not come.
    if (!closed_) {
      closed_ = true;
      callerWake_.notify_one();
    }
    return false;
  }
  first = next_;
  last = std::min({count_, next_ + run, released_ + window_});
  next_ = last;
  return true;
}

void ScanQueue::Finish(std::size_t index) {
  bool wake = false;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ready_[Slot(index)] = 1;
    // The run of ready results grows only by the result it was waiting for, so that each result is looked
    // at once here however the workers finish, rather than the whole run again for each.
    if (index == readyEnd_) {
      while (readyEnd_ < next_ && ready_[Slot(readyEnd_)] != 0) ++readyEnd_;
    }
    wake = callerWaiting_ && RunReady(released_);
    if (wake) callerWaiting_ = false;  // one wake is enough
  }
  // Woken with the lock still held, the calling thread would take the processor only to wait for the lock
  // and hand it back: twice the switches of threads for each run delivered.
  if (wake) callerWake_.notify_one();
}

std::size_t ScanQueue::WaitReady(std::size_t from) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!(aborted_ || (closed_ && from >= next_) || RunReady(from))) {
    callerWaiting_ = true;
    // A result that is ready waits at most about kScanDeliveryLatency for the rest of its run.
    if (callerWake_.wait_for(lock, kScanDeliveryLatency) == std::cv_status::timeout && readyEnd_ > from) break;
  }
  callerWaiting_ = false;
  if (aborted_) return from;
  return readyEnd_;
}

void ScanQueue::Release(std::size_t end) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = released_; i < end; ++i) ready_[Slot(i)] = 0;
    released_ = end;
  }
  workerWake_.notify_all();
}

void ScanQueue::Abort() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    aborted_ = true;
    closed_ = true;
  }
  workerWake_.notify_all();
  callerWake_.notify_all();
}

}  // namespace kestrin
