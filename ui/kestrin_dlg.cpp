#include "ui/kestrin_dlg.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "fileops/copy.h"
#include "fileops/default_paths.h"
#include "fileops/path_lines.h"
#include "fileops/planning_fs.h"
#include "fileops/rename.h"
#include "fileops/resource_names.h"
#include "fileops/undo.h"
#include "platform/filesystem.h"
#include "platform/user_folders.h"
#include "primitives/command_sink.h"
#include "primitives/fs_query.h"
#include "primitives/nocase.h"
#include "primitives/path_text.h"
#include "search/match_lines.h"
#include "search/reference_report.h"
#include "search/search.h"
#include "search/walk.h"
#include "ui/failure_text.h"
#include "ui/layout.h"
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

std::string Count(std::uint64_t n) { return std::to_string(n); }

// The matches pane of a search without a content text shows this many of the file's first lines.
constexpr std::size_t kFirstLinesShown = 200;
// The preview decodes files up to this size; of a larger one it tells the size alone.
constexpr std::size_t kPreviewBytes = 64u << 20;

// Writes a text of the window into the status box, in the window's language, with its %d and %s filled in.
void SetStatus(DialogHost& host, const char* text, std::initializer_list<std::string_view> args = {}) {
  host.SetText(IDC_STATUS, FormatText(host.Translate(text), args));
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

// Where each folder browser remembers the folder last chosen with it.
constexpr const char* kInputFolderSetting = "InputFolder";
constexpr const char* kRefFolderSetting = "RefFolder";

// A browsed folder's path; an empty answer counts as a cancel, since an empty folder text would walk, and
// let a rename reach, the current drive. The browser opens where it was last confirmed.
std::optional<std::string> BrowseFolder(DialogHost& host, const char* setting) {
  std::optional<std::string> chosen = host.BrowseForFolder(host.Translate(text::kBrowseTitle).c_str(),
                                                                host.ReadSetting(setting).value_or(""));
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

// A status text of a command stopped by the user: what it did, said to be stopped.
void SetStoppedStatus(DialogHost& host, const char* text, std::initializer_list<std::string_view> args = {}) {
  host.SetText(IDC_STATUS, host.Translate(text::kStoppedPrefix) + FormatText(host.Translate(text), args));
}

// The status text of a command that ran to its end, or was stopped.
void SetOutcomeStatus(DialogHost& host, bool stopped, const char* text,
                      std::initializer_list<std::string_view> args = {}) {
  if (stopped) {
    SetStoppedStatus(host, text, args);
  } else {
    SetStatus(host, text, args);
  }
}

// A command's reports as the window takes them: each progress step, and each file that passed a search.
// (The failures go to the job's list through a FailureCollector in front of it.)
class ReportSink : public CommandSink {
 public:
  explicit ReportSink(std::function<void(std::size_t index)> progress,
                      std::function<void(std::size_t index)> matched = {})
      : progress_(std::move(progress)), matched_(std::move(matched)) {}
  void Progress(std::size_t index) override {
    if (progress_) progress_(index);
  }
  void Outcome(const FileOutcome& outcome) override {
    if (outcome.kind == FileOutcome::Kind::Matched && matched_) matched_(outcome.index);
  }

 private:
  std::function<void(std::size_t index)> progress_;
  std::function<void(std::size_t index)> matched_;
};

// The newest batch undo would take back, from the journals of the disk itself: a test's double of the file
// system keeps none.
std::optional<BatchSummary> UndoableBatch(FileSystem& fs) {
  if (&fs != &NativeFileSystem()) return std::nullopt;
  const std::optional<std::pair<std::string, JournalRecord>> newest = JournalStore().Newest();
  if (!newest) return std::nullopt;
  BatchSummary batch;
  batch.path = newest->first;
  batch.kind = newest->second.kind;
  batch.files = newest->second.steps.size();
  batch.startTime = newest->second.startTime;
  return batch;
}

// When a batch started, as its tooltip names it: the local time, with the day when it was not today.
// (The window thread alone asks.)
std::string BatchTime(std::int64_t startTime) {
  const std::time_t start = static_cast<std::time_t>(startTime);
  const std::time_t now = std::time(nullptr);
  std::tm nowTm{};
  if (const std::tm* local = std::localtime(&now)) nowTm = *local;
  const std::tm* local = std::localtime(&start);
  if (local == nullptr) return {};
  const std::tm startTm = *local;
  char text[32];
  const bool today = startTm.tm_year == nowTm.tm_year && startTm.tm_yday == nowTm.tm_yday;
  const std::size_t length = std::strftime(text, sizeof text, today ? "%H:%M" : "%Y-%m-%d %H:%M", &startTm);
  return std::string(text, length);
}

// A rename's reports as the window takes them: each progress step, and each file's outcome.
class RenameSink : public CommandSink {
 public:
  RenameSink(std::function<void(std::size_t index)> progress, std::function<void(const FileOutcome&)> outcome)
      : progress_(std::move(progress)), outcome_(std::move(outcome)) {}
  void Progress(std::size_t index) override { progress_(index); }
  void Outcome(const FileOutcome& outcome) override { outcome_(outcome); }

 private:
  std::function<void(std::size_t index)> progress_;
  std::function<void(const FileOutcome&)> outcome_;
};

// What a rename run against the planning file system would do, gathered on the worker: each rename, and
// each file whose name holds the old text that would keep it, with the failure or the text that says why.
struct PlannedRename {
  std::vector<RenamePreview::Rename> renames;
  struct Kept {
    std::string path;
    std::optional<Failure> failure;
    const char* why = nullptr;  // a skipped file: the text of its reason
  };
  std::vector<Kept> kept;

  void Take(const FileOutcome& outcome, std::string_view oldString, std::string_view newString,
            const PathStyle& style) {
    switch (outcome.kind) {
      case FileOutcome::Kind::Renamed:
        renames.push_back({std::string(outcome.source), std::string(outcome.target)});
        break;
      case FileOutcome::Kind::Failed:
        kept.push_back({std::string(outcome.source),
                        Failure{std::string(outcome.source), outcome.reason, std::string(outcome.detail)}});
        break;
      case FileOutcome::Kind::Skipped: {
        // A name without the old text is no part of the rename; one with it would keep its name because
        // the new name is the same, or none a file can take.
        const std::string_view name = FileNamePart(outcome.source, style);
        std::string newName;
        if (!ReplaceFirstNoCase(newName, name, oldString, newString)) break;
        kept.push_back({std::string(outcome.source), std::nullopt,
                        newName == name ? text::kPreviewSameName : text::kPreviewBadName});
        break;
      }
      default:
        break;
    }
  }

  // The preview as the window shows it, the reasons and the count in its language.
  RenamePreview Shown(DialogHost& host) && {
    RenamePreview preview;
    preview.renames = std::move(renames);
    const auto words = [&host](FailureReason reason) { return host.Translate(ReasonSourceText(reason)); };
    for (const Kept& k : kept) {
      preview.kept.push_back(FailureLine{k.path, k.failure ? ReasonText(*k.failure, words) : host.Translate(k.why)});
    }
    preview.count = FormatText(host.Translate(text::kPreviewCount),
                               {Count(preview.renames.size()), Count(preview.kept.size())});
    return preview;
  }
};

}  // namespace

CKestrinDlg::CKestrinDlg(DialogHost& host) : CKestrinDlg(host, NativePathStyle()) {}

CKestrinDlg::CKestrinDlg(DialogHost& host, const PathStyle& style) : m_host(host), m_style(style), m_runner(host) {}

CKestrinDlg::~CKestrinDlg() { Shutdown(); }

void CKestrinDlg::Shutdown() {
  m_matchRunner.reset();
  m_previewRunner.reset();
  m_retiredRunners.clear();
  m_runner.Shutdown();
}

bool CKestrinDlg::PanesBusy() const {
  const auto busy = [](const std::unique_ptr<CommandRunner>& runner) { return runner && runner->Running(); };
  return busy(m_matchRunner) || busy(m_previewRunner) || std::any_of(m_retiredRunners.begin(), m_retiredRunners.end(), busy);
}

void CKestrinDlg::RetireRunner(std::unique_ptr<CommandRunner>& runner) {
  std::erase_if(m_retiredRunners, [](const std::unique_ptr<CommandRunner>& old) { return !old->Running(); });
  if (!runner) return;
  if (runner->Running()) {
    runner->Stop();
    m_retiredRunners.push_back(std::move(runner));
  }
  runner.reset();
}

void CKestrinDlg::Stop() {
  if (m_runner.Running()) m_runner.Stop();
}

void CKestrinDlg::StartCommand(int stopButton, CommandRunner::Work work) {
  ClearFailures();
  m_stopButton = stopButton;
  for (const ControlDef& def : KestrinControls()) {
    if (def.id < 0 || def.id == stopButton || def.id == IDC_PROGRESS) continue;
    m_host.Enable(def.id, false);
  }
  if (stopButton != 0) m_host.SetCaption(stopButton, m_host.Translate(text::kStop));
  m_runner.Start(std::move(work), [this](FailureList failures) { EndCommand(std::move(failures)); });
}

void CKestrinDlg::ClearFailures() {
  m_failures.clear();
  ShowFailureCount();
}

void CKestrinDlg::ShowFailureCount() {
  // Told to the host only when it changes, so that a command without failures looks as it always did.
  const std::size_t count = m_failures.size();
  if (count == m_failuresShown) return;
  if (count != 0) m_host.SetCaption(IDC_FAILURES, FormatText(m_host.Translate(text::kFailuresButton), {Count(count)}));
  if ((count != 0) != (m_failuresShown != 0)) m_host.Show(IDC_FAILURES, count != 0);
  m_failuresShown = count;
}

void CKestrinDlg::EndCommand(FailureList failures) {
  m_failures = std::move(failures);
  if (m_stopButton != 0) {
    if (const ControlDef* def = FindControl(m_stopButton)) m_host.SetCaption(m_stopButton, m_host.Translate(def->caption));
  }
  for (const ControlDef& def : KestrinControls()) {
    if (def.id < 0 || def.id == m_stopButton || def.id == IDC_PROGRESS || def.id == IDC_UNDO) continue;
    m_host.Enable(def.id, true);
  }
  m_stopButton = 0;
  ShowUndoBatch(std::move(m_undoBatch));
  ShowFailureCount();
  if (m_previewToShow) {
    const RenamePreview preview = std::move(*m_previewToShow);
    m_previewToShow.reset();
    m_previewOpen = true;
    m_host.ShowPreview(preview);
  }
}

bool CKestrinDlg::OnStatusClicked() {
  if (Running() || m_failures.empty()) return false;
  m_host.ShowFailures(FailureLines());
  return true;
}

std::vector<FailureLine> CKestrinDlg::FailureLines() const { return WindowFailureLines(m_host, m_failures); }

void CKestrinDlg::StartWalk(int stopButton, std::string root, WalkFlags flags,
                            std::function<void(FileList files, bool stopped)> done) {
  StartCommand(stopButton, [root = std::move(root), flags, style = m_style,
                            done = std::move(done)](CommandRunner::Job& job) {
    FileList files;
    job.Run([&](const CommandEnv& env) { CollectFiles(env, root, files, flags.recursive, flags.includeHidden, style); });
    const bool stopped = job.StopRequested();
    job.Post([done, files = std::move(files), stopped]() mutable { done(std::move(files), stopped); });
  });
}

void CKestrinDlg::InputWalkDone(FileList files, bool stopped) {
  m_files = Share(std::move(files));
  WriteWalkCount(stopped);
}

void CKestrinDlg::RefWalkDone(FileList files, bool stopped) {
  m_refFiles = std::move(files);
  m_refCounts.clear();
  FillRefList();
  if (stopped) SetStatus(m_host, text::kWalkStopped, {Count(m_refFiles.size())});
}

CKestrinDlg::WalkFlags CKestrinDlg::ReadWalkFlags() {
  const bool recursive = m_host.IsChecked(IDC_RECURSIVE);
  const bool includeHidden = m_host.IsChecked(IDC_INCLUDE_HIDDEN);
  return {recursive, includeHidden};
}

bool CKestrinDlg::OnInitDialog() {
  m_host.SetChecked(IDC_RECURSIVE, true);
  m_host.SetToolTip(IDC_PATH_PREFIX, m_host.Translate(text::kPathPrefixTip));
  m_host.SetToolTip(IDC_COPY_OUTPUT, m_host.Translate(text::kCopyOutputTip));
  ShowUndoBatch(UndoableBatch(Fs()));
  return true;
}

bool CKestrinDlg::OnCommand(int id, Notify notify) {
  if (Running()) {
    // Every control but the stop is disabled; whatever still arrives starts nothing.
    if (notify != Notify::Clicked || id != m_stopButton) return false;
    Stop();
    return true;
  }
  switch (notify) {
    case Notify::Clicked:
      switch (id) {
        case IDC_OPEN_INPUT: OnOpenInputFolder(); return true;
        case IDC_RECURSIVE: OnRecursiveClicked(); return true;
        case IDC_SEARCH: OnSearch(); return true;
        case IDC_OPEN_REF: OnOpenRefFolder(); return true;
        case IDC_RENAME: OnBatchRename(); return true;
        case IDC_RENAME_PREVIEW: OnRenamePreview(); return true;
        case IDC_UNDO: OnUndo(); return true;
        case IDC_PREVIEW_RUN:
        case IDC_PREVIEW_CLOSE:
          if (!m_previewOpen) return false;
          OnPreviewAnswer(id == IDC_PREVIEW_RUN);
          return true;
        case IDC_OPEN_COPY_PATH: OnOpenCopyPath(); return true;
        case IDC_COPY: OnCopyFiles(); return true;
        case IDC_REF_REPORT: OnRefReport(); return true;
        case IDC_STATUS:
        case IDC_FAILURES: return OnStatusClicked();
        default: return false;
      }
    case Notify::SelChange:
      switch (id) {
        case IDC_RESULT_LIST: OnResultSelChange(); return true;
        case IDC_REF_LIST: OnRefSelChange(); return true;
        default: return false;
      }
    case Notify::DblClk:
      switch (id) {
        case IDC_RESULT_LIST: OnResultDblClk(); return true;
        case IDC_REF_LIST: OnRefDblClk(); return true;
        case IDC_MATCH_LIST:
          // Any line of the pane opens its file, as the result's double-click does.
          if (!m_matchFile.empty()) OpenWithDesktop(m_matchFile);
          return true;
        default: return false;
      }
  }
  return false;
}

bool CKestrinDlg::PreTranslateKeyDown(int virtualKey) {
  if (virtualKey == kVkReturn) {
    if (!Running()) OnSearch();
    return true;
  }
  if (virtualKey == kVkEscape) {
    Stop();
    return true;
  }
  return false;
}

void CKestrinDlg::OnOpenInputFolder() {
  if (const std::optional<std::string> folderText = BrowseFolder(m_host, kInputFolderSetting)) {
    OpenInputFolder(*folderText);
  }
}

void CKestrinDlg::OpenInputFolder(const std::string& folderText) {
  m_singleFileMode = false;
  // The separator is appended whatever the text ends with: a browsed root gets a second one.
  m_inputPath = folderText + m_style.Separator();
  m_host.SetText(IDC_INPUT_PATH, m_inputPath);
  StartWalk(IDC_OPEN_INPUT, m_inputPath, ReadWalkFlags(), [this, folderText](FileList files, bool stopped) {
    InputWalkDone(std::move(files), stopped);
    SetDefaultCopyPaths(folderText);
  });
}

void CKestrinDlg::WriteWalkCount(bool stopped) {
  SetStatus(m_host, stopped ? text::kWalkStopped : text::kFolderFileCount, {Count(m_files->size())});
}

void CKestrinDlg::OnOpenFolderArgument(const std::string& path) {
  // The folder text as a browser gives it: no trailing separator, except on a root ("/", "D:\").
  std::string folderText = path;
  while (!folderText.empty() && !m_style.IsRoot(folderText) && m_style.EndsWithSeparator(folderText)) {
    folderText.pop_back();
  }
  if (folderText.empty() || !IsDirectory(Fs(), folderText)) {
    m_host.ShowMessage(FormatText(m_host.Translate(text::kNotAFolder), {path}),
                     m_host.Translate(text::kBadCopyPathCaption));
    return;
  }
  m_host.WriteSetting(kInputFolderSetting, folderText);
  OpenInputFolder(folderText);
}

void CKestrinDlg::OnDropFiles(const std::vector<std::string>& paths) {
  // Only the first item counts; an empty one is no drop at all. Nothing is taken while a command runs.
  if (Running() || paths.empty() || paths.front().empty()) return;
  const std::string& path = paths.front();
  if (IsDirectory(Fs(), path)) {
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
    StartWalk(0, m_refPath, flags, [this](FileList files, bool stopped) {
      m_host.SetText(IDC_REF_PATH, m_refPath);
      RefWalkDone(std::move(files), stopped);
    });
    return;
  }
  m_singleFileMode = false;
  m_inputPath = folder;
  StartWalk(0, m_inputPath, flags, [this](FileList files, bool stopped) {
    InputWalkDone(std::move(files), stopped);
    m_host.SetText(IDC_INPUT_PATH, m_inputPath);
    SetDefaultCopyPaths(m_inputPath);
  });
}

void CKestrinDlg::DropSingleFile(const std::string& path) {
  // The copy boxes keep their texts.
  m_files = Share({});
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
  if (m_inputPath.empty() && m_refPath.empty()) return;
  // The input folder first, then the reference folder; a stop during the first leaves the second as it was.
  StartCommand(0, [this, flags, style = m_style, input = m_inputPath, ref = m_refPath](CommandRunner::Job& job) {
    for (const std::string* root : {&input, &ref}) {
      if (root->empty()) continue;
      FileList files;
      job.Run([&](const CommandEnv& env) {
        CollectFiles(env, *root, files, flags.recursive, flags.includeHidden, style);
      });
      const bool stopped = job.StopRequested();
      const bool isInput = root == &input;
      job.Post([this, files = std::move(files), stopped, isInput]() mutable {
        if (isInput) {
          InputWalkDone(std::move(files), stopped);
        } else {
          RefWalkDone(std::move(files), stopped);
        }
      });
      if (stopped) return;
    }
  });
}

void CKestrinDlg::OnSearch() {
  ClearFailures();
  if (m_singleFileMode) {
    const std::optional<std::string> pattern = ReadFilter(m_host, IDC_SEARCH_TEXT);
    if (!pattern) {
      SetStatus(m_host, text::kNoSearchString);
      return;
    }
    const bool ignoreCase = m_host.IsChecked(IDC_IGNORE_CASE);
    // One file, which may be large: a stop ends the search between two of its chunks. A file that cannot
    // be searched (missing, unreadable) holds nothing, which the status says; it is not listed as a failure.
    StartCommand(IDC_SEARCH, [this, pattern = *pattern, ignoreCase, path = m_inputPath](CommandRunner::Job& job) {
      const bool found = FileContains(job.Unlisted(), path, pattern, ignoreCase);
      const bool stopped = job.StopRequested();
      job.Post([this, found, stopped] {
        SetOutcomeStatus(m_host, stopped, found ? text::kStringFound : text::kStringNotFound);
      });
    });
    return;
  }

  SearchFilters filters;
  filters.path = ReadFilter(m_host, IDC_NAME_FILTER);
  if (std::optional<std::string> ext = ReadFilter(m_host, IDC_EXT_FILTER)) {
    filters.extension = ExtensionFilterFromText(*ext);
  }
  filters.content = ReadFilter(m_host, IDC_SEARCH_TEXT);

  m_results = Share({});
  m_host.ListReset(IDC_RESULT_LIST);
  ClearMatches();
  m_resultsListed = true;
  m_resultPattern = filters.content;
  const std::size_t n = m_files->size();
  if (n == 0) {
    SetStatus(m_host, text::kNoFilesToSearch);
    return;
  }
  BeginProgressRun(m_host, n);
  filters.ignoreCase = m_host.IsChecked(IDC_IGNORE_CASE);
  m_resultIgnoreCase = filters.ignoreCase;
  const bool allAbsent = filters.AllAbsent();

  m_host.BeginListFill(IDC_RESULT_LIST, n);  // at most n lines
  StartCommand(IDC_SEARCH, [this, files = m_files, filters, allAbsent, n](CommandRunner::Job& job) {
    std::size_t reached = 0;  // files the search has come to
    const auto position = [&job, &reached](std::size_t i) {
      reached = std::max(reached, i + 1);
      job.Progress(i);
    };
    // The window thread reads a result's line from the list the search was given, which the last call
    // below keeps alive: a result then costs no allocation of its own on the way.
    const auto add = [this, &job, list = files.get()](std::size_t i) {
      job.Post([this, list, i] { m_host.ListAdd(IDC_RESULT_LIST, (*list)[i]); });
    };
    // Without a filter every file passes, and the bar moves after its line is added.
    ReportSink reports = allAbsent ? ReportSink({}, [&](std::size_t i) {
      add(i);
      position(i);
    })
                                   : ReportSink(position, add);
    FileList results = job.Run([&](const CommandEnv& env) { return FilterFiles(env, *files, filters); }, reports);
    const bool stopped = job.StopRequested();
    const std::size_t searched = stopped ? reached : n;
    job.Post([this, files, results = std::move(results), stopped, allAbsent, searched]() mutable {
      m_results = Share(std::move(results));
      m_host.EndListFill(IDC_RESULT_LIST);
      EndProgressRun(m_host);
      // Without a filter every file is a result, and the status box keeps what it showed.
      if (allAbsent && !stopped) return;
      SetOutcomeStatus(m_host, stopped, text::kSearchSummary, {Count(searched), Count(m_results->size())});
    });
  });
}

void CKestrinDlg::OnResultDblClk() {
  const int i = m_host.ListCurSel(IDC_RESULT_LIST);
  if (i < 0 || static_cast<std::size_t>(i) >= m_results->size()) return;
  OpenWithDesktop(std::string((*m_results)[static_cast<std::size_t>(i)]));
}

std::optional<std::string> CKestrinDlg::EntryPath(int listId, int index) const {
  const FileList* list = listId == IDC_RESULT_LIST ? m_results.get() : listId == IDC_REF_LIST ? &m_refFiles : nullptr;
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
      OpenWithDesktop(DirectoryPart(*path, m_style));
      break;
    case EntryCommand::CopyPath:
      m_host.CopyToClipboard(*path);
      break;
    case EntryCommand::CopySelectedPaths:
    case EntryCommand::CopyAllPaths: {
      const FileList* listed = listId == IDC_RESULT_LIST ? ListedResults() : nullptr;
      if (listed == nullptr) return false;
      std::vector<std::size_t> selected;
      if (command == EntryCommand::CopySelectedPaths) {
        for (const int line : m_host.ListSelection(listId)) {
          if (line >= 0) selected.push_back(static_cast<std::size_t>(line));
        }
      }
      m_host.CopyToClipboard(
          PathLines(*listed, command == EntryCommand::CopySelectedPaths ? &selected : nullptr, LineEnd()));
      break;
    }
    case EntryCommand::ExportList: {
      if (listId != IDC_RESULT_LIST || ListedResults() == nullptr) return false;
      const std::optional<std::string> file =
          m_host.SaveFileName(m_host.Translate(text::kExportTitle).c_str(), "kestrin.txt");
      if (file && !file->empty()) ExportList(listId, *file);
      break;
    }
  }
  return true;
}

