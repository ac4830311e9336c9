#pragma once
// Running a piece of a test in a child process: under a time limit, so that a hang becomes a failure
// instead of holding up the run, and, for permission checks, as an unprivileged user (uid and gid
// 65534), since root passes every permission check.
//
//   const int renamed = RunInChild([&] { return int(RenameFiles(...)); }, TimeLimit(2));
//   if (renamed == kChildTimedOut) FAIL() << "the rename hung";
//
// The body's return value (0 to 99) becomes the child's exit code. Only the child's effects on the disk
// and that code come back: expectations are checked by the parent afterwards. On Windows there is no
// fork: the body runs in the test's own process (a user may not override the read-only attribute, so no
// dropping is needed) and the time limit does not apply.

#include <functional>
#include <string>
#include <utility>

namespace kestrin::testing {

inline constexpr int kChildTimedOut = -1;   // killed by the time limit
inline constexpr int kChildCrashed = -2;    // ended by a signal, or exited with a code out of range
inline constexpr int kCannotDrop = -3;      // asked to run unprivileged, and the system would not let it

struct ChildOptions {
  int seconds = 10;            // the time limit
  bool unprivileged = false;   // drop to uid and gid 65534 first (when running as root)
  std::string owned;           // a folder given to that user first, everything below it included
};

// The options of the two uses: a time limit alone, or an unprivileged run (the folder given to that user
// first, when it is not empty).
inline ChildOptions TimeLimit(int seconds) {
  ChildOptions options;
  options.seconds = seconds;
  return options;
}
inline ChildOptions Unprivileged(std::string owned = {}) {
  ChildOptions options;
  options.unprivileged = true;
  options.owned = std::move(owned);
  return options;
}

int RunInChild(const std::function<int()>& body, const ChildOptions& options = {});

// What to tell the reader when a result is one of the codes above; empty otherwise.
std::string ChildTrouble(int result);

}  // namespace kestrin::testing
