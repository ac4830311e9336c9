// The Kestrin window on the offscreen platform, driven through its real widgets: layout, buttons, keys,
// drops, progress, the result and reference lists, the rename boxes, the desktop's dialogs and the end.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include "qt_test_support.h"
#include "ui/layout.h"
#include "ui/qt/kestrin_app.h"
#include "ui/qt/list_box.h"
#include "ui/texts.h"

namespace kestrin::qt {
namespace {

using testing::Harness;
using testing::TestApp;
using testing::Tree;

std::string Text(QLineEdit* edit) { return edit->text().toStdString(); }

// A double click as the mouse makes it: press, release, the double click, release.
void DoubleClick(QWidget* widget, QPoint at) {
  QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, at);
}

// Types text key by key, each key carrying its character, as a keyboard or an input method delivers it.
void Type(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(widget, &release);
  }
}

const int kButtons[] = {IDC_OPEN_INPUT, IDC_OPEN_REF,       IDC_SEARCH,        IDC_RENAME,
                         IDC_COPY,       IDC_OPEN_COPY_PATH, IDC_RENAME_PREVIEW};

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TestApp(); }
  void SetUp() override {
    h = std::make_unique<Harness>();
    h->window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&h->window));
  }
  void TearDown() override { h.reset(); }

  QLineEdit* Edit(int id) { return h->window.Edit(id); }
  std::string Status() { return Text(Edit(IDC_STATUS)); }
  void Click(int id) { QTest::mouseClick(h->window.Button(id), Qt::LeftButton); }

  // A drop as the desktop delivers it: an enter event, then the drop, both to the window's platform
  // window at a point inside control `at`, so they reach whatever widget lies there. A drop without an
  // accepted enter is discarded, so the enter must be accepted for the drop to count.
  bool Drop(int at, const std::vector<std::string>& paths, bool ctrl) {
    QMimeData mime;
    QList<QUrl> urls;
    // The URLs carry the names' own bytes, as a file manager sends a name that is not UTF-8.
    for (const std::string& path : paths) {
      urls.append(QUrl::fromEncoded("file://" + QByteArray::fromStdString(path).toPercentEncoding("/")));
    }
    mime.setUrls(urls);
    // File managers offer the paths as plain text as well, which an edit box would gladly insert.
    QStringList texts;
    for (const QUrl& url : urls) texts.append(url.toLocalFile());
    mime.setText(texts.join(QLatin1Char('\n')));
    const QWidget* target = at < 0 ? &h->window : h->window.Control(at);
    const QPointF point = target->mapTo(&h->window, target->rect().center());
    const Qt::KeyboardModifiers modifiers = ctrl ? Qt::ControlModifier : Qt::NoModifier;
    QDragEnterEvent enter(point.toPoint(), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(h->window.windowHandle(), &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(point, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(h->window.windowHandle(), &drop);
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction) << "a drop must never move the user's files";
    return drop.isAccepted();
  }

  std::unique_ptr<Harness> h;
};

// ---- The window as the layout table builds it.

TEST_F(WindowTest, IsAResizableWindowThatOpensAtTheTemplatesSize) {
  const QWidget& w = h->window;
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Kestrin"));
  EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(w.windowFlags() & Qt::WindowCloseButtonHint);
  const BaseUnits u = h->window.Units();
  EXPECT_EQ(w.size(), QSize(MulDiv(814, u.x, 4), MulDiv(501, u.y, 8)));
  EXPECT_EQ(w.minimumSize(), QSize(MulDiv(694, u.x, 4), MulDiv(351, u.y, 8)));
  EXPECT_LT(w.minimumSize().width(), w.maximumSize().width());
  EXPECT_LT(w.minimumSize().height(), w.maximumSize().height());
  EXPECT_FALSE(w.windowIcon().isNull());
  for (int size : {16, 32, 48, 128, 256}) {
    EXPECT_TRUE(w.windowIcon().availableSizes().contains(QSize(size, size))) << size;
  }
}

TEST_F(WindowTest, ResizedTheListsAndBoxesTakeTheRoomAndButtonsMoveAlong) {
  KestrinWindow& w = h->window;
  const QSize normal = w.size();
  const auto geometry = [&](int id) { return w.Control(id)->geometry(); };
  const QRect results = geometry(IDC_RESULT_LIST), refs = geometry(IDC_REF_LIST), search = geometry(IDC_SEARCH),
              status = geometry(IDC_STATUS), open = geometry(IDC_OPEN_INPUT), matches = geometry(IDC_MATCH_LIST),
              preview = geometry(IDC_REF_PREVIEW);
  w.resize(normal + QSize(200, 100));
  QCoreApplication::processEvents();
  // The lists take 7 tenths of the extra height, the panes under them the rest.
  EXPECT_EQ(geometry(IDC_RESULT_LIST), results.adjusted(0, 0, 120, 70));
  EXPECT_EQ(geometry(IDC_REF_LIST), refs.adjusted(120, 0, 200, 70));
  EXPECT_EQ(geometry(IDC_MATCH_LIST), matches.adjusted(0, 70, 120, 100));
  EXPECT_EQ(geometry(IDC_REF_PREVIEW), preview.adjusted(120, 70, 200, 100));
  EXPECT_EQ(geometry(IDC_SEARCH), search.translated(120, 0));
  EXPECT_EQ(geometry(IDC_STATUS), status.adjusted(0, 100, 200, 100));
  EXPECT_EQ(geometry(IDC_OPEN_INPUT), open.translated(200, 0));
  // At the smallest size every control is inside the window and none lies over another.
  w.resize(w.minimumSize());
  QCoreApplication::processEvents();
  std::vector<QWidget*> controls;
  for (const ControlDef& def : KestrinControls()) {
    if (def.id < 0 || def.id == IDC_PROGRESS) continue;
    QWidget* control = w.Control(def.id);
    EXPECT_TRUE(w.rect().contains(control->geometry())) << def.name;
    for (QWidget* other : controls) {
      EXPECT_FALSE(control->geometry().intersects(other->geometry()))
          << def.name << " " << other->objectName().toStdString();
    }
    controls.push_back(control);
  }
  w.resize(normal);
  QCoreApplication::processEvents();
  EXPECT_EQ(geometry(IDC_RESULT_LIST), results);
}

TEST(ListBoxFill, ShowsItsLinesAFewTimesASecondWhileAFillGoesOn) {
  TestApp();
  ListBox list;
  list.resize(300, 200);
  list.BeginFill(1000);
  for (int i = 0; i < 500; ++i) list.Add(QString::number(i));
  EXPECT_EQ(list.model()->rowCount(), 0) << "each line shown as it came";
  QTest::qWait(ListBox::kLiveFlushMs * 2 + 100);
  EXPECT_EQ(list.model()->rowCount(), 500) << "the lines of a fill in progress never showed";
  EXPECT_EQ(list.verticalScrollBar()->value(), 0) << "the list was scrolled by force";
  for (int i = 500; i < 1000; ++i) list.Add(QString::number(i));
  list.EndFill();
  EXPECT_EQ(list.model()->rowCount(), 1000);
  EXPECT_EQ(list.Line(999), QStringLiteral("999"));
}

TEST(WindowSize, TheDefaultWhereItFitsElseTheRoomNeverBelowTheMinimum) {
  const QSize normal(1425, 877), minimum(1215, 614);
  EXPECT_EQ(FittedSize(normal, minimum, QSize(1600, 1000)), normal);
  EXPECT_EQ(FittedSize(normal, minimum, QSize(1366, 728)), QSize(1366, 728));
  EXPECT_EQ(FittedSize(normal, minimum, QSize(1280, 1000)), QSize(1280, 877));
  EXPECT_EQ(FittedSize(normal, minimum, QSize(800, 600)), minimum);
}

TEST_F(WindowTest, ControlsSitWhereTheLayoutTablePutsThem) {
  struct Spot {
    int id;
    int x, y, width, height;  // dialog units
  };
  const Spot spots[] = {
      {IDC_SEARCH, 453, 99, 26, 15},      {IDC_RESULT_LIST, 12, 119, 470, 257}, {IDC_REF_LIST, 492, 144, 315, 255},
      {IDC_MATCH_LIST, 12, 391, 470, 79},   {IDC_REF_PREVIEW, 492, 401, 315, 74},
      {IDC_STATUS, 7, 480, 748, 14},      {IDC_PROGRESS, 7, 489, 800, 12},      {IDC_COPY_OUTPUT, 72, 47, 476, 14},
      {IDC_FORCE_RENAME, 637, 13, 165, 13}, {IDC_RENAME, 637, 87, 63, 15},   {IDC_RENAME_PREVIEW, 703, 87, 40, 15},
  };
  const BaseUnits u = h->window.Units();
  for (const Spot& s : spots) {
    const QRect expected(MulDiv(s.x, u.x, 4), MulDiv(s.y, u.y, 8), MulDiv(s.width, u.x, 4), MulDiv(s.height, u.y, 8));
    EXPECT_EQ(h->window.Control(s.id)->geometry(), expected) << ControlName(s.id);
  }
  // Everything lies inside the window.
  for (QWidget* child : h->window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    EXPECT_TRUE(h->window.rect().contains(child->geometry())) << child->objectName().toStdString();
  }
}

TEST_F(WindowTest, StartsWithTheControlsOfAFreshDialog) {
  EXPECT_TRUE(h->window.Progress()->isHidden());
  EXPECT_TRUE(Edit(IDC_STATUS)->isVisible());
  for (const ControlDef& def : KestrinControls()) {
    if (def.kind == ControlKind::CheckBox) {
      EXPECT_EQ(h->window.Button(def.id)->isChecked(), def.id == IDC_RECURSIVE) << def.name;
    }
    if (def.kind == ControlKind::Edit) {
      EXPECT_TRUE(Edit(def.id)->text().isEmpty()) << def.name;
      EXPECT_EQ(Edit(def.id)->isReadOnly(), (def.styles & kReadOnly) != 0) << def.name;
    }
    if (def.kind == ControlKind::ListBox) {
      ListBox* list = h->window.List(def.id);
      ASSERT_NE(list, nullptr);
      EXPECT_EQ(list->Count(), 0);
      EXPECT_EQ(list->selectionMode(), def.id == IDC_RESULT_LIST ? QAbstractItemView::ExtendedSelection
                                                                 : QAbstractItemView::SingleSelection);
      EXPECT_EQ(list->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
      EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    }
  }
  // The focus is on the first control in tab order.
  EXPECT_EQ(QApplication::focusWidget(), h->window.Control(IDC_RESULT_LIST));
  // The two copy path boxes say what they do.
  EXPECT_EQ(Edit(IDC_PATH_PREFIX)->toolTip(), QString::fromUtf8(text::kPathPrefixTip));
  EXPECT_EQ(Edit(IDC_COPY_OUTPUT)->toolTip(), QString::fromUtf8(text::kCopyOutputTip));
}

TEST_F(WindowTest, TabVisitsTheControlsInTheTableOrder) {
  std::vector<QWidget*> expected;
  for (const ControlDef& def : KestrinControls()) {
    if (def.id >= 0 && (def.styles & kTabStop)) expected.push_back(h->window.Control(def.id));
  }
  ASSERT_EQ(h->window.TabOrder(), expected);
  // A hidden control takes no focus: the failures button is hidden until a command leaves failures. Nor
  // does a disabled one: the undo button, until there is a batch to undo.
  std::erase_if(expected, [](QWidget* control) { return control->isHidden() || !control->isEnabled(); });
  expected.front()->setFocus();
  for (std::size_t i = 1; i <= expected.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), expected[i % expected.size()]) << "step " << i;
  }
}

