#pragma once
// Helpers for driving real windows in tests: reading controls, building a drop, and answering the modal
// windows (folder browser, message box) that a handler opens, from a timer running inside their loop.

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

namespace kestrin::testing {

// A control's whole text as GetDlgItemTextA gives it (the ANSI code page).
std::string DlgText(HWND dialog, int id);
// A window's text as GetWindowTextA gives it.
std::string WindowText(HWND window);
// A window's class name.
std::string ClassName(HWND window);
// The lines of a list box, in order.
std::vector<std::string> ListLines(HWND list);

// A WM_DROPFILES block holding ANSI paths, as the shell builds it; the receiver releases it.
HDROP MakeDrop(const std::vector<std::string>& paths);

// What a modal window looked like when it was found.
struct SeenWindow {
  HWND window = nullptr;
  HWND owner = nullptr;
  std::string title;
  std::vector<std::string> texts;  // texts of its child windows, in order
  std::vector<int> buttonIds;      // identifiers of its push buttons
};

// Runs `action` and, while it runs, waits for a new top-level dialog box of this thread (class #32770,
// visible, not one of `known`), records it and posts it the command `answer` (IDOK, IDCANCEL...). The
// window is looked for by a timer, so the action's own modal loop does the waiting. Returns what was seen
// (window null when none appeared before the action returned). With ready, the answer waits until
// ready(window) holds, five seconds at most: a window may fill itself after it shows.
SeenWindow AnswerModal(const std::function<void()>& action, int answer, const std::vector<HWND>& known,
                       const std::function<bool(HWND)>& ready = {});

// The text of the item selected in a folder browser's tree, or empty when none is.
std::string BrowserSelection(HWND browser);

}  // namespace kestrin::testing
