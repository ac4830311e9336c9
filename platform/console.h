#pragma once
// The console a command-line program runs in.

namespace kestrin {

// True when standard error goes to a terminal (a console window), not to a file or a pipe: the only case
// in which a command-line program shows its progress there.
bool StandardErrorIsTerminal();

}  // namespace kestrin