// ---- Buttons and check boxes.

TEST_F(WindowTest, NoButtonIsADefaultButton) {
  for (int id : kButtons) {
    auto* button = qobject_cast<QPushButton*>(h->window.Button(id));
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isDefault()) << ControlName(id);
    EXPECT_FALSE(button->autoDefault()) << ControlName(id);
  }
}

TEST_F(WindowTest, EachButtonReachesItsHandler) {
  Tree tree;
  tree.File("a.txt", "alpha");
  tree.File("sub/b.txt", "beta");

  Click(IDC_SEARCH);
  EXPECT_EQ(Status(), text::kNoFilesToSearch);
  Click(IDC_RENAME);
  EXPECT_EQ(Status(), text::kNoFilesToRename);
  Click(IDC_COPY);
  EXPECT_EQ(Status(), text::kCopyNoFiles);

  h->host.folders.push_back(tree.Root());
  Click(IDC_OPEN_INPUT);
  EXPECT_EQ(h->host.browseTitles, std::vector<std::string>{"Select input folder"});
  EXPECT_EQ(Text(Edit(IDC_INPUT_PATH)), tree.Root() + "/");
  EXPECT_EQ(Status(), "目录下共有2个文件.");

  h->host.folders.push_back(tree.Root());
  Click(IDC_OPEN_REF);
  EXPECT_EQ(h->host.browseTitles.size(), 2u);
  EXPECT_EQ(Text(Edit(IDC_REF_PATH)), tree.Root() + "/");
  EXPECT_EQ(h->window.List(IDC_REF_LIST)->Count(), 2);

  // Only a folder that is there opens; opening makes none.
  Edit(IDC_COPY_OUTPUT)->setText(QString::fromStdString(tree.Path("out")));
  Click(IDC_OPEN_COPY_PATH);
  EXPECT_TRUE(h->host.opened.empty());
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(tree.Path("out"))));
  Edit(IDC_COPY_OUTPUT)->setText(QString::fromStdString(tree.Path("a.txt/cannot")));
  Click(IDC_OPEN_COPY_PATH);
  EXPECT_EQ(h->host.messages, (std::vector<std::string>{"提示: 不是目录:" + tree.Path("out/") + ".",
                                                        "提示: 不是目录:" + tree.Path("a.txt/cannot/") + "."}));
  Edit(IDC_COPY_OUTPUT)->setText(QString::fromStdString(tree.Root()));
  Click(IDC_OPEN_COPY_PATH);
  EXPECT_EQ(h->host.opened, std::vector<std::string>{tree.Root() + "/"});

  // The recursive box toggles itself, then walks again.
  Click(IDC_RECURSIVE);
  EXPECT_FALSE(h->window.Button(IDC_RECURSIVE)->isChecked());
  EXPECT_EQ(Status(), "目录下共有1个文件.");
  EXPECT_EQ(h->window.List(IDC_REF_LIST)->Count(), 1);
}

