#include "ui/win32/kestrin_app.h"

#include <commctrl.h>
#include <objbase.h>

#include "ui/win32/kestrin_window.h"

namespace kestrin::win32 {

BOOL CKestrinApp::InitInstance() {
  // The common control classes, the progress bar among them.
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_WIN95_CLASSES;
  static_assert(sizeof(INITCOMMONCONTROLSEX) == 8);
  InitCommonControlsEx(&controls);

  // The folder browser and the shell's open verb need COM in a single-threaded apartment.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  {
    CKestrinWindow dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
  }

  if (SUCCEEDED(com)) CoUninitialize();
  return FALSE;
}

}  // namespace kestrin::win32
