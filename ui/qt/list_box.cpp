#include "ui/qt/list_box.h"

#include <QItemSelectionModel>
#include <QTimer>

namespace kestrin::qt {

int LineModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_lines.size());
}

QVariant LineModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= m_lines.size() || (role != Qt::DisplayRole && role != Qt::EditRole)) {
    return QVariant();
  }
  return m_lines[index.row()];
}

void LineModel::Clear() {
  beginResetModel();
  m_lines.clear();
  endResetModel();
}

void LineModel::Append(QStringList&& lines) {
  if (lines.isEmpty()) return;
  const int first = static_cast<int>(m_lines.size());
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(lines.size()) - 1);
  if (m_lines.isEmpty()) {
    m_lines = std::move(lines);
  } else {
    m_lines.append(std::move(lines));
  }
  endInsertRows();
}

ListBox::ListBox(QWidget* parent) : QListView(parent) {
  setModel(&m_model);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setDragDropMode(QAbstractItemView::NoDragDrop);
  setUniformItemSizes(true);  // lays out 200,000 lines without measuring each
  setLayoutMode(QListView::SinglePass);
  setTextElideMode(Qt::ElideNone);  // a long path is cut at the edge, as a list box without a scroll bar cuts it
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    if (!m_quiet && onSelChange) onSelChange();
  });
}

void ListBox::Reset() {
  m_pending.clear();
  m_quiet = true;
  m_model.Clear();
  m_quiet = false;
}

void ListBox::Add(const QString& line) {
  m_pending.append(line);
  if (m_filling && !m_livePosted) {
    // A long fill (a search that runs for seconds) shows its lines as they come, a few times a second.
    m_livePosted = true;
    QTimer::singleShot(kLiveFlushMs, this, [this] {
      m_livePosted = false;
      if (m_filling) Flush();
    });
  }
  if (!m_filling && !m_flushPosted) {
    // Lines added one by one outside a fill still reach the model in one block, once the handler ends.
    m_flushPosted = true;
    QTimer::singleShot(0, this, [this] {
      m_flushPosted = false;
      if (!m_filling) Flush();
    });
  }
}

void ListBox::BeginFill(qsizetype expectedLines) {
  m_filling = true;
  m_pending.reserve(m_pending.size() + expectedLines);
}

void ListBox::EndFill() {
  m_filling = false;
  Flush();
}

void ListBox::Flush() {
  if (m_pending.isEmpty()) return;
  m_quiet = true;
  m_model.Append(std::move(m_pending));
  m_pending = QStringList();
  m_quiet = false;
}

int ListBox::CurSel() {
  Flush();
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  return selected.isEmpty() ? -1 : selected.front().row();
}

int ListBox::Count() {
  Flush();
  return m_model.rowCount();
}

QString ListBox::Line(int row) {
  Flush();
  return m_model.data(m_model.index(row), Qt::DisplayRole).toString();
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
    if (row >= 0) at = viewport()->mapToGlobal(visualRect(m_model.index(row)).center());
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
  const QModelIndex index = m_model.index(row);
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  scrollTo(index);
}

}  // namespace kestrin::qt
