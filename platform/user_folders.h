#pragma once
// Where the user is: the home folder, and a path given relative to the current folder made whole.

#include <string>

namespace kestrin {

// The user's home folder without a trailing separator: $HOME, or the password database's entry when it is
// unset or empty. Empty when neither names an absolute folder, and always empty on Windows, where the
// copy defaults have no use for it.
std::string HomeFolder();

// The folder where Kestrin keeps what it must remember between runs (the undo journals), without a
// trailing separator: $XDG_STATE_HOME/kestrin (~/.local/state/kestrin when unset or not absolute) on
// POSIX, %LOCALAPPDATA%\Kestrin on Windows. It may not exist yet. Empty when no such folder can be named.
std::string StateFolder();

// path made absolute against the current folder, with "." components and repeated separators dropped
// (".." is kept, since a link may lie before it). Absolute paths only lose those; an empty path stays
// empty. On Windows the system's own full-path rules apply, in the ANSI code page.
std::string AbsolutePath(const std::string& path);

}  // namespace kestrin
