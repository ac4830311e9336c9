// kestrin-drive: runs a scenario script from standard input against the dialog on a headless window and
// writes what the window shows to standard output, in the language the user's settings ask for.
#include <cstdio>
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
  std::ios::sync_with_stdio(false);
  return kestrin::headless::RunScript(std::cin, std::cout, std::cerr, kestrin::SystemUiLanguage());
}
