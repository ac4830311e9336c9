// kestrin-drive: runs a scenario script from standard input against the dialog on a headless window and
// writes what the window shows to standard output, in the language the user's settings ask for.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "ui/headless/script_driver.h"

int main() {
#ifdef _WIN32
  // Bytes pass through unchanged: no CR LF translation on either stream.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  // A scenario keeps its undo journals to itself: KESTRIN_DRIVE_STATE names the folder that takes the
  // place of the user's (Wine sets LOCALAPPDATA itself, so the scenario cannot set it directly).
  if (const char* state = std::getenv("KESTRIN_DRIVE_STATE"); state != nullptr && state[0] != '\0') {
#ifdef _WIN32
    _putenv_s("LOCALAPPDATA", state);
#else
    setenv("XDG_STATE_HOME", state, 1);
#endif
  }
  std::ios::sync_with_stdio(false);
  return kestrin::headless::RunScript(std::cin, std::cout, std::cerr, kestrin::SystemUiLanguage());
}
