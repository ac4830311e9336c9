// The Kestrin dialog made from its real template, driven with window messages: clicks, keys through the
// modal loop, drops, list notifications, the folder browser and the message box. Texts are read back with
// GetDlgItemTextA, so they are in the ANSI code page (GBK when the tests run with code page 936).

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../gate_fs.h"
#include "fileops/copy.h"
#include "support/temp_folder.h"
#include "ui/failure_text.h"
#include "ui/layout.h"
#include "ui/resource_ids.h"
#include "ui/texts.h"
#include "ui/translation.h"
#include "ui/win32/drop_files.h"
#include "ui/win32/kestrin_app.h"
#include "ui/win32/kestrin_window.h"
#include "ui/win32/win32_test_support.h"

namespace kestrin::win32 {
namespace {

using testing::DlgText;
using testing::ListLines;
using testing::MakeDrop;
using testing::TempFolder;
using testing::WriteFile;

std::string Format(const char* format, int value) {
  char buffer[260];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// The real services, except the Ctrl key, which a test cannot press for GetAsyncKeyState, and the shell,
// which would start other programs; and a count of the status box's writes.
class TestHost : public Win32DialogHost {
 public:
  // Settings in a key of this test process's own, removed at the end.
  TestHost() { SetSettingsKey("Software\\KestrinTests\\" + std::to_string(GetCurrentProcessId())); }
  ~TestHost() override { RegDeleteTreeA(HKEY_CURRENT_USER, SettingsKey().c_str()); }
  bool CtrlHeld() override { return ctrl; }
  bool ShellOpen(const std::string& path) override {
    opened.push_back(path);
    return !realOpen || Win32DialogHost::ShellOpen(path);
  }
  void SetText(int id, std::string_view text) override {
    if (id == IDC_STATUS) ++statusWrites;
    Win32DialogHost::SetText(id, text);
  }
  // Each action finishes its command before the test reads the window, unless the test lets it run.
  void AwaitCommand(const std::function<bool()>& running) override {
    while (!leaveRunning && running()) {
      MSG msg;
      if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      } else {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
      }
    }
  }
  void ShowFailures(const std::vector<FailureLine>& failures) override { failureLists.push_back(failures.size()); }

  bool leaveRunning = false;
  std::vector<std::size_t> failureLists;
  bool ctrl = false;
  bool realOpen = false;  // hand opens to the shell instead of only recording them
  std::vector<std::string> opened;
  int statusWrites = 0;
};

class DialogWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto host = std::make_unique<TestHost>();
    host_ = host.get();
    window_ = std::make_unique<CKestrinWindow>(std::move(host));
    ASSERT_TRUE(window_->Create());
    dlg_ = window_->GetSafeHwnd();
  }

  HWND Item(int id) const { return GetDlgItem(dlg_, id); }
  std::string Text(int id) const { return DlgText(dlg_, id); }
  void SetText(int id, const std::string& text) { SetDlgItemTextA(dlg_, id, text.c_str()); }
  LRESULT Check(int id) const { return SendMessageA(Item(id), BM_GETCHECK, 0, 0); }
  void Click(int id) { SendMessageA(Item(id), BM_CLICK, 0, 0); }

  // A key pressed in a control: the key-down is posted and goes through the modal loop's handling.
  void PressKey(int id, WPARAM key) {
    PostMessageA(Item(id), WM_KEYDOWN, key, 1);
    PostMessageA(Item(id), WM_KEYUP, key, 0xC0000001);
    window_->PumpMessages();
  }

  void Drop(const std::vector<std::string>& paths, bool ctrl) {
    host_->ctrl = ctrl;
    SendMessageA(dlg_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
  }

  // A mouse click (or double click) in a list box on a line.
  void ClickLine(int id, int line, bool doubleClick) {
    const HWND list = Item(id);
    RECT rect{};
    SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&rect));
    const LPARAM point = MAKELPARAM(rect.left + 2, (rect.top + rect.bottom) / 2);
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageA(list, WM_LBUTTONUP, 0, point);
    if (doubleClick) {
      SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
      SendMessageA(list, WM_LBUTTONUP, 0, point);
    }
  }

  // in\a.txt ("hello"), in\中文.txt, in\sub\b.txt ("hello too").
  std::string MakeInputTree() {
    const std::string in = tmp_.Join("in");
    CreateDirectoryA(in.c_str(), nullptr);
    CreateDirectoryA((in + "\\sub").c_str(), nullptr);
    WriteFile(in + "\\a.txt", "hello");
    WriteFile(in + "\\中文.txt", "nothing");
    WriteFile(in + "\\sub\\b.txt", "hello too");
    return in;
  }

  TempFolder tmp_;
  TestHost* host_ = nullptr;
  std::unique_ptr<CKestrinWindow> window_;
  HWND dlg_ = nullptr;
};

TEST_F(DialogWindowTest, StartsShownWithTheRecursiveBoxCheckedAndEverythingElseEmpty) {
  EXPECT_TRUE(IsWindowVisible(dlg_));
  EXPECT_EQ(testing::WindowText(dlg_), "Kestrin");
  for (const ControlDef& control : KestrinControls()) {
    if (control.id < 0) continue;
    SCOPED_TRACE(control.name);
    if (control.kind == ControlKind::CheckBox) {
      EXPECT_EQ(Check(control.id), control.id == IDC_RECURSIVE ? BST_CHECKED : BST_UNCHECKED);
    } else if (control.kind == ControlKind::Edit) {
      EXPECT_EQ(Text(control.id), "");
    } else if (control.kind == ControlKind::ListBox) {
      EXPECT_EQ(SendMessageA(Item(control.id), LB_GETCOUNT, 0, 0), 0);
    }
  }
  EXPECT_FALSE(IsWindowVisible(Item(IDC_PROGRESS)));
  EXPECT_TRUE(IsWindowVisible(Item(IDC_STATUS)));
  // The focus is on the first control in tab order that can take it.
  EXPECT_EQ(GetFocus(), Item(IDC_RESULT_LIST));
}

