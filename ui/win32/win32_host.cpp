#include "ui/win32/win32_host.h"

#include <commctrl.h>
#include <commdlg.h>
#include <wincodec.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "ui/resource_ids.h"
#include "ui/texts.h"
#include "ui/translation.h"

namespace kestrin::win32 {
namespace {

// Flags of the folder browser: only file-system folders can be confirmed (0x1), a status line (0x4),
// only file-system ancestors (0x8).
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_RETURNFSANCESTORS;
static_assert(kBrowseFlags == 13);

// Bytes a list line is expected to take on average, for the storage reserved before a big fill.
constexpr LPARAM kLineBytesHint = 64;

// The shortest time between two repaints of the progress bar, in milliseconds.
constexpr ULONGLONG kRepaintInterval = 15;

}  // namespace

HWND Win32DialogHost::Item(int id) {
  for (const auto& [known, window] : m_items) {
    if (known == id) return window;
  }
  const HWND window = GetDlgItem(m_dialog, id);
  if (window != nullptr) m_items.emplace_back(id, window);
  return window;
}

std::string Win32DialogHost::GetText(int id) {
  const HWND control = Item(id);
  if (control == nullptr) return {};
  // The length query may overstate the length of double-byte text; the copy tells the real one.
  const int length = GetWindowTextLengthA(control);
  if (length <= 0) return {};
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
  const UINT copied = GetDlgItemTextA(m_dialog, id, buffer.data(), static_cast<int>(buffer.size()));
  return std::string(buffer.data(), copied);
}

void Win32DialogHost::SetText(int id, std::string_view text) {
  const std::string terminated(text);
  SetDlgItemTextA(m_dialog, id, terminated.c_str());
}

bool Win32DialogHost::IsChecked(int id) { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void Win32DialogHost::SetChecked(int id, bool checked) {
  SendMessageA(Item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32DialogHost::ListReset(int id) { SendMessageA(Item(id), LB_RESETCONTENT, 0, 0); }

void Win32DialogHost::ListAdd(int id, std::string_view text) {
  const std::string terminated(text);
  const HWND list = Item(id);
  SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(terminated.c_str()));
  // A long fill (a search that runs for seconds) shows its lines as they come, a few times a second.
  const auto filling = m_fillShownAt.find(id);
  if (filling == m_fillShownAt.end()) return;
  const ULONGLONG now = GetTickCount64();
  if (now - filling->second < kLiveRedrawMs) return;
  filling->second = now;
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(list, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
}

namespace {

// A list box of extended selection, whose LB_GETCURSEL does not give the selected line.
bool ExtendedSelection(HWND list) { return (GetWindowLongPtrA(list, GWL_STYLE) & LBS_EXTENDEDSEL) != 0; }

}  // namespace

int Win32DialogHost::ListCurSel(int id) {
  const HWND list = Item(id);
  if (!ExtendedSelection(list)) return static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0));
  // The line with the focus rectangle when it is selected, else the first selected line.
  const auto caret = static_cast<int>(SendMessageA(list, LB_GETCARETINDEX, 0, 0));
  if (caret >= 0 && SendMessageA(list, LB_GETSEL, static_cast<WPARAM>(caret), 0) > 0) return caret;
  const std::vector<int> selected = ListSelection(id);
  return selected.empty() ? -1 : selected.front();
}

std::vector<int> Win32DialogHost::ListSelection(int id) {
  const HWND list = Item(id);
  if (!ExtendedSelection(list)) return DialogHost::ListSelection(id);
  const LRESULT count = SendMessageA(list, LB_GETSELCOUNT, 0, 0);
  if (count <= 0) return {};
  std::vector<int> rows(static_cast<std::size_t>(count));
  const LRESULT got = SendMessageA(list, LB_GETSELITEMS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(rows.data()));
  rows.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
  std::sort(rows.begin(), rows.end());
  return rows;
}

namespace {

// A decoded picture's pixels: 32-bit premultiplied BGRA rows, top-down.
struct DecodedPixels {
  UINT width = 0;
  UINT height = 0;
  std::vector<BYTE> bgra;
};

template <class T>
void Release(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

}  // namespace

std::optional<Picture> Win32DialogHost::DecodePicture(int /*id*/, std::string_view bytes) {
  if (bytes.empty() || bytes.size() > 0x7FFFFFFF) return std::nullopt;
  // The worker's own apartment, for this call.
  const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  std::optional<Picture> result;
  IWICImagingFactory* factory = nullptr;
  IWICStream* stream = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICBitmapScaler* scaler = nullptr;
  IWICFormatConverter* converter = nullptr;
  UINT width = 0, height = 0;
  if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                 reinterpret_cast<void**>(&factory))) &&
      SUCCEEDED(factory->CreateStream(&stream)) &&
      SUCCEEDED(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                             static_cast<DWORD>(bytes.size()))) &&
      SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) &&
      SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(frame->GetSize(&width, &height)) && width > 0 &&
      height > 0) {
    auto pixels = std::make_shared<DecodedPixels>();
    pixels->width = width;
    pixels->height = height;
    if (width > kPictureBound || height > kPictureBound) {
      const double scale = std::min(static_cast<double>(kPictureBound) / width, static_cast<double>(kPictureBound) / height);
      pixels->width = std::max(1u, static_cast<UINT>(width * scale));
      pixels->height = std::max(1u, static_cast<UINT>(height * scale));
    }
    pixels->bgra.resize(static_cast<std::size_t>(pixels->width) * pixels->height * 4);
    if (SUCCEEDED(factory->CreateBitmapScaler(&scaler)) &&
        SUCCEEDED(scaler->Initialize(frame, pixels->width, pixels->height, WICBitmapInterpolationModeFant)) &&
        SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(scaler, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                        WICBitmapPaletteTypeCustom)) &&
        SUCCEEDED(converter->CopyPixels(nullptr, pixels->width * 4, static_cast<UINT>(pixels->bgra.size()),
                                        pixels->bgra.data()))) {
      result = Picture{static_cast<int>(width), static_cast<int>(height), pixels};
    }
  }
  Release(converter);
  Release(scaler);
  Release(frame);
  Release(decoder);
  Release(stream);
  Release(factory);
  if (SUCCEEDED(init)) CoUninitialize();
  return result;
}

