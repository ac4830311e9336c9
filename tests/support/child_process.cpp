#include "support/child_process.h"

#ifndef _WIN32
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#endif

namespace kestrin::testing {

#ifdef _WIN32

int RunInChild(const std::function<int()>& body, const ChildOptions&) { return body(); }

#else

namespace {

constexpr uid_t kNobody = 65534;

// Gives the folder and everything below it (links themselves, not what they lead to) to the user.
bool GiveTree(const std::string& folder) {
  namespace fs = std::filesystem;
  if (lchown(folder.c_str(), kNobody, kNobody) != 0) return false;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (lchown(it->path().c_str(), kNobody, kNobody) != 0) return false;
  }
  return !error;
}

}  // namespace

int RunInChild(const std::function<int()>& body, const ChildOptions& options) {
  const bool drop = options.unprivileged && geteuid() == 0;
  if (drop && !options.owned.empty() && !GiveTree(options.owned)) return kCannotDrop;
  const pid_t child = fork();
  if (child < 0) return kChildCrashed;
  if (child == 0) {
    if (drop && (setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, kNobody) != 0 ||
                 setresuid(kNobody, kNobody, kNobody) != 0 || geteuid() == 0)) {
      _exit(100);
    }
    alarm(static_cast<unsigned>(options.seconds));
    const int result = body();
    _exit(result >= 0 && result < 100 ? result : 101);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  if (WIFSIGNALED(status)) return WTERMSIG(status) == SIGALRM ? kChildTimedOut : kChildCrashed;
  if (!WIFEXITED(status)) return kChildCrashed;
  const int code = WEXITSTATUS(status);
  if (code == 100) return kCannotDrop;
  return code == 101 ? kChildCrashed : code;
}

#endif

std::string ChildTrouble(int result) {
  switch (result) {
    case kChildTimedOut: return "it did not finish within its time limit (a hang)";
    case kChildCrashed: return "the child process crashed";
    case kCannotDrop: return "cannot run as an unprivileged user here";
    default: return {};
  }
}

}  // namespace kestrin::testing
