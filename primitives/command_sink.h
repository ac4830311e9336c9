#pragma once
// What a command reports while it runs, one convention for every command (the walk, the search, the
// reference report, the batch rename, the copy), and the environment it runs in: the file system it works
// on, the stop flag its starter may raise, and the sink its reports go to. The window, the command-line
// tool and the tests are sinks; none of them learns anything about a command's work in another way.

#include <cstddef>
#include <string_view>

#include "platform/failure_reason.h"
#include "primitives/command.h"

namespace kestrin {

class FileSystem;
class BatchJournal;

// One file's outcome. The views are valid only during the call that delivers it.
struct FileOutcome {
  enum class Kind : unsigned char {
    Matched,  // the file passed the search's filters
    Renamed,  // source now lives at target
    Copied,   // source was copied to target; replaced: a file that was there before was replaced
    Skipped,  // there was nothing to do for the file (a rename whose old string is not in its name)
    Failed,   // the file could not be handled, or was left alone on purpose: reason and detail say why
    Removed,  // undo: the copy at source was deleted; target is the file it was copied from
    Notice,   // passed over for a reason that is no failure (a folder reached again through a link, a link
              // that leads nowhere or to what is not a file): reason says which
  };
  static constexpr std::size_t kNoIndex = static_cast<std::size_t>(-1);

  Kind kind = Kind::Failed;
  std::size_t index = kNoIndex;  // the file's place in the command's list; kNoIndex outside one (a walk)
  std::string_view source;       // the file's path
  std::string_view target;       // Renamed, Copied: where it went
  bool replaced = false;         // Renamed, Copied: an existing file of the target's name was replaced
  FailureReason reason = FailureReason::System;  // Failed, Notice
  std::string_view detail;       // Failed: the system's own words, when it said some
};

// Receives a command's reports on the thread that called the command, in file-list order:
// Progress(i) as file i is about to be handled, then that file's outcomes, and End() once, last,
// whether the command ran to its end or was stopped. A command that works on several threads still
// delivers here in that order, on the caller's thread. A sink need not be thread-safe.
class CommandSink {
 public:
  virtual ~CommandSink() = default;
  virtual void Progress(std::size_t index) { static_cast<void>(index); }
  virtual void Outcome(const FileOutcome& outcome) { static_cast<void>(outcome); }
  virtual void End() {}
};

// A sink that keeps nothing: for a caller that wants only a command's return value.
inline CommandSink& NullSink() {
  static CommandSink sink;
  return sink;
}

// Records every Failed outcome into a failure list, and passes every report on to another sink.
class FailureCollector : public CommandSink {
 public:
  explicit FailureCollector(FailureList& failures, CommandSink& next = NullSink())
      : failures_(failures), next_(next) {}
  void Progress(std::size_t index) override { next_.Progress(index); }
  void Outcome(const FileOutcome& outcome) override {
    if (outcome.kind == FileOutcome::Kind::Failed) {
      failures_.Add(outcome.source, outcome.reason, std::string(outcome.detail));
    }
    next_.Outcome(outcome);
  }
  void End() override { next_.End(); }

 private:
  FailureList& failures_;
  CommandSink& next_;
};

// What every command takes besides its own inputs. The file system is the one the command works on
// (the native one, a planning file system for a dry run or a preview, a test double); it is never
// looked up behind the caller's back.
struct CommandEnv {
  FileSystem& fs;
  const StopFlag* stop = nullptr;
  CommandSink& sink = NullSink();
  // Where a rename or copy batch writes down each step before taking it, so that undo can take it back
  // (fileops/undo_journal.h); null for a preview, a dry run, or a batch that is not to be undone. With a
  // journal, a file the batch replaces goes to the trash instead of being lost.
  BatchJournal* journal = nullptr;

  bool Stopped() const noexcept { return stop != nullptr && stop->Requested(); }

  // Reports the file at index (FileOutcome::kNoIndex outside a list) as failed.
  void Failed(std::size_t index, std::string_view path, FailureReason reason, std::string_view detail = {}) const {
    FileOutcome outcome;
    outcome.kind = FileOutcome::Kind::Failed;
    outcome.index = index;
    outcome.source = path;
    outcome.reason = reason;
    outcome.detail = detail;
    sink.Outcome(outcome);
  }
  void Failed(std::size_t index, std::string_view path, const FsFailure& why) const {
    Failed(index, path, why.reason, why.detail);
  }
  // Reports a file's outcome of another kind: Matched and Skipped without a target, Renamed, Copied and
  // Removed with theirs.
  void Done(FileOutcome::Kind kind, std::size_t index, std::string_view path, std::string_view target = {},
            bool replaced = false) const {
    FileOutcome outcome;
    outcome.kind = kind;
    outcome.index = index;
    outcome.source = path;
    outcome.target = target;
    outcome.replaced = replaced;
    sink.Outcome(outcome);
  }
};

}  // namespace kestrin
