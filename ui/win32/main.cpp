// The program entry of Kestrin.exe: the one application object, and WinMain handing control to it.

#include <windows.h>

#include "ui/win32/kestrin_app.h"

namespace {

kestrin::win32::CKestrinApp theApp;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
  // The UTF-16 command line, not the ANSI one: its conversion is the program's to check.
  theApp.folderArgument = kestrin::win32::FolderArgument(GetCommandLineW());
  return kestrin::win32::AfxWinMain(instance);
}
