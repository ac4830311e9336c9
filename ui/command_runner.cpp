#include "ui/command_runner.h"

#include <climits>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace kestrin {

int ProgressValue(std::size_t value) {
  return value > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(value);
}

// What the worker hands to the window thread. Calls queue here and the host is asked to run one drain
// on the window thread for however many queued up meanwhile; the progress positions queued between two
// other calls shrink to the last of them, so a fast command never floods the window's event queue, and
// the window sees the updates in the order the work made them.
struct CommandRunner::Channel {
  explicit Channel(DialogHost& windowHost) : host(windowHost) {}

  DialogHost& host;
  std::mutex mutex;
  std::vector<std::function<void()>> calls;
  std::optional<int> position;  // the newest progress position not queued yet
  bool drainPosted = false;
  bool closed = false;  // window thread only: the window is going, and shows nothing more

  // Moves a pending position into the queue (the mutex held).
  void QueuePosition() {
    if (!position) return;
    calls.emplace_back([this, value = *position] { host.SetProgressPos(value); });
    position.reset();
  }

  // From the worker: asks for a drain unless one is already on its way (the mutex held, and released).
  void RequestDrain(std::unique_lock<std::mutex>& lock, const std::shared_ptr<Channel>& self) {
    const bool post = !drainPosted;
    drainPosted = true;
    lock.unlock();
    if (post) host.PostToWindow([self] { self->Drain(); });
  }

  // On the window thread: everything queued, in order.
  void Drain() {
    std::vector<std::function<void()>> batch;
    {
      std::lock_guard<std::mutex> lock(mutex);
      QueuePosition();
      batch.swap(calls);
      drainPosted = false;
    }
    if (closed) return;
    for (std::function<void()>& call : batch) call();
  }
};

CommandRunner::Job::Job(std::shared_ptr<Channel> channel, FileSystem& fs, const StopFlag& stop,
                        const StopFlag& closing)
    : m_channel(std::move(channel)), m_fs(fs), m_stop(stop), m_closing(closing) {}

void CommandRunner::Job::Post(std::function<void()> call) {
  std::unique_lock<std::mutex> lock(m_channel->mutex);
  m_channel->QueuePosition();
  m_channel->calls.push_back(std::move(call));
  m_channel->RequestDrain(lock, m_channel);
}

void CommandRunner::Job::Progress(std::size_t position) {
  std::unique_lock<std::mutex> lock(m_channel->mutex);
  m_channel->position = ProgressValue(position);
  m_channel->RequestDrain(lock, m_channel);
}

CommandRunner::CommandRunner(DialogHost& host) : m_host(host), m_channel(std::make_shared<Channel>(host)) {}

CommandRunner::~CommandRunner() { Shutdown(); }

void CommandRunner::Start(Work work, EndCall end) {
  // The previous worker has posted its end already; it is gone or about to be.
  if (m_worker.joinable()) m_worker.join();
  m_stop.Reset();
  m_running = true;
  m_host.CommandStarting();
  m_worker = std::thread([this, channel = m_channel, &fs = Fs(), work = std::move(work), end = std::move(end)] {
    Job job(channel, fs, m_stop, m_closing);
    work(job);
    // The end runs only while the window is open (the channel drops it otherwise), so this runner is there.
    job.Post([this, end, failures = std::move(job.failures)]() mutable {
      end(std::move(failures));
      m_running = false;
    });
  });
  m_host.AwaitCommand([this] { return m_running; });
}

void CommandRunner::Shutdown() {
  m_closing.Request();
  m_stop.Request();
  if (m_worker.joinable()) m_worker.join();
  // Calls still queued for the window belong to a window that is going away.
  m_channel->closed = true;
  m_running = false;
}

}  // namespace kestrin
