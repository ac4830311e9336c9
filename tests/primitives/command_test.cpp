#include "primitives/command.h"
#include "primitives/command_sink.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/event_sink.h"
#include "support/memory_fs.h"

namespace kestrin {
namespace {

TEST(ReasonText, WordsOfEachReasonAndTheSystemsOwnText) {
  struct Row {
    Failure failure;
    const char* expected;
  };
  const Row rows[] = {
      {{"a", FailureReason::PermissionDenied, ""}, "permission denied"},
      {{"a", FailureReason::ReadOnlyTarget, ""}, "read-only target"},
      {{"a", FailureReason::FolderAlreadyWalked, ""}, "folder already walked through another link"},
      {{"a", FailureReason::System, "Input/output error"}, "Input/output error"},
      {{"a", FailureReason::System, ""}, "unknown error"},
      {{"a", FailureReason::Vanished, "No such file or directory"}, "vanished (No such file or directory)"},
      {{"a", FailureReason::CopiedByBatch, ""}, "another file of this batch was copied there"},
  };
  for (const Row& row : rows) EXPECT_EQ(ReasonText(row.failure), row.expected);
}

TEST(CommandEnv, DefaultNeverStopsAndForgetsFailures) {
  testing::MemoryFileSystem memory;
  const CommandEnv none{memory};
  EXPECT_FALSE(none.Stopped());
  none.Failed(0, "x", FailureReason::Vanished);  // the null sink: nothing to keep, nothing to crash

  StopFlag stop;
  FailureList failures;
  testing::EventSink events;
  FailureCollector collector(failures, events);
  const CommandEnv env{memory, &stop, collector};
  env.sink.Progress(4);
  env.Failed(4, "b", FsFailure{FailureReason::System, "Input/output error"});
  env.Done(FileOutcome::Kind::Copied, 5, "c", "d", true);
  env.sink.End();
  std::thread([&stop] { stop.Request(); }).join();
  EXPECT_TRUE(env.Stopped());
  // The collector keeps the failures alone, and passes every report on in order.
  EXPECT_EQ(events.events, (std::vector<std::string>{"pos 4", "failed 4 b: Input/output error",
                                                     "copied 5 c -> d +replaced", "end"}));
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].detail, "Input/output error");

  FailureList later;
  later.Add("c", FailureReason::PathTooLong);
  failures.Append(std::move(later));
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(failures[0].path, "b");
  EXPECT_EQ(failures[1].path, "c");
  EXPECT_TRUE(later.empty());
}

}  // namespace
}  // namespace kestrin
