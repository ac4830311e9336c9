#pragma once
// A window without a screen: every control of the layout table held as data (texts, check states, list
// lines and selections, the progress bar, visibility), services answered from a script (folder browser
// answers, the Ctrl key), and side effects (shell opens, message boxes) recorded and reported. The scenario
// driver and the dialog's tests run CKestrinDlg on it.

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/host.h"
#include "ui/layout.h"

namespace kestrin::headless {

struct Message {
  std::string text;
  std::string caption;
};

class HeadlessHost : public DialogHost {
 public:
  // Every control in its state at start: captions as in the layout, edit boxes empty, nothing checked,
  // lists empty, the progress bar hidden with its default range 0..100 at 0.
  HeadlessHost();

  // DialogHost. A control identifier that the window does not have is a fault of the caller and throws
  // std::logic_error.
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
  void BeginListFill(int id, std::size_t expectedLines) override;  // checked to pair with EndListFill
  void EndListFill(int id) override;
  std::optional<std::string> BrowseForFolder(const char* title, const std::string& startFolder) override;
  void ShowMessage(std::string_view text, std::string_view caption) override;
  bool ShellOpen(const std::string& path) override;  // recorded; opens always succeed
  bool CtrlHeld() override;
  void CopyToClipboard(const std::string& text) override { clipboard_ = text; }
  // Settings live as long as the host.
  std::optional<std::string> ReadSetting(const char* name) override;
  void WriteSetting(const char* name, const std::string& value) override { settings_[name] = value; }

  // What a user does.
  // Replaces an edit box's text as typing would: a rename box keeps the longest prefix within its byte
  // limit that ends on a whole character. No handler runs.
  void Type(int id, std::string_view text);
  // A click on a check box toggles it (the dialog's handler, if any, is the caller's to run).
  void Toggle(int id);
  // The list's selection becomes index, or none when index is outside its lines. True when it changed.
  bool Select(int id, long long index);

  // Scripted services.
  void QueueBrowseAnswer(std::optional<std::string> answer);  // next browser answers, in order; none left: cancel
  void SetCtrlHeld(bool held) { ctrlHeld_ = held; }
  // Called as each side effect happens (besides being recorded).
  std::function<void(const std::string& path)> onOpen;
  std::function<void(const Message& message)> onMessage;

  // Reading the window.
  const ControlDef& Control(int id) const;  // throws std::logic_error for an unknown identifier
  const std::string& Text(int id) const;
  bool Checked(int id) const;
  bool Visible(int id) const;
  const std::vector<std::string>& Lines(int id) const;
  int Selection(int id) const;
  int ProgressLower() const { return progressLower_; }
  int ProgressUpper() const { return progressUpper_; }
  int ProgressPos() const { return progressPos_; }
  const std::vector<std::string>& Opened() const { return opened_; }
  const std::vector<Message>& Messages() const { return messages_; }
  const std::vector<std::string>& BrowseTitles() const { return browseTitles_; }
  const std::vector<std::string>& BrowseStarts() const { return browseStarts_; }
  const std::string& Clipboard() const { return clipboard_; }
  std::size_t OpenListFills() const { return openListFills_; }

 private:
  struct ControlState {
    const ControlDef* def = nullptr;
    std::string text;
    bool checked = false;
    bool visible = true;
    std::vector<std::string> lines;
    int selection = -1;
  };
  ControlState& State(int id, const char* operation);
  const ControlState& State(int id) const;
  ControlState& List(int id, const char* operation);

  std::map<int, ControlState> controls_;
  int progressLower_ = 0;
  int progressUpper_ = 100;
  int progressPos_ = 0;
  bool ctrlHeld_ = false;
  std::deque<std::optional<std::string>> browseAnswers_;
  std::vector<std::string> browseTitles_;
  std::vector<std::string> browseStarts_;
  std::map<std::string, std::string> settings_;
  std::string clipboard_;
  std::vector<std::string> opened_;
  std::vector<Message> messages_;
  std::size_t openListFills_ = 0;
};

}  // namespace kestrin::headless