TEST_F(WindowTest, CancellingTheFolderChooserChangesNothing) {
  h->host.folders.push_back(std::nullopt);
  Click(IDC_OPEN_INPUT);
  h->host.folders.push_back(std::nullopt);
  Click(IDC_OPEN_REF);
  EXPECT_EQ(h->host.browseTitles.size(), 2u);
  EXPECT_TRUE(Edit(IDC_INPUT_PATH)->text().isEmpty());
  EXPECT_TRUE(Edit(IDC_REF_PATH)->text().isEmpty());
  EXPECT_TRUE(Status().empty());
}

// ---- Enter and Escape.

// The way these tests deliver keys does reveal the faults they look for: in a plain dialog, Enter in an
// edit box presses the auto-default button and Escape closes the dialog.
TEST(KeyHarness, DetectsADialogThatPressesAButtonOnEnterOrClosesOnEscape) {
  TestApp();
  QDialog plain;
  auto* edit = new QLineEdit(&plain);
  auto* button = new QPushButton(QStringLiteral("x"), &plain);
  int pressed = 0;
  QObject::connect(button, &QPushButton::clicked, [&] { ++pressed; });
  plain.show();
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(pressed, 1);
  QTest::keyClick(edit, Qt::Key_Escape);
  EXPECT_FALSE(plain.isVisible());
}

