#pragma once
// DialogHost on Qt widgets: the dialog's control operations on the widgets of a KestrinWindow, and the
// desktop's services (folder chooser, message box, opening files and folders, the Ctrl key).

#include "ui/host.h"

namespace kestrin::qt {

class KestrinWindow;

class QtDialogHost : public DialogHost {
 public:
  explicit QtDialogHost(KestrinWindow& window) : m_window(window) {}

  std::string GetText(int id) override;
  void SetText(int id, std::string_view text) override;
  bool IsChecked(int id) override;
  void SetChecked(int id, bool checked) override;
  void ListReset(int id) override;
  void ListAdd(int id, std::string_view text) override;
  int ListCurSel(int id) override;
  std::vector<int> ListSelection(int id) override;
  // The marked part in bold.
  void ListAddMarked(int id, std::string_view text, std::size_t begin, std::size_t length) override;
  void SetProgressRange(int lower, int upper) override;
  void SetProgressPos(int position) override;
  void Show(int id, bool visible) override;
  void Enable(int id, bool enabled) override;
  void SetCaption(int id, std::string_view caption) override;
  void SetToolTip(int id, std::string_view text) override;
  void BeginListFill(int id, std::size_t expectedLines) override;
  void EndListFill(int id) override;

  // Through the application's translators (see Translations), in the context "Kestrin".
  std::string Translate(const char* text) override;
  std::optional<std::string> BrowseForFolder(const char* title, const std::string& startFolder) override;
  void ShowMessage(std::string_view text, std::string_view caption) override;
  // Through xdg-open where it is installed: it reports by its status whether the desktop had a program
  // for the file, but may also run that program before it ends, so it is not waited for; a failure it
  // reports within a few seconds reaches the window's OpenFailed. Elsewhere Qt's own desktop services.
  bool ShellOpen(const std::string& path) override;
  bool CtrlHeld() override;
  void ShowFailures(const std::vector<FailureLine>& failures) override;
  // A dialog modal to the window, opened without a loop of its own (QDialog::open): its answer reaches the
  // window's dialog as a click on IDC_PREVIEW_RUN or IDC_PREVIEW_CLOSE once it is closed.
  void ShowPreview(const RenamePreview& preview) override;
  // Queued to the window's thread; dropped if the window is gone by then.
  void PostToWindow(std::function<void()> call) override;
  // The text, and each of its lines that is an absolute path as a file URL with its exact bytes for
  // programs that take files.
  void CopyToClipboard(const std::string& text) override;
  std::optional<std::string> SaveFileName(const char* title, const std::string& suggestedName) override;
  // QImageReader on the bytes, with the formats of the installed image plugins (TGA and DDS among them
  // where Qt's image formats are installed); a picture larger than kPictureBound is read scaled down.
  std::optional<Picture> DecodePicture(int id, std::string_view bytes) override;
  void ShowPicture(int id, const Picture* picture) override;
  // The most a decoded picture keeps, each way, in pixels.
  static constexpr int kPictureBound = 1024;
  // QSettings of the organisation and application "kestrin" (~/.config/kestrin/kestrin.conf), byte-exact.
  std::optional<std::string> ReadSetting(const char* name) override;
  void WriteSetting(const char* name, const std::string& value) override;

 protected:
  KestrinWindow& m_window;
};

}  // namespace kestrin::qt
