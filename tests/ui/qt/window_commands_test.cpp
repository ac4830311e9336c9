// The real Qt window while a command runs on its worker: the event loop keeps running, only the stop
// button takes input, Escape stops the command, and closing the window waits for it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <memory>
#include <thread>

#include "../gate_fs.h"
#include "qt_test_support.h"
#include "ui/qt/list_box.h"
#include "ui/layout.h"

namespace kestrin::qt::testing {
namespace {

using kestrin::testing::GateFileSystem;

// Runs the event loop until done() holds or five seconds pass; whether it held.
bool ProcessUntil(const std::function<bool()>& done) {
  const QDeadlineTimer deadline(5000);
  while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

class WindowCommandsTest : public ::testing::Test {
 protected:
  // A search of in/ held at the read of c.txt, left running.
  void StartHeldSearch() {
    for (const char* name : {"a", "b", "c", "d", "e"}) tree.File(std::string("in/") + name + ".txt", "key");
    h = std::make_unique<Harness>();
    h->host.folders.push_back(tree.Path("in"));
    QTest::mouseClick(h->window.Button(IDC_OPEN_INPUT), Qt::LeftButton);
    h->window.Edit(IDC_SEARCH_TEXT)->setText(QStringLiteral("key"));
    gate.Arm();
    h->host.leaveRunning = true;
    QTest::mouseClick(h->window.Button(IDC_SEARCH), Qt::LeftButton);
    gate.WaitReached();
  }

  // in/a.txt, to be renamed onto in/a.new, which is taken: the window opened on in/.
  void OpenRenameOntoATakenName() {
    tree.File("in/a.txt", "x");
    tree.File("in/a.new", "taken");
    h = std::make_unique<Harness>();
    h->host.folders.push_back(tree.Path("in"));
    QTest::mouseClick(h->window.Button(IDC_OPEN_INPUT), Qt::LeftButton);
    h->window.Edit(IDC_RENAME_OLD)->setText(QStringLiteral(".txt"));
    h->window.Edit(IDC_RENAME_NEW)->setText(QStringLiteral(".new"));
  }

  Tree tree;
  GateFileSystem gate{NativeFileSystem(), GateFileSystem::At::Read, "c.txt"};
  ScopedFileSystem use{gate};
  std::unique_ptr<Harness> h;
};

TEST_F(WindowCommandsTest, TheWindowAnswersWhileTheSearchRunsAndEscapeStopsIt) {
  StartHeldSearch();
  ASSERT_TRUE(h->dialog.Running());
  // Only the stop takes input; the search button reads 停止.
  for (const ControlDef& def : KestrinControls()) {
    if (def.id < 0 || def.id == IDC_PROGRESS) continue;
    EXPECT_EQ(h->window.Control(def.id)->isEnabled(), def.id == IDC_SEARCH) << def.name;
  }
  EXPECT_EQ(h->window.Button(IDC_SEARCH)->text(), QStringLiteral("停止"));
  // The event loop runs while the worker is held: timers fire, and the window repaints.
  bool fired = false;
  QTimer::singleShot(0, [&] { fired = true; });
  EXPECT_TRUE(ProcessUntil([&] { return fired; }));
  h->window.repaint();

  QTest::keyClick(h->window.Button(IDC_SEARCH), Qt::Key_Escape);
  gate.Open();
  ASSERT_TRUE(ProcessUntil([&] { return !h->dialog.Running(); }));
  EXPECT_TRUE(h->window.isVisible()) << "Escape closed the window";
  EXPECT_TRUE(h->window.Edit(IDC_STATUS)->text().startsWith(QStringLiteral("已停止, ")))
      << h->window.Edit(IDC_STATUS)->text().toStdString();
  EXPECT_EQ(h->window.Button(IDC_SEARCH)->text(), QStringLiteral("查找"));
  EXPECT_TRUE(h->window.Button(IDC_OPEN_INPUT)->isEnabled());
  // What was found is kept in list order; with a worker per core every file may have been begun before
  // the stop, and begun files are finished.
  for (std::size_t i = 0; i < h->dialog.Results().size(); ++i) EXPECT_EQ(h->dialog.Results()[i], h->dialog.Files()[i]);
}

// The results show while the search still runs; a selected result then shows its matching lines, the
// text searched for marked.
TEST_F(WindowCommandsTest, ResultsShowWhileTheSearchRunsAndTheMatchesPaneFollowsTheSelection) {
  for (int i = 0; i < 8; ++i) tree.File("in/f" + std::to_string(i) + ".txt", "one\nthe key " + std::to_string(i) + "\n");
  h = std::make_unique<Harness>();
  h->host.folders.push_back(tree.Path("in"));
  QTest::mouseClick(h->window.Button(IDC_OPEN_INPUT), Qt::LeftButton);
  ASSERT_EQ(h->dialog.Files().size(), 8u);
  // Held at the last file the walk listed: the others are found before it.
  const std::string last(h->dialog.Files()[7]);
  GateFileSystem held(NativeFileSystem(), GateFileSystem::At::Read, last);
  ScopedFileSystem useHeld(held);
  h->window.Edit(IDC_SEARCH_TEXT)->setText(QStringLiteral("key"));
  held.Arm();
  h->host.leaveRunning = true;
  QTest::mouseClick(h->window.Button(IDC_SEARCH), Qt::LeftButton);
  held.WaitReached();
  ListBox* results = h->window.List(IDC_RESULT_LIST);
  EXPECT_TRUE(ProcessUntil([&] { return results->model()->rowCount() >= 1; })) << "no result shown while searching";
  EXPECT_TRUE(h->dialog.Running());
  held.Open();
  ASSERT_TRUE(ProcessUntil([&] { return !h->dialog.Running(); }));
  ASSERT_EQ(results->Count(), 8);

  results->Select(3);
  ListBox* matches = h->window.List(IDC_MATCH_LIST);
  ASSERT_TRUE(ProcessUntil([&] { return matches->Count() == 1; }));
  const std::string file(h->dialog.Results()[3]);
  const QString number = QString::fromStdString(file.substr(file.size() - 5, 1));
  EXPECT_EQ(matches->Line(0), QStringLiteral("2: the key ") + number);
  EXPECT_EQ(matches->model()->index(0, 0).data(LineModel::kMarkRole).toPoint(), QPoint(7, 3));
  EXPECT_EQ(h->window.Edit(IDC_MATCH_COUNT)->text(), QStringLiteral("1行匹配"));
  // A double-click on the line opens the file.
  const QPoint at = matches->visualRect(matches->model()->index(0, 0)).center();
  QTest::mouseClick(matches->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseDClick(matches->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  ASSERT_FALSE(h->host.opened.empty());
  EXPECT_EQ(h->host.opened.back(), file);
}

TEST_F(WindowCommandsTest, TheStopButtonStopsAndClosingWaitsForTheCommand) {
  StartHeldSearch();
  QTest::mouseClick(h->window.Button(IDC_SEARCH), Qt::LeftButton);  // the stop
  gate.Open();
  ASSERT_TRUE(ProcessUntil([&] { return !h->dialog.Running(); }));
  EXPECT_TRUE(h->window.Edit(IDC_STATUS)->text().startsWith(QStringLiteral("已停止, ")));

  // A second search, held again, then the window closed through its frame.
  GateFileSystem second(NativeFileSystem(), GateFileSystem::At::Read, "d.txt");
  ScopedFileSystem useSecond(second);
  second.Arm();
  QTest::mouseClick(h->window.Button(IDC_SEARCH), Qt::LeftButton);
  second.WaitReached();
  std::thread opener([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    second.Open();
  });
  h->window.close();
  opener.join();
  EXPECT_FALSE(h->dialog.Running());
  EXPECT_FALSE(h->window.isVisible());
}

TEST_F(WindowCommandsTest, AClickOnTheStatusBoxListsTheLastCommandsFailures) {
  OpenRenameOntoATakenName();
  QTest::mouseClick(h->window.Edit(IDC_STATUS), Qt::LeftButton);
  EXPECT_TRUE(h->host.failureLists.empty());  // nothing failed yet: nothing to show
  QTest::mouseClick(h->window.Button(IDC_RENAME), Qt::LeftButton);
  QTest::mouseClick(h->window.Edit(IDC_STATUS), Qt::LeftButton);
  ASSERT_EQ(h->host.failureLists.size(), 1u);
  EXPECT_EQ(h->host.failureLists[0], std::vector<std::string>{tree.Path("in/a.txt") + ": 目标已存在"});  // the window's language
}

TEST_F(WindowCommandsTest, TheFailuresButtonShowsWhileTheLastCommandLeftFailures) {
  OpenRenameOntoATakenName();
  QAbstractButton* failures = h->window.Button(IDC_FAILURES);
  ASSERT_NE(failures, nullptr);
  EXPECT_FALSE(failures->isVisible());
  QTest::mouseClick(h->window.Button(IDC_RENAME), Qt::LeftButton);
  ASSERT_TRUE(failures->isVisible());
  EXPECT_EQ(failures->text(), QStringLiteral("1个失败"));
  QTest::mouseClick(failures, Qt::LeftButton);
  ASSERT_EQ(h->host.failureLists.size(), 1u);
  EXPECT_EQ(h->host.failureLists[0].size(), 1u);
  // A command that leaves none takes it away.
  QTest::mouseClick(h->window.Button(IDC_SEARCH), Qt::LeftButton);
  EXPECT_FALSE(failures->isVisible());
}

// The preview is a dialog modal to the window, with the dialog's lines and count; closing it renames
// nothing, its run button renames.
TEST_F(WindowCommandsTest, ThePreviewListsTheRenameAndItsButtonsAnswerIt) {
  tree.File("in/b.txt", "y");
  OpenRenameOntoATakenName();
  const auto preview = [this] { return h->window.findChild<QDialog*>(QStringLiteral("preview")); };
  for (const bool run : {false, true}) {
    SCOPED_TRACE(run ? "run" : "close");
    QTest::mouseClick(h->window.Button(IDC_RENAME_PREVIEW), Qt::LeftButton);
    ASSERT_TRUE(ProcessUntil([&] { return preview() != nullptr && preview()->isVisible(); }));
    EXPECT_EQ(preview()->windowModality(), Qt::WindowModal);
    EXPECT_EQ(preview()->findChild<QLabel*>(QStringLiteral("previewCount"))->text(),
              QStringLiteral("将修改1个文件, 1个文件不能修改."));
    const QListWidget* list = preview()->findChild<QListWidget*>(QStringLiteral("previewList"));
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text().toStdString(), tree.Path("in/b.txt") + " \u2192 " + tree.Path("in/b.new"));
    EXPECT_EQ(list->item(1)->text().toStdString(), tree.Path("in/a.txt") + ": 目标已存在");
    QTest::mouseClick(preview()->findChild<QPushButton*>(run ? QStringLiteral("previewRun") : QStringLiteral("previewClose")),
                      Qt::LeftButton);
    ASSERT_TRUE(ProcessUntil([&] { return preview() == nullptr && !h->dialog.Running(); }));
    EXPECT_EQ(QFileInfo::exists(QString::fromStdString(tree.Path("in/b.new"))), run);
    EXPECT_NE(QFileInfo::exists(QString::fromStdString(tree.Path("in/b.txt"))), run);
  }
  EXPECT_EQ(h->window.Edit(IDC_STATUS)->text(), QStringLiteral("搜索3个文件,修改了1个符合条件的文件."));
}

}  // namespace
}  // namespace kestrin::qt::testing