bool CKestrinDlg::ExportList(int listId, const std::string& file) {
  const FileList* listed = listId == IDC_RESULT_LIST ? ListedResults() : nullptr;
  if (listed == nullptr) return false;
  if (WriteTextFile(file, PathLines(*listed, nullptr, LineEnd()))) return true;
  m_host.ShowMessage(FormatText(m_host.Translate(text::kExportFailed), {file}),
                     m_host.Translate(text::kBadCopyPathCaption));
  return false;
}

void CKestrinDlg::OnResultSelChange() {
  const int i = m_host.ListCurSel(IDC_RESULT_LIST);
  if (i < 0 || ListedResults() == nullptr || static_cast<std::size_t>(i) >= m_results->size()) {
    ClearMatches();
    return;
  }
  ShowMatches(static_cast<std::size_t>(i));
}

void CKestrinDlg::ShowMatches(std::size_t i) {
  ClearMatches();
  m_matchFile.assign((*m_results)[i]);
  m_matchRunner = std::make_unique<CommandRunner>(m_host);
  m_matchRunner->Start(
      [this, path = m_matchFile, pattern = m_resultPattern, ignoreCase = m_resultIgnoreCase,
       generation = m_matchGeneration](CommandRunner::Job& job) {
        FileLinesLimits limits;
        if (!pattern) limits.maxLines = kFirstLinesShown;
        auto lines = std::make_shared<FileLines>(ReadFileLines(job.Unlisted(), path, pattern, ignoreCase, limits));
        if (job.StopRequested()) return;
        job.Post([this, lines, pattern, generation] {
          if (generation == m_matchGeneration) FillMatches(*lines, pattern);
        });
      },
      [](FailureList) {});
}

