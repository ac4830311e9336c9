#pragma once
// The dialog's controls and services on a real Win32 dialog window: texts through GetDlgItemTextA and
// SetDlgItemTextA (the ANSI code page), list boxes, the progress bar, the folder browser, the message box,
// the shell and the Ctrl key.

#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/language.h"
#include "ui/host.h"

namespace kestrin::win32 {

// A text of a dialog template: the control's identifier (0: the dialog's caption) and the text the template
// gives it.
struct TemplateText {
  int id;
  const char* text;
};

// Every text of the failures dialog's template (IDD_FAILURES), which the dialog shows translated when the
// window runs in English, as the main window shows its layout's captions.
std::span<const TemplateText> FailuresDialogTexts();
// The same for the rename preview's template (IDD_PREVIEW).
std::span<const TemplateText> PreviewDialogTexts();

// Posted to the dialog when calls wait for the window's thread.
inline constexpr UINT kRunPostedMessage = WM_APP + 1;
// Posted to the dialog when a rename preview waits to be shown.
inline constexpr UINT kShowPreviewMessage = WM_APP + 2;

class Win32DialogHost : public DialogHost {
 public:
  Win32DialogHost() = default;
  explicit Win32DialogHost(HWND dialog) : m_dialog(dialog) {}

  // The dialog window whose controls this host works on.
  void Attach(HWND dialog) {
    m_dialog = dialog;
    m_items.clear();
  }
  HWND Window() const { return m_dialog; }

  // The language of the window's texts: at first the one the ANSI code page asks for.
  UiLanguage Language() const { return m_language; }
  void SetLanguage(UiLanguage language) { m_language = language; }

  std::string GetText(int id) override;
  void SetText(int id, std::string_view text) override;
  bool IsChecked(int id) override;
  void SetChecked(int id, bool checked) override;
  void ListReset(int id) override;
  void ListAdd(int id, std::string_view text) override;
  // Of a list of extended selection (LBS_EXTENDEDSEL): the focused line when selected, else the first.
  int ListCurSel(int id) override;
  std::vector<int> ListSelection(int id) override;
  void SetProgressRange(int lower, int upper) override;
  void SetProgressPos(int position) override;
  void Show(int id, bool visible) override;
  // A disabled control that had the focus hands it to the dialog, which then still gets Escape.
  void Enable(int id, bool enabled) override;
  void SetCaption(int id, std::string_view caption) override;
  // Through one tooltip control of the dialog's, made at the first tooltip.
  void SetToolTip(int id, std::string_view text) override;
  void BeginListFill(int id, std::size_t expectedLines) override;
  void EndListFill(int id) override;

  std::string Translate(const char* text) override;
  // The shell's folder browser, with startFolder selected when it opens.
  std::optional<std::string> BrowseForFolder(const char* title, const std::string& startFolder) override;
  void ShowMessage(std::string_view text, std::string_view caption) override;
  // The shell's "open" verb, without the shell's own error boxes: false when it cannot open the path (no
  // program is associated with it, or it is gone).
  bool ShellOpen(const std::string& path) override;
  // GetAsyncKeyState: the key is down now, also when it was pressed while another program had the input
  // (a drag started in the shell).
  bool CtrlHeld() override;
  // The failures in a modal dialog (template IDD_FAILURES): a read-only text of "path: reason" lines and
  // a button that copies them all.
  void ShowFailures(const std::vector<FailureLine>& failures) override;
  // Kept here; a kShowPreviewMessage posted to the dialog has the window's thread show it (RunPreview).
  void ShowPreview(const RenamePreview& preview) override;
  // On the window's thread, at kShowPreviewMessage: the preview kept, in a modal dialog (template
  // IDD_PREVIEW); the button that closed it, IDC_PREVIEW_RUN or IDC_PREVIEW_CLOSE, or 0 when none was kept.
  int RunPreview();
  // Queued here; a kRunPostedMessage posted to the dialog has the window's thread run them (RunPosted).
  void PostToWindow(std::function<void()> call) override;
  // On the window's thread, at kRunPostedMessage: every call queued so far, in order.
  void RunPosted();
  // CF_TEXT, in the ANSI code page.
  void CopyToClipboard(const std::string& text) override;
  // WIC (windowscodecs) on the bytes: the formats the system's codecs read, scaled down to kPictureBound
  // pixels each way at most, as 32-bit BGRA rows.
  std::optional<Picture> DecodePicture(int id, std::string_view bytes) override;
  // Kept for the owner-drawn control, which is redrawn.
  void ShowPicture(int id, const Picture* picture) override;
  // Draws the owner-drawn picture control of item: its picture scaled to fit above its text line.
  void DrawPicture(const DRAWITEMSTRUCT& item);
  static constexpr UINT kPictureBound = 1024;
  // The common save dialog, which asks before it replaces a file.
  std::optional<std::string> SaveFileName(const char* title, const std::string& suggestedName) override;
  // String values of the current user's registry key SettingsKey().
  std::optional<std::string> ReadSetting(const char* name) override;
  void WriteSetting(const char* name, const std::string& value) override;

  // Below HKEY_CURRENT_USER: Software, the settings store the application names, Kestrin, Settings.
  static std::string DefaultSettingsKey();
  const std::string& SettingsKey() const { return m_settingsKey; }
  void SetSettingsKey(std::string key) { m_settingsKey = std::move(key); }

 private:
  // A control's window, looked up once: the lookup is slow enough under Wine to dominate a list fill.
  HWND Item(int id);

  HWND m_dialog = nullptr;
  UiLanguage m_language = SystemUiLanguage();
  std::vector<std::pair<int, HWND>> m_items;
  std::map<int, std::shared_ptr<const void>> m_pictures;  // what each picture control shows
  std::mutex m_postMutex;
  std::deque<std::function<void()>> m_posted;
  std::string m_settingsKey = DefaultSettingsKey();
  HWND m_toolTips = nullptr;
  std::vector<int> m_toolTipIds;  // the controls the tooltip control knows
  std::optional<RenamePreview> m_preview;

  // What the progress bar shows: its range, its width in pixels, and the last position sent and when.
  struct Progress {
    int lower = 0;
    int upper = 100;
    int width = 0;
    int sentPixel = -1;
    ULONGLONG sentAt = 0;
  } m_progress;

  // The lists being filled, and when each last showed its lines.
  static constexpr ULONGLONG kLiveRedrawMs = 250;
  std::map<int, ULONGLONG> m_fillShownAt;
};

}  // namespace kestrin::win32
