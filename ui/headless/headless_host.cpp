#include "ui/headless/headless_host.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "primitives/path_text.h"
#include "ui/resource_ids.h"
#include "ui/translation.h"

namespace kestrin::headless {
namespace {

// Waits until done() holds, looking again now and then as well as when woken: should a platform's
// condition variable lose a wake-up (a thread library emulated on another system), the window thread
// is late by a moment rather than stuck for good.
template <class Done>
void WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock, const Done& done) {
  while (!done()) wake.wait_for(lock, std::chrono::milliseconds(50));
}

[[noreturn]] void Fault(const char* operation, int id, const char* why) {
  throw std::logic_error(std::string(operation) + " on control " + std::to_string(id) + ": " + why);
}

}  // namespace

PostedCalls PostedCallsFromEnvironment() {
  const char* value = std::getenv("KESTRIN_HEADLESS_WINDOW_THREAD");
  return value != nullptr && std::string_view(value) == "1" ? PostedCalls::WindowThread : PostedCalls::HandedOver;
}

HeadlessHost::HeadlessHost(UiLanguage language, PostedCalls postedCalls)
    : m_language(language), m_postedCalls(postedCalls) {
  for (const ControlDef& def : KestrinControls()) {
    if (def.id < 0) continue;
    ControlState& state = m_controls[def.id];
    state.def = &def;
    if (def.kind != ControlKind::Edit) state.text = TextIn(m_language, def.caption);
    state.visible = (def.styles & kHiddenAtStart) == 0;
  }
}

HeadlessHost::ControlState& HeadlessHost::State(int id, const char* operation) {
  auto it = m_controls.find(id);
  if (it == m_controls.end()) Fault(operation, id, "no such control");
  return it->second;
}

const HeadlessHost::ControlState& HeadlessHost::State(int id) const {
  auto it = m_controls.find(id);
  if (it == m_controls.end()) Fault("read", id, "no such control");
  return it->second;
}

HeadlessHost::ControlState& HeadlessHost::List(int id, const char* operation) {
  ControlState& state = State(id, operation);
  if (state.def->kind != ControlKind::ListBox) Fault(operation, id, "not a list box");
  return state;
}

std::string HeadlessHost::GetText(int id) { return State(id, "GetText").text; }

void HeadlessHost::SetText(int id, std::string_view text) { State(id, "SetText").text.assign(text); }

bool HeadlessHost::IsChecked(int id) {
  ControlState& state = State(id, "IsChecked");
  if (state.def->kind != ControlKind::CheckBox) Fault("IsChecked", id, "not a check box");
  return state.checked;
}

void HeadlessHost::SetChecked(int id, bool checked) {
  ControlState& state = State(id, "SetChecked");
  if (state.def->kind != ControlKind::CheckBox) Fault("SetChecked", id, "not a check box");
  state.checked = checked;
}

void HeadlessHost::ListReset(int id) {
  ControlState& state = List(id, "ListReset");
  state.lines.clear();
  state.selection = -1;
  state.alsoSelected.clear();
}

void HeadlessHost::ListAdd(int id, std::string_view text) { List(id, "ListAdd").lines.push_back(text); }

int HeadlessHost::ListCurSel(int id) { return List(id, "ListCurSel").selection; }

void HeadlessHost::SetProgressRange(int lower, int upper) {
  m_progressLower = lower;
  m_progressUpper = upper;
}

void HeadlessHost::SetProgressPos(int position) { m_progressPos = position; }

void HeadlessHost::Show(int id, bool visible) { State(id, "Show").visible = visible; }

void HeadlessHost::Enable(int id, bool enabled) { State(id, "Enable").enabled = enabled; }

void HeadlessHost::SetCaption(int id, std::string_view caption) {
  ControlState& state = State(id, "SetCaption");
  if (state.def->kind != ControlKind::PushButton) Fault("SetCaption", id, "not a push button");
  state.text.assign(caption);
}

void HeadlessHost::SetToolTip(int id, std::string_view text) { State(id, "SetToolTip").toolTip.assign(text); }

