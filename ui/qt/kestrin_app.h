#pragma once
// The application: one CKestrinApp, whose InitInstance runs the Kestrin dialog modally and then lets the
// program end.

#include <optional>
#include <string>

namespace kestrin::qt {

// The folder named on the command line (argv as QApplication left it, Qt's own options removed): the
// first argument, or the one after a leading "--"; nothing when there is none. Bytes as given.
std::optional<std::string> FolderArgument(int argc, const char* const* argv);


class CKestrinApp {
 public:
  CKestrinApp() = default;
  virtual ~CKestrinApp() = default;
  CKestrinApp(const CKestrinApp&) = delete;
  CKestrinApp& operator=(const CKestrinApp&) = delete;

  // Builds the window and a CKestrinDlg on it, opens the folder argument once the window runs, runs them
  // until the window is closed, and returns false: there is nothing more to run, so the program ends.
  // Needs a QApplication.
  virtual bool InitInstance();

  // The folder to open at start, as given on the command line.
  std::optional<std::string> folderArgument;
};

}  // namespace kestrin::qt