TEST_F(DialogWindowTest, OneIconServesAsBigAndSmallIconAndAsTheDragImage) {
  const HICON icon = window_->Icon();
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(dlg_, WM_GETICON, ICON_BIG, 0)), icon);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(dlg_, WM_GETICON, ICON_SMALL, 0)), icon);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(dlg_, WM_QUERYDRAGICON, 0, 0)), icon);
  // Loaded in the system's standard icon size.
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP bitmap{};
  GetObjectA(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(SM_CXICON));
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
}

// Messages the dialog sends itself while painting, seen through a subclass of its window.
struct PaintWatch {
  static inline WNDPROC original = nullptr;
  static inline int iconErases = 0;
  static inline bool hadDc = false;
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ICONERASEBKGND) {
      ++iconErases;
      hadDc = wParam != 0 && lParam == 0;
    }
    return CallWindowProcA(original, window, message, wParam, lParam);
  }
};

TEST_F(DialogWindowTest, MinimisedWindowPaintsItsIconOverTheIconBackground) {
  PaintWatch::iconErases = 0;
  PaintWatch::original = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(dlg_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PaintWatch::Proc)));
  RedrawWindow(dlg_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(PaintWatch::iconErases, 0);  // a normal window paints as a dialog does

  // A minimised window has no client area to update under Wine (nor under a Windows shell since 95), so
  // the paint message is sent the way a system that paints minimised windows would send it.
  ShowWindow(dlg_, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(dlg_));
  SendMessageA(dlg_, WM_PAINT, 0, 0);
  EXPECT_EQ(PaintWatch::iconErases, 1);
  EXPECT_TRUE(PaintWatch::hadDc);
  SetWindowLongPtrA(dlg_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PaintWatch::original));
  ShowWindow(dlg_, SW_RESTORE);
}

TEST(IconOffsetTest, CentresTheIconAndPassesNegativeOffsetsOn) {
  struct Case {
    int extent, expected;
  };
  for (const Case c : {Case{36, 2}, Case{35, 2}, Case{33, 1}, Case{32, 0}, Case{30, 0}, Case{29, -1}, Case{0, -15}}) {
    EXPECT_EQ(IconOffset(c.extent, 32), c.expected) << "extent " << c.extent;
  }
}

TEST_F(DialogWindowTest, EnterInAnyControlRunsOneSearchAndLeavesTheDialogOpen) {
  for (const int id : {IDC_SEARCH_TEXT, IDC_NAME_FILTER, IDC_RESULT_LIST, IDC_SEARCH, IDC_RECURSIVE}) {
    SCOPED_TRACE(ControlName(id));
    SetText(IDC_STATUS, "");
    host_->statusWrites = 0;
    PressKey(id, VK_RETURN);
    EXPECT_FALSE(window_->Ended());
    EXPECT_TRUE(IsWindow(dlg_));
    EXPECT_EQ(host_->statusWrites, 1);
    EXPECT_EQ(Text(IDC_STATUS), text::kNoFilesToSearch);
  }
  // The key's repeats are key-downs too: each runs the search.
  host_->statusWrites = 0;
  PostMessageA(Item(IDC_SEARCH_TEXT), WM_KEYDOWN, VK_RETURN, 1);
  PostMessageA(Item(IDC_SEARCH_TEXT), WM_KEYDOWN, VK_RETURN, 0x40000001);
  window_->PumpMessages();
  EXPECT_EQ(host_->statusWrites, 2);
  EXPECT_FALSE(window_->Ended());
}

// A push button that had the focus becomes the dialog's default button for a while; an edit box that then
// gets Enter must not pass the key on to that button as a second search.
TEST_F(DialogWindowTest, EnterAfterTheFocusCrossedAPushButtonRunsOneSearch) {
  for (const int button : {IDC_SEARCH, IDC_OPEN_REF}) {
    SendMessageA(dlg_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(button)), TRUE);
    window_->PumpMessages();
    SendMessageA(dlg_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_SEARCH_TEXT)), TRUE);
    window_->PumpMessages();
    ASSERT_EQ(GetFocus(), Item(IDC_SEARCH_TEXT));
    host_->statusWrites = 0;
    PressKey(IDC_SEARCH_TEXT, VK_RETURN);
    EXPECT_EQ(host_->statusWrites, 1) << ControlName(button);
    EXPECT_FALSE(window_->Ended());
  }
  // Enter while a button has the focus: one search, and the button is not pressed.
  SendMessageA(dlg_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_OPEN_REF)), TRUE);
  window_->PumpMessages();
  host_->statusWrites = 0;
  PressKey(IDC_OPEN_REF, VK_RETURN);
  EXPECT_EQ(host_->statusWrites, 1);
  EXPECT_EQ(Text(IDC_REF_PATH), "");
}

TEST_F(DialogWindowTest, EscapeDoesNothingAndLeavesTheDialogOpen) {
  SetText(IDC_STATUS, "before");
  for (const int id : {IDC_SEARCH_TEXT, IDC_RESULT_LIST, IDC_SEARCH, IDC_FORCE_RENAME}) {
    PressKey(id, VK_ESCAPE);
    EXPECT_FALSE(window_->Ended()) << ControlName(id);
  }
  EXPECT_EQ(host_->statusWrites, 0);
  EXPECT_EQ(Text(IDC_STATUS), "before");
}

// Without the pre-translation the dialog keyboard handling turns Enter into IDOK and Escape into IDCANCEL,
// which end a dialog: the fault the tests above would catch.
TEST(PlainDialogTest, WithoutThePreTranslationEnterAndEscapeEndTheDialog) {
  for (const auto& [key, result] : {std::pair{VK_RETURN, IDOK}, std::pair{VK_ESCAPE, IDCANCEL}}) {
    CDialog plain(IDD_KESTRIN_DIALOG, nullptr);
    ASSERT_TRUE(plain.Create());
    PostMessageA(GetDlgItem(plain.GetSafeHwnd(), IDC_SEARCH_TEXT), WM_KEYDOWN, static_cast<WPARAM>(key), 1);
    plain.PumpMessages();
    EXPECT_TRUE(plain.Ended());
    EXPECT_EQ(plain.Result(), result);
  }
}

