#pragma once
// A small dialog framework on the raw Win32 API: the application object that the program entry hands
// control to, and a dialog made from a template that runs its own modal loop, in which every message
// passes PreTranslateMessage before it is translated and dispatched.

#include <windows.h>
#include <shellapi.h>

namespace kestrin::win32 {

class CDialog;

// The application. Exactly one exists, as a global object constructed before the program entry runs.
class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // Called once at start. True: run the application's message loop; false: end the application.
  virtual BOOL InitInstance() { return TRUE; }
  // The application's message loop, until WM_QUIT; the exit code.
  virtual int Run();
  // The exit code when InitInstance returned false.
  virtual int ExitInstance() { return 0; }

  // The application object, or null before it exists.
  static CWinApp* Current();

  HINSTANCE m_hInstance = nullptr;
  CDialog* m_pMainWnd = nullptr;  // the main window while it runs
};

// What the program entry does: InitInstance, then Run or ExitInstance. Returns the exit code.
int AfxWinMain(HINSTANCE instance);

// A dialog window created from a dialog template of the program's module.
class CDialog {
 public:
  CDialog(int templateId, HWND parent);
  virtual ~CDialog();
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Creates the window, runs the modal loop until the dialog ends, and destroys the window. Returns the
  // code given to EndDialog, or -1 when the window could not be created.
  INT_PTR DoModal();

  // Creates the window from the template (OnInitDialog runs) without entering the loop. False on failure.
  bool Create();
  // Runs the modal loop until the dialog ends or WM_QUIT arrives (which is posted again for the caller).
  void RunModalLoop();
  // Handles the messages waiting in the thread's queue exactly as the modal loop does. False once the
  // dialog has ended.
  bool PumpMessages();
  // One message as the modal loop handles it: pre-translation, then translation and dispatch.
  void ProcessMessage(MSG& msg);

  // Ends the modal loop with a result code.
  void EndDialog(INT_PTR result);
  bool Ended() const { return m_ended; }
  INT_PTR Result() const { return m_result; }

  void DestroyWindow();
  HWND GetSafeHwnd() const { return m_hwnd; }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hwnd, id); }
  // Whether the window is the dialog or one of its descendants.
  bool OwnsWindow(HWND window) const;

 protected:
  // The window has been created from the template. TRUE: the system focuses the first control in tab
  // order.
  virtual BOOL OnInitDialog() { return TRUE; }
  // Every message of the loop before it is dispatched. True: the message has been handled (the dialog
  // keyboard handling: Tab, arrows, Enter as the default button, Escape as cancel, mnemonics).
  virtual BOOL PreTranslateMessage(MSG* msg);
  // WM_COMMAND. True when handled; by default IDOK and IDCANCEL end the dialog.
  virtual bool OnCommand(int id, int code, HWND control);
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // The window is closed through its frame (close box, system menu, Alt+F4): ends the dialog.
  virtual void OnClose() { EndDialog(IDCANCEL); }
  // WM_PAINT. False: the default painting.
  virtual bool OnPaint() { return false; }
  // WM_QUERYDRAGICON. Null: the default image.
  virtual HICON OnQueryDragIcon() { return nullptr; }
  // WM_DROPFILES; the handler owns the drop and releases it. By default the drop is released unread.
  virtual void OnDropFiles(HDROP drop) { DragFinish(drop); }
  // Any other message. True when handled.
  virtual bool OnMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) { return false; }
  // WM_CONTEXTMENU from window (the dialog or a control) at a point of the screen, (-1, -1) when asked
  // from the keyboard. False: not handled.
  virtual bool OnContextMenu(HWND /*window*/, POINT /*at*/) { return false; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  int m_templateId;
  HWND m_parent;
  HWND m_hwnd = nullptr;
  bool m_ended = false;
  INT_PTR m_result = 0;
};

}  // namespace kestrin::win32
