// The Kestrin window with a big tree: how long the result list takes to fill with every file of the tree,
// and how often the progress bar repaints meanwhile.
//
//   kestrin-qt-bench [FILES]      (default 200000; run under a display or QT_QPA_PLATFORM=offscreen)
//
// Makes FILES small text files in a temporary folder (1,000 per sub-folder), every tenth holding the
// pattern, drops the folder on the window, and runs a search without any filter, which lists every file.
// Prints the times of the list work alone (200,000 lines through the host into the list and the list's
// first paint) and of the whole search. Then a content search of every file, which lists the tenth that
// hold the pattern (20,000 results of 200,000 files), with a timer probing the event loop every
// millisecond (the longest wait between two of its ticks), and the time from an Escape to the end of the
// same search stopped midway.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ui/kestrin_dlg.h"
#include "ui/qt/kestrin_window.h"
#include "ui/qt/list_box.h"
#include "ui/qt/qt_host.h"
#include "ui/resource_ids.h"

namespace {

class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

double Ms(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

// Runs the event loop until the dialog's command has ended.
void WaitIdle(const kestrin::CKestrinDlg& dialog) {
  while (dialog.Running()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

// The longest gap between two ticks of a 1 ms timer while the dialog's command runs.
double LongestEventLoopWait(const kestrin::CKestrinDlg& dialog) {
  QElapsedTimer since;
  double longest = 0;
  QTimer probe;
  probe.setInterval(1);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    longest = std::max(longest, Ms(since));
    since.restart();
  });
  since.start();
  probe.start();
  WaitIdle(dialog);
  longest = std::max(longest, Ms(since));
  return longest;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int files = argc > 1 ? std::atoi(argv[1]) : 200000;
  QTemporaryDir tree;
  QElapsedTimer timer;
  timer.start();
  for (int i = 0; i < files; ++i) {
    const QString folder = tree.path() + QStringLiteral("/d%1").arg(i / 1000, 4, 10, QLatin1Char('0'));
    if (i % 1000 == 0) QDir().mkpath(folder);
    QFile file(folder + QStringLiteral("/file%1.txt").arg(i));
    if (!file.open(QIODevice::WriteOnly)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
      return 1;
    }
    file.write("local function update(frame)\n  return frame.width * 2\nend\n");
    if (i % 10 == 0) file.write("-- needle\n");
  }
  std::printf("tree of %d files made in %.0f ms\n", files, Ms(timer));

  kestrin::qt::KestrinWindow window;
  kestrin::qt::QtDialogHost host(window);
  kestrin::CKestrinDlg dialog(host);
  window.Start(dialog);
  QApplication::processEvents();

  // The list work alone: every line through the host, then the first paint of the filled list.
  timer.restart();
  host.ListReset(IDC_RESULT_LIST);
  host.BeginListFill(IDC_RESULT_LIST, static_cast<std::size_t>(files));
  for (int i = 0; i < files; ++i) {
    host.ListAdd(IDC_RESULT_LIST, "/some/input/folder/d0000/file" + std::to_string(i) + ".txt");
  }
  host.EndListFill(IDC_RESULT_LIST);
  window.List(IDC_RESULT_LIST)->repaint();
  std::printf("list fill of %d lines and its paint: %.1f ms\n", files, Ms(timer));

  timer.restart();
  dialog.OnDropFiles({QFile::encodeName(tree.path()).toStdString()});
  WaitIdle(dialog);
  std::printf("walk (folder drop): %.1f ms, %zu files\n", Ms(timer), dialog.Files().size());

  PaintCounter counter;
  window.Progress()->installEventFilter(&counter);
  timer.restart();
  dialog.OnSearch();
  WaitIdle(dialog);
  const double search = Ms(timer);
  window.List(IDC_RESULT_LIST)->repaint();
  std::printf("search without filter: %.1f ms (with the list's paint %.1f ms), %zu results, %d progress paints\n",
              search, Ms(timer), dialog.Results().size(), counter.paints);
  std::printf("status: %s\n", host.GetText(IDC_STATUS).c_str());

  // A content search of every file, the event loop probed meanwhile.
  window.Edit(IDC_SEARCH_TEXT)->setText(QStringLiteral("needle"));
  timer.restart();
  dialog.OnSearch();
  const double longest = LongestEventLoopWait(dialog);
  std::printf("content search: %.1f ms, %zu results; the event loop waited at most %.1f ms (goal 50)\n", Ms(timer),
              dialog.Results().size(), longest);

  // The same search stopped by Escape a quarter of a second in.
  dialog.OnSearch();
  QElapsedTimer until;
  until.start();
  while (dialog.Running() && until.elapsed() < 250) QApplication::processEvents(QEventLoop::AllEvents, 5);
  timer.restart();
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(window.Button(IDC_SEARCH), &escape);  // the stop button, which has the focus
  WaitIdle(dialog);
  std::printf("stop: the search ended %.1f ms after Escape (goal 100), %zu results; status: %s\n", Ms(timer),
              dialog.Results().size(), host.GetText(IDC_STATUS).c_str());
  window.Attach(nullptr);
  return 0;
}