void CKestrinDlg::FillMatches(const FileLines& lines, const std::optional<std::string>& pattern) {
  m_host.ListReset(IDC_MATCH_LIST);
  if (lines.failed) {
    FailureList failure;
    failure.Add(m_matchFile, lines.failure.reason, lines.failure.detail);
    m_host.SetText(IDC_MATCH_COUNT,
                   FormatText(m_host.Translate(text::kCannotRead), {WindowFailureLines(m_host, failure).front().reason}));
    return;
  }
  if (pattern) {
    m_host.SetText(IDC_MATCH_COUNT, FormatText(m_host.Translate(lines.complete ? text::kMatchCount : text::kMatchCountAtLeast),
                                               {Count(lines.matching)}));
  } else {
    m_host.SetText(IDC_MATCH_COUNT, FormatText(m_host.Translate(text::kFirstLines), {Count(lines.lines.size())}));
  }
  m_host.BeginListFill(IDC_MATCH_LIST, lines.lines.size() + 1);
  std::string shown;
  for (const FileLine& line : lines.lines) {
    // "LINE: TEXT", a cut shown by dots; the CR of a CRLF line is not shown.
    shown = Count(line.number) + ": ";
    if (line.cutBefore) shown += "...";
    const std::size_t mark = shown.size() + line.match;
    std::string_view text = line.text;
    if (!line.cutAfter && !text.empty() && text.back() == '\r') text.remove_suffix(1);
    shown += text;
    if (line.cutAfter) shown += "...";
    if (pattern) {
      m_host.ListAddMarked(IDC_MATCH_LIST, shown, mark, std::min(line.matchLength, shown.size() - std::min(mark, shown.size())));
    } else {
      m_host.ListAdd(IDC_MATCH_LIST, shown);
    }
  }
  if (pattern && lines.matching > lines.lines.size()) {
    m_host.ListAdd(IDC_MATCH_LIST, FormatText(m_host.Translate(lines.complete ? text::kMatchMore : text::kMatchMoreAtLeast),
                                              {Count(lines.matching - lines.lines.size())}));
  }
  m_host.EndListFill(IDC_MATCH_LIST);
}

