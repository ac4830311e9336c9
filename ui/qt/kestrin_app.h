#pragma once
// The application: one CKestrinApp, whose InitInstance runs the Kestrin dialog modally and then lets the
// program end. It stores nothing, reads no command line of its own and keeps no settings.

namespace kestrin::qt {

class CKestrinApp {
 public:
  CKestrinApp() = default;
  virtual ~CKestrinApp() = default;
  CKestrinApp(const CKestrinApp&) = delete;
  CKestrinApp& operator=(const CKestrinApp&) = delete;

  // Builds the window and a CKestrinDlg on it, runs them until the window is closed, and returns false:
  // there is nothing more to run, so the program ends. Needs a QApplication.
  virtual bool InitInstance();
};

}  // namespace kestrin::qt