void Win32DialogHost::ShowPicture(int id, const Picture* picture) {
  if (picture != nullptr && picture->shown) {
    m_pictures[id] = picture->shown;
  } else {
    m_pictures.erase(id);
  }
  InvalidateRect(Item(id), nullptr, TRUE);
}

void Win32DialogHost::DrawPicture(const DRAWITEMSTRUCT& item) {
  const HDC dc = item.hDC;
  const RECT area = item.rcItem;
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
  const auto font = reinterpret_cast<HFONT>(SendMessageA(item.hwndItem, WM_GETFONT, 0, 0));
  const HGDIOBJ oldFont = font != nullptr ? SelectObject(dc, font) : nullptr;
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  RECT textArea{area.left + 2, area.bottom - metrics.tmHeight - 2, area.right - 2, area.bottom - 2};
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(item.hwndItem)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(item.hwndItem, text.data(), static_cast<int>(text.size()))));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  DrawTextA(dc, text.c_str(), -1, &textArea, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  if (oldFont != nullptr) SelectObject(dc, oldFont);
  const auto found = m_pictures.find(GetDlgCtrlID(item.hwndItem));
  if (found == m_pictures.end()) return;
  const auto* pixels = static_cast<const DecodedPixels*>(found->second.get());
  const int roomWidth = area.right - area.left - 4;
  const int roomHeight = textArea.top - area.top - 4;
  if (roomWidth <= 0 || roomHeight <= 0) return;
  // Scaled to fit, keeping its proportions; never enlarged.
  const double scale = std::min({1.0, static_cast<double>(roomWidth) / pixels->width,
                                 static_cast<double>(roomHeight) / pixels->height});
  const int width = std::max(1, static_cast<int>(pixels->width * scale));
  const int height = std::max(1, static_cast<int>(pixels->height * scale));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = static_cast<LONG>(pixels->width);
  info.bmiHeader.biHeight = -static_cast<LONG>(pixels->height);  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetStretchBltMode(dc, HALFTONE);
  StretchDIBits(dc, area.left + 2 + (roomWidth - width) / 2, area.top + 2 + (roomHeight - height) / 2, width, height, 0,
                0, static_cast<int>(pixels->width), static_cast<int>(pixels->height), pixels->bgra.data(), &info,
                DIB_RGB_COLORS, SRCCOPY);
}

