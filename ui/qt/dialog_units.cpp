#include "ui/qt/dialog_units.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <cstdint>

namespace kestrin::qt {
namespace {

// Families that render the captions well, best first; the database decides which are installed.
const char* const kPreferredFamilies[] = {
    "SimSun",           "NSimSun",          "WenQuanYi Micro Hei", "Noto Sans CJK SC", "Noto Sans SC",
    "Source Han Sans SC", "WenQuanYi Zen Hei", "AR PL UMing CN",     "AR PL UKai CN",    "Droid Sans Fallback",
};

}  // namespace

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  std::int64_t numerator = static_cast<std::int64_t>(a) * b;
  std::int64_t divisor = c;
  if (divisor < 0) {
    numerator = -numerator;
    divisor = -divisor;
  }
  // Round half away from zero: move the product away from zero by half the divisor, then truncate.
  numerator += (numerator >= 0) ? divisor / 2 : -(divisor / 2);
  return static_cast<int>(numerator / divisor);
}

BaseUnits BaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int advance =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return BaseUnits{(advance / 26 + 1) / 2, metrics.height()};
}

QRect ToPixels(const ControlDef& control, BaseUnits units) {
  return QRect(MulDiv(control.x, units.x, 4), MulDiv(control.y, units.y, 8), MulDiv(control.width, units.x, 4),
               MulDiv(control.height, units.y, 8));
}

QSize ToPixels(const DialogDef& dialog, BaseUnits units) {
  return QSize(MulDiv(dialog.width, units.x, 4), MulDiv(dialog.height, units.y, 8));
}

QString ChooseDialogFamily(const QString& templateFace, const QStringList& installed,
                           const QStringList& chineseFamilies) {
  if (installed.contains(templateFace, Qt::CaseInsensitive)) return templateFace;
  for (const char* family : kPreferredFamilies) {
    const QString name = QString::fromLatin1(family);
    if (chineseFamilies.contains(name, Qt::CaseInsensitive)) return name;
  }
  // Any other family that covers Simplified Chinese; a fixed-pitch one only when nothing else is there.
  for (const QString& family : chineseFamilies) {
    if (!QFontDatabase::isFixedPitch(family)) return family;
  }
  return chineseFamilies.isEmpty() ? QString() : chineseFamilies.front();
}

QFont DialogFont(const DialogDef& dialog) {
  const QString face = QString::fromUtf8(dialog.fontFace);
  const QString family = ChooseDialogFamily(face, QFontDatabase::families(),
                                            QFontDatabase::families(QFontDatabase::SimplifiedChinese));
  QFont font = family.isEmpty() ? QFont() : QFont(family);
  font.setPointSize(dialog.fontPoints);
  return font;
}

}  // namespace kestrin::qt