const std::string& HeadlessHost::ToolTip(int id) const { return State(id).toolTip; }

void HeadlessHost::ShowPreview(const RenamePreview& preview) {
  m_preview = preview;
  ++m_previewsShown;
}

void HeadlessHost::BeginListFill(int id, std::size_t) {
  List(id, "BeginListFill");
  ++m_openListFills;
}

void HeadlessHost::EndListFill(int id) {
  List(id, "EndListFill");
  if (m_openListFills == 0) Fault("EndListFill", id, "no fill begun");
  --m_openListFills;
}

std::string HeadlessHost::Translate(const char* text) { return TextIn(m_language, text); }

std::optional<std::string> HeadlessHost::BrowseForFolder(const char* title, const std::string& startFolder) {
  m_browseTitles.emplace_back(title);
  m_browseStarts.push_back(startFolder);
  if (m_browseAnswers.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(m_browseAnswers.front());
  m_browseAnswers.pop_front();
  return answer;
}

void HeadlessHost::ShowMessage(std::string_view text, std::string_view caption) {
  m_messages.push_back(Message{std::string(text), std::string(caption)});
  if (onMessage) onMessage(m_messages.back());
}

bool HeadlessHost::ShellOpen(const std::string& path) {
  m_opened.push_back(path);
  if (onOpen) onOpen(path);
  return true;
}

std::optional<std::string> HeadlessHost::ReadSetting(const char* name) {
  const auto it = m_settings.find(name);
  if (it == m_settings.end()) return std::nullopt;
  return it->second;
}

bool HeadlessHost::CtrlHeld() { return m_ctrlHeld; }

void HeadlessHost::ShowFailures(const std::vector<FailureLine>& failures) {
  std::vector<std::string> lines;
  for (const FailureLine& failure : failures) lines.push_back(failure.path + ": " + failure.reason);
  m_failureLists.push_back(std::move(lines));
}

void HeadlessHost::TakeTurn(std::unique_lock<std::mutex>& lock) {
  WaitUntil(m_turnFree, lock, [&] { return !m_windowBusy; });
  m_windowBusy = true;
}

void HeadlessHost::GiveTurn() {
  m_windowBusy = false;
  m_turnFree.notify_all();
}

void HeadlessHost::PostToWindow(std::function<void()> call) {
  std::unique_lock<std::mutex> lock(m_postMutex);
  const auto handedOver = [&] { return m_handOver && !m_waitOver; };
  WaitUntil(m_turnFree, lock, [&] { return !handedOver() || (m_posted.empty() && !m_windowBusy); });
  if (!handedOver()) {
    m_posted.push_back(std::move(call));
    m_windowWake.notify_all();
    return;
  }
  // The window thread waits for posted calls: this one runs here, and the wait's check after it.
  m_windowBusy = true;
  lock.unlock();
  call();
  const bool over = (*m_waitDone)();
  lock.lock();
  GiveTurn();
  if (over) {
    m_waitOver = true;
    m_windowWake.notify_all();
  }
}

void HeadlessHost::CommandStarting() {
  if (m_leaveRunning || m_postedCalls == PostedCalls::WindowThread) return;
  // From now on the worker's calls are handed over; they wait for the turn, which this thread keeps until
  // it waits in AwaitCommand.
  std::unique_lock<std::mutex> lock(m_postMutex);
  TakeTurn(lock);
  m_startingHeld = true;
  m_handOver = true;
  m_waitOver = false;
}

void HeadlessHost::RunPostedUntil(const std::function<bool()>& done) {
  std::unique_lock<std::mutex> lock(m_postMutex);
  if (!m_startingHeld) TakeTurn(lock);
  m_startingHeld = false;
  m_handOver = m_postedCalls == PostedCalls::HandedOver;
  m_waitOver = false;
  m_waitDone = &done;
  for (;;) {  // the turn is this thread's here
    while (!m_posted.empty()) {
      std::function<void()> call = std::move(m_posted.front());
      m_posted.pop_front();
      lock.unlock();
      call();
      lock.lock();
    }
    if (m_waitOver) break;
    lock.unlock();
    const bool finished = done();
    lock.lock();
    if (finished) break;
    GiveTurn();
    WaitUntil(m_windowWake, lock, [&] { return !m_posted.empty() || m_waitOver; });
    TakeTurn(lock);
  }
  m_handOver = false;
  m_waitOver = false;
  m_waitDone = nullptr;
  GiveTurn();
}

void HeadlessHost::AwaitCommand(const std::function<bool()>& running) {
  if (m_leaveRunning) return;
  RunPostedUntil([&] { return !running(); });
}

void HeadlessHost::Type(int id, std::string_view text) {
  ControlState& state = State(id, "Type");
  if (state.def->kind != ControlKind::Edit || (state.def->styles & kReadOnly) != 0) {
    Fault("Type", id, "not an edit box the user can type into");
  }
  if (id == IDC_RENAME_OLD || id == IDC_RENAME_NEW) {
    text = text.substr(0, WholeCharPrefixLength(text, kRenameBoxLimit, NativePathStyle(), CharRule::TypedText));
  }
  state.text.assign(text);
}

void HeadlessHost::Toggle(int id) {
  ControlState& state = State(id, "Toggle");
  if (state.def->kind != ControlKind::CheckBox) Fault("Toggle", id, "not a check box");
  state.checked = !state.checked;
}

bool HeadlessHost::Select(int id, long long index) {
  ControlState& state = List(id, "Select");
  const int wanted =
      (index >= 0 && static_cast<unsigned long long>(index) < state.lines.size()) ? static_cast<int>(index) : -1;
  const bool changed = wanted != state.selection || !state.alsoSelected.empty();
  state.selection = wanted;
  state.alsoSelected.clear();
  return changed;
}

bool HeadlessHost::SelectMore(int id, long long index) {
  ControlState& state = List(id, "SelectMore");
  if ((state.def->styles & kExtendedSel) == 0) Fault("SelectMore", id, "not a list of extended selection");
  if (index < 0 || static_cast<unsigned long long>(index) >= state.lines.size()) return false;
  const int line = static_cast<int>(index);
  if (line == state.selection) return false;
  if (state.selection >= 0) state.alsoSelected.insert(state.selection);
  state.alsoSelected.erase(line);
  state.selection = line;
  return true;
}

std::vector<int> HeadlessHost::ListSelection(int id) {
  const ControlState& state = List(id, "ListSelection");
  std::set<int> all = state.alsoSelected;
  if (state.selection >= 0) all.insert(state.selection);
  return std::vector<int>(all.begin(), all.end());
}

void HeadlessHost::ListAddMarked(int id, std::string_view text, std::size_t begin, std::size_t length) {
  ListAdd(id, text);
  if (begin > text.size() || length > text.size() - begin) Fault("ListAddMarked", id, "mark outside the line");
}

std::optional<std::string> HeadlessHost::SaveFileName(const char* title, const std::string& suggestedName) {
  static_cast<void>(title);
  static_cast<void>(suggestedName);
  if (m_saveAnswers.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(m_saveAnswers.front());
  m_saveAnswers.pop_front();
  return answer;
}

void HeadlessHost::QueueBrowseAnswer(std::optional<std::string> answer) {
  m_browseAnswers.push_back(std::move(answer));
}

const ControlDef& HeadlessHost::Control(int id) const { return *State(id).def; }

const std::string& HeadlessHost::Text(int id) const { return State(id).text; }

bool HeadlessHost::Checked(int id) const { return State(id).checked; }

bool HeadlessHost::Visible(int id) const { return State(id).visible; }

bool HeadlessHost::Enabled(int id) const { return State(id).enabled; }

std::vector<std::string> HeadlessHost::Lines(int id) const {
  const FileList& lines = State(id).lines;
  std::vector<std::string> copy;
  copy.reserve(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) copy.emplace_back(lines[i]);
  return copy;
}

const FileList& HeadlessHost::LineList(int id) const { return State(id).lines; }

int HeadlessHost::Selection(int id) const { return State(id).selection; }

}  // namespace kestrin::headless
