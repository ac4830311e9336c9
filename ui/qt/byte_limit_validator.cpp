#include "ui/qt/byte_limit_validator.h"

#include <QString>

namespace kestrin::qt {

ByteLimitValidator::ByteLimitValidator(std::size_t limitBytes, QObject* parent)
    : QValidator(parent), m_limit(limitBytes) {}

QValidator::State ByteLimitValidator::validate(QString& input, int& pos) const {
  qsizetype size = input.toUtf8().size();
  if (static_cast<std::size_t>(size) <= m_limit) return Acceptable;
  qsizetype cursor = qBound(qsizetype{0}, qsizetype{pos}, input.size());
  // Drop characters before the cursor, a surrogate pair as one, counting the bytes each one frees.
  while (static_cast<std::size_t>(size) > m_limit && cursor > 0) {
    qsizetype length = 1;
    if (cursor >= 2 && input.at(cursor - 1).isLowSurrogate() && input.at(cursor - 2).isHighSurrogate()) length = 2;
    size -= input.mid(cursor - length, length).toUtf8().size();
    input.remove(cursor - length, length);
    cursor -= length;
  }
  // Still too long with nothing before the cursor (only when text is set with the cursor at 0): cut the end.
  while (static_cast<std::size_t>(size) > m_limit && !input.isEmpty()) {
    qsizetype length = 1;
    const qsizetype last = input.size() - 1;
    if (last >= 1 && input.at(last).isLowSurrogate() && input.at(last - 1).isHighSurrogate()) length = 2;
    size -= input.right(length).toUtf8().size();
    input.chop(length);
  }
  pos = static_cast<int>(qMin(cursor, input.size()));
  return Acceptable;
}

}  // namespace kestrin::qt
