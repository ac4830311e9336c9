#pragma once
// How a window runs one long command at a time off its own thread: the work runs on a worker thread, and
// what it has to show (progress, list lines, its outcome) goes back to the window thread through the host,
// in the order the work produced it. The runner knows the host interface and nothing of the dialog.
//
// The window's state stays the window thread's: a command is handed what it works on (copies, or shared
// lists nobody changes) when it starts, and changes the window only through calls it posts. The stop flag
// is lowered by the window thread alone, as a command starts; the worker only reads it, so a stop raised
// while a command runs (a second Escape included) is never lost.

#include <cstddef>
#include <functional>
#include <memory>
#include <thread>

#include "fileops/undo_journal.h"
#include "platform/filesystem.h"
#include "primitives/command.h"
#include "primitives/command_sink.h"
#include "ui/host.h"

namespace kestrin {

// A count as a progress bar value: progress values are ints on every host, and a count beyond INT_MAX
// (never seen in practice) pins at the top.
int ProgressValue(std::size_t value);

class CommandRunner {
 public:
  class Job;
  // On the worker: the command's work. It ends by returning; its failures go to EndCall.
  using Work = std::function<void(Job& job)>;
  // On the window thread, after everything the work posted: the command's last step.
  using EndCall = std::function<void(FailureList failures)>;

  explicit CommandRunner(DialogHost& host);
  // Shutdown.
  ~CommandRunner();
  CommandRunner(const CommandRunner&) = delete;
  CommandRunner& operator=(const CommandRunner&) = delete;

  // From the window thread while no command runs: lowers the stop flag and starts work on a new worker,
  // which works on the file system in force now (Fs()).
  // Running() holds until end has run on the window thread. A host that finishes every action before it
  // returns (a script, a test) runs the posted calls before Start returns.
  void Start(Work work, EndCall end);
  // The command in hand: from Start until its EndCall has run.
  bool Running() const { return m_running; }
  // The user's stop: the command ends at its next check, keeping what it has done.
  void Stop() { m_stop.Request(); }
  // The window closes: stops the command, waits for its worker, and drops every call it had still posted.
  void Shutdown();

 private:
  struct Channel;

  DialogHost& m_host;
  StopFlag m_stop;
  StopFlag m_closing;  // raised by Shutdown alone
  bool m_running = false;  // window thread only
  std::shared_ptr<Channel> m_channel;
  std::thread m_worker;
};

// The worker's side of a running command.
class CommandRunner::Job {
 public:
  Job(std::shared_ptr<Channel> channel, FileSystem& fs, const StopFlag& stop, const StopFlag& closing);

  // The stop flag the command checks; the worker never lowers it.
  const StopFlag& Stop() const { return m_stop; }
  bool StopRequested() const { return m_stop.Requested(); }
  // Runs command(env) with the file system in force when the command started, the stop flag, and the job's
  // failure list gathering the failures it reports; every report also goes to `reports`.
  template <class Command>
  auto Run(Command&& command, CommandSink& reports = NullSink()) {
    FailureCollector collector(failures, reports);
    return command(CommandEnv{m_fs, &m_stop, collector});
  }
  // The same for a rename or copy batch, with its undo journal (fileops/undo_journal.h) when it works on
  // the disk itself: in the state folder, where undo finds it. A test's double of the file system keeps
  // no journal, and a batch runs without one where none can be written.
  template <class Command>
  auto RunJournalled(BatchKind kind, Command&& command, CommandSink& reports) {
    std::unique_ptr<JournalFile> journal = &m_fs == &NativeFileSystem() ? JournalStore().Start(kind) : nullptr;
    FailureCollector collector(failures, reports);
    CommandEnv env{m_fs, &m_stop, collector};
    env.journal = journal ? &journal->journal() : nullptr;
    auto result = command(env);
    if (journal) journal->Finish();
    return result;
  }
  // The same for a step the user's stop does not cut short: only the window's closing ends it.
  template <class Command>
  auto RunUntilClosed(Command&& command) {
    FailureCollector collector(failures);
    return command(CommandEnv{m_fs, &m_closing, collector});
  }
  // The environment of a command whose failures the window does not list.
  CommandEnv Unlisted() const { return CommandEnv{m_fs, &m_stop}; }

  // Runs call on the window thread, after everything posted before it.
  void Post(std::function<void()> call);
  // The progress bar's position; positions posted in a row may be shown as their last.
  void Progress(std::size_t position);

  // What the command could not handle, handed to the EndCall.
  FailureList failures;

 private:
  std::shared_ptr<Channel> m_channel;
  FileSystem& m_fs;
  const StopFlag& m_stop;
  const StopFlag& m_closing;
};

}  // namespace kestrin
