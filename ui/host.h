#pragma once
// What the dialog needs from the window system: operations on its controls, addressed by identifier,
// and a few services. The Qt window, the Win32 dialog and the headless test host implement it.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "primitives/command.h"

namespace kestrin {

// One line of the failure list: a file's path, and why it was not done in the window's language.
struct FailureLine {
  std::string path;
  std::string reason;
};

// What a rename would do now, as its preview shows it, in the order of the files it acts on.
struct RenamePreview {
  struct Rename {
    std::string source;
    std::string target;
  };
  std::vector<Rename> renames;    // each file the rename would move, and where to
  std::vector<FailureLine> kept;  // each file whose name holds the old text but would keep it, and why
  std::string count;              // the line that counts both, in the window's language
};

// A picture decoded for a Picture control: the image's own size in pixels, and what the host shows,
// scaled to fit the control (opaque to the dialog).
struct Picture {
  int width = 0;
  int height = 0;
  std::shared_ptr<const void> shown;
};

class DialogHost {
 public:
  virtual ~DialogHost() = default;

  // Controls.
  virtual std::string GetText(int id) = 0;                   // an edit box's whole text
  virtual void SetText(int id, std::string_view text) = 0;   // replace a control's text
  virtual bool IsChecked(int id) = 0;                        // check state is exactly 1
  virtual void SetChecked(int id, bool checked) = 0;
  virtual void ListReset(int id) = 0;                        // empty a list box (clears its selection)
  virtual void ListAdd(int id, std::string_view text) = 0;   // append a line
  virtual int ListCurSel(int id) = 0;                        // selected line, negative when none
  // A list with extended selection: every selected line, in list order. ListCurSel then gives the line the
  // selection last changed at when it is selected, else the first selected line.
  virtual std::vector<int> ListSelection(int id) {
    const int line = ListCurSel(id);
    return line < 0 ? std::vector<int>{} : std::vector<int>{line};
  }
  // Appends a line of which length bytes from begin are marked (the matched text), where the host can
  // show that; others show the line as ListAdd does.
  virtual void ListAddMarked(int id, std::string_view text, std::size_t begin, std::size_t length) {
    static_cast<void>(begin);
    static_cast<void>(length);
    ListAdd(id, text);
  }
  virtual void SetProgressRange(int lower, int upper) = 0;   // the full values, never cut to 16 bits
  virtual void SetProgressPos(int position) = 0;
  virtual void Show(int id, bool visible) = 0;
  virtual void Enable(int id, bool enabled) = 0;             // a disabled control takes no input
  virtual void SetCaption(int id, std::string_view caption) = 0;  // a push button's caption
  // The text shown while the mouse rests on the control (in the window's language); empty: none.
  virtual void SetToolTip(int id, std::string_view text) = 0;

  // A list box is about to receive many lines (a search result or a reference folder): hosts may suspend
  // redrawing and reserve storage until EndListFill. Progress positions set meanwhile must still show.
  virtual void BeginListFill(int /*id*/, std::size_t /*expectedLines*/) {}
  virtual void EndListFill(int /*id*/) {}

  // Services.
  // A text of the window (ui/texts.h) in the language the window speaks: as it is unless the host speaks
  // another language than the texts'.
  virtual std::string Translate(const char* text) { return text; }
  // The folder browser, titled title, showing startFolder first when that is a folder (empty: where the
  // platform starts); the chosen folder's path (a drive or file-system root with its separator, any other
  // folder without one), or nothing when cancelled.
  virtual std::optional<std::string> BrowseForFolder(const char* title, const std::string& startFolder) = 0;
  virtual void ShowMessage(std::string_view text, std::string_view caption) = 0;  // modal, one OK button
  // The files the last command could not handle, each with its path and reason, in a modal list whose
  // text the user can copy: a line "PATH: REASON" each.
  virtual void ShowFailures(const std::vector<FailureLine>& failures) = 0;
  // A rename's preview, in a modal dialog (IDD_PREVIEW) with its lines (IDC_PREVIEW_LIST), its count
  // (IDC_PREVIEW_COUNT) and two buttons, run the rename now (IDC_PREVIEW_RUN) and close
  // (IDC_PREVIEW_CLOSE). It returns at once: the dialog shows once the window's current call has
  // returned, and the button the user takes reaches the dialog as a click on it
  // (CKestrinDlg::OnCommand); closing the preview otherwise counts as IDC_PREVIEW_CLOSE.
  virtual void ShowPreview(const RenamePreview& preview) = 0;

  // Opens a file or folder with its associated program. False when the desktop cannot open it (no program
  // for it); a host that learns of that only later tells the window, which reports it the same way.
  virtual bool ShellOpen(const std::string& path) = 0;
  virtual bool CtrlHeld() = 0;  // the Ctrl key is down now (read during a drop)
  virtual void CopyToClipboard(const std::string& text) = 0;
  // The save dialog, titled title, proposing suggestedName; the chosen file's path, or nothing when
  // cancelled. A host without one cancels.
  virtual std::optional<std::string> SaveFileName(const char* title, const std::string& suggestedName) {
    static_cast<void>(title);
    static_cast<void>(suggestedName);
    return std::nullopt;
  }
  // Any thread: the image file whose bytes are given, decoded and scaled to fit the Picture control id;
  // nothing when the host cannot decode it (not an image, damaged, or a host that shows no pictures).
  virtual std::optional<Picture> DecodePicture(int id, std::string_view bytes) {
    static_cast<void>(id);
    static_cast<void>(bytes);
    return std::nullopt;
  }
  // The Picture control id shows picture, or none; its text line is set with SetText.
  virtual void ShowPicture(int id, const Picture* picture) {
    static_cast<void>(id);
    static_cast<void>(picture);
  }
  // The user's settings store, kept across runs: the text remembered under name, or nothing; and
  // remembering one.
  virtual std::optional<std::string> ReadSetting(const char* name) = 0;
  virtual void WriteSetting(const char* name, const std::string& value) = 0;

  // Threads. A command works on a worker thread and hands its results to the window thread through
  // PostToWindow, which any thread may call: the calls run on the window thread, one at a time, in the
  // order they were posted, and never after the host is gone.
  virtual void PostToWindow(std::function<void()> call) = 0;
  // The dialog is about to start a command on its worker, and will call AwaitCommand once it has.
  virtual void CommandStarting() {}
  // The dialog has just started a command on its worker. An interactive window returns at once and runs
  // the posted calls from its event loop. A host whose caller expects every action to be finished when it
  // returns (a script, a test) runs the posted calls here until running() turns false.
  virtual void AwaitCommand(const std::function<bool()>& running) { static_cast<void>(running); }
};

}  // namespace kestrin
