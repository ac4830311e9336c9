#pragma once
// The scenario driver: a CKestrinDlg on a HeadlessHost, worked one action per line, printing what the
// window shows.
//
//   # comment                      ignored, as are blank lines
//   browse-input PATH              click IDC_OPEN_INPUT; the browser returns PATH (the rest of the line)
//   browse-input-cancel            click IDC_OPEN_INPUT; the browser is cancelled
//   browse-ref PATH | browse-ref-cancel   click IDC_OPEN_REF, likewise
//   drop PATH[<TAB>PATH...]        drop items on the window, Ctrl not held
//   ctrl-drop PATH[<TAB>PATH...]   the same with Ctrl held
//   set IDC_NAME TEXT              type TEXT into an edit box (nothing after the name: empty)
//   click IDC_NAME                 click a button; a check box toggles, then its handler (if any) runs
//   key enter | key escape         a key-down message
//   select IDC_NAME INDEX          select a list line (-1 or outside the lines: none); a change fires
//   dblclk IDC_NAME INDEX          select INDEX (firing a change if it changed), then double-click
//   start COMMAND-LINE             any command above, without waiting for the command it begins
//   cancel                         the user's stop (Escape): the running command ends at its next check
//   wait                           wait until no command runs
//   dump                           print the window's state, then "end"
//
// Every command but start waits for the command it begins, so its outcome is in the next dump. While a
// command runs the window takes what the user can still do (its stop button, Escape) and nothing else.
// A dump prints the edit boxes' texts, the check boxes, the status and progress, whether a command runs,
// each control's enabled state, the two lists, and the last command's failures as "failure[i]: PATH:
// REASON".
//
// Side effects print as they happen: "open: PATH", "message: CAPTION: TEXT". Printed texts write bytes
// below 0x20 and 0x7F as \xHH. A carriage return ending an input line is dropped.

#include <iosfwd>
#include <string>
#include <string_view>

#include "platform/language.h"

namespace kestrin::headless {

// text with every byte below 0x20, and 0x7F, written as \xHH (upper-case hex digits).
std::string EscapeText(std::string_view text);
// The same, appended to out.
void AppendEscaped(std::string& out, std::string_view text);

// Runs the script read from in, writing the window's output to out, with the window's texts in language.
// An invalid line writes "error: " and the line to err and ends the run with 2; the end of input ends it
// with 0.
int RunScript(std::istream& in, std::ostream& out, std::ostream& err, UiLanguage language = UiLanguage::Chinese);

}  // namespace kestrin::headless
