#pragma once
// What kestrin-cli writes: results on standard output, failures and progress on standard error, and the
// sink that turns a command's reports into them.

#include <cerrno>
#include <cstddef>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "cli/options.h"
#include "platform/console.h"
#include "primitives/command.h"
#include "primitives/command_sink.h"

namespace kestrin::cli {

// Raised by Ctrl-C, a termination request, or a write to standard output that failed: the command
// stops between files, as the window's stop button stops it.
extern StopFlag g_stop;
void RaiseStop();

// Standard output, one line per result, each ended by a newline or, with -0, a NUL. A write that fails
// (the reader of a pipe went away, a full disk) raises the stop, and nothing more is written.
class Output {
 public:
  // eachLine: every line reaches the system as it is written, not when a buffer fills (a rename or copy
  // says at once what it did, whatever ends the process after).
  Output(bool nul, bool eachLine) : nul_(nul), eachLine_(eachLine) {}
  void Line(std::string_view text) { Write(text, nullptr); }
  // SOURCE and TARGET, separated by a TAB, or with -0 by a NUL.
  void Pair(std::string_view source, std::string_view target) { Write(source, &target); }
  // Lines made elsewhere, each already ended by LineEnd(): count of them, in one write.
  void Lines(std::string_view text, std::size_t count) {
    if (error_ != 0 || count == 0) return;
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || (eachLine_ && std::fflush(stdout) != 0)) {
      Fail();
      return;
    }
    lines_ += count;
    unflushed_ = !eachLine_;
  }
  // What ends each line.
  char LineEnd() const { return nul_ ? '\0' : '\n'; }
  std::size_t lines() const { return lines_; }

  // Flushes what is buffered. The errno of the first write that failed, or 0.
  int Finish() {
    errno = 0;
    if (error_ == 0 && std::fflush(stdout) != 0) Fail();
    return error_;
  }
  // The first write that failed did because the reader went away.
  bool brokenPipe() const { return brokenPipe_; }

  // For a command whose results come now and then, called often: what is buffered reaches the reader
  // once it has waited a little (the first line at once), and a reader that has gone away is noticed
  // without a write, raising the stop as a failed write does.
  void KeepUp() {
    if (error_ != 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (unflushed_ && (lines_ == 1 || now - lastFlush_ >= kFlushDelay)) {
      errno = 0;
      if (std::fflush(stdout) != 0) {
        Fail();
        return;
      }
      unflushed_ = false;
      lastFlush_ = now;
    }
    if (lines_ != 0 && now - lastLook_ >= kLookDelay) {
      lastLook_ = now;
      if (StandardOutputClosed()) {
        brokenPipe_ = true;
        error_ = EPIPE;
        RaiseStop();
      }
    }
  }

 private:
  void Write(std::string_view first, const std::string_view* second) {
    if (error_ != 0) return;
    errno = 0;
    const char end = LineEnd();
    bool ok = std::fwrite(first.data(), 1, first.size(), stdout) == first.size();
    if (ok && second != nullptr) {
      ok = std::fputc(nul_ ? '\0' : '\t', stdout) != EOF &&
           std::fwrite(second->data(), 1, second->size(), stdout) == second->size();
    }
    ok = ok && std::fputc(end, stdout) != EOF && (!eachLine_ || std::fflush(stdout) == 0);
    if (!ok) {
      Fail();
      return;
    }
    ++lines_;
    unflushed_ = !eachLine_;
  }
  void Fail() {
    const int error = errno;
    brokenPipe_ = BrokenPipe(error);
    error_ = error != 0 ? error : EIO;
    RaiseStop();
  }

  bool nul_;
  bool eachLine_;
  int error_ = 0;
  bool brokenPipe_ = false;
  std::size_t lines_ = 0;
  static constexpr std::chrono::milliseconds kFlushDelay{20};
  static constexpr std::chrono::milliseconds kLookDelay{2};  // a poll costs a system call
  bool unflushed_ = false;
  std::chrono::steady_clock::time_point lastFlush_{};
  std::chrono::steady_clock::time_point lastLook_{};
};

// Standard error: the failures of a command as it meets them, and its progress while standard error is
// a terminal.
class Messages {
 public:
  explicit Messages(bool verbose = false) : terminal_(StandardErrorIsTerminal()), verbose_(verbose) {}
  ~Messages() { ClearProgress(); }

