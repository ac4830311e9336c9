#pragma once
// A list box as a dialog has it: unsorted lines in insertion order, single selection (or extended: several
// lines with Shift and Ctrl), a selection index that is negative when nothing is selected. A line may have
// a marked part (the matched text of the matches pane), drawn in bold. Lines are appended in bulk: they gather in a pending block
// and reach the model in one insertion when the fill ends, before any query, or when the event loop
// next runs, so 200,000 lines cost one model change instead of 200,000. During a fill they also reach it
// every kLiveFlushMs, so that a long search shows its results as it finds them.

#include <QContextMenuEvent>
#include <QListView>
#include <QMouseEvent>
#include <QStringList>
#include <QAbstractListModel>
#include <QList>
#include <QPoint>
#include <QStyledItemDelegate>
#include <functional>
#include <vector>

namespace kestrin::qt {

// The lines of a list box: appended a block at a time, in one insertion the view hears of once.
class LineModel : public QAbstractListModel {
 public:
  // The marked part of a line, as a QPoint (first character, length); absent when it has none.
  static constexpr int kMarkRole = Qt::UserRole + 1;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  void Clear();
  // marks: empty, or one a line (a negative length: none).
  void Append(QStringList&& lines, QList<QPoint>&& marks);

 private:
  QStringList m_lines;
  QList<QPoint> m_marks;  // empty while no line has a mark
};

// Draws a line's marked part in bold.
class MarkDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class ListBox : public QListView {
 public:
  // How often the lines of a fill in progress are shown, in milliseconds.
  static constexpr int kLiveFlushMs = 250;

  explicit ListBox(QWidget* parent = nullptr);

  void Reset();                   // no lines, no selection
  void Add(const QString& line);  // append a line
  void AddMarked(const QString& line, int begin, int length);  // append a line with a marked part
  // Several lines selected at a time (Shift, Ctrl), or one.
  void SetExtendedSelection(bool extended);
  void BeginFill(qsizetype expectedLines);
  void EndFill();
  // The selected line, -1 when none; with several selected, the current line when it is one of them,
  // else the first.
  int CurSel();
  std::vector<int> Selection();   // every selected line, in list order
  int Count();
  QString Line(int row);
  // Selects a line as a click would, telling the selection handler; -1 clears the selection.
  void Select(int row);

  // Called when the user changes the selection (click or keys), not when the program refills the list.
  std::function<void()> onSelChange;
  // Called when the user asks for the context menu of a line: the line under the mouse, or the selected
  // line when asked from the keyboard, and where the menu goes on the screen. A right click changes no
  // selection, so that the reference list does not put a name into the search box.
  std::function<void(int row, QPoint globalPos)> onContextMenu;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void Flush();

  LineModel m_model;
  QStringList m_pending;
  QList<QPoint> m_pendingMarks;  // one a pending line once a line has a mark
  bool m_filling = false;
  bool m_flushPosted = false;
  bool m_livePosted = false;  // the lines of the fill in progress will be shown
  bool m_quiet = false;  // the program is changing the lines: no selection notifications
};

}  // namespace kestrin::qt
