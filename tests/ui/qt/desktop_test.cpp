// What the Qt window does with the desktop around it: the folder named at start, the folder choosers'
// remembered places, the lists' context menus, and opens the desktop cannot carry out.

#include <gtest/gtest.h>

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMessageBox>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "qt_test_support.h"
#include "ui/qt/kestrin_app.h"
#include "ui/qt/list_box.h"
#include "ui/texts.h"

namespace kestrin::qt {
namespace {

using testing::Harness;
using testing::TestApp;
using testing::Tree;

// Calls step every 20 ms from inside whatever loop runs, until it returns true (at most 5 s).
void Poll(std::function<bool()> step) {
  auto attempts = std::make_shared<int>(0);
  auto tick = std::make_shared<std::function<void()>>();
  *tick = [step, attempts, tick] {
    if (step() || ++*attempts > 250) return;
    QTimer::singleShot(20, *tick);
  };
  QTimer::singleShot(20, *tick);
}

// Waits, handling events, until done() or 5 s have passed.
bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 250 && !done(); ++i) QTest::qWait(20);
  return done();
}

// The program started with a folder, and with a file: the window opens on the folder, or says the file
// is no folder and stays empty. What the window shows: input box | status box | message.
TEST(FolderArgumentTest, TheApplicationOpensTheFolderOrReportsAnythingElse) {
  TestApp();
  Tree tree;
  tree.File("proj/a.txt", "a");
  const auto run = [](const std::string& argument) {
    std::string message, seen;
    Poll([&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        message = box->text().toStdString();
        box->accept();
      }
      auto* window = dynamic_cast<KestrinWindow*>(modal);
      if (!window || (window->Edit(IDC_STATUS)->text().isEmpty() && message.empty())) return false;
      seen = (window->Edit(IDC_INPUT_PATH)->text() + "|" + window->Edit(IDC_STATUS)->text()).toStdString();
      window->close();
      return true;
    });
    CKestrinApp app;
    app.folderArgument = argument;
    EXPECT_FALSE(app.InitInstance());
    return seen + "|" + message;
  };
  EXPECT_EQ(run(tree.Path("proj") + "//"), tree.Path("proj/") + "|目录下共有1个文件.|");
  EXPECT_EQ(run(tree.Path("proj/a.txt")), "||不是目录:" + tree.Path("proj/a.txt") + ".");
}

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h = std::make_unique<Harness>();
    tree.File("in/a b.txt", "x");
    tree.File("in/sub/c.txt", "x");
    tree.File("ref/PublicRes/r.png");
    h->host.folders.push_back(tree.Path("in"));
    h->dialog.OnOpenInputFolder();
    h->dialog.OnSearch();
    h->host.folders.push_back(tree.Path("ref"));
    h->dialog.OnOpenRefFolder();
  }

  // Asks for the context menu of a list: at a line with the mouse, or from the keyboard (row < 0).
  // Chooses the item captioned choice (nothing: closes the menu) and returns the items it showed.
  std::vector<std::string> ContextMenu(int listId, int row, const char* choice) {
    ListBox* list = h->window.List(listId);
    // Shared with the poll, which ends with this call: a request that opens no menu must not leave it
    // waiting for the next test's menu.
    struct Asked {
      std::vector<std::string> shown;
      bool over = false;
    };
    auto asked = std::make_shared<Asked>();
    Poll([asked, choice] {
      if (asked->over) return true;
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (menu == nullptr) return false;
      for (QAction* action : menu->actions()) {
        asked->shown.push_back(action->text().toStdString());
        if (choice && action->text() == QString::fromUtf8(choice)) menu->setActiveAction(action);
      }
      QTest::keyClick(menu, choice ? Qt::Key_Return : Qt::Key_Escape);
      return true;
    });
    const QPoint at = row >= 0 ? list->visualRect(list->model()->index(row, 0)).center() : QPoint();
    QContextMenuEvent event(row >= 0 ? QContextMenuEvent::Mouse : QContextMenuEvent::Keyboard, at,
                            list->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(list->viewport(), &event);
    asked->over = true;
    return asked->shown;
  }

  Tree tree;
  std::unique_ptr<Harness> h;
};

TEST_F(DesktopTest, ContextMenusOpenTheFileItsFolderOrCopyItsPath) {
  const std::vector<std::string> items = {"打开", "打开所在目录", "复制完整路径"};
  std::vector<std::string> resultItems = items;
  resultItems.insert(resultItems.end(), {"", "复制选中的路径", "复制全部路径", "导出列表…"});
  const std::string first = std::string(h->dialog.Results()[0]);
  EXPECT_EQ(ContextMenu(IDC_RESULT_LIST, 0, "打开"), resultItems);
  EXPECT_EQ(h->host.opened, std::vector<std::string>{first});

  EXPECT_EQ(ContextMenu(IDC_REF_LIST, 0, "打开所在目录"), items);
  EXPECT_EQ(h->host.opened.back(), tree.Path("ref/PublicRes/"));

  ContextMenu(IDC_RESULT_LIST, 0, "复制完整路径");
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), first);

  // From the keyboard the menu is for the selected line; without one there is none. A right click
  // selects nothing, so the reference list never puts a name into the search box.
  h->window.List(IDC_RESULT_LIST)->Select(1);
  ContextMenu(IDC_RESULT_LIST, -1, "打开");
  EXPECT_EQ(h->host.opened.back(), std::string(h->dialog.Results()[1]));
  EXPECT_TRUE(ContextMenu(IDC_REF_LIST, -1, "打开").empty());
  ListBox* refs = h->window.List(IDC_REF_LIST);
  QTest::mouseClick(refs->viewport(), Qt::RightButton, Qt::NoModifier, refs->visualRect(refs->model()->index(0, 0)).center());
  EXPECT_EQ(refs->CurSel(), -1);
  EXPECT_EQ(h->host.GetText(IDC_SEARCH_TEXT), "");
}

