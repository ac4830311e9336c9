// The Kestrin window with a big tree: how long the result list takes to fill with every file of the tree,
// and how often the progress bar repaints meanwhile.
//
//   kestrin-qt-bench [FILES]      (default 200000; run under a display or QT_QPA_PLATFORM=offscreen)
//
// Makes FILES empty files in a temporary folder (1,000 per sub-folder), drops the folder on the window,
// and runs a search without any filter, which lists every file. Prints the times of the list work alone
// (200,000 lines through the host into the list and the list's first paint) and of the whole search.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
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
    QFile(folder + QStringLiteral("/file%1.txt").arg(i)).open(QIODevice::WriteOnly);
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
  std::printf("walk (folder drop): %.1f ms, %zu files\n", Ms(timer), dialog.Files().size());

  PaintCounter counter;
  window.Progress()->installEventFilter(&counter);
  timer.restart();
  dialog.OnSearch();
  const double search = Ms(timer);
  window.List(IDC_RESULT_LIST)->repaint();
  std::printf("search without filter: %.1f ms (with the list's paint %.1f ms), %zu results, %d progress paints\n",
              search, Ms(timer), dialog.Results().size(), counter.paints);
  std::printf("status: %s\n", host.GetText(IDC_STATUS).c_str());
  window.Attach(nullptr);
  return 0;
}