TEST_F(WindowTest, EnterInAnyControlRunsTheSearchAndNeverPressesAButtonOrCloses) {
  int clicked = 0;
  for (int id : kButtons) QObject::connect(h->window.Button(id), &QAbstractButton::clicked, [&] { ++clicked; });
  std::vector<int> targets = {IDC_SEARCH_TEXT, IDC_NAME_FILTER, IDC_EXT_FILTER, IDC_RENAME_OLD, IDC_STATUS,
                              IDC_RESULT_LIST, IDC_RECURSIVE};
  targets.insert(targets.end(), std::begin(kButtons), std::end(kButtons));
  for (int id : targets) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
      Edit(IDC_STATUS)->clear();
      QWidget* control = h->window.Control(id);
      control->setFocus();
      QTest::keyClick(control, key);
      EXPECT_EQ(Status(), text::kNoFilesToSearch) << "no search from Enter in " << ControlName(id);
      EXPECT_TRUE(h->window.isVisible()) << ControlName(id);
      EXPECT_EQ(h->window.result(), 0) << ControlName(id);
    }
  }
  EXPECT_EQ(clicked, 0);
  EXPECT_TRUE(h->host.browseTitles.empty());
  EXPECT_TRUE(h->window.Button(IDC_RECURSIVE)->isChecked());
}

TEST_F(WindowTest, EnterSearchesWithTheTypedString) {
  Tree tree;
  tree.File("one.txt", "needle here");
  tree.File("two.txt", "nothing");
  h->host.folders.push_back(tree.Root());
  Click(IDC_OPEN_INPUT);
  QTest::keyClicks(Edit(IDC_SEARCH_TEXT), QStringLiteral("needle"));
  QTest::keyClick(Edit(IDC_SEARCH_TEXT), Qt::Key_Return);
  EXPECT_EQ(Status(), "搜索2个文件,找到1个符合条件的文件.");
  ListBox* results = h->window.List(IDC_RESULT_LIST);
  ASSERT_EQ(results->Count(), 1);
  EXPECT_EQ(results->Line(0).toStdString(), tree.Path("one.txt"));
  EXPECT_EQ(Text(Edit(IDC_SEARCH_TEXT)), "needle");  // the key went on to its box and changed nothing
}

TEST_F(WindowTest, EscapeInAnyControlLeavesTheWindowOpenAndChangesNothing) {
  Edit(IDC_SEARCH_TEXT)->setText(QStringLiteral("kept"));
  for (int id : {IDC_SEARCH_TEXT, IDC_STATUS, IDC_RESULT_LIST, IDC_REF_LIST, IDC_SEARCH, IDC_INCLUDE_HIDDEN}) {
    QWidget* control = h->window.Control(id);
    control->setFocus();
    QTest::keyClick(control, Qt::Key_Escape);
    EXPECT_TRUE(h->window.isVisible()) << ControlName(id);
    EXPECT_EQ(h->window.result(), 0) << ControlName(id);
  }
  QTest::keyClick(&h->window, Qt::Key_Escape);
  EXPECT_TRUE(h->window.isVisible());
  EXPECT_TRUE(Status().empty());
  EXPECT_EQ(Text(Edit(IDC_SEARCH_TEXT)), "kept");
}