// Several results at once: a Ctrl+click adds a line, the menu copies the selected lines or all of them,
// and exports the list into the file the save dialog names, one path a line.
TEST_F(DesktopTest, TheResultListsMenuCopiesAndExportsThePaths) {
  const FileList& results = h->dialog.Results();
  ASSERT_EQ(results.size(), 2u);
  const std::string all = std::string(results[0]) + "\n" + std::string(results[1]) + "\n";
  ListBox* list = h->window.List(IDC_RESULT_LIST);
  list->Select(1);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, list->visualRect(list->model()->index(0, 0)).center());
  EXPECT_EQ(list->Selection(), (std::vector<int>{0, 1}));
  EXPECT_EQ(list->CurSel(), 0);  // the line clicked last
  ASSERT_FALSE(ContextMenu(IDC_RESULT_LIST, 0, "复制选中的路径").empty());
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), all);
  EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->urls().size(), 2);
  list->Select(1);
  ASSERT_FALSE(ContextMenu(IDC_RESULT_LIST, 1, "复制选中的路径").empty());
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), std::string(results[1]) + "\n");
  ASSERT_FALSE(ContextMenu(IDC_RESULT_LIST, 1, "复制全部路径").empty());
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), all);
  h->host.saveFiles.push_back(tree.Path("list.txt"));
  ASSERT_FALSE(ContextMenu(IDC_RESULT_LIST, 0, "导出列表…").empty());
  QFile exported(QString::fromStdString(tree.Path("list.txt")));
  ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
  EXPECT_EQ(exported.readAll().toStdString(), all);
}

// The desktop's answer, as xdg-open gives it by its status; without xdg-open, Qt's own services (none on
// the offscreen platform) answer at once.
TEST_F(DesktopTest, WhatTheDesktopCannotOpenIsReportedInAMessageBox) {
  QTemporaryDir bin;
  const QByteArray oldPath = qgetenv("PATH");
  const auto opener = [&](int status) {
    QFile script(bin.filePath(QStringLiteral("xdg-open")));
    script.open(QIODevice::WriteOnly | QIODevice::Truncate);
    script.write("#!/bin/sh\necho \"$1\" > \"$(dirname \"$0\")/argument\"\nexit " + QByteArray::number(status) + "\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", QFile::encodeName(bin.path()) + ":" + oldPath);
  };
  h->host.realOpen = true;
  const std::string file = tree.Path("in/a b.txt");

  opener(0);
  ASSERT_TRUE(h->dialog.OnEntryCommand(IDC_RESULT_LIST, 0, EntryCommand::Open));
  EXPECT_TRUE(WaitFor([&] { return QFile::exists(bin.filePath(QStringLiteral("argument"))); }));
  QTest::qWait(200);
  EXPECT_TRUE(h->host.messages.empty());
  QFile argument(bin.filePath(QStringLiteral("argument")));
  ASSERT_TRUE(argument.open(QIODevice::ReadOnly));
  EXPECT_EQ(QUrl::fromEncoded(argument.readAll().trimmed()).toLocalFile().toStdString(), file);

  opener(4);
  h->dialog.OnEntryCommand(IDC_RESULT_LIST, 0, EntryCommand::Open);
  EXPECT_TRUE(WaitFor([&] { return !h->host.messages.empty(); }));
  EXPECT_EQ(h->host.messages, std::vector<std::string>{"提示: 无法打开:" + file + "."});

  qputenv("PATH", QFile::encodeName(bin.path()) + "/none");
  h->host.messages.clear();
  h->dialog.OnEntryCommand(IDC_RESULT_LIST, 0, EntryCommand::OpenFolder);
  EXPECT_EQ(h->host.messages, std::vector<std::string>{"提示: 无法打开:" + tree.Path("in/") + "."});
  qputenv("PATH", oldPath);
}

// A remembered folder keeps its bytes from one run (host) to the next, and the chooser opens there.
TEST_F(DesktopTest, TheFolderChooserOpensAtTheRememberedFolder) {
  const std::string odd = "/data/\xB6\xAF x";
  QtDialogHost(h->window).WriteSetting("TestFolder", odd);
  EXPECT_EQ(QtDialogHost(h->window).ReadSetting("TestFolder"), odd);
  QSettings(QSettings::NativeFormat, QSettings::UserScope, "kestrin", "kestrin").remove("TestFolder");
  QString shown;
  Poll([&] {
    auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (chooser) shown = chooser->directory().absolutePath();
    if (chooser) QTest::keyClick(chooser, Qt::Key_Escape);
    return chooser != nullptr;
  });
  EXPECT_EQ(QtDialogHost(h->window).BrowseForFolder(text::kBrowseTitle, tree.Path("ref")), std::nullopt);
  EXPECT_EQ(shown.toStdString(), tree.Path("ref"));
}

}  // namespace
}  // namespace kestrin::qt
