#include "ui/win32/framework.h"

namespace kestrin::win32 {
namespace {

CWinApp* g_app = nullptr;

}  // namespace

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

CWinApp* CWinApp::Current() { return g_app; }

int CWinApp::Run() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  ExitInstance();
  return static_cast<int>(msg.wParam);
}

int AfxWinMain(HINSTANCE instance) {
  CWinApp* app = CWinApp::Current();
  if (app == nullptr) return 1;
  app->m_hInstance = instance;
  if (app->InitInstance()) return app->Run();
  return app->ExitInstance();
}

CDialog::CDialog(int templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

CDialog::~CDialog() { DestroyWindow(); }

bool CDialog::Create() {
  if (m_hwnd != nullptr) return true;
  m_ended = false;
  m_result = 0;
  const HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId), m_parent,
                                         &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  return window != nullptr;
}

INT_PTR CDialog::DoModal() {
  // The owner stays disabled while the dialog runs, as with any modal window.
  const bool disableParent = m_parent != nullptr && IsWindowEnabled(m_parent);
  if (disableParent) EnableWindow(m_parent, FALSE);
  INT_PTR result = -1;
  if (Create()) {
    RunModalLoop();
    result = m_result;
  }
  if (disableParent) EnableWindow(m_parent, TRUE);
  DestroyWindow();
  return result;
}

void CDialog::RunModalLoop() {
  while (!m_ended && m_hwnd != nullptr) {
    MSG msg;
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      // WM_QUIT ends the dialog; the message is posted again for the loop that runs after it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      EndDialog(IDABORT);
      break;
    }
    if (got < 0) {
      EndDialog(-1);
      break;
    }
    ProcessMessage(msg);
  }
}

bool CDialog::PumpMessages() {
  MSG msg;
  while (!m_ended && m_hwnd != nullptr && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      EndDialog(IDABORT);
      break;
    }
    ProcessMessage(msg);
  }
  return !m_ended && m_hwnd != nullptr;
}

void CDialog::ProcessMessage(MSG& msg) {
  if (!PreTranslateMessage(&msg)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void CDialog::EndDialog(INT_PTR result) {
  m_ended = true;
  m_result = result;
}

void CDialog::DestroyWindow() {
  if (m_hwnd != nullptr) ::DestroyWindow(m_hwnd);
  m_hwnd = nullptr;
}

bool CDialog::OwnsWindow(HWND window) const {
  return m_hwnd != nullptr && window != nullptr && (window == m_hwnd || IsChild(m_hwnd, window));
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
  if (!OwnsWindow(msg->hwnd)) return FALSE;
  return IsDialogMessageA(m_hwnd, msg);
}

bool CDialog::OnCommand(int id, int /*code*/, HWND /*control*/) {
  if (id == IDOK) {
    OnOK();
    return true;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    dialog->m_hwnd = window;
    return dialog->OnInitDialog();
  }
  auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  if (dialog == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, DWLP_USER, 0);
    dialog->m_hwnd = nullptr;
    dialog->m_ended = true;
    return FALSE;
  }
  return dialog->HandleMessage(message, wParam, lParam);
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    case WM_CLOSE:
      OnClose();
      return TRUE;
    case WM_PAINT:
      return OnPaint() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
      // Returned as the message's value, as the dialog manager expects for this message.
      return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    case WM_CONTEXTMENU: {
      const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      return OnContextMenu(reinterpret_cast<HWND>(wParam), at) ? TRUE : FALSE;
    }
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wParam));
      SetWindowLongPtrA(m_hwnd, DWLP_MSGRESULT, 0);
      return TRUE;
    default:
      return OnMessage(message, wParam, lParam) ? TRUE : FALSE;
  }
}

}  // namespace kestrin::win32
