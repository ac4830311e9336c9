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
  void SetProgressRange(int lower, int upper) override;
  void SetProgressPos(int position) override;
  void Show(int id, bool visible) override;
  void Enable(int id, bool enabled) override;
  void SetCaption(int id, std::string_view caption) override;
  void BeginListFill(int id, std::size_t expectedLines) override;
  void EndListFill(int id) override;

  // Through the application's translators (see Translations), in the context "Kestrin".
  std::string Translate(const char* text) override;
  std::optional<std::string> BrowseForFolder(const char* title) override;
  void ShowMessage(std::string_view text, std::string_view caption) override;
  void ShellOpen(const std::string& path) override;
  bool CtrlHeld() override;
  void ShowFailures(const FailureList& failures) override;
  // Queued to the window's thread; dropped if the window is gone by then.
  void PostToWindow(std::function<void()> call) override;

 protected:
  KestrinWindow& m_window;
};

}  // namespace kestrin::qt