void CKestrinDlg::ClearMatches() {
  ++m_matchGeneration;
  RetireRunner(m_matchRunner);
  if (m_matchFile.empty()) return;
  m_matchFile.clear();
  m_host.ListReset(IDC_MATCH_LIST);
  m_host.SetText(IDC_MATCH_COUNT, "");
}

void CKestrinDlg::ShowPreview(const std::string& path) {
  ClearPreview();
  m_previewShown = true;
  m_previewRunner = std::make_unique<CommandRunner>(m_host);
  m_previewRunner->Start(
      [this, path, generation = m_previewGeneration](CommandRunner::Job& job) {
        auto head = std::make_shared<FileHead>(ReadFileHead(job.Unlisted(), path, kPreviewBytes));
        std::shared_ptr<Picture> picture;
        if (head->complete && !head->failed && head->size <= kPreviewBytes && !job.StopRequested()) {
          if (std::optional<Picture> decoded = m_host.DecodePicture(IDC_REF_PREVIEW, head->bytes)) {
            picture = std::make_shared<Picture>(std::move(*decoded));
          }
        }
        if (job.StopRequested()) return;
        head->bytes.clear();
        job.Post([this, head, picture, path, generation] {
          if (generation != m_previewGeneration) return;
          if (head->failed) {
            FailureList failure;
            failure.Add(path, head->failure.reason, head->failure.detail);
            m_host.SetText(IDC_REF_PREVIEW, FormatText(m_host.Translate(text::kCannotRead),
                                                       {WindowFailureLines(m_host, failure).front().reason}));
          } else if (picture) {
            m_host.SetText(IDC_REF_PREVIEW, FormatText(m_host.Translate(text::kPictureSize),
                                                       {Count(static_cast<std::size_t>(picture->width)),
                                                        Count(static_cast<std::size_t>(picture->height)), Count(head->size)}));
          } else {
            m_host.SetText(IDC_REF_PREVIEW, FormatText(m_host.Translate(text::kFileSize), {Count(head->size)}));
          }
          m_host.ShowPicture(IDC_REF_PREVIEW, picture.get());
        });
      },
      [](FailureList) {});
}

