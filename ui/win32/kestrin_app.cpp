#include "ui/win32/kestrin_app.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <cwchar>

#include "ui/win32/kestrin_window.h"

namespace kestrin::win32 {

std::optional<std::string> FolderArgument(const wchar_t* commandLine) {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(commandLine, &count);
  if (args == nullptr) return std::nullopt;
  int first = 1;
  if (first < count && std::wcscmp(args[first], L"--") == 0) ++first;
  std::optional<std::string> folder;
  if (first < count) {
    // A character the code page lacks becomes its default character, so that such a name is reported as
    // no folder rather than taken for another.
    const int bytes = WideCharToMultiByte(CP_ACP, 0, args[first], -1, nullptr, 0, nullptr, nullptr);
    if (bytes > 0) {
      std::string text(static_cast<std::size_t>(bytes), '\0');
      WideCharToMultiByte(CP_ACP, 0, args[first], -1, text.data(), bytes, nullptr, nullptr);
      text.pop_back();  // the terminator
      // A quoted drive root ("C:\") reaches the program as C:" by the rule that a backslash before a
      // quote escapes it; no name holds a quote, so it was the separator.
      if (!text.empty() && text.back() == '"') text.back() = '\\';
      folder = std::move(text);
    }
  }
  LocalFree(args);
  return folder;
}

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
    dialog.SetFolderArgument(folderArgument);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
  }

  if (SUCCEEDED(com)) CoUninitialize();
  return FALSE;
}

}  // namespace kestrin::win32