  void Failed(const Failure& failure) {
    ClearProgress();
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, failure.path.c_str(), ReasonText(failure).c_str());
    ++failed_;
  }
  std::size_t failed() const { return failed_; }
  // What was passed over without being a failure: shown with --verbose only, and no failure.
  void Notice(const Failure& notice) {
    if (!verbose_) return;
    ClearProgress();
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, notice.path.c_str(), ReasonText(notice).c_str());
  }

  // Shows "what i/n", at most a few hundred times a run; with n 0 (not known yet), "what i" every
  // thousand files.
  void Progress(const char* what, std::size_t i, std::size_t n) {
    if (!terminal_) return;
    if (n == 0) {
      if (i % 1000 != 0) return;
      std::fprintf(stderr, "\r%s %s", what, std::to_string(i + 1).c_str());
      shown_ = true;
      return;
    }
    const std::size_t step = n / 200 + 1;
    if (i % step != 0 && i + 1 != n) return;
    std::fprintf(stderr, "\r%s %s/%s", what, std::to_string(i + 1).c_str(), std::to_string(n).c_str());
    shown_ = true;
  }
  void ClearProgress() {
    if (!shown_) return;
    std::fprintf(stderr, "\r%*s\r", 40, "");
    shown_ = false;
  }

 private:
  bool terminal_;
  bool verbose_;
  bool shown_ = false;
  std::size_t failed_ = 0;
};

// What the commands report: each failure on standard error as it comes, the progress of the command
// under way while standard error is a terminal, and each file a batch renamed or copied on standard
// output, as it is done.
class Reports : public CommandSink {
 public:
  Reports(Messages& messages, Output& output) : messages_(messages), output_(output) {}

  // The command about to run: its name in the progress line (none: no progress), its file count, and
  // whether the files it matches are results to print.
  void Begin(const char* what, std::size_t total, bool printMatches = false) {
    what_ = what;
    total_ = total;
    printMatches_ = printMatches;
  }
  std::size_t done() const { return done_; }

  // Prints a matched file instead of its path alone (for search), and hears of each failure as well.
  std::function<void(std::string_view path)> onMatch;
  std::function<void(const Failure& failure)> onFailure;
  // A failure of this path (the top folder of a walk) is kept rather than printed, and stops the command.
  std::string topFolder;
  std::optional<Failure> topFailure;

  void Progress(std::size_t index) override {
    if (what_ != nullptr) messages_.Progress(what_, index, total_);
    output_.KeepUp();
  }
  void Outcome(const FileOutcome& outcome) override {
    switch (outcome.kind) {
      case FileOutcome::Kind::Failed: {
        Failure failure{std::string(outcome.source), outcome.reason, std::string(outcome.detail)};
        if (!topFolder.empty() && failure.path == topFolder) {
          topFailure = std::move(failure);
          RaiseStop();
          break;
        }
        if (onFailure) onFailure(failure);
        messages_.Failed(failure);
        break;
      }
      case FileOutcome::Kind::Notice:
        messages_.Notice(Failure{std::string(outcome.source), outcome.reason, std::string(outcome.detail)});
        break;
      case FileOutcome::Kind::Renamed:
      case FileOutcome::Kind::Copied:
      case FileOutcome::Kind::Removed:
        messages_.ClearProgress();
        output_.Pair(outcome.source, outcome.target);
        ++done_;
        break;
      case FileOutcome::Kind::Matched:
        if (printMatches_) {
          messages_.ClearProgress();
          if (onMatch) {
            onMatch(outcome.source);
          } else {
            output_.Line(outcome.source);
          }
        }
        break;
      case FileOutcome::Kind::Skipped: break;
    }
  }
  void End() override {
    messages_.ClearProgress();
    what_ = nullptr;
  }

 private:
  Messages& messages_;
  Output& output_;
  const char* what_ = nullptr;
  std::size_t total_ = 0;
  bool printMatches_ = false;
  std::size_t done_ = 0;
};

}  // namespace kestrin::cli
