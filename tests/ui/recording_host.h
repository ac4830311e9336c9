#pragma once
// A headless window that also writes down every call the dialog makes, in order, as one line each:
//   "GetText IDC_NAME_FILTER", "SetText IDC_STATUS: text", "Range 0..2", "Pos 1", "Show IDC_PROGRESS 1",
//   "ListAdd IDC_RESULT_LIST: text", "Fill IDC_RESULT_LIST 3", "EndFill IDC_RESULT_LIST", ...
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/headless/headless_host.h"
#include "ui/layout.h"

namespace kestrin::testing {

class RecordingHost : public headless::HeadlessHost {
 public:
  std::vector<std::string> log;
  // Held while a line is added: the file-system calls of a command are noted from its worker thread.
  std::mutex logMutex;

  // The calls whose line starts with one of the prefixes, in order.
  std::vector<std::string> Only(std::initializer_list<std::string_view> prefixes) const {
    std::vector<std::string> kept;
    for (const std::string& line : log) {
      for (std::string_view prefix : prefixes) {
        if (line.starts_with(prefix)) {
          kept.push_back(line);
          break;
        }
      }
    }
    return kept;
  }

  std::string GetText(int id) override {
    Note("GetText", id);
    return HeadlessHost::GetText(id);
  }
  void SetText(int id, std::string_view text) override {
    Note("SetText", id, ": ", text);
    HeadlessHost::SetText(id, text);
  }
  bool IsChecked(int id) override {
    Note("IsChecked", id);
    return HeadlessHost::IsChecked(id);
  }
  void SetChecked(int id, bool checked) override {
    Note("SetChecked", id, checked ? " 1" : " 0");
    HeadlessHost::SetChecked(id, checked);
  }
  void ListReset(int id) override {
    Note("ListReset", id);
    HeadlessHost::ListReset(id);
  }
  void ListAdd(int id, std::string_view text) override {
    Note("ListAdd", id, ": ", text);
    HeadlessHost::ListAdd(id, text);
  }
  int ListCurSel(int id) override {
    Note("ListCurSel", id);
    return HeadlessHost::ListCurSel(id);
  }
  void SetProgressRange(int lower, int upper) override {
    Log("Range " + std::to_string(lower) + ".." + std::to_string(upper));
    HeadlessHost::SetProgressRange(lower, upper);
  }
  void SetProgressPos(int position) override {
    Log("Pos " + std::to_string(position));
    HeadlessHost::SetProgressPos(position);
  }
  void Show(int id, bool visible) override {
    Note("Show", id, visible ? " 1" : " 0");
    HeadlessHost::Show(id, visible);
  }
  void BeginListFill(int id, std::size_t lines) override {
    Note("Fill", id, " ", std::to_string(lines));
    HeadlessHost::BeginListFill(id, lines);
  }
  void EndListFill(int id) override {
    Note("EndFill", id);
    HeadlessHost::EndListFill(id);
  }
  std::optional<std::string> BrowseForFolder(const char* title, const std::string& start) override {
    Log(std::string("Browse ") + title + (start.empty() ? "" : " at " + start));
    return HeadlessHost::BrowseForFolder(title, start);
  }
  void ShowMessage(std::string_view text, std::string_view caption) override {
    Log("Message " + std::string(caption) + ": " + std::string(text));
    HeadlessHost::ShowMessage(text, caption);
  }
  bool ShellOpen(const std::string& path) override {
    Log("Open " + path);
    HeadlessHost::ShellOpen(path);
    return !openFails;
  }
  void CopyToClipboard(const std::string& text) override {
    Log("Clipboard " + text);
    HeadlessHost::CopyToClipboard(text);
  }
  void WriteSetting(const char* name, const std::string& value) override {
    Log(std::string("Remember ") + name + ": " + value);
    HeadlessHost::WriteSetting(name, value);
  }

  bool openFails = false;  // the desktop has no program for anything
  bool CtrlHeld() override {
    Log("Ctrl");
    return HeadlessHost::CtrlHeld();
  }

 private:
  void Log(std::string line) {
    const std::lock_guard<std::mutex> lock(logMutex);
    log.push_back(std::move(line));
  }
  void Note(const char* operation, int id, std::string_view rest = {}, std::string_view more = {}) {
    const char* name = ControlName(id);
    std::string line(operation);
    line += ' ';
    line += name ? std::string(name) : std::to_string(id);
    line += rest;
    line += more;
    Log(std::move(line));
  }
};

}  // namespace kestrin::testing