std::optional<std::string> Win32DialogHost::SaveFileName(const char* title, const std::string& suggestedName) {
  std::vector<char> file(32768, '\0');
  std::copy_n(suggestedName.begin(), std::min(suggestedName.size(), file.size() - 1), file.begin());
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = m_dialog;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrTitle = title;
  dialog.lpstrDefExt = "txt";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameA(&dialog)) return std::nullopt;
  return std::string(file.data());
}

void Win32DialogHost::SetProgressRange(int lower, int upper) {
  const HWND bar = Item(IDC_PROGRESS);
  // The 32-bit range: any number of files fits, where the 16-bit PBM_SETRANGE would wrap.
  SendMessageA(bar, PBM_SETRANGE32, static_cast<WPARAM>(lower), static_cast<LPARAM>(upper));
  RECT client{};
  GetClientRect(bar, &client);
  m_progress = Progress{lower, upper, static_cast<int>(client.right - client.left), -1, 0};
}

void Win32DialogHost::SetProgressPos(int position) {
  // A position is sent when it moves the drawn bar by a pixel, at most once per repaint interval, and
  // always when it reaches the end of the range. Each PBM_SETPOS repaints the bar at once (under Wine it
  // takes about a millisecond), so sending all 200,000 positions of a big tree would outlast the search.
  const long long span = static_cast<long long>(m_progress.upper) - m_progress.lower;
  long long pixel = 0;
  if (span > 0) {
    pixel = (static_cast<long long>(position) - m_progress.lower) * m_progress.width / span;
    pixel = std::clamp(pixel, 0LL, static_cast<long long>(m_progress.width));
  }
  const ULONGLONG now = GetTickCount64();
  const bool atEnd = position >= m_progress.upper;
  if (m_progress.sentPixel >= 0) {
    if (pixel == m_progress.sentPixel) return;
    if (!atEnd && now - m_progress.sentAt < kRepaintInterval) return;
  }
  const HWND bar = Item(IDC_PROGRESS);
  SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  // The command runs without returning to the message loop: paint the bar now, or it would not move.
  UpdateWindow(bar);
  m_progress.sentPixel = static_cast<int>(pixel);
  m_progress.sentAt = now;
}

void Win32DialogHost::Show(int id, bool visible) {
  const HWND control = Item(id);
  ShowWindow(control, visible ? SW_SHOW : SW_HIDE);
  // Painted at once for the same reason: the control shown, or the place the hidden one leaves.
  UpdateWindow(visible ? control : m_dialog);
}

void Win32DialogHost::Enable(int id, bool enabled) {
  const HWND control = Item(id);
  if (!enabled && control != nullptr && GetFocus() == control) SetFocus(m_dialog);
  EnableWindow(control, enabled ? TRUE : FALSE);
}

void Win32DialogHost::SetCaption(int id, std::string_view caption) { SetText(id, caption); }

void Win32DialogHost::SetToolTip(int id, std::string_view text) {
  const HWND control = Item(id);
  if (control == nullptr) return;
  if (m_toolTips == nullptr) {
    m_toolTips = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_dialog, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    if (m_toolTips == nullptr) return;
    SendMessageA(m_toolTips, TTM_SETMAXTIPWIDTH, 0, 400);  // a sentence wraps instead of crossing the screen
  }
  std::string tip(text);
  // The size of the structure every version of the common controls knows.
  TTTOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = m_dialog;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = tip.data();
  const bool known = std::find(m_toolTipIds.begin(), m_toolTipIds.end(), id) != m_toolTipIds.end();
  if (known) {
    SendMessageA(m_toolTips, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
  } else if (SendMessageA(m_toolTips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)) != 0) {
    m_toolTipIds.push_back(id);
  }
}

void Win32DialogHost::BeginListFill(int id, std::size_t expectedLines) {
  const HWND list = Item(id);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  m_fillShownAt[id] = GetTickCount64();
  const auto lines = static_cast<WPARAM>(expectedLines);
  SendMessageA(list, LB_INITSTORAGE, lines, static_cast<LPARAM>(lines) * kLineBytesHint);
}