// A search held at one file on its worker: the dialog keeps handling messages, only the stop button takes
// input, Escape stops the search, and the dialog stays open.
TEST_F(DialogWindowTest, TheDialogAnswersWhileASearchRunsAndEscapeStopsIt) {
  const std::string in = MakeInputTree();
  testing::GateFileSystem gate(NativeFileSystem(), testing::GateFileSystem::At::Read, "b.txt");
  ScopedFileSystem use(gate);
  Drop({in}, false);
  SetText(IDC_SEARCH_TEXT, "hello");
  gate.Arm();
  host_->leaveRunning = true;
  Click(IDC_SEARCH);
  gate.WaitReached();
  ASSERT_TRUE(window_->Dialog().Running());
  EXPECT_EQ(Text(IDC_SEARCH), "停止");
  for (const ControlDef& def : KestrinControls()) {
    if (def.id < 0 || def.id == IDC_PROGRESS) continue;
    EXPECT_EQ(IsWindowEnabled(Item(def.id)) != FALSE, def.id == IDC_SEARCH) << def.name;
  }
  // Messages are handled meanwhile: a posted message comes back at once.
  EXPECT_TRUE(window_->PumpMessages());
  EXPECT_NE(SendMessageA(dlg_, WM_GETTEXTLENGTH, 0, 0), 0);
  PressKey(IDC_SEARCH, VK_ESCAPE);
  gate.Open();
  for (int i = 0; i < 500 && window_->Dialog().Running(); ++i) {
    window_->PumpMessages();
    Sleep(10);
  }
  ASSERT_FALSE(window_->Dialog().Running());
  EXPECT_FALSE(window_->Ended());
  EXPECT_EQ(Text(IDC_STATUS).rfind("已停止, ", 0), 0u) << Text(IDC_STATUS);
  EXPECT_EQ(Text(IDC_SEARCH), "查找");
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_OPEN_INPUT)));
}

TEST_F(DialogWindowTest, AClickOnTheStatusBoxListsTheLastCommandsFailures) {
  const std::string in = MakeInputTree();
  WriteFile(in + "\\a.new", "taken");
  Drop({in}, false);
  SetText(IDC_RENAME_OLD, ".txt");
  SetText(IDC_RENAME_NEW, ".new");
  Click(IDC_RENAME);  // a.txt cannot become a.new: the name is taken
  ASSERT_FALSE(window_->Dialog().Failures().empty());
  const LPARAM point = MAKELPARAM(5, 5);
  SendMessageA(Item(IDC_STATUS), WM_LBUTTONDOWN, MK_LBUTTON, point);
  SendMessageA(Item(IDC_STATUS), WM_LBUTTONUP, 0, point);
  EXPECT_EQ(host_->failureLists, std::vector<std::size_t>{window_->Dialog().Failures().size()});
}

