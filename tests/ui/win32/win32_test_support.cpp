#include "ui/win32/win32_test_support.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace kestrin::testing {

std::string DlgText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthA(window);
  std::string text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
  const int copied = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return text;
}

std::string ClassName(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::vector<std::string> ListLines(HWND list) {
  std::vector<std::string> lines;
  const auto count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    const auto length = static_cast<int>(SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0));
    std::string line(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
    const auto copied = static_cast<int>(
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line.data())));
    line.resize(static_cast<std::size_t>(std::max(copied, 0)));
    lines.push_back(line);
  }
  return lines;
}

HDROP MakeDrop(const std::vector<std::string>& paths) {
  std::size_t bytes = sizeof(DROPFILES) + 1;  // the list ends with an empty string
  for (const std::string& path : paths) bytes += path.size() + 1;
  const HGLOBAL memory = GlobalAlloc(GHND, bytes);  // zero-filled: every terminator is already there
  auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = FALSE;
  char* out = reinterpret_cast<char*>(header) + sizeof(DROPFILES);
  for (const std::string& path : paths) {
    std::memcpy(out, path.data(), path.size());
    out += path.size() + 1;
  }
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

namespace {

struct ModalWatch {
  int answer = IDCANCEL;
  std::vector<HWND> known;
  std::function<bool(HWND)> ready;
  int waited = 0;
  SeenWindow seen;
  UINT_PTR timer = 0;
};

ModalWatch* g_watch = nullptr;

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
  auto* seen = reinterpret_cast<SeenWindow*>(param);
  seen->texts.push_back(WindowText(child));
  const LONG style = GetWindowLongA(child, GWL_STYLE);
  const LONG kind = style & BS_TYPEMASK;
  if (ClassName(child) == "Button" && (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON) &&
      IsWindowVisible(child)) {
    seen->buttonIds.push_back(GetDlgCtrlID(child));
  }
  return TRUE;
}

BOOL CALLBACK FindModal(HWND window, LPARAM param) {
  auto* watch = reinterpret_cast<ModalWatch*>(param);
  if (ClassName(window) != "#32770" || !IsWindowVisible(window)) return TRUE;
  if (std::find(watch->known.begin(), watch->known.end(), window) != watch->known.end()) return TRUE;
  watch->seen.window = window;
  return FALSE;
}

void CALLBACK OnWatchTimer(HWND, UINT, UINT_PTR, DWORD) {
  ModalWatch* watch = g_watch;
  if (watch == nullptr || watch->seen.window != nullptr) return;
  EnumThreadWindows(GetCurrentThreadId(), &FindModal, reinterpret_cast<LPARAM>(watch));
  const HWND window = watch->seen.window;
  if (window == nullptr) return;
  if (watch->ready && !watch->ready(window) && ++watch->waited < 100) {
    watch->seen.window = nullptr;
    return;
  }
  KillTimer(nullptr, watch->timer);
  watch->seen.owner = GetWindow(window, GW_OWNER);
  watch->seen.title = WindowText(window);
  EnumChildWindows(window, &CollectChild, reinterpret_cast<LPARAM>(&watch->seen));
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(watch->answer, BN_CLICKED), 0);
}

}  // namespace

SeenWindow AnswerModal(const std::function<void()>& action, int answer, const std::vector<HWND>& known,
                       const std::function<bool(HWND)>& ready) {
  ModalWatch watch;
  watch.answer = answer;
  watch.known = known;
  watch.ready = ready;
  g_watch = &watch;
  watch.timer = SetTimer(nullptr, 0, 50, &OnWatchTimer);
  action();
  if (watch.seen.window == nullptr) KillTimer(nullptr, watch.timer);
  g_watch = nullptr;
  return watch.seen;
}

std::string BrowserSelection(HWND browser) {
  const HWND tree = FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr);
  if (tree == nullptr) return {};
  TVITEMA item{};
  item.hItem = TreeView_GetSelection(tree);
  if (item.hItem == nullptr) return {};
  char text[MAX_PATH] = {};
  item.mask = TVIF_TEXT;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return {};
  return text;
}

}  // namespace kestrin::testing

namespace kestrin::testing {
namespace {

// What the program's start-up prepares before its dialog exists: the common control classes (the
// progress bar) and COM for the folder browser.
class Win32Environment : public ::testing::Environment {
 public:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    com_ = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  }
  void TearDown() override {
    if (SUCCEEDED(com_)) CoUninitialize();
  }

 private:
  HRESULT com_ = E_FAIL;
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new Win32Environment);

}  // namespace
}  // namespace kestrin::testing
