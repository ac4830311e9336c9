#include "ui/kestrin_dlg.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "fileops/copy.h"
#include "fileops/default_paths.h"
#include "fileops/rename.h"
#include "fileops/resource_names.h"
#include "primitives/fs_query.h"
#include "primitives/path_text.h"
#include "search/search.h"
#include "search/walk.h"
#include "ui/resource_ids.h"
#include "ui/texts.h"

namespace kestrin {
namespace {

// A status text: each %d or %s of format replaced by the next argument, in order. The result is as long as
// it needs to be, so a long path is written whole and never overruns anything.
std::string FormatText(std::string_view format, std::initializer_list<std::string_view> args) {
  std::string out;
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && (format[i + 1] == 'd' || format[i + 1] == 's') &&
        next != args.end()) {
      out.append(*next++);
      ++i;
    } else {
      out.push_back(format[i]);
    }
  }
  return out;
}

std::string Count(std::size_t n) { return std::to_string(n); }

// Writes a text of the window into the status box, in the window's language, with its %d and %s filled in.
void SetStatus(DialogHost& host, const char* text, std::initializer_list<std::string_view> args = {}) {
  host.SetText(IDC_STATUS, FormatText(host.Translate(text), args));
}

// Progress values are ints on every host; a count beyond INT_MAX (never seen in practice) pins at the top.
int ProgressValue(std::size_t value) {
  return value > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(value);
}

// Steps 1 to 3 of a progress run over items (at least one): the full range, position 0, the bar in place
// of the status box.
void BeginProgressRun(DialogHost& host, std::size_t items) {
  host.SetProgressRange(0, ProgressValue(items - 1));
  host.SetProgressPos(0);
  host.Show(IDC_PROGRESS, true);
  host.Show(IDC_STATUS, false);
}

// The last step: the status box back in place of the bar. The caller then writes its summary.
void EndProgressRun(DialogHost& host) {
  host.Show(IDC_PROGRESS, false);
  host.Show(IDC_STATUS, true);
}

// A browsed folder's path; an empty answer counts as a cancel, since an empty folder text would walk, and
// let a rename reach, the current drive.
std::optional<std::string> BrowseFolder(DialogHost& host) {
  std::optional<std::string> chosen = host.BrowseForFolder(host.Translate(text::kBrowseTitle).c_str());
  if (chosen && chosen->empty()) chosen.reset();
  return chosen;
}

// An edit box's text, or nothing when it is empty.
std::optional<std::string> ReadFilter(DialogHost& host, int id) {
  std::string text = host.GetText(id);
  if (text.empty()) return std::nullopt;
  return text;
}

}  // namespace

CKestrinDlg::CKestrinDlg(DialogHost& host) : CKestrinDlg(host, NativePathStyle()) {}

CKestrinDlg::CKestrinDlg(DialogHost& host, const PathStyle& style) : m_host(host), m_style(style) {}

CKestrinDlg::WalkFlags CKestrinDlg::ReadWalkFlags() {
  const bool recursive = m_host.IsChecked(IDC_RECURSIVE);
  const bool includeHidden = m_host.IsChecked(IDC_INCLUDE_HIDDEN);
  return {recursive, includeHidden};
}

void CKestrinDlg::WalkInto(const std::string& root, FileList& files, const WalkFlags& flags) {
  files.clear();
  CollectFiles(root, files, flags.recursive, flags.includeHidden, m_style);
}

void CKestrinDlg::WalkInto(const std::string& root, FileList& files) { WalkInto(root, files, ReadWalkFlags()); }

bool CKestrinDlg::OnInitDialog() {
  m_host.SetChecked(IDC_RECURSIVE, true);
  return true;
}

bool CKestrinDlg::OnCommand(int id, Notify notify) {
  switch (notify) {
    case Notify::Clicked:
      switch (id) {
        case IDC_OPEN_INPUT: OnOpenInputFolder(); return true;
        case IDC_RECURSIVE: OnRecursiveClicked(); return true;
        case IDC_SEARCH: OnSearch(); return true;
        case IDC_OPEN_REF: OnOpenRefFolder(); return true;
        case IDC_RENAME: OnBatchRename(); return true;
        case IDC_OPEN_COPY_PATH: OnOpenCopyPath(); return true;
        case IDC_COPY: OnCopyFiles(); return true;
        default: return false;
      }
    case Notify::SelChange:
      switch (id) {
        case IDC_RESULT_LIST: return true;  // routed, and deliberately does nothing
        case IDC_REF_LIST: OnRefSelChange(); return true;
        default: return false;
      }
    case Notify::DblClk:
      switch (id) {
        case IDC_RESULT_LIST: OnResultDblClk(); return true;
        case IDC_REF_LIST: OnRefDblClk(); return true;
        default: return false;
      }
  }
  return false;
}

bool CKestrinDlg::PreTranslateKeyDown(int virtualKey) {
  if (virtualKey == kVkReturn) {
    OnSearch();
    return true;
  }
  return virtualKey == kVkEscape;
}