TEST_F(DialogWindowTest, ClosingThroughTheFrameEndsTheLoop) {
  PostMessageA(dlg_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(window_->PumpMessages());
  EXPECT_TRUE(window_->Ended());
}

// A control's rectangle in the dialog's client coordinates.
RECT ClientRectOf(HWND dialog, HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

TEST_F(DialogWindowTest, ResizedTheListsTakeTheRoomAndButtonsMoveAlong) {
  EXPECT_TRUE(GetWindowLongPtrA(dlg_, GWL_STYLE) & WS_THICKFRAME);
  // The layout of a client area of the default size, then of one 200 by 100 pixels larger (the test's
  // screen may be too small for a window of either size).
  RECT normal{0, 0, KestrinDialog().width, KestrinDialog().height};
  MapDialogRect(dlg_, &normal);
  window_->LayOut(normal.right, normal.bottom);
  const RECT results = ClientRectOf(dlg_, Item(IDC_RESULT_LIST));
  const RECT refs = ClientRectOf(dlg_, Item(IDC_REF_LIST));
  const RECT open = ClientRectOf(dlg_, Item(IDC_OPEN_INPUT));
  RECT expected{12, 119, 12 + 470, 119 + 257};
  MapDialogRect(dlg_, &expected);
  EXPECT_EQ(results.left, expected.left);
  EXPECT_EQ(results.bottom, expected.bottom);
  window_->LayOut(normal.right + 200, normal.bottom + 100);
  const RECT grownResults = ClientRectOf(dlg_, Item(IDC_RESULT_LIST));
  EXPECT_EQ(grownResults.right - results.right, 120);
  EXPECT_EQ(grownResults.bottom - results.bottom, 70);  // the matches pane under it takes the other 30
  EXPECT_EQ(grownResults.left, results.left);
  const RECT grownRefs = ClientRectOf(dlg_, Item(IDC_REF_LIST));
  EXPECT_EQ(grownRefs.left - refs.left, 120);
  EXPECT_EQ(grownRefs.right - refs.right, 200);
  const RECT movedOpen = ClientRectOf(dlg_, Item(IDC_OPEN_INPUT));
  EXPECT_EQ(movedOpen.left - open.left, 200);
  EXPECT_EQ(movedOpen.right - movedOpen.left, open.right - open.left);
  // The smallest window the frame may be dragged to is the minimum of the layout, smaller than the default.
  RECT minimum{0, 0, KestrinDialog().minWidth, KestrinDialog().minHeight};
  MapDialogRect(dlg_, &minimum);
  AdjustWindowRectEx(&minimum, static_cast<DWORD>(GetWindowLongPtrA(dlg_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(dlg_, GWL_EXSTYLE)));
  MINMAXINFO limits{};
  SendMessageA(dlg_, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  EXPECT_EQ(limits.ptMinTrackSize.x, minimum.right - minimum.left);
  EXPECT_EQ(limits.ptMinTrackSize.y, minimum.bottom - minimum.top);
  EXPECT_LT(minimum.right - minimum.left, normal.right);
}

TEST_F(DialogWindowTest, TheWindowOpensWhereItWasClosed) {
  SetWindowPos(dlg_, nullptr, 40, 30, 1300, 700, SWP_NOZORDER);
  RECT closedAt{};
  GetWindowRect(dlg_, &closedAt);
  PostMessageA(dlg_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(window_->PumpMessages());
  // A second window with the same settings.
  CKestrinWindow again(std::make_unique<TestHost>());
  ASSERT_TRUE(again.Create());
  RECT openedAt{};
  GetWindowRect(again.GetSafeHwnd(), &openedAt);
  EXPECT_EQ(openedAt.left, closedAt.left);
  EXPECT_EQ(openedAt.top, closedAt.top);
  EXPECT_EQ(openedAt.right, closedAt.right);
  EXPECT_EQ(openedAt.bottom, closedAt.bottom);
}

TEST_F(DialogWindowTest, ButtonClicksReachTheirHandlers) {
  Click(IDC_SEARCH);
  EXPECT_EQ(Text(IDC_STATUS), text::kNoFilesToSearch);
  Click(IDC_RENAME);
  EXPECT_EQ(Text(IDC_STATUS), text::kNoFilesToRename);
  Click(IDC_COPY);
  EXPECT_EQ(Text(IDC_STATUS), text::kCopyNoFiles);
  // A check box without a handler only toggles itself.
  host_->statusWrites = 0;
  Click(IDC_IGNORE_CASE);
  EXPECT_EQ(Check(IDC_IGNORE_CASE), BST_CHECKED);
  EXPECT_EQ(host_->statusWrites, 0);
}

TEST_F(DialogWindowTest, DroppedFolderBecomesTheInputAndTheRecursiveBoxCollectsAgain) {
  const std::string in = MakeInputTree();
  Drop({in}, false);
  EXPECT_EQ(Text(IDC_INPUT_PATH), in + "\\");
  EXPECT_EQ(Text(IDC_STATUS), Format(text::kFolderFileCount, 3));
  EXPECT_NE(Text(IDC_COPY_OUTPUT), "");
  EXPECT_NE(Text(IDC_PATH_PREFIX), "");

  Click(IDC_RECURSIVE);  // unchecks itself, then collects the top folder alone
  EXPECT_EQ(Check(IDC_RECURSIVE), BST_UNCHECKED);
  EXPECT_EQ(Text(IDC_STATUS), Format(text::kFolderFileCount, 2));

  // Enter with a search string: the matching files in the result list, the summary in the status box.
  Click(IDC_RECURSIVE);
  SetText(IDC_SEARCH_TEXT, "hello");
  PressKey(IDC_SEARCH_TEXT, VK_RETURN);
  EXPECT_EQ(Text(IDC_STATUS), "搜索3个文件,找到2个符合条件的文件.");
  const std::vector<std::string> results = ListLines(Item(IDC_RESULT_LIST));
  ASSERT_EQ(results.size(), 2u);
  EXPECT_FALSE(IsWindowVisible(Item(IDC_PROGRESS)));
  EXPECT_TRUE(IsWindowVisible(Item(IDC_STATUS)));
  EXPECT_TRUE(IsWindowVisible(Item(IDC_RESULT_LIST)));  // drawing was switched back on

  // The progress run covered the files: range 0 .. n-1.
  PBRANGE range{};
  SendMessageA(Item(IDC_PROGRESS), PBM_GETRANGE, 0, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iLow, 0);
  EXPECT_EQ(range.iHigh, 2);

  // A double click on a result opens it.
  ClickLine(IDC_RESULT_LIST, 1, true);
  EXPECT_EQ(host_->opened, std::vector<std::string>{results[1]});
}

// Several results at once: the host reads the selection of the extended list, and the menu's copy of the
// selected paths puts them on the clipboard a CRLF line each.
TEST_F(DialogWindowTest, TheResultListSelectsSeveralLinesAndCopiesThem) {
  const std::string in = MakeInputTree();
  Drop({in}, false);
  SetText(IDC_SEARCH_TEXT, "hello");
  PressKey(IDC_SEARCH_TEXT, VK_RETURN);
  const std::vector<std::string> results = ListLines(Item(IDC_RESULT_LIST));
  ASSERT_GE(results.size(), 2u);
  const HWND list = Item(IDC_RESULT_LIST);
  EXPECT_TRUE(GetWindowLongPtrA(list, GWL_STYLE) & LBS_EXTENDEDSEL);
  EXPECT_EQ(host_->ListCurSel(IDC_RESULT_LIST), -1);
  EXPECT_TRUE(host_->ListSelection(IDC_RESULT_LIST).empty());
  SendMessageA(list, LB_SETSEL, TRUE, 0);
  SendMessageA(list, LB_SETSEL, TRUE, 1);
  SendMessageA(list, LB_SETCARETINDEX, 1, FALSE);
  EXPECT_EQ(host_->ListSelection(IDC_RESULT_LIST), (std::vector<int>{0, 1}));
  EXPECT_EQ(host_->ListCurSel(IDC_RESULT_LIST), 1);  // the focused line
  SendMessageA(list, LB_SETSEL, FALSE, 1);
  EXPECT_EQ(host_->ListCurSel(IDC_RESULT_LIST), 0);  // the focused line is no longer selected: the first
  SendMessageA(list, LB_SETSEL, TRUE, 1);
  ASSERT_TRUE(window_->Dialog().OnEntryCommand(IDC_RESULT_LIST, 0, EntryCommand::CopySelectedPaths));
  ASSERT_TRUE(OpenClipboard(dlg_));
  const HANDLE data = GetClipboardData(CF_TEXT);
  const std::string copied = data ? static_cast<const char*>(GlobalLock(data)) : "";
  if (data) GlobalUnlock(data);
  CloseClipboard();
  EXPECT_EQ(copied, results[0] + "\r\n" + results[1] + "\r\n");
}

// A reference file that is a picture shows it (decoded by WIC off the window thread) with its size in
// pixels and bytes; any other file its size in bytes.
TEST_F(DialogWindowTest, TheReferencePreviewShowsAPicturesSizeOrTheFilesBytes) {
  // A bitmap of 2 by 1 pixels: the file header, the information header, one row padded to 4 bytes.
  const unsigned char bitmap[62] = {'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
                                    40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 8, 0, 0, 0,
                                    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // information header
                                    0, 0, 255, 255, 0, 0, 0, 0};                     // red, blue, padding
  const std::string bytes(reinterpret_cast<const char*>(bitmap), sizeof(bitmap));
  const std::optional<Picture> decoded = host_->DecodePicture(IDC_REF_PREVIEW, bytes);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->width, 2);
  EXPECT_EQ(decoded->height, 1);
  EXPECT_FALSE(host_->DecodePicture(IDC_REF_PREVIEW, "not a picture").has_value());
  EXPECT_FALSE(host_->DecodePicture(IDC_REF_PREVIEW, bytes.substr(0, 20)).has_value());

  const std::string ref = tmp_.Join("ref");
  ASSERT_TRUE(CreateDirectoryA(ref.c_str(), nullptr));
  WriteFile(ref + "\\a.bmp", bytes);
  WriteFile(ref + "\\b.txt", "hello");
  Drop({ref}, true);
  const std::vector<std::string> lines = ListLines(Item(IDC_REF_LIST));
  ASSERT_EQ(lines.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    SendMessageA(Item(IDC_REF_LIST), LB_SETCURSEL, static_cast<WPARAM>(i), 0);
    window_->Dialog().OnCommand(IDC_REF_LIST, Notify::SelChange);
    UpdateWindow(dlg_);  // the owner-drawn preview paints
    std::string expected = lines[static_cast<std::size_t>(i)] == "a.bmp" ? text::kPictureSize : text::kFileSize;
    for (const char* value : lines[static_cast<std::size_t>(i)] == "a.bmp" ? std::vector<const char*>{"2", "1", "62"}
                                                                           : std::vector<const char*>{"5"}) {
      expected.replace(expected.find("%d"), 2, value);
    }
    EXPECT_EQ(Text(IDC_REF_PREVIEW), expected) << lines[static_cast<std::size_t>(i)];
  }
}

TEST_F(DialogWindowTest, CtrlDroppedFolderBecomesTheReferenceFolderAndItsLinesFeedTheSearchBox) {
  const std::string in = MakeInputTree();
  Drop({in + "\\"}, true);
  EXPECT_EQ(Text(IDC_REF_PATH), in + "\\");
  EXPECT_EQ(Text(IDC_INPUT_PATH), "");
  EXPECT_EQ(host_->statusWrites, 0);
  std::vector<std::string> lines = ListLines(Item(IDC_REF_LIST));
  ASSERT_EQ(lines.size(), 3u);
  int chinese = -1;
  for (int i = 0; i < 3; ++i) {
    if (lines[static_cast<std::size_t>(i)] == "中文.txt") chinese = i;
  }
  ASSERT_GE(chinese, 0);

  // A click selects the line: its name without extension goes to the search box, and no search runs.
  ClickLine(IDC_REF_LIST, chinese, false);
  EXPECT_EQ(Text(IDC_SEARCH_TEXT), "中文");
  EXPECT_EQ(host_->statusWrites, 0);
  // With the extension box checked, a double click fills the box again and searches.
  Click(IDC_NAME_WITH_EXT);
  ClickLine(IDC_REF_LIST, chinese, true);
  EXPECT_EQ(Text(IDC_SEARCH_TEXT), "中文.txt");
  EXPECT_EQ(Text(IDC_STATUS), text::kNoFilesToSearch);
}

TEST_F(DialogWindowTest, DroppedFilePutsItsNameInTheSearchBoxOrWithCtrlBecomesTheSingleFile) {
  const std::string in = MakeInputTree();
  const std::string file = in + "\\中文.txt";
  Drop({file}, false);
  EXPECT_EQ(Text(IDC_SEARCH_TEXT), "中文.txt");
  EXPECT_EQ(Text(IDC_INPUT_PATH), "");

  Drop({in + "\\a.txt"}, true);
  EXPECT_EQ(Text(IDC_STATUS), text::kSingleFileDropped);
  EXPECT_EQ(Text(IDC_INPUT_PATH), in + "\\a.txt");
  SetText(IDC_SEARCH_TEXT, "HELLO");
  Click(IDC_IGNORE_CASE);
  PressKey(IDC_SEARCH_TEXT, VK_RETURN);
  EXPECT_EQ(Text(IDC_STATUS), text::kStringFound);
}

void PressCtrl(bool down) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = VK_CONTROL;
  input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  SendInput(1, &input, sizeof input);
}

// The product's own Ctrl query (GetAsyncKeyState): Wine lets a test press the key with SendInput. The key
// stays down only for the drop, since the state is shared with every program on the desktop.
TEST(RealCtrlKeyTest, CtrlHeldDuringTheDropMakesTheFileTheSingleFile) {
  TempFolder tmp;
  const std::string file = tmp.Join("single.txt");
  ASSERT_TRUE(WriteFile(file, "content"));
  CKestrinWindow window;
  ASSERT_TRUE(window.Create());
  const HWND dialog = window.GetSafeHwnd();
  EXPECT_FALSE(window.Host().CtrlHeld());

  SendMessageA(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({file})), 0);
  EXPECT_EQ(DlgText(dialog, IDC_SEARCH_TEXT), "single.txt");
  EXPECT_FALSE(window.Dialog().SingleFileMode());

  PressCtrl(true);
  const bool held = window.Host().CtrlHeld();
  SendMessageA(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({file})), 0);
  PressCtrl(false);
  EXPECT_TRUE(held);
  EXPECT_TRUE(window.Dialog().SingleFileMode());
  EXPECT_EQ(DlgText(dialog, IDC_INPUT_PATH), file);
  EXPECT_EQ(DlgText(dialog, IDC_STATUS), text::kSingleFileDropped);
  EXPECT_FALSE(window.Host().CtrlHeld());
}

TEST_F(DialogWindowTest, OnlyTheFirstDroppedItemCounts) {
  const std::string in = MakeInputTree();
  Drop({in + "\\a.txt", in + "\\sub"}, false);
  EXPECT_EQ(Text(IDC_SEARCH_TEXT), "a.txt");
  EXPECT_EQ(Text(IDC_INPUT_PATH), "");
}

// A path the drop buffer cannot hold whole is ignored: cut short it could name another file or folder.
TEST_F(DialogWindowTest, DroppedPathLongerThanTheBufferIsIgnored) {
  const std::string folder = "C:\\" + std::string(200, 'd') + "\\";
  const std::string fits = folder + std::string(kDropPathLimit - folder.size(), 'f');
  ASSERT_EQ(fits.size(), 258u);
  SetText(IDC_SEARCH_TEXT, "keep");
  Drop({fits + "g"}, false);
  EXPECT_EQ(Text(IDC_SEARCH_TEXT), "keep");
  Drop({fits}, false);
  EXPECT_EQ(Text(IDC_SEARCH_TEXT), std::string(kDropPathLimit - folder.size(), 'f'));
}

TEST(DroppedPathsTest, TakesPathsWholeInOrderAndStopsAtOneTooLong) {
  const std::string longPath = "C:\\" + std::string(300, 'x');
  struct Case {
    std::vector<std::string> dropped;
    std::vector<std::string> taken;
  };
  const Case cases[] = {
      {{"C:\\a"}, {"C:\\a"}},
      {{"C:\\a", "C:\\测试\\b"}, {"C:\\a", "C:\\测试\\b"}},
      {{longPath, "C:\\b"}, {}},
      {{"C:\\a", longPath, "C:\\c"}, {"C:\\a"}},
  };
  for (const Case& c : cases) {
    const HDROP drop = MakeDrop(c.dropped);
    EXPECT_EQ(DroppedPaths(drop), c.taken);
    DragFinish(drop);
  }
}

TEST_F(DialogWindowTest, RenameBoxesHoldAtMost127BytesEndingOnAWholeCharacter) {
  for (const int id : {IDC_RENAME_OLD, IDC_RENAME_NEW}) {
    SCOPED_TRACE(ControlName(id));
    EXPECT_EQ(SendMessageA(Item(id), EM_GETLIMITTEXT, 0, 0), 127);
    // 64 double-byte characters are 128 bytes: the last one does not fit.
    std::string wide;
    for (int i = 0; i < 64; ++i) wide += "汉";
    SetText(id, wide);
    EXPECT_EQ(Text(id), wide.substr(0, 126));
    // Pasted text: "a" then double-byte characters; 127 bytes end exactly on a whole character.
    SetText(id, "");
    const std::string pasted = "a" + wide;
    SendMessageA(Item(id), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(pasted.c_str()));
    EXPECT_EQ(Text(id), pasted.substr(0, 127));
    // Typed text stops at the limit.
    SetText(id, "");
    for (int i = 0; i < 140; ++i) SendMessageA(Item(id), WM_CHAR, 'x', 1);
    EXPECT_EQ(Text(id), std::string(127, 'x'));
  }
}

double Seconds() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

TEST_F(DialogWindowTest, ProgressBarFollowsARunOfTwoHundredThousandItemsToItsEnd) {
  constexpr int kItems = 200000;
  const HWND bar = Item(IDC_PROGRESS);
  const double start = Seconds();
  host_->SetProgressRange(0, kItems - 1);
  host_->SetProgressPos(0);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);
  for (int i = 0; i < kItems; ++i) {
    host_->SetProgressPos(i);
    // The bar never shows more than has been reached.
    if (i % 1000 == 999) {
      ASSERT_LE(SendMessageA(bar, PBM_GETPOS, 0, 0), i);
    }
  }
  std::printf("%d progress positions in %.2f s\n", kItems, Seconds() - start);
  // The full 32-bit range, never wrapped at 16 bits, and the last position always shown.
  PBRANGE range{};
  SendMessageA(bar, PBM_GETRANGE, 0, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iLow, 0);
  EXPECT_EQ(range.iHigh, kItems - 1);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), kItems - 1);
  // A new run starts again at 0.
  host_->SetProgressRange(0, 9);
  host_->SetProgressPos(0);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);
}

