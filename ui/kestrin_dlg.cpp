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
#include "platform/user_folders.h"
#include "primitives/fs_query.h"
#include "primitives/nocase.h"
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

// The walk flags, read in this order before every walk.
struct WalkFlags {
  bool recursive;
  bool includeHidden;
};

WalkFlags ReadWalkFlags(DialogHost& host) {
  const bool recursive = host.IsChecked(IDC_RECURSIVE);
  const bool includeHidden = host.IsChecked(IDC_INCLUDE_HIDDEN);
  return {recursive, includeHidden};
}

// Where each folder browser remembers the folder last chosen with it.
constexpr const char* kInputFolderSetting = "InputFolder";
constexpr const char* kRefFolderSetting = "RefFolder";

// A browsed folder's path; an empty answer counts as a cancel, since an empty folder text would walk, and
// let a rename reach, the current drive. The browser opens where it was last confirmed.
std::optional<std::string> BrowseFolder(DialogHost& host, const char* setting) {
  std::optional<std::string> chosen = host.BrowseForFolder(text::kBrowseTitle, host.ReadSetting(setting).value_or(""));
  if (chosen && chosen->empty()) chosen.reset();
  if (chosen) host.WriteSetting(setting, *chosen);
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

CKestrinDlg::CKestrinDlg(DialogHost& host, const PathStyle& style) : host_(host), style_(style) {}

bool CKestrinDlg::OnInitDialog() {
  host_.SetChecked(IDC_RECURSIVE, true);
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
  if (const std::optional<std::string> folderText = BrowseFolder(host_, kInputFolderSetting)) {
    OpenInputFolder(*folderText);
  }
}

void CKestrinDlg::OpenInputFolder(const std::string& folderText) {
  m_singleFileMode = false;
  // The separator is appended whatever the text ends with: a browsed root gets a second one.
  m_inputPath = folderText + style_.Separator();
  host_.SetText(IDC_INPUT_PATH, m_inputPath);
  const WalkFlags flags = ReadWalkFlags(host_);
  m_files.clear();
  CollectFiles(m_inputPath, m_files, flags.recursive, flags.includeHidden, style_);
  host_.SetText(IDC_STATUS, FormatText(text::kFolderFileCount, {Count(m_files.size())}));
  SetDefaultCopyPaths(folderText);
}

void CKestrinDlg::OnOpenFolderArgument(const std::string& path) {
  // The folder text as a browser gives it: no trailing separator, except on a root ("/", "D:\").
  std::string folderText = path;
  const auto isRoot = [this](const std::string& text) {
    return style_.windows ? (text.size() == 3 && text[1] == ':') || text.size() == 1 : text.size() == 1;
  };
  while (!folderText.empty() && !isRoot(folderText) && style_.EndsWithSeparator(folderText)) folderText.pop_back();
  if (folderText.empty() || !IsDirectory(folderText)) {
    host_.ShowMessage(FormatText(text::kNotAFolder, {path}), text::kBadCopyPathCaption);
    return;
  }
  host_.WriteSetting(kInputFolderSetting, folderText);
  OpenInputFolder(folderText);
}

void CKestrinDlg::OnDropFiles(const std::vector<std::string>& paths) {
  // Only the first item counts; an empty one is no drop at all.
  if (paths.empty() || paths.front().empty()) return;
  std::string path = paths.front();
  if (IsDirectory(path)) {
    if (!style_.EndsWithSeparator(path)) path += style_.Separator();
    const WalkFlags flags = ReadWalkFlags(host_);
    if (host_.CtrlHeld()) {
      // The reference folder; the input and its mode stay as they are.
      m_refPath = path;
      m_refFiles.clear();
      CollectFiles(m_refPath, m_refFiles, flags.recursive, flags.includeHidden, style_);
      host_.SetText(IDC_REF_PATH, m_refPath);
      FillRefList();
    } else {
      m_singleFileMode = false;
      m_inputPath = path;
      m_files.clear();
      CollectFiles(m_inputPath, m_files, flags.recursive, flags.includeHidden, style_);
      host_.SetText(IDC_STATUS, FormatText(text::kFolderFileCount, {Count(m_files.size())}));
      host_.SetText(IDC_INPUT_PATH, m_inputPath);
      SetDefaultCopyPaths(m_inputPath);
    }
  } else if (host_.CtrlHeld()) {
    // Single-file mode; the copy boxes keep their texts.
    m_files.clear();
    m_singleFileMode = true;
    m_inputPath = path;
    host_.SetText(IDC_STATUS, text::kSingleFileDropped);
    host_.SetText(IDC_INPUT_PATH, m_inputPath);
  } else {
    host_.SetText(IDC_SEARCH_TEXT, FileNamePart(path, style_));
  }
}

void CKestrinDlg::OnRecursiveClicked() {
  if (m_singleFileMode) return;
  const WalkFlags flags = ReadWalkFlags(host_);
  if (!m_inputPath.empty()) {
    m_files.clear();
    CollectFiles(m_inputPath, m_files, flags.recursive, flags.includeHidden, style_);
    host_.SetText(IDC_STATUS, FormatText(text::kFolderFileCount, {Count(m_files.size())}));
  }
  if (!m_refPath.empty()) {
    m_refFiles.clear();
    CollectFiles(m_refPath, m_refFiles, flags.recursive, flags.includeHidden, style_);
    FillRefList();
  }
}

void CKestrinDlg::OnSearch() {
  if (m_singleFileMode) {
    const std::optional<std::string> pattern = ReadFilter(host_, IDC_SEARCH_TEXT);
    if (!pattern) {
      host_.SetText(IDC_STATUS, text::kNoSearchString);
      return;
    }
    const bool ignoreCase = host_.IsChecked(IDC_IGNORE_CASE);
    const bool found = FileContains(m_inputPath, *pattern, ignoreCase);
    host_.SetText(IDC_STATUS, found ? text::kStringFound : text::kStringNotFound);
    return;
  }

  SearchFilters filters;
  filters.path = ReadFilter(host_, IDC_NAME_FILTER);
  if (std::optional<std::string> ext = ReadFilter(host_, IDC_EXT_FILTER)) {
    // Leading dots are skipped: ".txt", "..txt" and "txt" are one filter; only dots leave it empty.
    filters.extension = ext->substr(std::min(ext->find_first_not_of('.'), ext->size()));
  }
  filters.content = ReadFilter(host_, IDC_SEARCH_TEXT);

  m_results.clear();
  host_.ListReset(IDC_RESULT_LIST);
  const std::size_t n = m_files.size();
  if (n == 0) {
    host_.SetText(IDC_STATUS, text::kNoFilesToSearch);
    return;
  }
  BeginProgressRun(host_, n);
  filters.ignoreCase = host_.IsChecked(IDC_IGNORE_CASE);
  const bool allAbsent = filters.AllAbsent();

  host_.BeginListFill(IDC_RESULT_LIST, n);  // at most n lines
  FilterProgress progress;
  progress.position = [this](std::size_t i) { host_.SetProgressPos(ProgressValue(i)); };
  progress.passed = [this](std::size_t i) { host_.ListAdd(IDC_RESULT_LIST, m_files[i]); };
  m_results = FilterFiles(m_files, filters, progress);
  host_.EndListFill(IDC_RESULT_LIST);

  EndProgressRun(host_);
  // Without a filter every file is a result, and the status box keeps what it showed.
  if (allAbsent) return;
  host_.SetText(IDC_STATUS, FormatText(text::kSearchSummary, {Count(n), Count(m_results.size())}));
}

void CKestrinDlg::OnResultDblClk() {
  const int i = host_.ListCurSel(IDC_RESULT_LIST);
  if (i < 0 || static_cast<std::size_t>(i) >= m_results.size()) return;
  OpenWithDesktop(std::string(m_results[static_cast<std::size_t>(i)]));
}

std::optional<std::string> CKestrinDlg::EntryPath(int listId, int index) const {
  const FileList* list = listId == IDC_RESULT_LIST ? &m_results : listId == IDC_REF_LIST ? &m_refFiles : nullptr;
  if (list == nullptr || index < 0 || static_cast<std::size_t>(index) >= list->size()) return std::nullopt;
  return std::string((*list)[static_cast<std::size_t>(index)]);
}

bool CKestrinDlg::OnEntryCommand(int listId, int index, EntryCommand command) {
  const std::optional<std::string> path = EntryPath(listId, index);
  if (!path) return false;
  switch (command) {
    case EntryCommand::Open:
      OpenWithDesktop(*path);
      break;
    case EntryCommand::OpenFolder:
      OpenWithDesktop(DirectoryPart(*path, style_));
      break;
    case EntryCommand::CopyPath:
      host_.CopyToClipboard(*path);
      break;
  }
  return true;
}

void CKestrinDlg::OpenWithDesktop(const std::string& path) {
  if (!host_.ShellOpen(path)) OnOpenFailed(path);
}

void CKestrinDlg::OnOpenFailed(const std::string& path) {
  host_.ShowMessage(FormatText(text::kCannotOpen, {path}), text::kBadCopyPathCaption);
}

void CKestrinDlg::OnBatchRename() {
  // The list box empties whatever follows; m_results keeps the last search's entries.
  host_.ListReset(IDC_RESULT_LIST);
  const std::size_t n = m_files.size();
  if (n == 0) {
    host_.SetText(IDC_STATUS, text::kNoFilesToRename);
    return;
  }
  const std::string oldString = host_.GetText(IDC_RENAME_OLD);
  if (oldString.empty()) {
    host_.SetText(IDC_STATUS, text::kNoOldName);
    return;
  }
  const std::string newString = host_.GetText(IDC_RENAME_NEW);
  const bool force = host_.IsChecked(IDC_FORCE_RENAME);

  BeginProgressRun(host_, n);
  const std::uint32_t renamed = RenameFiles(
      m_files, oldString, newString, force, [this](std::size_t i) { host_.SetProgressPos(ProgressValue(i)); },
      style_);
  EndProgressRun(host_);
  host_.SetText(IDC_STATUS, FormatText(text::kRenameSummary, {Count(n), Count(renamed)}));

  // The list is collected anew so that it holds the new names.
  const WalkFlags flags = ReadWalkFlags(host_);
  m_files.clear();
  CollectFiles(m_inputPath, m_files, flags.recursive, flags.includeHidden, style_);
}

void CKestrinDlg::OnCopyFiles() {
  const std::size_t n = m_results.size();
  if (n == 0) {
    host_.SetText(IDC_STATUS, text::kCopyNoFiles);
    return;
  }
  const std::string outputFolder = OutputFolderFromText(host_.GetText(IDC_COPY_OUTPUT), style_);
  if (outputFolder.empty()) {
    host_.SetText(IDC_STATUS, text::kCopyNoPath);
    return;
  }
  if (!EnsureDirectories(outputFolder, style_)) {
    host_.SetText(IDC_STATUS, FormatText(text::kCopyCannotCreate, {outputFolder}));
    return;
  }
  const std::string copyPrefix = host_.GetText(IDC_PATH_PREFIX);

  BeginProgressRun(host_, n);
  const CopyCounts counts = CopyFiles(
      m_results, copyPrefix, outputFolder, [this](std::size_t i) { host_.SetProgressPos(ProgressValue(i)); },
      style_);
  EndProgressRun(host_);
  host_.SetText(IDC_STATUS, FormatText(text::kCopySummary, {Count(counts.succeeded), Count(counts.failed)}));
}

void CKestrinDlg::OnOpenCopyPath() {
  const std::string outputFolder = OutputFolderFromText(host_.GetText(IDC_COPY_OUTPUT), style_);
  if (outputFolder.empty()) return;
  if (!EnsureDirectories(outputFolder, style_)) {
    host_.ShowMessage(text::kBadCopyPath, text::kBadCopyPathCaption);
    return;
  }
  OpenWithDesktop(outputFolder);
}

void CKestrinDlg::OnOpenRefFolder() {
  const std::optional<std::string> folderText = BrowseFolder(host_, kRefFolderSetting);
  if (!folderText) return;
  m_refPath = *folderText + style_.Separator();
  host_.SetText(IDC_REF_PATH, m_refPath);
  const WalkFlags flags = ReadWalkFlags(host_);
  m_refFiles.clear();
  CollectFiles(m_refPath, m_refFiles, flags.recursive, flags.includeHidden, style_);
  FillRefList();
}

void CKestrinDlg::OnRefSelChange() {
  const int i = host_.ListCurSel(IDC_REF_LIST);
  if (i < 0 || static_cast<std::size_t>(i) >= m_refFiles.size()) return;
  const char* path = m_refFiles.c_str(static_cast<std::size_t>(i));

  std::string name;
  const char* anchor = nullptr;
  if (host_.IsChecked(IDC_NAME_WITH_DIR)) {
    // The name keeps its folders from a resource folder on; "publicres" wins wherever both stand.
    anchor = FindNoCase(path, "publicres");
    if (anchor == nullptr) anchor = FindNoCase(path, "PlugApp");
  }
  if (anchor != nullptr) {
    name = anchor;
  } else {
    name = FileNamePart(path, style_);
  }
  if (!host_.IsChecked(IDC_NAME_WITH_EXT)) CutAtFirstDot(name);
  host_.SetText(IDC_SEARCH_TEXT, name);
}

void CKestrinDlg::OnRefDblClk() {
  OnRefSelChange();
  OnSearch();
}

void CKestrinDlg::FillRefList() {
  host_.ListReset(IDC_REF_LIST);
  host_.BeginListFill(IDC_REF_LIST, m_refFiles.size());
  for (std::size_t i = 0; i < m_refFiles.size(); ++i) {
    const std::string_view entry = m_refFiles[i];
    // Every entry begins with m_refPath, as the walk builds it from that folder.
    host_.ListAdd(IDC_REF_LIST, entry.substr(std::min(m_refPath.size(), entry.size())));
  }
  host_.EndListFill(IDC_REF_LIST);
}

void CKestrinDlg::SetDefaultCopyPaths(const std::string& folderText) {
  const DefaultCopyPaths defaults = ComputeDefaultCopyPaths(folderText, !m_files.empty(), style_, HomeFolder());
  host_.SetText(IDC_PATH_PREFIX, defaults.prefix);
  host_.SetText(IDC_COPY_OUTPUT, defaults.output);
}

}  // namespace kestrin
