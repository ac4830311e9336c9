#include <windows.h>

#include <atomic>
#include <cerrno>

#include "platform/console.h"

namespace kestrin {

namespace {

std::atomic<void (*)()> g_onInterrupt{nullptr};
std::atomic<int> g_firstStatus{0};

BOOL WINAPI HandleControl(DWORD event) {
  int status = 0;
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      status = 130;
      break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      status = 143;
      break;
    default:
      return FALSE;
  }
  int none = 0;
  g_firstStatus.compare_exchange_strong(none, status);
  if (void (*call)() = g_onInterrupt.load()) call();
  if (status == 143) {
    // Returning would end the process at once: the main thread ends it when the command has stopped,
    // or the system does after its grace period.
    Sleep(INFINITE);
  }
  return TRUE;
}

}  // namespace

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool StandardOutputTakesColour() {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(out, &mode) == 0) return false;
  constexpr DWORD kVirtualTerminal = 0x0004;  // ENABLE_VIRTUAL_TERMINAL_PROCESSING
  return (mode & kVirtualTerminal) != 0 || SetConsoleMode(out, mode | kVirtualTerminal) != 0;
}

bool StandardOutputClosed() { return false; }

void CallOnInterrupt(void (*onInterrupt)()) {
  g_onInterrupt.store(onInterrupt);
  SetConsoleCtrlHandler(HandleControl, TRUE);
}

int InterruptExitStatus() { return g_firstStatus.load(); }

bool BrokenPipe(int error) {
  // The pipe is being closed (Windows) or no longer connected (Wine); the C library says EINVAL for both.
  const DWORD system = GetLastError();
  return error == EPIPE || system == ERROR_NO_DATA || system == ERROR_BROKEN_PIPE ||
         system == ERROR_PIPE_NOT_CONNECTED;
}

void IgnoreBrokenPipe() {}

}  // namespace kestrin
