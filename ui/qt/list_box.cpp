#include "ui/qt/list_box.h"

#include <QItemSelectionModel>
#include <QTimer>

namespace kestrin::qt {

ListBox::ListBox(QWidget* parent) : QListView(parent) {
  setModel(&model_);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setDragDropMode(QAbstractItemView::NoDragDrop);
  setUniformItemSizes(true);  // lays out 200,000 lines without measuring each
  setLayoutMode(QListView::SinglePass);
  setTextElideMode(Qt::ElideNone);  // a long path is cut at the edge, as a list box without a scroll bar cuts it
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    if (!quiet_ && onSelChange) onSelChange();
  });
}

void ListBox::Reset() {
  pending_.clear();
  quiet_ = true;
  model_.setStringList({});
  quiet_ = false;
}

void ListBox::Add(const QString& line) {
  pending_.append(line);
  if (!filling_ && !flushPosted_) {
    // Lines added one by one outside a fill still reach the model in one block, once the handler ends.
    flushPosted_ = true;
    QTimer::singleShot(0, this, [this] {
      flushPosted_ = false;
      if (!filling_) Flush();
    });
  }
}

void ListBox::BeginFill(qsizetype expectedLines) {
  filling_ = true;
  pending_.reserve(pending_.size() + expectedLines);
}

void ListBox::EndFill() {
  filling_ = false;
  Flush();
}

void ListBox::Flush() {
  if (pending_.isEmpty()) return;
  quiet_ = true;
  if (model_.rowCount() == 0) {
    model_.setStringList(std::move(pending_));
  } else {
    const int first = model_.rowCount();
    model_.insertRows(first, static_cast<int>(pending_.size()));
    for (qsizetype i = 0; i < pending_.size(); ++i) {
      model_.setData(model_.index(first + static_cast<int>(i)), pending_[i]);
    }
  }
  pending_ = QStringList();
  quiet_ = false;
}

int ListBox::CurSel() {
  Flush();
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  return selected.isEmpty() ? -1 : selected.front().row();
}

int ListBox::Count() {
  Flush();
  return model_.rowCount();
}

QString ListBox::Line(int row) {
  Flush();
  return model_.data(model_.index(row), Qt::DisplayRole).toString();
}

void ListBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QListView::mousePressEvent(event);
}

void ListBox::contextMenuEvent(QContextMenuEvent* event) {
  Flush();
  int row = -1;
  QPoint at = event->globalPos();
  if (event->reason() == QContextMenuEvent::Mouse) {
    row = indexAt(event->pos()).row();
  } else {
    row = CurSel();
    if (row >= 0) at = viewport()->mapToGlobal(visualRect(model_.index(row)).center());
  }
  event->accept();
  if (row >= 0 && onContextMenu) onContextMenu(row, at);
}

void ListBox::Select(int row) {
  Flush();
  if (row < 0) {
    selectionModel()->clearSelection();
    return;
  }
  const QModelIndex index = model_.index(row);
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  scrollTo(index);
}

}  // namespace kestrin::qt