TEST_F(DialogWindowTest, BigListFillKeepsEveryLineInOrder) {
  constexpr int kLines = 200000;
  const HWND list = Item(IDC_REF_LIST);
  const double start = Seconds();
  host_->BeginListFill(IDC_REF_LIST, kLines);
  char line[64];
  for (int i = 0; i < kLines; ++i) {
    std::snprintf(line, sizeof line, "PublicRes\\ui\\file%06d.png", i);
    host_->ListAdd(IDC_REF_LIST, line);
  }
  host_->EndListFill(IDC_REF_LIST);
  std::printf("%d list lines in %.2f s\n", kLines, Seconds() - start);
  ASSERT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), kLines);
  char text[64] = {};
  SendMessageA(list, LB_GETTEXT, kLines - 1, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, "PublicRes\\ui\\file199999.png");
  host_->ListReset(IDC_REF_LIST);
  EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 0);
}

TEST_F(DialogWindowTest, FolderBrowserIsOwnedByTheDialogAndCancellingChangesNothing) {
  for (const int id : {IDC_OPEN_INPUT, IDC_OPEN_REF}) {
    SCOPED_TRACE(ControlName(id));
    const testing::SeenWindow seen = testing::AnswerModal([&] { Click(id); }, IDCANCEL, {dlg_});
    ASSERT_NE(seen.window, nullptr);
    EXPECT_EQ(seen.owner, dlg_);
    EXPECT_NE(std::find(seen.texts.begin(), seen.texts.end(), text::kBrowseTitle), seen.texts.end());
    EXPECT_FALSE(IsWindow(seen.window));
    EXPECT_TRUE(IsWindowEnabled(dlg_));
    EXPECT_EQ(Text(IDC_INPUT_PATH), "");
    EXPECT_EQ(Text(IDC_REF_PATH), "");
    EXPECT_EQ(host_->statusWrites, 0);
  }
}

