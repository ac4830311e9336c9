#pragma once
// The preview control: a picture scaled to fit, keeping its proportions, above one line of text.

#include <QFrame>
#include <QImage>
#include <QString>

namespace kestrin::qt {

class PictureBox : public QFrame {
 public:
  explicit PictureBox(QWidget* parent = nullptr);

  void SetPicture(const QImage& image);  // a null image: none
  const QImage& Picture() const { return m_image; }
  void SetText(const QString& text);
  const QString& Text() const { return m_text; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage m_image;
  QString m_text;
};

}  // namespace kestrin::qt
