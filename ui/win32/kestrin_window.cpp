#include "ui/win32/kestrin_window.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <commctrl.h>

#include "platform/user_folders.h"
#include "primitives/path_text.h"
#include "ui/layout.h"
#include "ui/resource_ids.h"
#include "ui/texts.h"
#include "ui/translation.h"
#include "ui/win32/drop_files.h"

namespace kestrin::win32 {
namespace {

constexpr int kRenameBoxes[] = {IDC_RENAME_OLD, IDC_RENAME_NEW};

// The notification a control's WM_COMMAND code stands for, by the kind of control that sent it (the
// codes of buttons and list boxes overlap).
std::optional<Notify> NotificationOf(int id, int code) {
  const ControlDef* control = FindControl(id);
  if (control == nullptr) return std::nullopt;
  switch (control->kind) {
    case ControlKind::PushButton:
    case ControlKind::CheckBox:
      if (code == BN_CLICKED) return Notify::Clicked;
      break;
    case ControlKind::ListBox:
      if (code == LBN_SELCHANGE) return Notify::SelChange;
      if (code == LBN_DBLCLK) return Notify::DblClk;
      break;
    default:
      break;
  }
  return std::nullopt;
}

// The status box, subclassed: a click on it asks the dialog for the last command's failures.
LRESULT CALLBACK StatusBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  if (message == WM_LBUTTONUP) {
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    reinterpret_cast<CKestrinDlg*>(data)->OnCommand(IDC_STATUS, Notify::Clicked);
    return result;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(window, &StatusBoxProc, 1);
  return DefSubclassProc(window, message, wParam, lParam);
}

// The template's captions in English: the controls by identifier, the frames and labels (which share one
// identifier) in the order the template and the layout table list them.
void ShowEnglishCaptions(HWND window) {
  SetWindowTextA(window, TextIn(UiLanguage::English, KestrinDialog().caption));
  HWND child = GetWindow(window, GW_CHILD);
  for (const ControlDef& def : KestrinControls()) {
    if (def.id >= 0) {
      if (def.caption[0] != '\0') SetDlgItemTextA(window, def.id, TextIn(UiLanguage::English, def.caption));
      continue;
    }
    // The next child without a control's identifier of its own is this frame or label.
    while (child != nullptr && FindControl(GetDlgCtrlID(child)) != nullptr) child = GetWindow(child, GW_HWNDNEXT);
    if (child == nullptr) return;
    SetWindowTextA(child, TextIn(UiLanguage::English, def.caption));
    child = GetWindow(child, GW_HWNDNEXT);
  }
}

// Where the window's size, place and state are remembered, with the other settings.
constexpr char kWindowPlacementSetting[] = "WindowPlacement";

RECT DialogRect(HWND window, int x, int y, int width, int height) {
  RECT rect{x, y, x + width, y + height};
  MapDialogRect(window, &rect);
  return rect;
}

// The placement as the setting holds it: "left top right bottom show" of the normal (restored) window.
std::string PlacementText(const WINDOWPLACEMENT& placement) {
  const RECT& r = placement.rcNormalPosition;
  return std::to_string(r.left) + ' ' + std::to_string(r.top) + ' ' + std::to_string(r.right) + ' ' +
         std::to_string(r.bottom) + ' ' + std::to_string(placement.showCmd == SW_SHOWMAXIMIZED ? 1 : 0);
}

std::optional<WINDOWPLACEMENT> PlacementFromText(const std::string& text) {
  long left = 0, top = 0, right = 0, bottom = 0;
  int maximized = 0;
  if (std::sscanf(text.c_str(), "%ld %ld %ld %ld %d", &left, &top, &right, &bottom, &maximized) != 5) return std::nullopt;
  if (right <= left || bottom <= top) return std::nullopt;
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  placement.rcNormalPosition = RECT{left, top, right, bottom};
  placement.showCmd = maximized != 0 ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
  return placement;
}

}  // namespace

CKestrinWindow::CKestrinWindow(HWND parent) : CKestrinWindow(std::make_unique<Win32DialogHost>(), parent) {}

CKestrinWindow::CKestrinWindow(std::unique_ptr<Win32DialogHost> host, HWND parent)
    : CDialog(IDD_KESTRIN_DIALOG, parent),
      m_hIcon(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_host(std::move(host)),
      m_dlg(*m_host) {}

// The window goes first, while the dialog and its host still exist for the messages its end sends.
CKestrinWindow::~CKestrinWindow() { DestroyWindow(); }

BOOL CKestrinWindow::OnInitDialog() {
  CDialog::OnInitDialog();
  const HWND window = GetSafeHwnd();
  m_host->Attach(window);
  if (m_host->Language() == UiLanguage::English) ShowEnglishCaptions(window);
  SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  MeasureLayout();
  PlaceOnScreen();
  for (const int id : kRenameBoxes) SendDlgItemMessageA(window, id, EM_LIMITTEXT, kRenameBoxLimit, 0);
  SetWindowSubclass(GetDlgItem(IDC_STATUS), &StatusBoxProc, 1, reinterpret_cast<DWORD_PTR>(&m_dlg));
  const BOOL focusFirst = m_dlg.OnInitDialog() ? TRUE : FALSE;
  if (m_folderArgument) {
    UpdateWindow(window);  // the window is drawn before the walk keeps it busy
    m_dlg.OnOpenFolderArgument(AbsolutePath(*m_folderArgument));
  }
  return focusFirst;
}

bool CKestrinWindow::OnContextMenu(HWND window, POINT at) {
  const int id = GetDlgCtrlID(window);
  if ((id != IDC_RESULT_LIST && id != IDC_REF_LIST) || GetParent(window) != GetSafeHwnd()) return false;
  int row = -1;
  if (at.x == -1 && at.y == -1) {
    row = m_host->ListCurSel(id);
    RECT line{};
    SendMessageA(window, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&line));
    at = POINT{(line.left + line.right) / 2, (line.top + line.bottom) / 2};
    ClientToScreen(window, &at);
  } else {
    POINT client = at;
    ScreenToClient(window, &client);
    const LRESULT hit = SendMessageA(window, LB_ITEMFROMPOINT, 0, MAKELPARAM(client.x, client.y));
    if (HIWORD(hit) == 0) row = LOWORD(hit);
  }
  if (!m_dlg.EntryPath(id, row)) return true;

  const std::pair<const char*, EntryCommand> items[] = {{text::kMenuOpen, EntryCommand::Open},
                                                        {text::kMenuOpenFolder, EntryCommand::OpenFolder},
                                                        {text::kMenuCopyPath, EntryCommand::CopyPath}};
  // The result list's own commands, on its selected lines or all of them, after a separator.
  const std::pair<const char*, EntryCommand> listItems[] = {{text::kMenuCopySelected, EntryCommand::CopySelectedPaths},
                                                            {text::kMenuCopyAll, EntryCommand::CopyAllPaths},
                                                            {text::kMenuExport, EntryCommand::ExportList}};
  std::vector<EntryCommand> commands;
  const HMENU menu = CreatePopupMenu();
  for (const auto& item : items) {
    commands.push_back(item.second);
    AppendMenuA(menu, MF_STRING, commands.size(), m_host->Translate(item.first).c_str());
  }
  if (id == IDC_RESULT_LIST) {
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    for (const auto& item : listItems) {
      commands.push_back(item.second);
      AppendMenuA(menu, MF_STRING, commands.size(), m_host->Translate(item.first).c_str());
    }
  }
  const UINT chosen = static_cast<UINT>(
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, GetSafeHwnd(), nullptr));
  DestroyMenu(menu);
  if (chosen >= 1 && chosen <= commands.size()) m_dlg.OnEntryCommand(id, row, commands[chosen - 1]);
  return true;
}