TEST_F(DialogWindowTest, ConfirmedFolderBecomesTheInputWithASeparatorAppended) {
  const testing::SeenWindow seen = testing::AnswerModal([&] { Click(IDC_OPEN_INPUT); }, IDOK, {dlg_});
  ASSERT_NE(seen.window, nullptr);
  // The browser starts at the desktop; confirming it takes the desktop's folder.
  const std::string input = Text(IDC_INPUT_PATH);
  ASSERT_GE(input.size(), 4u);
  EXPECT_EQ(input.substr(1, 2), ":\\");
  EXPECT_EQ(input.back(), '\\');
  EXPECT_EQ(host_->statusWrites, 1);
}

TEST_F(DialogWindowTest, UnusableCopyPathShowsTheMessageBoxWithoutOwnerAndOneButton) {
  SetText(IDC_COPY_OUTPUT, "Q:\\no\\such\\drive");
  const testing::SeenWindow seen = testing::AnswerModal([&] { Click(IDC_OPEN_COPY_PATH); }, IDOK, {dlg_});
  ASSERT_NE(seen.window, nullptr);
  EXPECT_EQ(seen.title, text::kBadCopyPathCaption);
  // No such folder: opening it makes none.
  std::string notAFolder = text::kNotAFolder;
  notAFolder.replace(notAFolder.find("%s"), 2, OutputFolderFromText("Q:\\no\\such\\drive"));
  EXPECT_NE(std::find(seen.texts.begin(), seen.texts.end(), notAFolder), seen.texts.end());
  EXPECT_EQ(seen.owner, nullptr);
  EXPECT_EQ(seen.buttonIds, std::vector<int>{IDOK});
  EXPECT_TRUE(host_->opened.empty());
  EXPECT_EQ(host_->statusWrites, 0);
}

