#pragma once
// Texts the program hands to widgets are bytes (file names as the file system knows them); widgets hold
// Unicode. A text is shown readably and an edit box gives back the very bytes it was given while the user
// has not edited it, so a folder named in GBK still matches the files below it.
//
// Shown readably: ASCII as it is; each stretch of other bytes as UTF-8 when it is valid UTF-8, else as
// GB18030 when it decodes as that without loss, else byte by byte as \xHH.

#include <QLineEdit>
#include <QString>
#include <string>
#include <string_view>

namespace kestrin::qt {

// How an edited text turns back into bytes: as the stretches of the text it replaced were shown.
enum class TextBytes {
  Utf8,     // every stretch was UTF-8
  Gb18030,  // some stretch was GB18030, none needed escapes: edits are encoded in GB18030
  Escaped,  // some stretch needed escapes: \xHH gives byte HH back, everything else is UTF-8
};

struct ShownText {
  QString text;
  TextBytes bytes = TextBytes::Utf8;
};

// The readable form of bytes, and how edits of it are encoded.
ShownText ShowBytes(std::string_view bytes);

// The bytes of a text shown (or typed) in a box whose text was shown as `as`.
std::string BytesOf(const QString& text, TextBytes as);

// An edit box that keeps the bytes the program put into it: Bytes() returns them exactly while the text
// on screen is still the one they were shown as, and the encoded text after the user has changed it.
class ByteEdit : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;

  void SetBytes(std::string_view bytes);
  std::string Bytes() const;

 private:
  std::string m_bytes;
  QString m_shown;  // the text as the box holds it right after SetBytes
  TextBytes m_as = TextBytes::Utf8;
};

}  // namespace kestrin::qt