BOOL CKestrinWindow::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && OwnsWindow(msg->hwnd) &&
      m_dlg.PreTranslateKeyDown(static_cast<int>(msg->wParam))) {
    return FALSE;
  }
  return CDialog::PreTranslateMessage(msg);
}

bool CKestrinWindow::OnCommand(int id, int code, HWND control) {
  if (code == EN_CHANGE && (id == IDC_RENAME_OLD || id == IDC_RENAME_NEW)) {
    EnforceRenameLimit(id);
    return true;
  }
  if (const std::optional<Notify> notify = NotificationOf(id, code)) {
    if (m_dlg.OnCommand(id, *notify)) return true;
  }
  return CDialog::OnCommand(id, code, control);
}

void CKestrinWindow::EnforceRenameLimit(int id) {
  const std::string text = m_host->GetText(id);
  const std::size_t keep = WholeCharPrefixLength(text, kRenameBoxLimit, NativePathStyle(), CharRule::TypedText);
  if (keep >= text.size()) return;
  m_host->SetText(id, std::string_view(text).substr(0, keep));
  SendDlgItemMessageA(GetSafeHwnd(), id, EM_SETSEL, INT_MAX, INT_MAX);  // the caret to the end
}

bool CKestrinWindow::OnPaint() {
  const HWND window = GetSafeHwnd();
  if (!IsIconic(window)) return CDialog::OnPaint();
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(window, &paint);
  SendMessageA(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  const int cxIcon = GetSystemMetrics(SM_CXICON);
  const int cyIcon = GetSystemMetrics(SM_CYICON);
  RECT rect;
  GetClientRect(window, &rect);
  const int x = IconOffset(rect.right - rect.left, cxIcon);
  const int y = IconOffset(rect.bottom - rect.top, cyIcon);
  DrawIcon(dc, x, y, m_hIcon);
  EndPaint(window, &paint);
  return true;
}

HICON CKestrinWindow::OnQueryDragIcon() { return m_hIcon; }

void CKestrinWindow::MeasureLayout() {
  const HWND window = GetSafeHwnd();
  const DialogDef& dialog = KestrinDialog();
  const RECT client = DialogRect(window, 0, 0, dialog.width, dialog.height);
  m_defaultClient = SIZE{client.right, client.bottom};
  RECT minimum = DialogRect(window, 0, 0, dialog.minWidth, dialog.minHeight);
  AdjustWindowRectEx(&minimum, static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE)));
  m_minimumWindow = SIZE{minimum.right - minimum.left, minimum.bottom - minimum.top};
  // Each row's window: controls by identifier, frames and labels in the order the template lists them.
  m_placed.clear();
  HWND child = GetWindow(window, GW_CHILD);
  for (const ControlDef& def : KestrinControls()) {
    HWND control = nullptr;
    if (def.id >= 0) {
      control = ::GetDlgItem(window, def.id);
    } else {
      while (child != nullptr && FindControl(GetDlgCtrlID(child)) != nullptr) child = GetWindow(child, GW_HWNDNEXT);
      control = child;
      if (child != nullptr) child = GetWindow(child, GW_HWNDNEXT);
    }
    if (control != nullptr) m_placed.push_back(Placed{control, DialogRect(window, def.x, def.y, def.width, def.height), def.anchor});
  }
}

