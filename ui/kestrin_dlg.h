#pragma once
// The Kestrin dialog: its state and every handler, written once against DialogHost. Handlers read the
// controls when they run, call the core, and write their outcome back into the controls.

#include <optional>
#include <string>
#include <vector>

#include "platform/path_style.h"
#include "primitives/file_list.h"
#include "ui/host.h"

namespace kestrin {

// Notifications a control sends to the dialog.
enum class Notify { Clicked, SelChange, DblClk };

// The commands of the context menu of the result and reference lists, on the file of one line.
enum class EntryCommand { Open, OpenFolder, CopyPath };

// Virtual-key codes of the keys the dialog intercepts.
inline constexpr int kVkReturn = 0x0D;
inline constexpr int kVkEscape = 0x1B;

class CKestrinDlg {
 public:
  explicit CKestrinDlg(DialogHost& host);
  // With the path conventions of another platform (tests run the Windows rules on any host).
  CKestrinDlg(DialogHost& host, const PathStyle& style);

  // Once the window exists: checks IDC_RECURSIVE. True: the host focuses the first control in tab order.
  // (Setting the window's icons and showing it belong to the front-end.)
  bool OnInitDialog();

  // The message map: routes a control's notification to its handler; false when nothing handles it.
  bool OnCommand(int id, Notify notify);

  // Key-down pre-translation. Enter runs OnSearch (every key-down, repeats included). Returns true for
  // Enter and Escape: the host then delivers the key to its control without the dialog's own keyboard
  // handling, so neither ever presses a default button or closes the window. False: handle as usual.
  bool PreTranslateKeyDown(int virtualKey);

  // Handlers.
  void OnOpenInputFolder();
  void OnDropFiles(const std::vector<std::string>& paths);  // only the first item counts
  void OnRecursiveClicked();
  void OnSearch();
  void OnResultDblClk();
  void OnBatchRename();
  void OnCopyFiles();
  void OnOpenCopyPath();
  void OnOpenRefFolder();
  void OnRefSelChange();
  void OnRefDblClk();
  // A folder named when the program was started (made absolute by the caller): opened as if browsed to.
  // Anything that is not a folder is reported in a message box and changes nothing.
  void OnOpenFolderArgument(const std::string& path);
  // A context-menu command on line index of IDC_RESULT_LIST or IDC_REF_LIST; false (and nothing done) when
  // the line has no file behind it.
  bool OnEntryCommand(int listId, int index, EntryCommand command);
  // The desktop could not open path: says so in a message box.
  void OnOpenFailed(const std::string& path);

  // Refills IDC_REF_LIST from m_refFiles, each line relative to m_refPath.
  void FillRefList();
  // Proposes the copy prefix and output folder for a new input folder.
  void SetDefaultCopyPaths(const std::string& folderText);
  // The full path behind line index of IDC_RESULT_LIST or IDC_REF_LIST, or nothing.
  std::optional<std::string> EntryPath(int listId, int index) const;

  // The dialog's state, read only: the handlers alone change it.
  const std::string& InputPath() const { return m_inputPath; }
  bool SingleFileMode() const { return m_singleFileMode; }
  const FileList& Files() const { return m_files; }
  const FileList& Results() const { return m_results; }
  const std::string& RefPath() const { return m_refPath; }
  const FileList& RefFiles() const { return m_refFiles; }

  // The walk flags, as the check boxes hold them when a walk starts.
  struct WalkFlags {
    bool recursive;
    bool includeHidden;
  };

 private:
  // Reads the walk flags (recursive, then hidden) from their check boxes.
  WalkFlags ReadWalkFlags();
  // files emptied, then filled with the walk of root under flags (read from the check boxes when not given).
  void WalkInto(const std::string& root, FileList& files, const WalkFlags& flags);
  void WalkInto(const std::string& root, FileList& files);

  // The three kinds of drop: a folder as the input or (Ctrl) the reference folder, a file (Ctrl) as the
  // single input file, a file as the source of the search string.
  void DropFolder(std::string folder);
  void DropSingleFile(const std::string& path);
  void DropSearchName(const std::string& path);
  // Steps of a browse after the folder was chosen: the new input folder is collected and shown.
  void OpenInputFolder(const std::string& folderText);
  // Hands path to the desktop and reports a failure.
  void OpenWithDesktop(const std::string& path);

  std::string m_inputPath;          // input folder, ending in a separator; or the one file
  bool m_singleFileMode = false;
  FileList m_files;                 // every file below m_inputPath, walk order
  FileList m_results;               // the last search's matches, in the order of m_files
  std::string m_refPath;            // reference folder, ending in a separator
  FileList m_refFiles;              // every file below m_refPath, walk order

  DialogHost& m_host;
  PathStyle m_style;
};

}  // namespace kestrin
