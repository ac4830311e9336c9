#include <errno.h>
#include <signal.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>

#include "platform/console.h"

namespace kestrin {

namespace {

std::atomic<void (*)()> g_onInterrupt{nullptr};
volatile sig_atomic_t g_firstSignal = 0;

extern "C" void HandleInterrupt(int signal) {
  if (g_firstSignal == 0) g_firstSignal = signal;
  if (void (*call)() = g_onInterrupt.load()) call();
}

}  // namespace

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

bool StandardOutputTakesColour() { return isatty(STDOUT_FILENO) == 1; }

bool StandardOutputClosed() {
  // The write end of a pipe whose read end is closed polls as an error.
  struct pollfd out {};
  out.fd = STDOUT_FILENO;
  out.events = 0;
  return poll(&out, 1, 0) == 1 && (out.revents & POLLERR) != 0;
}

void CallOnInterrupt(void (*onInterrupt)()) {
  static_assert(std::atomic<void (*)()>::is_always_lock_free);
  g_onInterrupt.store(onInterrupt);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    if (sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = HandleInterrupt;
    sigemptyset(&action.sa_mask);
    // A read or write the signal falls into goes on: the command sees the stop between files, and a call
    // cut short would read as the file's failure.
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
  }
}

int InterruptExitStatus() {
  const int signal = g_firstSignal;
  return signal == 0 ? 0 : 128 + signal;
}

bool BrokenPipe(int error) { return error == EPIPE; }

void IgnoreBrokenPipe() { signal(SIGPIPE, SIG_IGN); }

}  // namespace kestrin
