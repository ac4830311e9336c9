#pragma once
// Keeps an edit box's text within a number of bytes of UTF-8, the encoding the program hands on.
// QLineEdit::setMaxLength counts UTF-16 units, so 127 of them may be 381 bytes of Chinese text.

#include <QValidator>
#include <cstddef>

namespace kestrin::qt {

class ByteLimitValidator : public QValidator {
 public:
  ByteLimitValidator(std::size_t limitBytes, QObject* parent = nullptr);

  // Text within the limit is acceptable as it stands. Text over it (typing or pasting at the cursor) loses
  // whole characters just before the cursor, the end of what was inserted, until it fits; so a paste is
  // cut to what fits and a key typed into a full box changes nothing. The cursor stays after what remains.
  State validate(QString& input, int& pos) const override;

  std::size_t limit() const { return m_limit; }

 private:
  std::size_t m_limit;
};

}  // namespace kestrin::qt