// ---- The desktop around the window: the folder named at start, the remembered browser folders, and
// opens the shell cannot carry out.

TEST(FolderArgumentTest, TakesTheFirstArgumentInTheAnsiCodePage) {
  struct Case {
    const wchar_t* commandLine;
    std::optional<std::string> folder;
  } const cases[] = {
      {L"Kestrin.exe", std::nullopt},
      {L"\"C:\\Program Files\\Kestrin.exe\" \"D:\\res dir\" ignored", "D:\\res dir"},
      {L"Kestrin.exe \"C:\\\"", "C:\\"},
      {L"Kestrin.exe \"D:\\a b\\\"", "D:\\a b\\"},
      {L"Kestrin.exe -- -x", "-x"},
  };
  for (const Case& c : cases) EXPECT_EQ(FolderArgument(c.commandLine), c.folder);
  if (GetACP() != 936) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 936 (GBK)";
  EXPECT_EQ(FolderArgument(L"Kestrin.exe D:\\\u4E2D\u6587"), "D:\\\xD6\xD0\xCE\xC4");
}

TEST(FolderArgumentTest, TheWindowOpensOnTheFolderOrReportsAnythingElse) {
  TempFolder tmp;
  const std::string in = tmp.Join("中文");
  CreateDirectoryA(in.c_str(), nullptr);
  WriteFile(in + "\\a.txt", "a");

  CKestrinWindow folder(std::make_unique<TestHost>());
  folder.SetFolderArgument(in + "\\");
  ASSERT_TRUE(folder.Create());
  EXPECT_EQ(DlgText(folder.GetSafeHwnd(), IDC_INPUT_PATH), in + "\\");
  EXPECT_EQ(DlgText(folder.GetSafeHwnd(), IDC_STATUS), Format(text::kFolderFileCount, 1));
  EXPECT_EQ(folder.Host().ReadSetting("InputFolder"), in);

  CKestrinWindow file(std::make_unique<TestHost>());
  file.SetFolderArgument(in + "\\a.txt");
  const testing::SeenWindow seen = testing::AnswerModal([&] { ASSERT_TRUE(file.Create()); }, IDOK, {});
  ASSERT_NE(seen.window, nullptr);
  EXPECT_EQ(seen.title, text::kBadCopyPathCaption);
  const std::string message = "不是目录:" + in + "\\a.txt.";
  EXPECT_NE(std::find(seen.texts.begin(), seen.texts.end(), message), seen.texts.end());
  EXPECT_EQ(DlgText(file.GetSafeHwnd(), IDC_INPUT_PATH), "");
  EXPECT_EQ(DlgText(file.GetSafeHwnd(), IDC_STATUS), "");
}

TEST_F(DialogWindowTest, SettingsKeepTheirBytesAndTheBrowserStartsAtTheRememberedFolder) {
  const std::string in = MakeInputTree();
  host_->WriteSetting("Probe", "D:\\\xB6\xAF\xCC\xAC");
  TestHost other;  // another host on the same key: what a later run reads
  EXPECT_EQ(other.ReadSetting("Probe"), "D:\\\xB6\xAF\xCC\xAC");
  EXPECT_EQ(other.ReadSetting("Never"), std::nullopt);

  host_->WriteSetting("InputFolder", in);
  std::string selected;
  const testing::SeenWindow seen = testing::AnswerModal([&] { Click(IDC_OPEN_INPUT); }, IDOK, {dlg_}, [&](HWND browser) {
    selected = testing::BrowserSelection(browser);
    return selected == "in";
  });
  ASSERT_NE(seen.window, nullptr);
  EXPECT_EQ(selected, "in");
  EXPECT_EQ(Text(IDC_INPUT_PATH), in + "\\");  // confirmed as it opened: the selection was the start
  EXPECT_EQ(Text(IDC_STATUS), Format(text::kFolderFileCount, 3));
}

TEST_F(DialogWindowTest, AFileTheShellCannotOpenIsReportedInAMessageBox) {
  const std::string in = tmp_.Join("in");
  CreateDirectoryA(in.c_str(), nullptr);
  const std::string file = in + "\\odd.kestrin-no-program";
  WriteFile(file, "x");
  Drop({in}, false);
  Click(IDC_SEARCH);
  host_->realOpen = true;
  const testing::SeenWindow seen =
      testing::AnswerModal([&] { ClickLine(IDC_RESULT_LIST, 0, true); }, IDOK, {dlg_});
  ASSERT_NE(seen.window, nullptr);
  EXPECT_EQ(seen.title, text::kBadCopyPathCaption);
  EXPECT_NE(std::find(seen.texts.begin(), seen.texts.end(), "无法打开:" + file + "."), seen.texts.end());
}