void CKestrinDlg::ClearPreview() {
  ++m_previewGeneration;
  RetireRunner(m_previewRunner);
  if (!m_previewShown) return;
  m_previewShown = false;
  m_host.ShowPicture(IDC_REF_PREVIEW, nullptr);
  m_host.SetText(IDC_REF_PREVIEW, "");
}

void CKestrinDlg::OpenWithDesktop(const std::string& path) {
  if (!m_host.ShellOpen(path)) OnOpenFailed(path);
}

void CKestrinDlg::OnOpenFailed(const std::string& path) {
  m_host.ShowMessage(FormatText(m_host.Translate(text::kCannotOpen), {path}),
                     m_host.Translate(text::kBadCopyPathCaption));
}

std::optional<CKestrinDlg::RenameRequest> CKestrinDlg::ReadRenameRequest(bool resultsOnly) {
  RenameRequest request;
  request.resultsOnly = resultsOnly;
  // Only results the list shows: after a rename of every file it shows none.
  request.files = !resultsOnly ? m_files : m_resultsListed ? m_results : Share({});
  if (request.files->empty()) {
    SetStatus(m_host, text::kNoFilesToRename);
    return std::nullopt;
  }
  request.oldString = m_host.GetText(IDC_RENAME_OLD);
  if (request.oldString.empty()) {
    SetStatus(m_host, text::kNoOldName);
    return std::nullopt;
  }
  request.newString = m_host.GetText(IDC_RENAME_NEW);
  request.force = m_host.IsChecked(IDC_FORCE_RENAME);
  return request;
}

