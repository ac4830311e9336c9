#include "ui/qt/picture_box.h"

#include <QPainter>

namespace kestrin::qt {

PictureBox::PictureBox(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::StyledPanel);
  setFocusPolicy(Qt::NoFocus);
}

void PictureBox::SetPicture(const QImage& image) {
  m_image = image;
  update();
}

void PictureBox::SetText(const QString& text) {
  m_text = text;
  update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  const QRect inside = contentsRect().adjusted(2, 2, -2, -2);
  const int lineHeight = fontMetrics().height();
  const QRect textArea(inside.left(), inside.bottom() - lineHeight + 1, inside.width(), lineHeight);
  painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter, m_text);
  if (m_image.isNull()) return;
  const QRect imageArea(inside.left(), inside.top(), inside.width(), inside.height() - lineHeight - 2);
  if (imageArea.width() <= 0 || imageArea.height() <= 0) return;
  QSize size = m_image.size();
  if (size.width() > imageArea.width() || size.height() > imageArea.height()) {
    size.scale(imageArea.size(), Qt::KeepAspectRatio);
  }
  const QRect target(imageArea.left() + (imageArea.width() - size.width()) / 2,
                     imageArea.top() + (imageArea.height() - size.height()) / 2, size.width(), size.height());
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, m_image);
}

}  // namespace kestrin::qt
