#pragma once
// The Kestrin dialog: its state and every handler, written once against DialogHost. Handlers read the
// controls when they run; a long command (walk, search, rename, copy, reference report) then works on a
// worker thread, one command at a time, and its progress, list lines and outcome come back to the window
// thread in the order the work produced them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fileops/undo_journal.h"
#include "platform/path_style.h"
#include "primitives/command.h"
#include "primitives/file_list.h"
#include "ui/command_runner.h"
#include "ui/host.h"

namespace kestrin {

struct FileLines;

// Notifications a control sends to the dialog.
enum class Notify { Clicked, SelChange, DblClk };

// The commands of the context menu of the result and reference lists, on the file of one line; the last
// three are the result list's own, on its selected lines or on all of them.
enum class EntryCommand { Open, OpenFolder, CopyPath, CopySelectedPaths, CopyAllPaths, ExportList };

// Virtual-key codes of the keys the dialog intercepts.
inline constexpr int kVkReturn = 0x0D;
inline constexpr int kVkEscape = 0x1B;

class CKestrinDlg {
 public:
  explicit CKestrinDlg(DialogHost& host);
  // With the path conventions of another platform (tests run the Windows rules on any host).
  CKestrinDlg(DialogHost& host, const PathStyle& style);
  // Stops a running command and waits for its worker (Shutdown).
  ~CKestrinDlg();
  CKestrinDlg(const CKestrinDlg&) = delete;
  CKestrinDlg& operator=(const CKestrinDlg&) = delete;

  // Once the window exists: checks IDC_RECURSIVE. True: the host focuses the first control in tab order.
  // (Setting the window's icons and showing it belong to the front-end.)
  bool OnInitDialog();

  // The message map: routes a control's notification to its handler; false when nothing handles it.
  bool OnCommand(int id, Notify notify);

  // Key-down pre-translation. Enter runs OnSearch (every key-down, repeats included) unless a command
  // runs; Escape stops a running command. Returns true for Enter and Escape: the host then delivers the
  // key to its control without the dialog's own keyboard handling, so neither ever presses a default
  // button or closes the window. False: handle as usual.
  bool PreTranslateKeyDown(int virtualKey);

  // The running command.
  bool Running() const { return m_runner.Running(); }
  // The user's stop: the command ends at its next check, keeping what it has done, and says so.
  void Stop();
  // The window closes: stops the command, waits for its worker, and drops what it had still to show.
  void Shutdown();
  // A click on the status box: the last command's failures, when it left any. False when there were none.
  bool OnStatusClicked();
  // What the last command could not handle, each with its path and reason.
  const FailureList& Failures() const { return m_failures; }
  // The same as the window lists them, the reasons in the window's language.
  std::vector<FailureLine> FailureLines() const;

  // Handlers.
  void OnOpenInputFolder();
  void OnDropFiles(const std::vector<std::string>& paths);  // only the first item counts
  void OnRecursiveClicked();
  void OnSearch();
  void OnResultDblClk();
  void OnBatchRename();
  // The preview of what OnBatchRename would do now, in the host's preview dialog; its answer comes back
  // as a click on IDC_PREVIEW_RUN (the rename runs) or IDC_PREVIEW_CLOSE.
  void OnRenamePreview();
  // Takes the newest rename or copy batch back (kept in the journals of the disk itself), as a command.
  void OnUndo();
  void OnCopyFiles();
  void OnOpenCopyPath();
  void OnOpenRefFolder();
  void OnRefSelChange();
  void OnRefDblClk();
  void OnRefReport();
  // A folder named when the program was started (made absolute by the caller): opened as if browsed to.
  // Anything that is not a folder is reported in a message box and changes nothing.
  void OnOpenFolderArgument(const std::string& path);
  // A context-menu command on line index of IDC_RESULT_LIST or IDC_REF_LIST; false (and nothing done) when
  // the line has no file behind it.
  bool OnEntryCommand(int listId, int index, EntryCommand command);
  // The desktop could not open path: says so in a message box.
  void OnOpenFailed(const std::string& path);
  // Writes the paths IDC_RESULT_LIST shows into file, one a line (LF, CRLF with the Windows rules), as the
  // menu's export does once the save dialog has named the file. A message box says when it cannot; false
  // then, or for another list.
  bool ExportList(int listId, const std::string& file);
  // The matches pane or the reference preview is still being computed.
  bool PanesBusy() const;

  // Refills IDC_REF_LIST from m_refFiles, each line relative to m_refPath.
  void FillRefList();
  // Proposes the copy prefix and output folder for a new input folder.
  void SetDefaultCopyPaths(const std::string& folderText);
  // The full path behind line index of IDC_RESULT_LIST or IDC_REF_LIST, or nothing.
  std::optional<std::string> EntryPath(int listId, int index) const;

  // The dialog's state, read only: the handlers alone change it.
  const std::string& InputPath() const { return m_inputPath; }
  bool SingleFileMode() const { return m_singleFileMode; }
  const FileList& Files() const { return *m_files; }
  const FileList& Results() const { return *m_results; }
  const std::string& RefPath() const { return m_refPath; }
  const FileList& RefFiles() const { return m_refFiles; }

  // The walk flags, as the check boxes hold them when a walk starts.
  struct WalkFlags {
    bool recursive;
    bool includeHidden;
  };

 private:
  // A list the window keeps and a running command may read: shared, never changed once made (a new list
  // replaces it), so that a command is handed the list as it was when it started.
  using SharedList = std::shared_ptr<const FileList>;
  static SharedList Share(FileList list) { return std::make_shared<const FileList>(std::move(list)); }