void CKestrinDlg::FillResultList() {
  m_host.ListReset(IDC_RESULT_LIST);
  m_host.BeginListFill(IDC_RESULT_LIST, m_results->size());
  for (std::size_t i = 0; i < m_results->size(); ++i) m_host.ListAdd(IDC_RESULT_LIST, (*m_results)[i]);
  m_host.EndListFill(IDC_RESULT_LIST);
  m_resultsListed = true;
}

void CKestrinDlg::OnBatchRename() {
  ClearFailures();
  const bool resultsOnly = m_host.IsChecked(IDC_RENAME_RESULTS_ONLY);
  // Over every file the list box empties whatever follows (m_results keeps the last search's entries);
  // over the results it shows them again under their new names.
  if (!resultsOnly) {
    m_host.ListReset(IDC_RESULT_LIST);
    ClearMatches();
    m_resultsListed = false;
  }
  std::optional<RenameRequest> request = ReadRenameRequest(resultsOnly);
  if (!request) return;
  const std::size_t n = request->files->size();

  BeginProgressRun(m_host, n);
  if (resultsOnly) {
    m_host.ListReset(IDC_RESULT_LIST);
    ClearMatches();
  }
  // The list is collected anew after the renames, with the walk flags the boxes hold (they cannot change
  // while the command runs).
  const WalkFlags flags = ReadWalkFlags();
  StartCommand(IDC_RENAME, [this, request = std::move(*request), root = m_inputPath, style = m_style, flags,
                            n](CommandRunner::Job& job) {
    std::size_t reached = 0;
    std::vector<std::pair<std::size_t, std::string>> moved;  // results only: each renamed entry's new path
    RenameSink reports(
        [&job, &reached](std::size_t i) {
          reached = std::max(reached, i + 1);
          job.Progress(i);
        },
        [&](const FileOutcome& outcome) {
          if (request.resultsOnly && outcome.kind == FileOutcome::Kind::Renamed) {
            moved.emplace_back(outcome.index, std::string(outcome.target));
          }
        });
    const std::uint32_t renamed = job.RunJournalled(
        BatchKind::Rename,
        [&](const CommandEnv& env) {
          return RenameFiles(env, *request.files, request.oldString, request.newString, request.force, style);
        },
        reports);
    // A stop that came after the last file was handled stopped nothing.
    const bool stopped = reached < n && job.StopRequested();
    job.Post([this, n, reached, renamed, stopped] {
      EndProgressRun(m_host);
      SetOutcomeStatus(m_host, stopped, text::kRenameSummary, {Count(stopped ? reached : n), Count(renamed)});
    });
    if (request.resultsOnly) {
      // The results under the names they have now, in their order (the outcomes come in it too).
      const FileList& before = *request.files;
      FileList after;
      after.reserve(before.size(), before.bytes());
      std::size_t next = 0;
      for (std::size_t i = 0; i < before.size(); ++i) {
        if (next < moved.size() && moved[next].first == i) {
          after.push_back(moved[next++].second, before.kind(i));
        } else {
          after.push_back(before[i], before.kind(i));
        }
      }
      job.Post([this, after = std::move(after)]() mutable {
        m_results = Share(std::move(after));
        FillResultList();
      });
    }
    // The list then holds the new names. Collecting it again is part of the rename, and quick: a stop
    // (before or during it) neither cuts it short nor replaces the rename's summary.
    FileList collected;
    job.RunUntilClosed([&](const CommandEnv& env) {
      CollectFiles(env, root, collected, flags.recursive, flags.includeHidden, style);
    });
    job.Post([this, collected = std::move(collected)]() mutable { m_files = Share(std::move(collected)); });
    job.Post([this, next = UndoableBatch(job.Unlisted().fs)] { m_undoBatch = next; });
  });
}

