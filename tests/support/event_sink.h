#pragma once
// A sink that writes down what a command reports, one short line a report, for tests to compare:
//   "pos 3"                      Progress(3)
//   "matched 3"                  a file that passed (the index)
//   "renamed 0 /a -> /b"         Renamed, "copied 0 /a -> /b" Copied, "+replaced" after when it replaced
//   "skipped 2 /a"               Skipped
//   "failed 1 /a: REASON"        Failed, with the reason's words (ReasonText); "-" for no index
//   "end"                        End()

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "primitives/command.h"
#include "primitives/command_sink.h"

namespace kestrin::testing {

class EventSink : public CommandSink {
 public:
  void Progress(std::size_t index) override { events.push_back("pos " + std::to_string(index)); }
  void Outcome(const FileOutcome& o) override {
    const std::string index = o.index == FileOutcome::kNoIndex ? std::string("-") : std::to_string(o.index);
    const std::string source(o.source);
    switch (o.kind) {
      case FileOutcome::Kind::Matched: events.push_back("matched " + index); break;
      case FileOutcome::Kind::Renamed:
      case FileOutcome::Kind::Copied:
        events.push_back(std::string(o.kind == FileOutcome::Kind::Renamed ? "renamed " : "copied ") + index + " " +
                         source + " -> " + std::string(o.target) + (o.replaced ? " +replaced" : ""));
        break;
      case FileOutcome::Kind::Removed:
        events.push_back("removed " + index + " " + source + " (copy of " + std::string(o.target) + ")");
        break;
      case FileOutcome::Kind::Skipped: events.push_back("skipped " + index + " " + source); break;
      case FileOutcome::Kind::Notice: events.push_back("notice " + index + " " + source); break;
      case FileOutcome::Kind::Failed:
        events.push_back("failed " + index + " " + source + ": " +
                         ReasonText(Failure{source, o.reason, std::string(o.detail)}));
        break;
    }
  }
  void End() override { events.push_back("end"); }

  // The reports other than progress and the end.
  std::vector<std::string> Outcomes() const {
    std::vector<std::string> out;
    for (const std::string& e : events) {
      if (e != "end" && e.compare(0, 4, "pos ") != 0) out.push_back(e);
    }
    return out;
  }

  std::vector<std::string> events;
};

// A sink that calls a function with each Progress(i), and forgets the rest.
class OnProgress : public CommandSink {
 public:
  explicit OnProgress(std::function<void(std::size_t index)> call) : call_(std::move(call)) {}
  void Progress(std::size_t index) override { call_(index); }

 private:
  std::function<void(std::size_t index)> call_;
};

// An environment whose failures go to a list, for a test that looks at them alone; it may be made in the
// very call of a command: RenameFiles(FailuresTo(fs, failures).env, ...).
struct FailuresTo {
  FailuresTo(FileSystem& fs, FailureList& failures, const StopFlag* stop = nullptr)
      : collector(failures), env{fs, stop, collector} {}
  FailureCollector collector;
  CommandEnv env;
};

}  // namespace kestrin::testing
