#pragma once
// What the Qt window tests share: one QApplication on the offscreen platform, a host whose desktop
// services are scripted and recorded (the widgets stay real), a window with its dialog, and a folder tree.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/kestrin_dlg.h"
#include "ui/qt/kestrin_window.h"
#include "ui/qt/qt_host.h"
#include "ui/resource_ids.h"

namespace kestrin::qt::testing {

// The application, created on first use on the offscreen platform, so the tests need no display.
inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "kestrin_qt_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);  // settings go to a test folder, never the user's
    return new QApplication(argc, argv);
  }();
  return *app;
}

// The real host with scripted answers from the folder chooser and a record of the other services.
class ScriptedHost : public QtDialogHost {
 public:
  using QtDialogHost::QtDialogHost;

  std::deque<std::optional<std::string>> folders;  // the chooser's next answers; nothing: cancelled
  std::deque<std::optional<std::string>> saveFiles;  // the save dialog's next answers; nothing: cancelled
  std::vector<std::string> browseTitles;
  std::vector<std::string> browseStarts;
  bool realOpen = false;  // hand opens to the desktop instead of only recording them
  std::vector<std::string> messages;  // "caption: text"
  std::vector<std::string> opened;
  struct ProgressStep {
    int position;
    bool barVisible;
    bool statusVisible;
    bool busy;  // the bar shows an endless busy animation instead of a position
  };
  std::vector<ProgressStep> progress;

  std::optional<std::string> BrowseForFolder(const char* title, const std::string& start) override {
    browseTitles.emplace_back(title);
    browseStarts.push_back(start);
    if (folders.empty()) return std::nullopt;
    std::optional<std::string> answer = folders.front();
    folders.pop_front();
    return answer;
  }
  std::optional<std::string> SaveFileName(const char* /*title*/, const std::string& /*suggested*/) override {
    if (saveFiles.empty()) return std::nullopt;
    std::optional<std::string> answer = saveFiles.front();
    saveFiles.pop_front();
    return answer;
  }
  void ShowMessage(std::string_view text, std::string_view caption) override {
    messages.push_back(std::string(caption) + ": " + std::string(text));
  }
  // Each action finishes its command before the test reads the window, unless the test lets it run.
  bool leaveRunning = false;
  std::vector<std::vector<std::string>> failureLists;
  void AwaitCommand(const std::function<bool()>& running) override {
    while (!leaveRunning && running()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  }
  void ShowFailures(const std::vector<FailureLine>& failures) override {
    std::vector<std::string> lines;
    for (const FailureLine& failure : failures) lines.push_back(failure.path + ": " + failure.reason);
    failureLists.push_back(std::move(lines));
  }
  bool ShellOpen(const std::string& path) override {
    opened.push_back(path);
    return !realOpen || QtDialogHost::ShellOpen(path);
  }
  void SetProgressPos(int position) override {
    QtDialogHost::SetProgressPos(position);
    progress.push_back({position, m_window.Progress()->isVisible(), m_window.Control(IDC_STATUS)->isVisible(),
                        m_window.Progress()->minimum() == m_window.Progress()->maximum()});
  }
};

// A window with its host and dialog, started as the program starts it.
struct Harness {
  Harness() : host(window), dialog(host) { window.Start(dialog); }
  ~Harness() { window.Attach(nullptr); }
  bool appReady = (TestApp(), true);  // the application before any widget
  KestrinWindow window;
  ScriptedHost host;
  CKestrinDlg dialog;
};

// A folder tree in a temporary folder; paths are given relative to it.
class Tree {
 public:
  std::string Root() const { return QFile::encodeName(dir_.path()).toStdString(); }
  std::string Path(const std::string& relative) const { return Root() + "/" + relative; }
  void File(const std::string& relative, const std::string& content = "") const {
    const QString path = QFile::decodeName(QByteArray::fromStdString(Path(relative)));
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(content.data(), static_cast<qint64>(content.size()));
  }

 private:
  QTemporaryDir dir_;
};

}  // namespace kestrin::qt::testing