void CKestrinDlg::OnRenamePreview() {
  ClearFailures();
  std::optional<RenameRequest> request = ReadRenameRequest(m_host.IsChecked(IDC_RENAME_RESULTS_ONLY));
  if (!request) return;
  const std::size_t n = request->files->size();

  BeginProgressRun(m_host, n);
  StartCommand(IDC_RENAME_PREVIEW, [this, request = std::move(*request), style = m_style, n](CommandRunner::Job& job) {
    std::size_t reached = 0;
    PlannedRename plan;
    RenameSink reports(
        [&job, &reached](std::size_t i) {
          reached = std::max(reached, i + 1);
          job.Progress(i);
        },
        [&](const FileOutcome& outcome) { plan.Take(outcome, request.oldString, request.newString, style); });
    // The rename itself, on a file system that records what it would change: the outcomes are those the
    // real run would have now. Its failures are no failures of the window's.
    const CommandEnv env = job.Unlisted();
    PlanningFileSystem planning(env.fs, style);
    RenameFiles(CommandEnv{planning, env.stop, reports}, *request.files, request.oldString, request.newString,
                request.force, style);
    const bool stopped = reached < n && job.StopRequested();
    job.Post([this, stopped, plan = std::move(plan)]() mutable {
      EndProgressRun(m_host);
      if (stopped) {
        SetStoppedStatus(m_host, text::kPreviewStopped);
        return;
      }
      m_previewToShow = std::move(plan).Shown(m_host);
    });
  });
}

void CKestrinDlg::ShowUndoBatch(std::optional<BatchSummary> batch) {
  m_undoBatch = std::move(batch);
  m_host.Enable(IDC_UNDO, m_undoBatch.has_value());
  if (!m_undoBatch) {
    m_host.SetToolTip(IDC_UNDO, {});
    return;
  }
  const char* tip = m_undoBatch->kind == BatchKind::Copy ? text::kUndoCopyTip : text::kUndoRenameTip;
  m_host.SetToolTip(IDC_UNDO, FormatText(m_host.Translate(tip), {Count(m_undoBatch->files), BatchTime(m_undoBatch->startTime)}));
}

void CKestrinDlg::OnUndo() {
  ClearFailures();
  // The input folder is collected anew after a rename is taken back, as after the rename.
  const WalkFlags flags = ReadWalkFlags();
  const std::string root = m_singleFileMode ? std::string() : m_inputPath;
  StartCommand(IDC_UNDO, [this, root, flags, style = m_style](CommandRunner::Job& job) {
    const std::optional<BatchSummary> batch = UndoableBatch(job.Unlisted().fs);
    if (!batch) {
      job.Post([this] {
        SetStatus(m_host, text::kUndoNothing);
        m_undoBatch.reset();
      });
      return;
    }
    // A step is taken back in one or two actions (its move or copy, and a file it replaced): the bar
    // goes by the steps.
    job.Post([this, steps = batch->files] { BeginProgressRun(m_host, std::max<std::size_t>(steps, 1)); });
    // Where each renamed file has gone back to, for the result list.
    std::unordered_map<std::string, std::string> returned;
    RenameSink reports([&job, steps = batch->files](std::size_t i) { job.Progress(std::min(i, steps - 1)); },
                       [&](const FileOutcome& outcome) {
                         if (outcome.kind == FileOutcome::Kind::Renamed) {
                           returned.emplace(std::string(outcome.source), std::string(outcome.target));
                         }
                       });
    const UndoCounts counts = job.Run(
        [&](const CommandEnv& env) { return UndoNewestBatch(env, JournalStore(), /*dryRun=*/false); }, reports);
    const bool stopped = job.StopRequested();
    job.Post([this, counts, stopped, returned = std::move(returned)] {
      EndProgressRun(m_host);
      SetOutcomeStatus(m_host, stopped, text::kUndoSummary, {Count(counts.undone), Count(counts.failed)});
      if (!m_resultsListed || returned.empty()) return;
      // The results under the names they have again.
      FileList results;
      results.reserve(m_results->size(), m_results->bytes());
      for (std::size_t i = 0; i < m_results->size(); ++i) {
        const auto back = returned.find(std::string((*m_results)[i]));
        results.push_back(back != returned.end() ? std::string_view(back->second) : (*m_results)[i],
                          m_results->kind(i));
      }
      m_results = Share(std::move(results));
      FillResultList();
    });
    if (batch->kind == BatchKind::Rename && !root.empty()) {
      FileList collected;
      job.RunUntilClosed([&](const CommandEnv& env) {
        CollectFiles(env, root, collected, flags.recursive, flags.includeHidden, style);
      });
      job.Post([this, collected = std::move(collected)]() mutable { m_files = Share(std::move(collected)); });
    }
    job.Post([this, next = UndoableBatch(job.Unlisted().fs)] { m_undoBatch = next; });
  });
}

void CKestrinDlg::OnPreviewAnswer(bool run) {
  m_previewOpen = false;
  if (run) OnBatchRename();
}

void CKestrinDlg::OnCopyFiles() {
  ClearFailures();
  const std::size_t n = m_results->size();
  if (n == 0) {
    SetStatus(m_host, text::kCopyNoFiles);
    return;
  }
  const PreparedFolder output = PrepareOutputFolder(Fs(), m_host.GetText(IDC_COPY_OUTPUT), m_style);
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
  StartCommand(IDC_COPY, [this, files = m_results, style = m_style, copyPrefix,
                          outputPath = output.path](CommandRunner::Job& job) {
    ReportSink reports([&job](std::size_t i) { job.Progress(i); });
    const CopyCounts counts = job.RunJournalled(
        BatchKind::Copy,
        [&](const CommandEnv& env) { return CopyFiles(env, *files, copyPrefix, outputPath, style); }, reports);
    const bool stopped = job.StopRequested();
    job.Post([this, counts, stopped] {
      EndProgressRun(m_host);
      SetOutcomeStatus(m_host, stopped, text::kCopySummary, {Count(counts.succeeded), Count(counts.failed)});
    });
    job.Post([this, next = UndoableBatch(job.Unlisted().fs)] { m_undoBatch = next; });
  });
}

