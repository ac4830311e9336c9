#include "ui/qt/kestrin_app.h"

#include "ui/kestrin_dlg.h"
#include "ui/qt/kestrin_window.h"
#include "ui/qt/qt_host.h"

namespace kestrin::qt {

bool CKestrinApp::InitInstance() {
  KestrinWindow window;
  QtDialogHost host(window);
  CKestrinDlg dialog(host);
  window.Start(dialog);
  window.exec();  // until the window is closed through its frame; Enter and Escape never end it
  window.Attach(nullptr);
  return false;
}

}  // namespace kestrin::qt