// ---- Drops.

TEST_F(WindowTest, DropsAnywhereReachTheDialogWithCtrlFromTheDrop) {
  Tree tree;
  tree.File("in/x.txt", "x");
  tree.File("in/deep/y.txt", "y");
  tree.File("ref/r.png", "r");
  tree.File("single.dat", "payload");
  // Edit boxes and lists would take a drop for themselves; frames and labels would let it fall through.
  for (int at : {IDC_SEARCH_TEXT, IDC_COPY_OUTPUT, IDC_RESULT_LIST, IDC_REF_LIST, IDC_STATUS, IDC_SEARCH, -1}) {
    const std::string where = at < 0 ? "the window" : ControlName(at);
    h.reset();
    h = std::make_unique<Harness>();

    // A folder without Ctrl: the input folder.
    ASSERT_TRUE(Drop(at, {tree.Path("in")}, false)) << where;
    EXPECT_EQ(Text(Edit(IDC_INPUT_PATH)), tree.Path("in/")) << where;
    EXPECT_EQ(Status(), "目录下共有2个文件.") << where;
    EXPECT_FALSE(Edit(IDC_COPY_OUTPUT)->text().isEmpty()) << where;

    // A folder with Ctrl: the reference folder; the input stays.
    ASSERT_TRUE(Drop(at, {tree.Path("ref")}, true)) << where;
    EXPECT_EQ(Text(Edit(IDC_REF_PATH)), tree.Path("ref/")) << where;
    ASSERT_EQ(h->window.List(IDC_REF_LIST)->Count(), 1) << where;
    EXPECT_EQ(h->window.List(IDC_REF_LIST)->Line(0).toStdString(), "r.png") << where;
    EXPECT_EQ(Text(Edit(IDC_INPUT_PATH)), tree.Path("in/")) << where;

    // A file without Ctrl: its name goes into the search string, nothing else changes.
    ASSERT_TRUE(Drop(at, {tree.Path("single.dat")}, false)) << where;
    EXPECT_EQ(Text(Edit(IDC_SEARCH_TEXT)), "single.dat") << where;
    EXPECT_FALSE(h->dialog.SingleFileMode()) << where;
    EXPECT_EQ(Text(Edit(IDC_INPUT_PATH)), tree.Path("in/")) << where;

    // A file with Ctrl: single-file mode on that file.
    ASSERT_TRUE(Drop(at, {tree.Path("single.dat")}, true)) << where;
    EXPECT_TRUE(h->dialog.SingleFileMode()) << where;
    EXPECT_EQ(Status(), text::kSingleFileDropped) << where;
    EXPECT_EQ(Text(Edit(IDC_INPUT_PATH)), tree.Path("single.dat")) << where;
    EXPECT_TRUE(h->dialog.Files().empty()) << where;
  }
}

TEST_F(WindowTest, OnlyTheFirstDroppedItemCountsAndNonLocalItemsAreRefused) {
  Tree tree;
  tree.File("first.txt");
  tree.File("folder/second.txt");
  ASSERT_TRUE(Drop(IDC_SEARCH_TEXT, {tree.Path("first.txt"), tree.Path("folder")}, false));
  EXPECT_EQ(Text(Edit(IDC_SEARCH_TEXT)), "first.txt");
  EXPECT_TRUE(Edit(IDC_INPUT_PATH)->text().isEmpty());

  QMimeData web;
  web.setUrls({QUrl(QStringLiteral("https://example.org/page.html"))});
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(h->window.windowHandle(), &enter);
  EXPECT_FALSE(enter.isAccepted());
}

TEST(LocalDropPaths, KeepTheBytesOfTheNamesAndSkipOtherItems) {
  TestApp();
  QMimeData mime;
  mime.setUrls({QUrl::fromEncoded("file:///tmp/a%FFb"), QUrl(QStringLiteral("https://example.org/x")),
                QUrl::fromLocalFile(QStringLiteral("/tmp/中文 名#1")), QUrl::fromEncoded("file://localhost/srv/f"),
                QUrl::fromEncoded("file://elsewhere/share/g")});
  const std::vector<std::string> expected = {"/tmp/a\xFF" "b", "/tmp/中文 名#1", "/srv/f"};
  EXPECT_EQ(LocalDropPaths(mime), expected);
}

// ---- Progress, results and the reference list.

