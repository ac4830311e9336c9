#pragma once
// The console a command-line program runs in.

namespace kestrin {

// True when standard error goes to a terminal (a console window), not to a file or a pipe: the only case
// in which a command-line program shows its progress there.
bool StandardErrorIsTerminal();

// True when standard output goes to a terminal that shows colours given as ANSI escape sequences (on
// Windows, a console that takes them once asked to).
bool StandardOutputTakesColour();

// True when standard output is a pipe whose reader has gone away, so that the next write would fail:
// asked without writing, so that a program with nothing more to print yet can stop all the same
// (`... | head -1`). Always false where the system cannot tell.
bool StandardOutputClosed();

// From now on, an interrupt (Ctrl-C), a termination request and a hang-up no longer end the process:
// each calls onInterrupt instead, so that the command in progress can stop between files and return.
// POSIX: SIGINT, SIGTERM and SIGHUP, except those the process was started with ignored (a background
// job, nohup). Win32: Ctrl-C, Ctrl-Break, and the closing of the console, the logoff and the shutdown,
// for which the process is given the system's few seconds to end by itself. onInterrupt runs in a
// signal handler (POSIX) or on a thread of its own (Win32): it may only store into lock-free atomics.
void CallOnInterrupt(void (*onInterrupt)());

// The exit status a shell expects of a program that ended because of the first interrupt it was sent
// (128 + the signal's number: 130 for Ctrl-C or Ctrl-Break, 143 for a termination request or the closing
// of the console, 129 for a hang-up), or 0 when none came.
int InterruptExitStatus();

// The exit status of a program that stopped because the reader of its output went away: 141, what a
// shell shows for a program the broken pipe ended.
inline constexpr int kBrokenPipeExitStatus = 128 + 13;

// True when a write to standard output that has just failed with the C library's errno error failed
// because the reader of the pipe went away: EPIPE (on Windows, also the EINVAL its C library gives when
// the pipe was closed at the other end). Asked right after the write, before any other call.
bool BrokenPipe(int error);

// From now on, a write to a pipe or socket whose reader has gone fails with EPIPE instead of ending the
// process (POSIX: SIGPIPE is ignored; on Windows the write fails already).
void IgnoreBrokenPipe();

}  // namespace kestrin