  // Reads the walk flags (recursive, then hidden) from their check boxes.
  WalkFlags ReadWalkFlags();

  // Starts work on the worker thread. Every control but stopButton (0: none, Escape alone stops) is
  // disabled and stopButton reads the stop caption until the command ends; the failures of the last
  // command are forgotten. The work gets what it works on when it starts and never reads the dialog's
  // state; it shows what it did through calls it posts, and the command ends after them.
  void StartCommand(int stopButton, CommandRunner::Work work);
  // On the window thread, the last step of every command: the controls as they were.
  void EndCommand(FailureList failures);
  // The failures forgotten (a new command begins), and the failures button hidden.
  void ClearFailures();
  // The failures button: "%d个失败" while the last command left failures, hidden otherwise.
  void ShowFailureCount();
  // A walk of root under flags on the worker; done receives the files listed (all, or those listed before
  // a stop) on the window thread.
  void StartWalk(int stopButton, std::string root, WalkFlags flags,
                 std::function<void(FileList files, bool stopped)> done);
  // On the window thread once a walk of the input folder, or of the reference folder, is done: the new
  // list, and the status of a stopped walk or of the input folder's count.
  void InputWalkDone(FileList files, bool stopped);
  void RefWalkDone(FileList files, bool stopped);
  // The status after a walk of the input folder: its count, or what was listed before a stop.
  void WriteWalkCount(bool stopped);

  // The three kinds of drop: a folder as the input or (Ctrl) the reference folder, a file (Ctrl) as the
  // single input file, a file as the source of the search string.
  void DropFolder(std::string folder);
  void DropSingleFile(const std::string& path);
  void DropSearchName(const std::string& path);
  // What a rename or its preview works on, read from the boxes: the files (every collected file, or with
  // IDC_RENAME_RESULTS_ONLY the result list's), the two texts and force. Nothing, with the status saying
  // why, when there is nothing to rename.
  struct RenameRequest {
    SharedList files;
    std::string oldString;
    std::string newString;
    bool force = false;
    bool resultsOnly = false;
  };
  std::optional<RenameRequest> ReadRenameRequest(bool resultsOnly);
  // The result list shows results anew (m_results, one line each).
  void FillResultList();
  // The undo button: enabled while batch names a batch that can be undone, its tooltip naming it.
  void ShowUndoBatch(std::optional<BatchSummary> batch);
  // A preview answered: run is the click on IDC_PREVIEW_RUN.
  void OnPreviewAnswer(bool run);

  // Steps of a browse after the folder was chosen: the new input folder is collected and shown.
  void OpenInputFolder(const std::string& folderText);
  // Hands path to the desktop and reports a failure.
  void OpenWithDesktop(const std::string& path);

  // The matches pane: the lines of result i that hold the last search's content text, read on a runner
  // of the pane's own, which the next selection (or a new result list) stops and replaces.
  void OnResultSelChange();
  void ShowMatches(std::size_t i);
  void FillMatches(const FileLines& lines, const std::optional<std::string>& pattern);
  // Stops the pane's reading and empties it, when it shows anything.
  void ClearMatches();
  // The preview of a reference file, read and decoded on a runner of its own.
  void ShowPreview(const std::string& path);
  void ClearPreview();
  // The paths the result list shows: the results, unless a rename emptied the list.
  const FileList* ListedResults() const { return m_resultsListed ? m_results.get() : nullptr; }
  const char* LineEnd() const { return m_style.windows ? "\r\n" : "\n"; }

  std::string m_inputPath;          // input folder, ending in a separator; or the one file
  bool m_singleFileMode = false;
  SharedList m_files = Share({});   // every file below m_inputPath, walk order
  SharedList m_results = Share({}); // the last search's matches, in the order of m_files
  bool m_resultsListed = false;     // the result list shows m_results (a rename of every file empties it)
  std::string m_refPath;            // reference folder, ending in a separator
  FileList m_refFiles;              // every file below m_refPath, walk order
  std::vector<std::size_t> m_refCounts;  // the last reference report's counts, one per m_refFiles entry
  // The content text and case rule the results were found with; none: the pane shows first lines.
  std::optional<std::string> m_resultPattern;
  bool m_resultIgnoreCase = false;
  std::string m_matchFile;          // the file the matches pane shows; empty: it shows nothing
  bool m_previewShown = false;      // IDC_REF_PREVIEW shows a file
  FailureList m_failures;           // what the last command could not handle
  std::size_t m_failuresShown = 0;  // the count the failures button shows; 0: hidden
  std::optional<RenamePreview> m_previewToShow;  // a preview made, shown when its command has ended
  bool m_previewOpen = false;       // the host shows a preview, whose answer is still to come
  std::optional<BatchSummary> m_undoBatch;  // the batch the undo button takes back, if any

  DialogHost& m_host;
  PathStyle m_style;

  int m_stopButton = 0;             // window thread only, as every member above
  CommandRunner m_runner;           // its worker ends before the state above goes
  // The panes' own runners. A new selection stops the one in hand and starts a new one at once: the
  // stopped one is kept, without waiting for it (a slow file system may hold its worker), until it has
  // ended, and what it still shows is dropped by its generation.
  std::unique_ptr<CommandRunner> m_matchRunner;
  std::unique_ptr<CommandRunner> m_previewRunner;
  std::vector<std::unique_ptr<CommandRunner>> m_retiredRunners;
  std::uint64_t m_matchGeneration = 0;
  std::uint64_t m_previewGeneration = 0;
  // Stops runner and keeps it until it has ended; forgets the retired runners that have.
  void RetireRunner(std::unique_ptr<CommandRunner>& runner);
};

}  // namespace kestrin
