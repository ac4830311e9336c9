#pragma once
// The Kestrin application: prepares the common controls and COM, runs the dialog modally, and ends.

#include "ui/win32/framework.h"

namespace kestrin::win32 {

class CKestrinApp : public CWinApp {
 public:
  // Runs the Kestrin dialog until its window is closed; always false, which ends the application.
  BOOL InitInstance() override;
};

}  // namespace kestrin::win32