void CKestrinDlg::OnOpenInputFolder() {
  const std::optional<std::string> folderText = BrowseFolder(m_host);
  if (!folderText) return;
  m_singleFileMode = false;
  // The separator is appended whatever the text ends with: a browsed root gets a second one.
  m_inputPath = *folderText + m_style.Separator();
  m_host.SetText(IDC_INPUT_PATH, m_inputPath);
  WalkInto(m_inputPath, m_files);
  SetStatus(m_host, text::kFolderFileCount, {Count(m_files.size())});
  SetDefaultCopyPaths(*folderText);
}

void CKestrinDlg::OnDropFiles(const std::vector<std::string>& paths) {
  // Only the first item counts; an empty one is no drop at all.
  if (paths.empty() || paths.front().empty()) return;
  const std::string& path = paths.front();
  if (IsDirectory(path)) {
    DropFolder(path);
  } else if (m_host.CtrlHeld()) {
    DropSingleFile(path);
  } else {
    DropSearchName(path);
  }
}

void CKestrinDlg::DropFolder(std::string folder) {
  if (!m_style.EndsWithSeparator(folder)) folder += m_style.Separator();
  const WalkFlags flags = ReadWalkFlags();
  if (m_host.CtrlHeld()) {
    // The reference folder; the input and its mode stay as they are.
    m_refPath = folder;
    WalkInto(m_refPath, m_refFiles, flags);
    m_host.SetText(IDC_REF_PATH, m_refPath);
    FillRefList();
    return;
  }
  m_singleFileMode = false;
  m_inputPath = folder;
  WalkInto(m_inputPath, m_files, flags);
  SetStatus(m_host, text::kFolderFileCount, {Count(m_files.size())});
  m_host.SetText(IDC_INPUT_PATH, m_inputPath);
  SetDefaultCopyPaths(m_inputPath);
}

void CKestrinDlg::DropSingleFile(const std::string& path) {
  // The copy boxes keep their texts.
  m_files.clear();
  m_singleFileMode = true;
  m_inputPath = path;
  SetStatus(m_host, text::kSingleFileDropped);
  m_host.SetText(IDC_INPUT_PATH, m_inputPath);
}

void CKestrinDlg::DropSearchName(const std::string& path) {
  m_host.SetText(IDC_SEARCH_TEXT, FileNamePart(path, m_style));
}

void CKestrinDlg::OnRecursiveClicked() {
  if (m_singleFileMode) return;
  const WalkFlags flags = ReadWalkFlags();
  if (!m_inputPath.empty()) {
    WalkInto(m_inputPath, m_files, flags);
    SetStatus(m_host, text::kFolderFileCount, {Count(m_files.size())});
  }
  if (!m_refPath.empty()) {
    WalkInto(m_refPath, m_refFiles, flags);
    FillRefList();
  }
}

void CKestrinDlg::OnSearch() {
  if (m_singleFileMode) {
    const std::optional<std::string> pattern = ReadFilter(m_host, IDC_SEARCH_TEXT);
    if (!pattern) {
      SetStatus(m_host, text::kNoSearchString);
      return;
    }
    const bool ignoreCase = m_host.IsChecked(IDC_IGNORE_CASE);
    const bool found = FileContains(m_inputPath, *pattern, ignoreCase);
    SetStatus(m_host, found ? text::kStringFound : text::kStringNotFound);
    return;
  }

  SearchFilters filters;
  filters.path = ReadFilter(m_host, IDC_NAME_FILTER);
  if (std::optional<std::string> ext = ReadFilter(m_host, IDC_EXT_FILTER)) {
    filters.extension = ExtensionFilterFromText(*ext);
  }
  filters.content = ReadFilter(m_host, IDC_SEARCH_TEXT);

  m_results.clear();
  m_host.ListReset(IDC_RESULT_LIST);
  const std::size_t n = m_files.size();
  if (n == 0) {
    SetStatus(m_host, text::kNoFilesToSearch);
    return;
  }
  BeginProgressRun(m_host, n);
  filters.ignoreCase = m_host.IsChecked(IDC_IGNORE_CASE);
  const bool allAbsent = filters.AllAbsent();

  m_host.BeginListFill(IDC_RESULT_LIST, n);  // at most n lines
  FilterProgress progress;
  progress.position = [this](std::size_t i) { m_host.SetProgressPos(ProgressValue(i)); };
  progress.passed = [this](std::size_t i) { m_host.ListAdd(IDC_RESULT_LIST, m_files[i]); };
  m_results = FilterFiles(m_files, filters, progress);
  m_host.EndListFill(IDC_RESULT_LIST);

  EndProgressRun(m_host);
  // Without a filter every file is a result, and the status box keeps what it showed.
  if (allAbsent) return;
  SetStatus(m_host, text::kSearchSummary, {Count(n), Count(m_results.size())});
}