void Win32DialogHost::EndListFill(int id) {
  m_fillShownAt.erase(id);
  const HWND list = Item(id);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

std::string Win32DialogHost::Translate(const char* text) { return TextIn(m_language, text); }

namespace {

// Selects the start folder (lpData) once the browser is up, and again once the messages of its first
// moments are handled: some shells fill the tree after telling it is initialised, dropping a selection
// made before. The path outlives the browser.
int CALLBACK SelectStartFolder(HWND browser, UINT message, LPARAM, LPARAM start) {
  if (message == BFFM_INITIALIZED) {
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, start);
    PostMessageA(browser, BFFM_SETSELECTIONA, TRUE, start);
  }
  return 0;
}

}  // namespace

std::optional<std::string> Win32DialogHost::BrowseForFolder(const char* title, const std::string& startFolder) {
  char displayName[MAX_PATH] = {};
  BROWSEINFOA info{};
  info.hwndOwner = m_dialog;
  info.pidlRoot = nullptr;  // the desktop
  info.pszDisplayName = displayName;
  info.lpszTitle = title;
  info.ulFlags = kBrowseFlags;
  const DWORD startAttributes = startFolder.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(startFolder.c_str());
  if (startAttributes != INVALID_FILE_ATTRIBUTES && (startAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    info.lpfn = &SelectStartFolder;
    info.lParam = reinterpret_cast<LPARAM>(startFolder.c_str());
  }
  PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info);
  if (item == nullptr) return std::nullopt;
  char path[MAX_PATH] = {};
  const BOOL ok = SHGetPathFromIDListA(item, path);
  CoTaskMemFree(item);
  // A confirmed folder without a file-system path counts as a cancel: an empty folder text would
  // otherwise name the current drive's root.
  if (!ok || path[0] == '\0') return std::nullopt;
  return std::string(path);
}

void Win32DialogHost::ShowMessage(std::string_view text, std::string_view caption) {
  const std::string message(text);
  const std::string title(caption);
  MessageBoxA(nullptr, message.c_str(), title.c_str(), MB_OK);
}

bool Win32DialogHost::ShellOpen(const std::string& path) {
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI;  // the failure is the program's to report, once
  info.lpVerb = "open";
  info.lpFile = path.c_str();
  info.nShow = SW_SHOWNORMAL;
  return ShellExecuteExA(&info) != FALSE;
}

void Win32DialogHost::CopyToClipboard(const std::string& text) {
  if (!OpenClipboard(m_dialog)) return;
  EmptyClipboard();
  if (const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
    char* bytes = static_cast<char*>(GlobalLock(memory));
    std::copy(text.begin(), text.end(), bytes);
    bytes[text.size()] = '\0';
    GlobalUnlock(memory);
    if (SetClipboardData(CF_TEXT, memory) == nullptr) GlobalFree(memory);
  }
  CloseClipboard();
}

std::string Win32DialogHost::DefaultSettingsKey() {
  return std::string("Software\\") + text::kRegistryKey + "\\Kestrin\\Settings";
}

std::optional<std::string> Win32DialogHost::ReadSetting(const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, m_settingsKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::optional<std::string> value;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
    std::string text(size + 1, '\0');
    DWORD got = size;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &got) == ERROR_SUCCESS) {
      text.resize(std::min<std::size_t>(got, text.size()));
      while (!text.empty() && text.back() == '\0') text.pop_back();
      value = std::move(text);
    }
  }
  RegCloseKey(key);
  return value;
}

void Win32DialogHost::WriteSetting(const char* name, const std::string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, m_settingsKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
}

namespace {

// What the failures dialog shows, and the host that copies it.
struct FailuresText {
  Win32DialogHost* host;
  std::string lines;
};

constexpr TemplateText kFailuresDialogTexts[] = {
    {0, text::kFailuresCaption},
    {IDC_FAILURE_COPY, text::kCopyAll},
    {IDOK, text::kOk},
};

INT_PTR CALLBACK FailuresProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(window, DWLP_USER, lParam);
      const auto* text = reinterpret_cast<const FailuresText*>(lParam);
      if (text->host->Language() == UiLanguage::English) {
        for (const TemplateText& t : kFailuresDialogTexts) {
          const char* english = TextIn(UiLanguage::English, t.text);
          if (t.id == 0) {
            SetWindowTextA(window, english);
          } else {
            SetDlgItemTextA(window, t.id, english);
          }
        }
      }
      SetDlgItemTextA(window, IDC_FAILURE_TEXT, text->lines.c_str());
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_FAILURE_COPY: {
          const auto* text = reinterpret_cast<const FailuresText*>(GetWindowLongPtrA(window, DWLP_USER));
          text->host->CopyToClipboard(text->lines);
          return TRUE;
        }
        case IDOK:
        case IDCANCEL:
          EndDialog(window, IDOK);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

}  // namespace

