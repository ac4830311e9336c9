#include "ui/headless/script_driver.h"

#include <algorithm>
#include <cstddef>
#include <istream>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ui/headless/headless_host.h"
#include "ui/kestrin_dlg.h"
#include "ui/layout.h"
#include "ui/resource_ids.h"

namespace kestrin::headless {
namespace {

// The first word of text (up to a space) and what follows the space after it.
struct Split {
  std::string_view word;
  std::optional<std::string_view> rest;  // absent when no space follows the word
};

Split SplitWord(std::string_view text) {
  const std::size_t space = text.find(' ');
  if (space == std::string_view::npos) return {text, std::nullopt};
  return {text.substr(0, space), text.substr(space + 1)};
}

// The identifier of a control named "IDC_...", if the window has one.
std::optional<int> ControlByName(std::string_view name) {
  for (const ControlDef& def : KestrinControls()) {
    if (def.name != nullptr && name == def.name) return def.id;
  }
  return std::nullopt;
}

// An optionally negative decimal number; values beyond the range of long long saturate (they lie outside
// every list anyway).
std::optional<long long> ParseIndex(std::string_view text) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    if (value < std::numeric_limits<long long>::max() / 10) value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

std::vector<std::string> SplitTabs(std::string_view text) {
  std::vector<std::string> items;
  for (;;) {
    const std::size_t tab = text.find('\t');
    items.emplace_back(text.substr(0, tab));
    if (tab == std::string_view::npos) return items;
    text.remove_prefix(tab + 1);
  }
}

bool IsBlank(std::string_view line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

class Driver {
 public:
  Driver(std::ostream& out, UiLanguage language) : m_out(out), m_host(language), m_dialog(m_host) {
    m_host.onOpen = [this](const std::string& path) { m_out << "open: " << EscapeText(path) << '\n'; };
    m_host.onMessage = [this](const Message& m) {
      m_out << "message: " << EscapeText(m.caption) << ": " << EscapeText(m.text) << '\n';
    };
    m_dialog.OnInitDialog();
  }

  // Carries out one line; false when it is not a valid command, in which case nothing was done.
  bool Run(std::string_view line) {
    if (line.empty() || line.front() == '#' || IsBlank(line)) return true;
    const Split command = SplitWord(line);
    const std::string_view word = command.word;
    const std::string_view argument = command.rest.value_or(std::string_view());

    if (word == "browse-input" || word == "browse-ref") {
      m_host.QueueBrowseAnswer(std::string(argument));
      m_dialog.OnCommand(word == "browse-input" ? IDC_OPEN_INPUT : IDC_OPEN_REF, Notify::Clicked);
      return true;
    }
    if ((word == "browse-input-cancel" || word == "browse-ref-cancel") && !command.rest) {
      m_host.QueueBrowseAnswer(std::nullopt);
      m_dialog.OnCommand(word == "browse-input-cancel" ? IDC_OPEN_INPUT : IDC_OPEN_REF, Notify::Clicked);
      return true;
    }
    if (word == "drop" || word == "ctrl-drop") {
      m_host.SetCtrlHeld(word == "ctrl-drop");
      m_dialog.OnDropFiles(SplitTabs(argument));
      m_host.SetCtrlHeld(false);
      return true;
    }
    if (word == "set") return Set(argument);
    if (word == "click") return Click(argument);
    if (word == "select" || word == "dblclk") return SelectLine(argument, word == "dblclk");
    if (word == "key" && (argument == "enter" || argument == "escape")) {
      m_dialog.PreTranslateKeyDown(argument == "enter" ? kVkReturn : kVkEscape);
      return true;
    }
    if (line == "dump") {
      Dump();
      return true;
    }
    if (word == "start" && command.rest) {
      m_host.LeaveCommandsRunning(true);
      const bool valid = Run(*command.rest);
      m_host.LeaveCommandsRunning(false);
      return valid;
    }
    if (line == "cancel") {
      m_dialog.Stop();
      return true;
    }
    if (line == "wait") {
      m_host.RunPostedUntil([this] { return !m_dialog.Running() && !m_dialog.PanesBusy(); });
      return true;
    }
    if (word == "export") return Export(argument);
    return false;
  }

 private:
  bool Set(std::string_view argument) {
    const Split split = SplitWord(argument);
    const std::optional<int> id = ControlByName(split.word);
    if (!id) return false;
    const ControlDef& def = m_host.Control(*id);
    if (def.kind != ControlKind::Edit || (def.styles & kReadOnly) != 0) return false;
    m_host.Type(*id, split.rest.value_or(std::string_view()));
    return true;
  }

  bool Click(std::string_view argument) {
    // The preview's two buttons, while it is open.
    for (const int button : {IDC_PREVIEW_RUN, IDC_PREVIEW_CLOSE}) {
      if (argument != (button == IDC_PREVIEW_RUN ? "IDC_PREVIEW_RUN" : "IDC_PREVIEW_CLOSE")) continue;
      if (m_host.Preview() == nullptr) return false;
      m_host.ClosePreview();
      m_dialog.OnCommand(button, Notify::Clicked);
      return true;
    }
    const std::optional<int> id = ControlByName(argument);
    if (!id) return false;
    const ControlKind kind = m_host.Control(*id).kind;
    if (kind == ControlKind::CheckBox) {
      m_host.Toggle(*id);
    } else if (kind != ControlKind::PushButton) {
      return false;
    }
    m_dialog.OnCommand(*id, Notify::Clicked);
    return true;
  }

  // "export IDC_RESULT_LIST FILE": the list's paths into FILE, as the menu's export writes them.
  bool Export(std::string_view argument) {
    const Split split = SplitWord(argument);
    const std::optional<int> id = ControlByName(split.word);
    if (!id || *id != IDC_RESULT_LIST || !split.rest || split.rest->empty()) return false;
    m_dialog.ExportList(*id, std::string(*split.rest));
    return true;
  }

  // "select LIST I" selects line I alone; "select LIST I J ..." (a list of extended selection) then adds
  // J and the others as Ctrl+clicks do, the last one given becoming the current line.
  bool SelectLine(std::string_view argument, bool doubleClick) {
    const Split split = SplitWord(argument);
    const std::optional<int> id = ControlByName(split.word);
    if (!id || m_host.Control(*id).kind != ControlKind::ListBox || !split.rest) return false;
    std::vector<long long> indices;
    for (std::string_view rest = *split.rest;;) {
      const Split item = SplitWord(rest);
      const std::optional<long long> index = ParseIndex(item.word);
      if (!index) return false;
      indices.push_back(*index);
      if (!item.rest) break;
      rest = *item.rest;
    }
    if (indices.size() > 1 && (m_host.Control(*id).styles & kExtendedSel) == 0) return false;
    bool changed = m_host.Select(*id, indices.front());
    for (std::size_t k = 1; k < indices.size(); ++k) changed = m_host.SelectMore(*id, indices[k]) || changed;
    if (changed) m_dialog.OnCommand(*id, Notify::SelChange);
    if (doubleClick) m_dialog.OnCommand(*id, Notify::DblClk);
    return true;
  }

  // Controls of one kind (every control: none given) in identifier order.
  static std::vector<const ControlDef*> ControlsOfKind(std::optional<ControlKind> kind = std::nullopt) {
    std::vector<const ControlDef*> found;
    for (const ControlDef& def : KestrinControls()) {
      if (def.id >= 0 && (!kind || def.kind == *kind)) found.push_back(&def);
    }
    std::sort(found.begin(), found.end(), [](const ControlDef* a, const ControlDef* b) { return a->id < b->id; });
    return found;
  }

  void Dump() {
    // The texts of the boxes and of the picture's line, in identifier order.
    std::vector<const ControlDef*> texts = ControlsOfKind(ControlKind::Edit);
    for (const ControlDef* def : ControlsOfKind(ControlKind::Picture)) texts.push_back(def);
    std::stable_sort(texts.begin(), texts.end(), [](const ControlDef* a, const ControlDef* b) { return a->id < b->id; });
    for (const ControlDef* def : texts) {
      m_out << "text " << def->name << ": " << EscapeText(m_host.Text(def->id)) << '\n';
    }
    for (const ControlDef* def : ControlsOfKind(ControlKind::CheckBox)) {
      m_out << "check " << def->name << ": " << (m_host.Checked(def->id) ? 1 : 0) << '\n';
    }
    m_out << "shown IDC_STATUS: " << (m_host.Visible(IDC_STATUS) ? 1 : 0) << '\n';
    m_out << "shown IDC_PROGRESS: " << (m_host.Visible(IDC_PROGRESS) ? 1 : 0) << '\n';
    m_out << "shown IDC_FAILURES: " << (m_host.Visible(IDC_FAILURES) ? 1 : 0) << '\n';
    m_out << "caption IDC_FAILURES: " << EscapeText(m_host.Text(IDC_FAILURES)) << '\n';
    m_out << "progress: " << m_host.ProgressLower() << ".." << m_host.ProgressUpper() << ' ' << m_host.ProgressPos()
         << '\n';
    m_out << "running: " << (m_dialog.Running() ? 1 : 0) << '\n';
    for (const ControlDef* def : ControlsOfKind()) {
      m_out << "enabled " << def->name << ": " << (m_host.Enabled(def->id) ? 1 : 0) << '\n';
    }
    for (int id : {IDC_RESULT_LIST, IDC_REF_LIST, IDC_MATCH_LIST}) {
      // A line at a time into one string, written at once: a list may hold hundreds of thousands.
      const FileList& lines = m_host.LineList(id);
      const std::string head = std::string("list ") + ControlName(id) + '[';
      std::string line;
      for (std::size_t i = 0; i < lines.size(); ++i) {
        line.assign(head);
        line += std::to_string(i);
        line += "]: ";
        AppendEscaped(line, lines[i]);
        line += '\n';
        m_out.write(line.data(), static_cast<std::streamsize>(line.size()));
      }
    }
    // The failures as the window lists them, the reasons in its language.
    const std::vector<FailureLine> failures = m_dialog.FailureLines();
    for (std::size_t i = 0; i < failures.size(); ++i) {
      m_out << "failure[" << i << "]: " << EscapeText(failures[i].path) << ": " << EscapeText(failures[i].reason)
            << '\n';
    }
    for (const ControlDef* def : ControlsOfKind()) {
      const std::string& tip = m_host.ToolTip(def->id);
      if (!tip.empty()) m_out << "tooltip " << def->name << ": " << EscapeText(tip) << '\n';
    }
    // The open preview: each rename as SOURCE<TAB>TARGET, each file that would keep its name with why.
    if (const RenamePreview* preview = m_host.Preview()) {
      m_out << "preview count: " << EscapeText(preview->count) << '\n';
      for (std::size_t i = 0; i < preview->renames.size(); ++i) {
        m_out << "preview[" << i << "]: " << EscapeText(preview->renames[i].source) << '\t'
              << EscapeText(preview->renames[i].target) << '\n';
      }
      for (std::size_t i = 0; i < preview->kept.size(); ++i) {
        m_out << "preview kept[" << i << "]: " << EscapeText(preview->kept[i].path) << ": "
              << EscapeText(preview->kept[i].reason) << '\n';
      }
    }
    m_out << "end\n";
  }

  std::ostream& m_out;
  HeadlessHost m_host;
  CKestrinDlg m_dialog;
};

}  // namespace

void AppendEscaped(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
}

std::string EscapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendEscaped(out, text);
  return out;
}

int RunScript(std::istream& in, std::ostream& out, std::ostream& err, UiLanguage language) {
  Driver driver(out, language);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!driver.Run(line)) {
      out.flush();
      err << "error: " << EscapeText(line) << '\n';
      err.flush();
      return 2;
    }
  }
  out.flush();
  return 0;
}

}  // namespace kestrin::headless