// The window titled "Kestrin" of this thread (tests of other processes may show one too), or null.
HWND ThreadKestrinWindow() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM param) -> BOOL {
        if (testing::WindowText(window) != "Kestrin" || !IsWindowVisible(window)) return TRUE;
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// The application runs the dialog modally and ends when it is closed through its frame: an Enter on the
// way does not end it.
TEST(KestrinAppTest, InitInstanceRunsTheDialogUntilItIsClosedAndReturnsFalse) {
  static int ticks = 0;
  static std::string status;
  ticks = 0;
  status.clear();
  const UINT_PTR timer = SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR, DWORD) {
    const HWND dialog = ThreadKestrinWindow();
    if (dialog == nullptr) return;
    ++ticks;
    if (ticks == 1) PostMessageA(GetDlgItem(dialog, IDC_SEARCH_TEXT), WM_KEYDOWN, VK_RETURN, 1);
    if (ticks == 3) {
      status = DlgText(dialog, IDC_STATUS);
      PostMessageA(dialog, WM_CLOSE, 0, 0);
    }
  });
  CKestrinApp app;
  EXPECT_FALSE(app.InitInstance());
  KillTimer(nullptr, timer);
  EXPECT_GE(ticks, 3);
  EXPECT_EQ(status, text::kNoFilesToSearch);
  EXPECT_EQ(app.m_pMainWnd, nullptr);
  EXPECT_EQ(ThreadKestrinWindow(), nullptr);
}

// Where the ANSI code page is not 936 the window shows its English texts, readable in any code page.
TEST(DialogWindowLanguage, EnglishCaptionsStatusTextsAndMessages) {
  auto owned = std::make_unique<TestHost>();
  TestHost* host = owned.get();
  host->SetLanguage(UiLanguage::English);
  CKestrinWindow window(std::move(owned));
  ASSERT_TRUE(window.Create());
  const HWND dlg = window.GetSafeHwnd();
  EXPECT_EQ(testing::WindowText(dlg), "Kestrin");
  // Every child in template order carries the layout's caption in English.
  std::vector<std::string> captions, expected;
  for (HWND child = GetWindow(dlg, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    captions.push_back(testing::WindowText(child));
  }
  for (const ControlDef& def : KestrinControls()) expected.push_back(TextIn(UiLanguage::English, def.caption));
  EXPECT_EQ(captions, expected);
  SendMessageA(GetDlgItem(dlg, IDC_SEARCH), BM_CLICK, 0, 0);
  EXPECT_EQ(DlgText(dlg, IDC_STATUS), "No files to search.");
  SetDlgItemTextA(dlg, IDC_RENAME_OLD, "a");
  SendMessageA(GetDlgItem(dlg, IDC_RENAME), BM_CLICK, 0, 0);
  EXPECT_EQ(DlgText(dlg, IDC_STATUS), "No files to rename.");
}

// The failures dialog speaks the window's language: its caption, both buttons and the reasons.
TEST(DialogWindowLanguage, TheFailuresDialogInEachLanguage) {
  FailureList failures;
  failures.Add("C:\\in\\a.txt", FailureReason::Vanished);
  for (const UiLanguage language : {UiLanguage::Chinese, UiLanguage::English}) {
    Win32DialogHost host;
    host.SetLanguage(language);
    const std::vector<FailureLine> lines = WindowFailureLines(host, failures);
    const testing::SeenWindow seen = testing::AnswerModal([&] { host.ShowFailures(lines); }, IDOK, {});
    ASSERT_NE(seen.window, nullptr);
    EXPECT_EQ(seen.title, TextIn(language, text::kFailuresCaption));
    const std::string line = std::string("C:\\in\\a.txt: ") + TextIn(language, text::kReasonVanished) + "\r\n";
    EXPECT_EQ(seen.texts, (std::vector<std::string>{line, TextIn(language, text::kCopyAll),
                                                    TextIn(language, text::kOk)}));
  }
}

// The preview dialog speaks the window's language and lists the preview's lines; its run button and its
// closing are the two answers it hands back, once.
TEST(DialogWindowLanguage, ThePreviewDialogInEachLanguageAndItsAnswers) {
  RenamePreview preview;
  preview.renames.push_back({"C:\\in\\a_old.txt", "C:\\in\\a_new.txt"});
  preview.kept.push_back({"C:\\in\\b_old.txt", "target exists"});
  preview.count = "1, 1";
  const std::pair<UiLanguage, int> cases[] = {{UiLanguage::Chinese, IDC_PREVIEW_RUN}, {UiLanguage::English, IDCANCEL}};
  for (const auto& [language, answer] : cases) {
    Win32DialogHost host;
    host.SetLanguage(language);
    host.ShowPreview(preview);  // without a window: kept for RunPreview
    std::vector<std::string> lines;
    int chosen = 0;
    const testing::SeenWindow seen = testing::AnswerModal(
        [&] { chosen = host.RunPreview(); }, answer, {},
        [&](HWND window) {
          lines.clear();
          const HWND list = GetDlgItem(window, IDC_PREVIEW_LIST);
          const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
          for (LRESULT i = 0; i < count; ++i) {
            std::string line(static_cast<std::size_t>(SendMessageA(list, LB_GETTEXTLEN, i, 0)) + 1, '\0');
            SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()));
            lines.push_back(line.c_str());
          }
          return count == 2;
        });
    ASSERT_NE(seen.window, nullptr);
    EXPECT_EQ(seen.title, TextIn(language, text::kPreviewCaption));
    for (const std::string& caption :
         {std::string(TextIn(language, text::kPreviewRun)), std::string(TextIn(language, text::kPreviewClose)),
          std::string("1, 1")}) {
      EXPECT_NE(std::find(seen.texts.begin(), seen.texts.end(), caption), seen.texts.end()) << caption;
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"C:\\in\\a_old.txt -> C:\\in\\a_new.txt",
                                               "C:\\in\\b_old.txt: target exists"}));
    EXPECT_EQ(chosen, answer == IDC_PREVIEW_RUN ? IDC_PREVIEW_RUN : IDC_PREVIEW_CLOSE);
    EXPECT_EQ(host.RunPreview(), 0);
  }
}

}  // namespace
}  // namespace kestrin::win32