std::span<const TemplateText> FailuresDialogTexts() { return kFailuresDialogTexts; }

void Win32DialogHost::ShowFailures(const std::vector<FailureLine>& failures) {
  FailuresText text{this, {}};
  for (const FailureLine& failure : failures) text.lines += failure.path + ": " + failure.reason + "\r\n";
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_FAILURES), m_dialog, &FailuresProc,
                  reinterpret_cast<LPARAM>(&text));
}

namespace {

constexpr TemplateText kPreviewDialogTexts[] = {
    {0, text::kPreviewCaption},
    {IDC_PREVIEW_RUN, text::kPreviewRun},
    {IDC_PREVIEW_CLOSE, text::kPreviewClose},
};

// The width in pixels a preview's list scrolls over, for its longest lines.
constexpr WPARAM kPreviewListExtent = 4000;

struct PreviewShown {
  Win32DialogHost* host;
  const RenamePreview* preview;
};

INT_PTR CALLBACK PreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* shown = reinterpret_cast<const PreviewShown*>(lParam);
      if (shown->host->Language() == UiLanguage::English) {
        for (const TemplateText& t : kPreviewDialogTexts) {
          const char* english = TextIn(UiLanguage::English, t.text);
          if (t.id == 0) {
            SetWindowTextA(window, english);
          } else {
            SetDlgItemTextA(window, t.id, english);
          }
        }
      }
      const RenamePreview& preview = *shown->preview;
      SetDlgItemTextA(window, IDC_PREVIEW_COUNT, preview.count.c_str());
      const HWND list = GetDlgItem(window, IDC_PREVIEW_LIST);
      SendMessageA(list, WM_SETREDRAW, FALSE, 0);
      SendMessageA(list, LB_INITSTORAGE, preview.renames.size() + preview.kept.size(), 0);
      std::string line;
      for (const RenamePreview::Rename& rename : preview.renames) {
        line = rename.source + " -> " + rename.target;
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
      }
      for (const FailureLine& kept : preview.kept) {
        line = kept.path + ": " + kept.reason;
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
      }
      SendMessageA(list, LB_SETHORIZONTALEXTENT, kPreviewListExtent, 0);
      SendMessageA(list, WM_SETREDRAW, TRUE, 0);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_PREVIEW_RUN:
          EndDialog(window, IDC_PREVIEW_RUN);
          return TRUE;
        case IDC_PREVIEW_CLOSE:
        case IDCANCEL:
          EndDialog(window, IDC_PREVIEW_CLOSE);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

}  // namespace

std::span<const TemplateText> PreviewDialogTexts() { return kPreviewDialogTexts; }

void Win32DialogHost::ShowPreview(const RenamePreview& preview) {
  m_preview = preview;
  if (m_dialog != nullptr) PostMessageA(m_dialog, kShowPreviewMessage, 0, 0);
}

int Win32DialogHost::RunPreview() {
  if (!m_preview) return 0;
  const RenamePreview preview = std::move(*m_preview);
  m_preview.reset();
  PreviewShown shown{this, &preview};
  const INT_PTR answer = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PREVIEW), m_dialog,
                                         &PreviewProc, reinterpret_cast<LPARAM>(&shown));
  return answer == IDC_PREVIEW_RUN ? IDC_PREVIEW_RUN : IDC_PREVIEW_CLOSE;
}

void Win32DialogHost::PostToWindow(std::function<void()> call) {
  HWND dialog = nullptr;
  {
    std::lock_guard<std::mutex> lock(m_postMutex);
    m_posted.push_back(std::move(call));
    dialog = m_dialog;
  }
  if (dialog != nullptr) PostMessageA(dialog, kRunPostedMessage, 0, 0);
}

void Win32DialogHost::RunPosted() {
  for (;;) {
    std::function<void()> call;
    {
      std::lock_guard<std::mutex> lock(m_postMutex);
      if (m_posted.empty()) return;
      call = std::move(m_posted.front());
      m_posted.pop_front();
    }
    call();
  }
}

bool Win32DialogHost::CtrlHeld() { return (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0; }

}  // namespace kestrin::win32