TEST_F(WindowTest, TheProgressBarShowsOnlyWhileASearchRuns) {
  Tree tree;
  for (int i = 0; i < 5; ++i) tree.File("f" + std::to_string(i) + ".txt", i % 2 ? "hit" : "miss");
  h->host.folders.push_back(tree.Root());
  Click(IDC_OPEN_INPUT);
  EXPECT_TRUE(h->window.Progress()->isHidden());
  Edit(IDC_SEARCH_TEXT)->setText(QStringLiteral("hit"));
  Click(IDC_SEARCH);
  EXPECT_TRUE(h->window.Progress()->isHidden());
  EXPECT_TRUE(Edit(IDC_STATUS)->isVisible());
  EXPECT_EQ(Status(), "搜索5个文件,找到2个符合条件的文件.");
  ASSERT_FALSE(h->host.progress.empty());
  int last = -1;
  for (const auto& step : h->host.progress) {
    if (step.position == 0 && last == -1) {
      last = 0;
      continue;  // the position is set before the bar is shown
    }
    EXPECT_TRUE(step.barVisible) << step.position;
    EXPECT_FALSE(step.statusVisible) << step.position;
    EXPECT_GE(step.position, last);
    last = step.position;
  }
  EXPECT_EQ(last, 4);
  EXPECT_EQ(h->window.Progress()->maximum(), 4);
}

TEST_F(WindowTest, ASearchOfOneFileShowsAStillBarNotABusyAnimation) {
  Tree tree;
  tree.File("only.txt", "hit");
  h->host.folders.push_back(tree.Root());
  Click(IDC_OPEN_INPUT);
  Edit(IDC_SEARCH_TEXT)->setText(QStringLiteral("hit"));
  Click(IDC_SEARCH);
  EXPECT_EQ(Status(), "搜索1个文件,找到1个符合条件的文件.");
  ASSERT_FALSE(h->host.progress.empty());
  for (const auto& step : h->host.progress) EXPECT_FALSE(step.busy) << step.position;
}

TEST_F(WindowTest, DoubleClickOnAResultOpensItAndASingleClickOrEnterDoesNot) {
  Tree tree;
  tree.File("a.txt", "x");
  tree.File("b.txt", "x");
  h->host.folders.push_back(tree.Root());
  Click(IDC_OPEN_INPUT);
  Click(IDC_SEARCH);
  ListBox* results = h->window.List(IDC_RESULT_LIST);
  ASSERT_EQ(results->Count(), 2);
  const QPoint second = results->visualRect(results->model()->index(1, 0)).center();
  QTest::mouseClick(results->viewport(), Qt::LeftButton, Qt::NoModifier, second);
  EXPECT_EQ(results->CurSel(), 1);
  QTest::keyClick(results, Qt::Key_Return);
  EXPECT_TRUE(h->host.opened.empty());
  DoubleClick(results->viewport(), second);
  ASSERT_EQ(h->host.opened.size(), 1u);
  EXPECT_EQ(h->host.opened[0], std::string(h->dialog.Results()[1]));
}

TEST_F(WindowTest, PickingAReferenceFileFillsTheSearchStringAndADoubleClickSearches) {
  Tree tree;
  tree.File("in/uses.xml", "icon btn.ok here");
  tree.File("ref/PublicRes/ui/btn.ok.png");
  h->host.folders.push_back(tree.Path("in"));
  Click(IDC_OPEN_INPUT);
  h->host.folders.push_back(tree.Path("ref"));
  Click(IDC_OPEN_REF);
  ListBox* refs = h->window.List(IDC_REF_LIST);
  ASSERT_EQ(refs->Count(), 1);
  EXPECT_EQ(refs->Line(0).toStdString(), "PublicRes/ui/btn.ok.png");
  const QPoint line = refs->visualRect(refs->model()->index(0, 0)).center();
  QTest::mouseClick(refs->viewport(), Qt::LeftButton, Qt::NoModifier, line);
  EXPECT_EQ(Text(Edit(IDC_SEARCH_TEXT)), "btn");
  QTest::mouseClick(h->window.Button(IDC_NAME_WITH_EXT), Qt::LeftButton);
  DoubleClick(refs->viewport(), line);
  EXPECT_EQ(Text(Edit(IDC_SEARCH_TEXT)), "btn.ok.png");
  EXPECT_EQ(Status(), "搜索1个文件,找到0个符合条件的文件.");
}