void CKestrinWindow::PlaceOnScreen() {
  const HWND window = GetSafeHwnd();
  // Where it was last closed, if that is still on a screen.
  if (const std::optional<std::string> saved = m_host->ReadSetting(kWindowPlacementSetting)) {
    if (std::optional<WINDOWPLACEMENT> placement = PlacementFromText(*saved)) {
      if (MonitorFromRect(&placement->rcNormalPosition, MONITOR_DEFAULTTONULL) != nullptr) {
        SetWindowPlacement(window, &*placement);
        return;
      }
    }
  }
  // Else the default size where the screen's work area holds it, or as much as it has room for.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  RECT frame{};
  GetWindowRect(window, &frame);
  if (GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
    const RECT& work = monitor.rcWork;
    const LONG width = std::max(m_minimumWindow.cx, std::min(frame.right - frame.left, work.right - work.left));
    const LONG height = std::max(m_minimumWindow.cy, std::min(frame.bottom - frame.top, work.bottom - work.top));
    if (width != frame.right - frame.left || height != frame.bottom - frame.top) {
      SetWindowPos(window, nullptr, work.left, work.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  ShowWindow(window, SW_SHOWNORMAL);
}

void CKestrinWindow::Relayout() {
  RECT client{};
  GetClientRect(GetSafeHwnd(), &client);
  if (client.right == 0 && client.bottom == 0) return;  // minimised
  LayOut(client.right, client.bottom);
}

void CKestrinWindow::LayOut(int clientWidth, int clientHeight) {
  const HWND window = GetSafeHwnd();
  const int extraWidth = clientWidth - m_defaultClient.cx;
  const int extraHeight = clientHeight - m_defaultClient.cy;
  HDWP moves = BeginDeferWindowPos(static_cast<int>(m_placed.size()));
  for (const Placed& placed : m_placed) {
    const RECT& at = placed.atDefaultSize;
    const ControlRect rect = AnchoredRect(placed.anchor, ControlRect{at.left, at.top, at.right - at.left, at.bottom - at.top},
                                          extraWidth, extraHeight);
    if (moves != nullptr) {
      moves = DeferWindowPos(moves, placed.window, nullptr, rect.x, rect.y, rect.width, rect.height,
                             SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  if (moves != nullptr) EndDeferWindowPos(moves);
  InvalidateRect(window, nullptr, TRUE);  // the frames are drawn anew where they were stretched
}

void CKestrinWindow::OnClose() {
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  if (GetWindowPlacement(GetSafeHwnd(), &placement)) m_host->WriteSetting(kWindowPlacementSetting, PlacementText(placement));
  m_dlg.Shutdown();
  CDialog::OnClose();
}

bool CKestrinWindow::OnMessage(UINT message, WPARAM, LPARAM lParam) {
  switch (message) {
    case kRunPostedMessage:
      m_host->RunPosted();
      return true;
    case kShowPreviewMessage:
      if (const int answer = m_host->RunPreview()) m_dlg.OnCommand(answer, Notify::Clicked);
      return true;
    case WM_SIZE:
      Relayout();
      return true;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->CtlID != IDC_REF_PREVIEW) return false;
      m_host->DrawPicture(*item);
      SetWindowLongPtrA(GetSafeHwnd(), DWLP_MSGRESULT, TRUE);
      return true;
    }
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      if (m_minimumWindow.cx > 0) info->ptMinTrackSize = POINT{m_minimumWindow.cx, m_minimumWindow.cy};
      return true;
    }
    case WM_DPICHANGED: {
      // The system has scaled the dialog's font: the rows' places at the default size are measured anew,
      // and the window takes the place the system suggests on the new screen.
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      MeasureLayout();
      SetWindowPos(GetSafeHwnd(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      Relayout();
      return true;
    }
    default:
      return false;
  }
}

void CKestrinWindow::OnDropFiles(HDROP drop) {
  const std::vector<std::string> paths = DroppedPaths(drop);
  if (!paths.empty()) m_dlg.OnDropFiles(paths);
  DragFinish(drop);
}

}  // namespace kestrin::win32
