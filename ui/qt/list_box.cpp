#include "ui/qt/list_box.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QPainter>
#include <QTimer>
#include <algorithm>

namespace kestrin::qt {

int LineModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_lines.size());
}

QVariant LineModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= m_lines.size()) return QVariant();
  if (role == kMarkRole) {
    if (index.row() >= m_marks.size() || m_marks[index.row()].y() < 0) return QVariant();
    return m_marks[index.row()];
  }
  if (role != Qt::DisplayRole && role != Qt::EditRole) return QVariant();
  return m_lines[index.row()];
}

void LineModel::Clear() {
  beginResetModel();
  m_lines.clear();
  m_marks.clear();
  endResetModel();
}

void LineModel::Append(QStringList&& lines, QList<QPoint>&& marks) {
  if (lines.isEmpty()) return;
  const int first = static_cast<int>(m_lines.size());
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(lines.size()) - 1);
  if (!marks.isEmpty()) {
    m_marks.resize(first, QPoint(0, -1));
    m_marks.append(std::move(marks));
  }
  if (m_lines.isEmpty()) {
    m_lines = std::move(lines);
  } else {
    m_lines.append(std::move(lines));
  }
  endInsertRows();
}

ListBox::ListBox(QWidget* parent) : QListView(parent) {
  setModel(&m_model);
  setItemDelegate(new MarkDelegate(this));
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

void MarkDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const QVariant mark = index.data(LineModel::kMarkRole);
  if (!mark.isValid()) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  // The item without its text as the style draws it (background, selection), then the text in three
  // parts, the middle one bold.
  QStyleOptionViewItem item = option;
  initStyleOption(&item, index);
  const QString text = item.text;
  item.text.clear();
  const QWidget* widget = option.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
  const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget).adjusted(2, 0, -2, 0);
  const QPoint range = mark.toPoint();
  const int begin = std::clamp(range.x(), 0, static_cast<int>(text.size()));
  const int end = std::clamp(range.x() + range.y(), begin, static_cast<int>(text.size()));
  QFont bold = item.font;
  bold.setBold(true);
  painter->save();
  painter->setPen(item.palette.color(option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
  painter->setClipRect(area);
  int x = area.left();
  const QString parts[] = {text.left(begin), text.mid(begin, end - begin), text.mid(end)};
  for (int i = 0; i < 3; ++i) {
    const QFont& font = i == 1 ? bold : item.font;
    painter->setFont(font);
    painter->drawText(QRect(x, area.top(), area.right() - x + 1, area.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      parts[i]);
    x += QFontMetrics(font).horizontalAdvance(parts[i]);
  }
  painter->restore();
}

void ListBox::SetExtendedSelection(bool extended) {
  setSelectionMode(extended ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

void ListBox::AddMarked(const QString& line, int begin, int length) {
  if (m_pendingMarks.size() < m_pending.size()) m_pendingMarks.resize(m_pending.size(), QPoint(0, -1));
  Add(line);
  m_pendingMarks.append(QPoint(begin, length));
}

void ListBox::Reset() {
  m_pending.clear();
  m_pendingMarks.clear();
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
  if (!m_pendingMarks.isEmpty()) m_pendingMarks.resize(m_pending.size(), QPoint(0, -1));
  m_model.Append(std::move(m_pending), std::move(m_pendingMarks));
  m_pending = QStringList();
  m_pendingMarks = QList<QPoint>();
  m_quiet = false;
}

int ListBox::CurSel() {
  Flush();
  const QModelIndex current = selectionModel()->currentIndex();
  if (current.isValid() && selectionModel()->isSelected(current)) return current.row();
  const std::vector<int> rows = Selection();
  return rows.empty() ? -1 : rows.front();
}

std::vector<int> ListBox::Selection() {
  Flush();
  std::vector<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedIndexes()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
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
