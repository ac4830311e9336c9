#pragma once
// A window without a screen: every control of the layout table held as data (texts, check states, list
// lines and selections, the progress bar, visibility), services answered from a script (folder browser
// answers, the Ctrl key), and side effects (shell opens, message boxes) recorded and reported. The scenario
// driver and the dialog's tests run CKestrinDlg on it.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/language.h"
#include "primitives/file_list.h"
#include "ui/host.h"
#include "ui/layout.h"

namespace kestrin::headless {

struct Message {
  std::string text;
  std::string caption;
};

// Where the calls a worker posts run while the dialog awaits its command.
enum class PostedCalls {
  // On the posting thread, in turn with the window thread's own code, which waits meanwhile: the order of
  // the window's calls is the order of the work's steps, without a switch of threads for each.
  HandedOver,
  // On the window thread (the one that made the host), while the worker goes on, as in the Qt and Win32
  // windows: what a thread checker sees is what those windows do.
  WindowThread,
};

// WindowThread when the environment variable KESTRIN_HEADLESS_WINDOW_THREAD is set to 1, else HandedOver.
PostedCalls PostedCallsFromEnvironment();

class HeadlessHost : public DialogHost {
 public:
  // Every control in its state at start: captions as in the layout, edit boxes empty, nothing checked,
  // lists empty, the progress bar hidden with its default range 0..100 at 0. Captions and the texts the
  // dialog writes are in language.
  explicit HeadlessHost(UiLanguage language = UiLanguage::Chinese,
                        PostedCalls postedCalls = PostedCallsFromEnvironment());
  PostedCalls PostedCallsRun() const { return m_postedCalls; }

  // DialogHost. A control identifier that the window does not have is a fault of the caller and throws
  // std::logic_error.
  std::string GetText(int id) override;
  void SetText(int id, std::string_view text) override;
  bool IsChecked(int id) override;
  void SetChecked(int id, bool checked) override;
  void ListReset(int id) override;
  void ListAdd(int id, std::string_view text) override;
  int ListCurSel(int id) override;
  std::vector<int> ListSelection(int id) override;
  // As ListAdd; a mark outside the line is a fault of the caller.
  void ListAddMarked(int id, std::string_view text, std::size_t begin, std::size_t length) override;
  // The next scripted answer (QueueSaveAnswer); none left: cancelled.
  std::optional<std::string> SaveFileName(const char* title, const std::string& suggestedName) override;
  void SetProgressRange(int lower, int upper) override;
  void SetProgressPos(int position) override;
  void Show(int id, bool visible) override;
  void Enable(int id, bool enabled) override;
  void SetCaption(int id, std::string_view caption) override;
  void SetToolTip(int id, std::string_view text) override;
  void BeginListFill(int id, std::size_t expectedLines) override;  // checked to pair with EndListFill
  void EndListFill(int id) override;
  std::string Translate(const char* text) override;
  std::optional<std::string> BrowseForFolder(const char* title, const std::string& startFolder) override;
  void ShowMessage(std::string_view text, std::string_view caption) override;
  bool ShellOpen(const std::string& path) override;  // recorded; opens always succeed
  bool CtrlHeld() override;
  void ShowFailures(const std::vector<FailureLine>& failures) override;  // recorded: the lines as the window lists them
  // Open until ClosePreview: what a script reads from it and answers it with.
  void ShowPreview(const RenamePreview& preview) override;

  // Posted calls wait in a queue for the thread that drives the window (the one that made the host). From
  // the start of a command that the dialog awaits (CommandStarting) until AwaitCommand returns, that
  // thread does nothing but run posted calls; handed over (PostedCalls::HandedOver), the poster runs each
  // call in its place, in turn with the window thread's own code, and goes on when it has run: the calls
  // interleave with the worker's own steps exactly as they would on one thread, without a switch of
  // threads for each. Otherwise they wait for the window thread's next AwaitCommand or RunPostedUntil.
  void PostToWindow(std::function<void()> call) override;
  void CommandStarting() override;
  // Waits for running() to turn false, running the posted calls meanwhile, unless the next command was
  // to be left running (LeaveNextCommandRunning).
  void AwaitCommand(const std::function<bool()>& running) override;
  // While set, the commands the dialog starts are not waited for (the driver's "start").
  void LeaveCommandsRunning(bool leave) { m_leaveRunning = leave; }
  // Runs posted calls until done() is true (checked before each wait).
  void RunPostedUntil(const std::function<bool()>& done);
  void CopyToClipboard(const std::string& text) override { m_clipboard = text; }
  // Settings live as long as the host.
  std::optional<std::string> ReadSetting(const char* name) override;
  void WriteSetting(const char* name, const std::string& value) override { m_settings[name] = value; }

