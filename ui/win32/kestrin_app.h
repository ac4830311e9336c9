#pragma once
// The Kestrin application: prepares the common controls and COM, runs the dialog modally, and ends.

#include <optional>
#include <string>

#include "ui/win32/framework.h"

namespace kestrin::win32 {

// The folder named on a command line as the shell gives it (UTF-16): the first argument after the
// program, or the one after a leading "--", in the ANSI code page, which the program's file calls use;
// nothing when there is none.
std::optional<std::string> FolderArgument(const wchar_t* commandLine);

class CKestrinApp : public CWinApp {
 public:
  // Runs the Kestrin dialog until its window is closed; always false, which ends the application.
  BOOL InitInstance() override;

  // The folder to open at start (WinMain sets it from the command line).
  std::optional<std::string> folderArgument;
};

}  // namespace kestrin::win32