void CKestrinDlg::OnResultDblClk() {
  const int i = m_host.ListCurSel(IDC_RESULT_LIST);
  if (i < 0 || static_cast<std::size_t>(i) >= m_results.size()) return;
  m_host.ShellOpen(std::string(m_results[static_cast<std::size_t>(i)]));
}

void CKestrinDlg::OnBatchRename() {
  // The list box empties whatever follows; m_results keeps the last search's entries.
  m_host.ListReset(IDC_RESULT_LIST);
  const std::size_t n = m_files.size();
  if (n == 0) {
    SetStatus(m_host, text::kNoFilesToRename);
    return;
  }
  const std::string oldString = m_host.GetText(IDC_RENAME_OLD);
  if (oldString.empty()) {
    SetStatus(m_host, text::kNoOldName);
    return;
  }
  const std::string newString = m_host.GetText(IDC_RENAME_NEW);
  const bool force = m_host.IsChecked(IDC_FORCE_RENAME);

  BeginProgressRun(m_host, n);
  const std::uint32_t renamed = RenameFiles(
      m_files, oldString, newString, force, [this](std::size_t i) { m_host.SetProgressPos(ProgressValue(i)); },
      m_style);
  EndProgressRun(m_host);
  SetStatus(m_host, text::kRenameSummary, {Count(n), Count(renamed)});

  // The list is collected anew so that it holds the new names.
  WalkInto(m_inputPath, m_files);
}

void CKestrinDlg::OnCopyFiles() {
  const std::size_t n = m_results.size();
  if (n == 0) {
    SetStatus(m_host, text::kCopyNoFiles);
    return;
  }
  const PreparedFolder output = PrepareOutputFolder(m_host.GetText(IDC_COPY_OUTPUT), m_style);
  if (output.path.empty()) {
    SetStatus(m_host, text::kCopyNoPath);
    return;
  }
  if (!output.created) {
    SetStatus(m_host, text::kCopyCannotCreate, {output.path});
    return;
  }
  const std::string copyPrefix = m_host.GetText(IDC_PATH_PREFIX);

  BeginProgressRun(m_host, n);
  const CopyCounts counts = CopyFiles(
      m_results, copyPrefix, output.path, [this](std::size_t i) { m_host.SetProgressPos(ProgressValue(i)); },
      m_style);
  EndProgressRun(m_host);
  SetStatus(m_host, text::kCopySummary, {Count(counts.succeeded), Count(counts.failed)});
}

void CKestrinDlg::OnOpenCopyPath() {
  const PreparedFolder output = PrepareOutputFolder(m_host.GetText(IDC_COPY_OUTPUT), m_style);
  if (output.path.empty()) return;
  if (!output.created) {
    m_host.ShowMessage(m_host.Translate(text::kBadCopyPath), m_host.Translate(text::kBadCopyPathCaption));
    return;
  }
  m_host.ShellOpen(output.path);
}

void CKestrinDlg::OnOpenRefFolder() {
  const std::optional<std::string> folderText = BrowseFolder(m_host);
  if (!folderText) return;
  m_refPath = *folderText + m_style.Separator();
  m_host.SetText(IDC_REF_PATH, m_refPath);
  WalkInto(m_refPath, m_refFiles);
  FillRefList();
}

void CKestrinDlg::OnRefSelChange() {
  const int i = m_host.ListCurSel(IDC_REF_LIST);
  if (i < 0 || static_cast<std::size_t>(i) >= m_refFiles.size()) return;
  const bool withDir = m_host.IsChecked(IDC_NAME_WITH_DIR);
  const bool withExt = m_host.IsChecked(IDC_NAME_WITH_EXT);
  m_host.SetText(IDC_SEARCH_TEXT, ReferenceName(m_refFiles[static_cast<std::size_t>(i)], withDir, withExt, m_style));
}

void CKestrinDlg::OnRefDblClk() {
  OnRefSelChange();
  OnSearch();
}

void CKestrinDlg::FillRefList() {
  m_host.ListReset(IDC_REF_LIST);
  m_host.BeginListFill(IDC_REF_LIST, m_refFiles.size());
  for (std::size_t i = 0; i < m_refFiles.size(); ++i) {
    const std::string_view entry = m_refFiles[i];
    // Every entry begins with m_refPath, as the walk builds it from that folder.
    m_host.ListAdd(IDC_REF_LIST, entry.substr(std::min(m_refPath.size(), entry.size())));
  }
  m_host.EndListFill(IDC_REF_LIST);
}

void CKestrinDlg::SetDefaultCopyPaths(const std::string& folderText) {
  const DefaultCopyPaths defaults = ComputeDefaultCopyPaths(folderText, !m_files.empty(), m_style);
  m_host.SetText(IDC_PATH_PREFIX, defaults.prefix);
  m_host.SetText(IDC_COPY_OUTPUT, defaults.output);
}

}  // namespace kestrin