  // What a user does.
  // Replaces an edit box's text as typing would: a rename box keeps the longest prefix within its byte
  // limit that ends on a whole character. No handler runs.
  void Type(int id, std::string_view text);
  // A click on a check box toggles it (the dialog's handler, if any, is the caller's to run).
  void Toggle(int id);
  // The list's selection becomes index, or none when index is outside its lines. True when it changed.
  bool Select(int id, long long index);
  // Ctrl+click in a list of extended selection: line index is selected too and becomes the current line.
  // True when the selection changed.
  bool SelectMore(int id, long long index);

  // The preview goes (the caller then hands the dialog the button that closed it).
  void ClosePreview() { m_preview.reset(); }

  // Scripted services.
  void QueueBrowseAnswer(std::optional<std::string> answer);  // next browser answers, in order; none left: cancel
  void QueueSaveAnswer(std::optional<std::string> answer) { m_saveAnswers.push_back(std::move(answer)); }
  void SetCtrlHeld(bool held) { m_ctrlHeld = held; }
  // Called as each side effect happens (besides being recorded).
  std::function<void(const std::string& path)> onOpen;
  std::function<void(const Message& message)> onMessage;

  // Reading the window.
  const ControlDef& Control(int id) const;  // throws std::logic_error for an unknown identifier
  const std::string& Text(int id) const;
  bool Checked(int id) const;
  bool Visible(int id) const;
  bool Enabled(int id) const;
  std::vector<std::string> Lines(int id) const;
  // The same lines, kept as a list box keeps many of them: in one block rather than a string each.
  const FileList& LineList(int id) const;
  int Selection(int id) const;
  const std::string& ToolTip(int id) const;
  // The open preview, or null.
  const RenamePreview* Preview() const { return m_preview ? &*m_preview : nullptr; }
  std::size_t PreviewsShown() const { return m_previewsShown; }
  int ProgressLower() const { return m_progressLower; }
  int ProgressUpper() const { return m_progressUpper; }
  int ProgressPos() const { return m_progressPos; }
  const std::vector<std::string>& Opened() const { return m_opened; }
  const std::vector<Message>& Messages() const { return m_messages; }
  const std::vector<std::string>& BrowseTitles() const { return m_browseTitles; }
  // Each failure list shown, as "PATH: REASON" lines.
  const std::vector<std::vector<std::string>>& FailureLists() const { return m_failureLists; }
  const std::vector<std::string>& BrowseStarts() const { return m_browseStarts; }
  const std::string& Clipboard() const { return m_clipboard; }
  std::size_t OpenListFills() const { return m_openListFills; }

 private:
  struct ControlState {
    const ControlDef* def = nullptr;
    std::string text;
    std::string toolTip;
    bool checked = false;
    bool visible = true;
    bool enabled = true;
    FileList lines;
    int selection = -1;           // the current line
    std::set<int> alsoSelected;   // the other selected lines (extended selection)
  };
  ControlState& State(int id, const char* operation);
  const ControlState& State(int id) const;
  ControlState& List(int id, const char* operation);

  UiLanguage m_language;
  PostedCalls m_postedCalls;
  std::map<int, ControlState> m_controls;
  int m_progressLower = 0;
  int m_progressUpper = 100;
  int m_progressPos = 0;
  bool m_ctrlHeld = false;
  std::deque<std::optional<std::string>> m_browseAnswers;
  std::deque<std::optional<std::string>> m_saveAnswers;
  std::vector<std::string> m_browseTitles;
  std::vector<std::string> m_browseStarts;
  std::map<std::string, std::string> m_settings;
  std::string m_clipboard;
  std::vector<std::string> m_opened;
  std::vector<Message> m_messages;
  std::size_t m_openListFills = 0;
  std::vector<std::vector<std::string>> m_failureLists;
  std::optional<RenamePreview> m_preview;
  std::size_t m_previewsShown = 0;

  std::mutex m_postMutex;
  std::deque<std::function<void()>> m_posted;
  // Whoever runs the window's code holds the turn: the window thread, or a poster running its call.
  void TakeTurn(std::unique_lock<std::mutex>& lock);
  void GiveTurn();

  std::condition_variable m_windowWake;  // a call was queued, or the wait is over
  std::condition_variable m_turnFree;    // nobody runs the window's code now
  bool m_handOver = false;     // posted calls are run by their posters, in turn
  bool m_windowBusy = false;   // the turn is taken
  bool m_startingHeld = false;  // the window thread took the turn in CommandStarting
  bool m_waitOver = false;     // a poster found the wait's check true
  const std::function<bool()>* m_waitDone = nullptr;  // that check, while the window thread waits
  bool m_leaveRunning = false;
};

}  // namespace kestrin::headless