void CKestrinDlg::OnOpenCopyPath() {
  const std::string folder = OutputFolderFromText(m_host.GetText(IDC_COPY_OUTPUT), m_style);
  if (folder.empty()) return;
  // Only a folder that is there opens: a copy makes the output folder, opening it never does.
  if (!IsDirectory(Fs(), folder)) {
    m_host.ShowMessage(FormatText(m_host.Translate(text::kNotAFolder), {folder}),
                       m_host.Translate(text::kBadCopyPathCaption));
    return;
  }
  OpenWithDesktop(folder);
}

void CKestrinDlg::OnOpenRefFolder() {
  const std::optional<std::string> folderText = BrowseFolder(m_host, kRefFolderSetting);
  if (!folderText) return;
  m_refPath = *folderText + m_style.Separator();
  m_host.SetText(IDC_REF_PATH, m_refPath);
  StartWalk(IDC_OPEN_REF, m_refPath, ReadWalkFlags(), [this](FileList files, bool stopped) {
    m_refFiles = std::move(files);
    m_refCounts.clear();
    FillRefList();
    if (stopped) SetStatus(m_host, text::kWalkStopped, {Count(m_refFiles.size())});
  });
}

void CKestrinDlg::OnRefSelChange() {
  const int i = m_host.ListCurSel(IDC_REF_LIST);
  if (i < 0 || static_cast<std::size_t>(i) >= m_refFiles.size()) return;
  const bool withDir = m_host.IsChecked(IDC_NAME_WITH_DIR);
  const bool withExt = m_host.IsChecked(IDC_NAME_WITH_EXT);
  m_host.SetText(IDC_SEARCH_TEXT, ReferenceName(m_refFiles[static_cast<std::size_t>(i)], withDir, withExt, m_style));
  ShowPreview(std::string(m_refFiles[static_cast<std::size_t>(i)]));
}

void CKestrinDlg::OnRefDblClk() {
  OnRefSelChange();
  OnSearch();
}

void CKestrinDlg::OnRefReport() {
  ClearFailures();
  if (m_refFiles.empty()) {
    SetStatus(m_host, text::kRefReportNoRefs);
    return;
  }
  if (m_files->empty()) {
    SetStatus(m_host, text::kRefReportNoInput);
    return;
  }
  // Each reference file's name as a selection in the reference list builds the search string.
  const bool withDir = m_host.IsChecked(IDC_NAME_WITH_DIR);
  const bool withExt = m_host.IsChecked(IDC_NAME_WITH_EXT);
  const bool ignoreCase = m_host.IsChecked(IDC_IGNORE_CASE);
  std::vector<std::string> names = ReferenceNames(m_refFiles, withDir, withExt, m_style);

  BeginProgressRun(m_host, m_files->size());
  StartCommand(IDC_REF_REPORT, [this, files = m_files, names = std::move(names), ignoreCase](CommandRunner::Job& job) {
    ReportSink reports([&job](std::size_t i) { job.Progress(i); });
    std::vector<std::size_t> counts = job.Run(
        [&](const CommandEnv& env) { return CountReferences(env, *files, names, ignoreCase); }, reports);
    const bool stopped = job.StopRequested();
    job.Post([this, counts = std::move(counts), stopped]() mutable {
      EndProgressRun(m_host);
      // Counts of a part of the input would call used resources unused: a stopped report changes no list.
      if (stopped) {
        SetStoppedStatus(m_host, text::kRefReportStopped);
        return;
      }
      m_refCounts = std::move(counts);
      FillRefList();
      // The unused reference files become the results, so that they open and copy like found files.
      FileList unused;
      m_host.ListReset(IDC_RESULT_LIST);
      ClearMatches();
      m_resultsListed = true;
      m_resultPattern.reset();
      for (std::size_t i = 0; i < m_refFiles.size(); ++i) {
        if (m_refCounts[i] != 0) continue;
        unused.push_back(m_refFiles[i], m_refFiles.kind(i));
        m_host.ListAdd(IDC_RESULT_LIST, m_refFiles[i]);
      }
      m_results = Share(std::move(unused));
      m_resultsListed = true;
      SetStatus(m_host, text::kRefReportSummary, {Count(m_refFiles.size()), Count(m_results->size())});
    });
  });
}

void CKestrinDlg::FillRefList() {
  m_host.ListReset(IDC_REF_LIST);
  ClearPreview();
  m_host.BeginListFill(IDC_REF_LIST, m_refFiles.size());
  for (std::size_t i = 0; i < m_refFiles.size(); ++i) {
    const std::string_view entry = m_refFiles[i];
    // Every entry begins with m_refPath, as the walk builds it from that folder.
    const std::string_view line = entry.substr(std::min(m_refPath.size(), entry.size()));
    if (m_refCounts.size() == m_refFiles.size()) {
      m_host.ListAdd(IDC_REF_LIST, FormatText(text::kRefCountLine, {line, Count(m_refCounts[i])}));
    } else {
      m_host.ListAdd(IDC_REF_LIST, line);
    }
  }
  m_host.EndListFill(IDC_REF_LIST);
}

void CKestrinDlg::SetDefaultCopyPaths(const std::string& folderText) {
  const DefaultCopyPaths defaults = ComputeDefaultCopyPaths(folderText, !m_files->empty(), m_style, HomeFolder());
  m_host.SetText(IDC_PATH_PREFIX, defaults.prefix);
  m_host.SetText(IDC_COPY_OUTPUT, defaults.output);
}

}  // namespace kestrin
