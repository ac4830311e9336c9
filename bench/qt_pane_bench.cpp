// The Kestrin window while its matches pane fills for a file of many gigabytes: the longest wait of the
// event loop (a 10 ms timer's ticks) from the selection of the result until the pane shows its lines.
//
//   kestrin-qt-pane-bench [GIB]      (default 2; run under a display or QT_QPA_PLATFORM=offscreen)
//
// Makes two sparse files of GIB GiB in a temporary folder: "many.txt", whose first 64 MiB are short lines
// that all hold the pattern (the pane keeps 1,000 and stops counting the rest), and "late.txt", all holes
// but for the pattern on its last line (the pane reads the whole file to find it). Each is searched, then
// selected in the result list.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
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

double Ms(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

bool MakeSparse(const QString& path, qint64 size, bool linesFirst) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (linesFirst) {
    const QByteArray block = QByteArray("a line that holds the needle\n").repeated(1 << 15);
    while (file.size() < (qint64{64} << 20)) file.write(block);
  }
  if (!file.resize(size - 16)) return false;
  file.seek(size - 16);
  file.write("\nlast needle\n\n\n\n");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const qint64 gib = argc > 1 ? std::atoll(argv[1]) : 2;
  QTemporaryDir tree;
  for (const char* name : {"many.txt", "late.txt"}) {
    if (!MakeSparse(tree.filePath(QString::fromLatin1(name)), gib << 30, name[0] == 'm')) {
      std::fprintf(stderr, "cannot make %s\n", name);
      return 1;
    }
  }

  kestrin::qt::KestrinWindow window;
  kestrin::qt::QtDialogHost host(window);
  kestrin::CKestrinDlg dialog(host);
  window.Start(dialog);
  QApplication::processEvents();
  dialog.OnDropFiles({QFile::encodeName(tree.path()).toStdString()});
  while (dialog.Running()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  window.Edit(IDC_SEARCH_TEXT)->setText(QStringLiteral("needle"));

  for (const char* name : {"many.txt", "late.txt"}) {
    window.Edit(IDC_NAME_FILTER)->setText(QString::fromLatin1(name));
    dialog.OnSearch();
    while (dialog.Running()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    if (dialog.Results().size() != 1) {
      std::fprintf(stderr, "%s: %zu results\n", name, dialog.Results().size());
      return 1;
    }
    // The selection as a click makes it, then the event loop probed until the pane is filled.
    QElapsedTimer since, timer;
    double longest = 0;
    QTimer probe;
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&] {
      longest = std::max(longest, Ms(since) - 10);
      since.restart();
    });
    timer.start();
    since.start();
    probe.start();
    window.List(IDC_RESULT_LIST)->Select(0);
    while (dialog.PanesBusy()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const double filled = Ms(timer);
    probe.stop();
    std::printf("%s (%lld GiB): the pane filled in %.1f ms (%d lines, \"%s\"); the event loop waited at most "
                "%.1f ms beyond its 10 ms timer (goal 50)\n",
                name, static_cast<long long>(gib), filled, window.List(IDC_MATCH_LIST)->Count(),
                host.GetText(IDC_MATCH_COUNT).c_str(), longest);
  }
  window.Attach(nullptr);
  return 0;
}
