#include "primitives/command.h"

#include <gtest/gtest.h>

#include <thread>

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
  };
  for (const Row& row : rows) EXPECT_EQ(ReasonText(row.failure), row.expected);
}

TEST(CommandContext, DefaultNeverStopsAndForgetsFailures) {
  const CommandContext none;
  EXPECT_FALSE(none.Stopped());
  none.Fail("x", FailureReason::Vanished);  // no list: nothing to keep, nothing to crash

  StopFlag stop;
  FailureList failures;
  const CommandContext context{&stop, &failures};
  context.Fail("b", FailureReason::TargetExists);
  std::thread([&stop] { stop.Request(); }).join();
  EXPECT_TRUE(context.Stopped());

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
