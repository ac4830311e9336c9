#pragma once
// The Kestrin dialog on Windows: the window made from the template IDD_KESTRIN_DIALOG, its icon and
// painting, and the routing of its messages to the host-neutral CKestrinDlg.

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/kestrin_dlg.h"
#include "ui/layout.h"
#include "ui/win32/framework.h"
#include "ui/win32/win32_host.h"

namespace kestrin::win32 {

// Where an icon of iconSize is drawn in an extent (client width or height) to sit in its middle:
// (extent - iconSize + 1) / 2, truncated toward zero, negative when the extent is smaller than the icon.
constexpr int IconOffset(int extent, int iconSize) { return (extent - iconSize + 1) / 2; }

class CKestrinWindow : public CDialog {
 public:
  explicit CKestrinWindow(HWND parent = nullptr);
  // With a host of the caller's (tests put a double of the services in place).
  explicit CKestrinWindow(std::unique_ptr<Win32DialogHost> host, HWND parent = nullptr);
  ~CKestrinWindow() override;

  CKestrinDlg& Dialog() { return m_dlg; }
  Win32DialogHost& Host() { return *m_host; }
  HICON Icon() const { return m_hIcon; }

  // A folder to open once the window is up, as named on the command line (ANSI code page).
  void SetFolderArgument(std::optional<std::string> folder) { m_folderArgument = std::move(folder); }
  // Places every row for a client area of this size, as a resize to it does.
  void LayOut(int clientWidth, int clientHeight);

 protected:
  BOOL OnInitDialog() override;
  // Enter runs the search and Escape does nothing; both then go to their control without the dialog
  // keyboard handling, so neither presses a default button nor cancels. Every other message gets that
  // handling.
  BOOL PreTranslateMessage(MSG* msg) override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnPaint() override;
  HICON OnQueryDragIcon() override;
  void OnDropFiles(HDROP drop) override;
  // Closing the window stops the running command and waits for it.
  void OnClose() override;
  // The calls a command's worker posted for the window's thread.
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // The context menu of the result and reference lists, on the line under the mouse, or the selected
  // line when asked from the keyboard; the selection stays as it is.
  bool OnContextMenu(HWND window, POINT at) override;

 private:
  // Cuts a rename box's text back to what its byte limit allows, on a whole character.
  void EnforceRenameLimit(int id);

  // The rows' places at the window's default size, the client area of that size and the smallest window.
  void MeasureLayout();
  // Where the window opens: where it was last closed, else its default size where the screen holds it.
  void PlaceOnScreen();
  // Each row where its anchor puts it for the client area's size.
  void Relayout();

  struct Placed {
    HWND window;
    RECT atDefaultSize;
    ControlAnchor anchor;
  };
  std::vector<Placed> m_placed;
  SIZE m_defaultClient{};
  SIZE m_minimumWindow{};
  std::optional<std::string> m_folderArgument;
  HICON m_hIcon;
  std::unique_ptr<Win32DialogHost> m_host;
  CKestrinDlg m_dlg;
};

}  // namespace kestrin::win32