// A folder named in GBK, as an archive made on Windows unpacks: its name is shown readably, and every box
// the program filled gives its bytes back, so the prefix matches, the search finds and the copy lands.
TEST_F(WindowTest, AGbkNamedFolderKeepsItsBytesThroughTheBoxes) {
  namespace fs = std::filesystem;
  Tree tree;
  const std::string root = tree.Root();
  const std::string gbk = root + "/\xB6\xAF\xCC\xAC";  // 动态 in GBK, not valid UTF-8
  const std::string icon = "\xB0\xB4\xC5\xA5";          // 按钮
  // Qt's own removal of the temporary folder cannot name these files.
  const std::unique_ptr<const std::string, void (*)(const std::string*)> cleanup(
      &gbk, [](const std::string* folder) { fs::remove_all(*folder); });
  fs::create_directories(gbk + "/PublicRes/ui");
  fs::create_directories(gbk + "/ref");
  std::ofstream(gbk + "/PublicRes/ui/main.xml") << "uses " << icon << ".png";
  std::ofstream(gbk + "/PublicRes/ui/other.xml") << "nothing";
  std::ofstream(gbk + "/ref/" + icon + ".png") << "png";

  ASSERT_TRUE(Drop(IDC_RESULT_LIST, {gbk + "/PublicRes/ui"}, false));
  const QString shown = QString::fromStdString(root) + QStringLiteral("/动态/");
  EXPECT_EQ(Edit(IDC_INPUT_PATH)->text(), shown + QStringLiteral("PublicRes/ui/"));
  EXPECT_EQ(Edit(IDC_PATH_PREFIX)->text(), shown.chopped(1));
  EXPECT_EQ(h->host.GetText(IDC_INPUT_PATH), gbk + "/PublicRes/ui/");
  EXPECT_EQ(h->host.GetText(IDC_PATH_PREFIX), gbk);
  EXPECT_EQ(h->host.GetText(IDC_COPY_OUTPUT), gbk + "/bak");

  // A reference pick puts the GBK name into the search box, and the search finds the file that names it.
  ASSERT_TRUE(Drop(IDC_REF_LIST, {gbk + "/ref"}, true));
  ListBox* refs = h->window.List(IDC_REF_LIST);
  ASSERT_EQ(refs->Count(), 1);
  EXPECT_EQ(refs->Line(0), QStringLiteral("按钮.png"));
  QTest::mouseClick(refs->viewport(), Qt::LeftButton, Qt::NoModifier,
                    refs->visualRect(refs->model()->index(0, 0)).center());
  EXPECT_EQ(Edit(IDC_SEARCH_TEXT)->text(), QStringLiteral("按钮"));
  EXPECT_EQ(h->host.GetText(IDC_SEARCH_TEXT), icon);
  Click(IDC_SEARCH);
  EXPECT_EQ(Status(), "搜索2个文件,找到1个符合条件的文件.");
  ASSERT_EQ(h->window.List(IDC_RESULT_LIST)->Count(), 1);
  EXPECT_EQ(h->window.List(IDC_RESULT_LIST)->Line(0), shown + QStringLiteral("PublicRes/ui/main.xml"));

  Click(IDC_COPY);
  EXPECT_EQ(Status(), "拷贝完成, 其中成功:1个, 失败:0个.");
  EXPECT_TRUE(fs::is_regular_file(gbk + "/bak/PublicRes/ui/main.xml"));

  // Typed on: the box keeps the name's encoding, so the edited prefix still names the folder.
  Edit(IDC_PATH_PREFIX)->end(false);
  Type(Edit(IDC_PATH_PREFIX), QStringLiteral("/"));
  EXPECT_EQ(h->host.GetText(IDC_PATH_PREFIX), gbk + "/");
}

TEST_F(WindowTest, ListsKeepInsertionOrderAndFillInBulk) {
  QtDialogHost& host = h->host;
  const int lines = 200000;
  host.ListReset(IDC_RESULT_LIST);
  host.BeginListFill(IDC_RESULT_LIST, lines);
  for (int i = lines - 1; i >= 0; --i) host.ListAdd(IDC_RESULT_LIST, "/data/file" + std::to_string(i));
  host.EndListFill(IDC_RESULT_LIST);
  ListBox* list = h->window.List(IDC_RESULT_LIST);
  ASSERT_EQ(list->Count(), lines);
  EXPECT_EQ(list->Line(0), QStringLiteral("/data/file199999"));
  EXPECT_EQ(list->Line(lines - 1), QStringLiteral("/data/file0"));
  EXPECT_EQ(host.ListCurSel(IDC_RESULT_LIST), -1);
  list->Select(lines - 1);
  EXPECT_EQ(host.ListCurSel(IDC_RESULT_LIST), lines - 1);
  // Lines added outside a fill land after the others, and a reset clears lines and selection.
  host.ListAdd(IDC_RESULT_LIST, "tail");
  EXPECT_EQ(list->Line(lines), QStringLiteral("tail"));
  EXPECT_EQ(host.ListCurSel(IDC_RESULT_LIST), lines - 1);
  host.ListReset(IDC_RESULT_LIST);
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(host.ListCurSel(IDC_RESULT_LIST), -1);
}

// ---- Text boxes.

TEST_F(WindowTest, RenameBoxesHoldAtMost127BytesOfUtf8) {
  for (int id : {IDC_RENAME_OLD, IDC_RENAME_NEW}) {
    QLineEdit* box = Edit(id);
    Type(box, QString(50, QChar(0x4E2D)));  // 中, 3 bytes each: 42 fit
    EXPECT_EQ(box->text(), QString(42, QChar(0x4E2D))) << ControlName(id);
    box->clear();
    box->insert(QString(300, QLatin1Char('a')));  // a paste
    EXPECT_EQ(box->text().toUtf8().size(), 127) << ControlName(id);
    EXPECT_EQ(h->host.GetText(id), std::string(127, 'a'));
  }
  // The other boxes take long text.
  Edit(IDC_SEARCH_TEXT)->insert(QString(300, QLatin1Char('b')));
  EXPECT_EQ(h->host.GetText(IDC_SEARCH_TEXT).size(), 300u);
}

TEST_F(WindowTest, TextsTravelAsUtf8BothWays) {
  h->host.SetText(IDC_STATUS, "目录下共有3个文件.");
  EXPECT_EQ(Edit(IDC_STATUS)->text(), QStringLiteral("目录下共有3个文件."));
  Edit(IDC_NAME_FILTER)->setText(QStringLiteral("动态资源/图标"));
  EXPECT_EQ(h->host.GetText(IDC_NAME_FILTER), "动态资源/图标");
  h->host.SetChecked(IDC_IGNORE_CASE, true);
  EXPECT_TRUE(h->host.IsChecked(IDC_IGNORE_CASE));
  EXPECT_FALSE(h->host.IsChecked(IDC_SEARCH));  // a push button is never checked
}

// ---- The desktop's own dialogs keep their keys; the program ends with its window.

// Runs `act` on the first modal dialog that opens, within a few seconds; closes it if `act` could not.
void OnModal(std::function<void(QWidget*)> act, bool* acted) {
  auto attempts = std::make_shared<int>(0);
  auto poll = std::make_shared<std::function<void()>>();
  *poll = [act, acted, attempts, poll] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && !*acted) {
      *acted = true;
      act(modal);
      // If the key did not end the dialog, end it, so the test fails rather than hangs.
      QTimer::singleShot(2000, [] {
        if (QWidget* still = QApplication::activeModalWidget()) still->close();
      });
      return;
    }
    if (++*attempts < 200) QTimer::singleShot(20, *poll);
  };
  QTimer::singleShot(20, *poll);
}

TEST_F(WindowTest, EnterInTheMessageBoxClosesIt) {
  QtDialogHost real(h->window);
  bool acted = false;
  QString title, text;
  OnModal(
      [&](QWidget* modal) {
        title = modal->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) text = box->text();
        QTest::keyClick(modal, Qt::Key_Return);
        EXPECT_FALSE(modal->isVisible()) << "Enter did not close the message box";
      },
      &acted);
  real.ShowMessage("不是目录:/x.", text::kBadCopyPathCaption);
  EXPECT_TRUE(acted);
  EXPECT_EQ(title, QStringLiteral("提示"));
  EXPECT_EQ(text, QStringLiteral("不是目录:/x."));
  EXPECT_TRUE(Status().empty()) << "Enter in the message box ran the search";
}

TEST_F(WindowTest, TheFolderChooserIsTitledAndEscapeCancelsIt) {
  QtDialogHost real(h->window);
  bool acted = false;
  QString title;
  OnModal(
      [&](QWidget* modal) {
        title = modal->windowTitle();
        QTest::keyClick(modal, Qt::Key_Escape);
      },
      &acted);
  EXPECT_EQ(real.BrowseForFolder(text::kBrowseTitle, ""), std::nullopt);
  EXPECT_TRUE(acted);
  EXPECT_EQ(title, QStringLiteral("Select input folder"));
}

TEST(KestrinApp, RunsTheWindowUntilItIsClosedThenReturnsFalse) {
  TestApp();
  bool seen = false;
  OnModal(
      [&](QWidget* modal) {
        auto* window = dynamic_cast<KestrinWindow*>(modal);
        ASSERT_NE(window, nullptr);
        seen = true;
        QTest::keyClick(window->Control(IDC_SEARCH_TEXT), Qt::Key_Escape);
        QTest::keyClick(window->Control(IDC_SEARCH_TEXT), Qt::Key_Return);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->Edit(IDC_STATUS)->text().toStdString(), text::kNoFilesToSearch);
        EXPECT_TRUE(window->Button(IDC_RECURSIVE)->isChecked());
        window->close();  // the frame's close button
      },
      &seen);
  CKestrinApp app;
  EXPECT_FALSE(app.InitInstance());
  EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace kestrin::qt
