// Dialog units, the dialog font and the byte limit of the rename boxes.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

#include "qt_test_support.h"
#include "ui/layout.h"
#include "ui/qt/byte_limit_validator.h"
#include "ui/qt/dialog_units.h"
#include "ui/translation.h"

namespace kestrin::qt {
namespace {

using testing::TestApp;

TEST(MulDiv, RoundsHalfAwayFromZeroLikeWin32) {
  struct Case {
    int a, b, c, expected;
  };
  const Case cases[] = {
      {453, 7, 4, 793},  // 792.75
      {1, 6, 4, 2},      // 1.5 rounds up
      {3, 5, 8, 2},      // 1.875
      {5, 3, 8, 2},      // 1.875
      {2, 3, 4, 2},      // 1.5
      {1, 3, 8, 0},      // 0.375
      {-3, 6, 4, -5},    // -4.5 rounds away from zero
      {3, -6, -4, 5},
      {0, 7, 4, 0},
      {5, 3, 0, -1},     // no divisor
      {814, 6, 4, 1221},
  };
  for (const Case& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << "*" << c.b << "/" << c.c;
}

TEST(DialogFamily, TemplateFaceFirstThenAKnownChineseFamilyThenAnyChineseFamily) {
  TestApp();
  const QString face = QStringLiteral("宋体");
  struct Case {
    QStringList installed, chinese;
    QString expected;
  };
  const Case cases[] = {
      {{"DejaVu Sans", "宋体"}, {"宋体", "WenQuanYi Micro Hei"}, face},
      {{"DejaVu Sans"}, {"Droid Sans Fallback", "WenQuanYi Micro Hei"}, "WenQuanYi Micro Hei"},
      {{"DejaVu Sans"}, {"Some Other Hei"}, "Some Other Hei"},
      {{"DejaVu Sans"}, {}, QString()},
  };
  for (const Case& c : cases) EXPECT_EQ(ChooseDialogFamily(face, c.installed, c.chinese), c.expected);
}

TEST(DialogFont, IsAnInstalledChineseFamilyAtNinePointsThatDrawsEveryCaption) {
  TestApp();
  const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
  ASSERT_FALSE(chinese.isEmpty()) << "no font covers Simplified Chinese: install fonts-wqy-microhei";
  const QFont font = DialogFont(KestrinDialog());
  EXPECT_EQ(font.pointSize(), 9);
  EXPECT_TRUE(chinese.contains(font.family(), Qt::CaseInsensitive)) << font.family().toStdString();
  // A bare QFont falls back silently; what counts is that the font really has the glyphs.
  const QFontMetrics metrics(font);
  for (const ControlDef& def : KestrinControls()) {
    for (const char32_t c : QString::fromUtf8(def.caption).toUcs4()) {
      EXPECT_TRUE(metrics.inFontUcs4(c)) << "no glyph for U+" << std::hex << static_cast<unsigned>(c) << " of "
                                         << def.caption;
    }
  }
}

TEST(BaseUnits, AreTheRoundedLetterAverageAndTheFontHeight) {
  TestApp();
  const QFont font = DialogFont(KestrinDialog());
  const BaseUnits units = BaseUnitsOf(font);
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  EXPECT_LE(std::abs(units.x * 52 - letters), 26) << "not the rounded average of the 52 letters";
  EXPECT_EQ(units.y, metrics.height());
  EXPECT_GT(units.x, 3);
  EXPECT_GT(units.y, 8);
}

// The captions fit their controls in the dialog font, in Chinese and in English, so none is cut off.
TEST(Captions, FitTheirControls) {
  testing::Harness h;
  const QFontMetrics metrics(h.window.font());
  for (const UiLanguage language : {UiLanguage::Chinese, UiLanguage::English}) {
    for (const ControlDef& def : KestrinControls()) {
      const QString caption = QString::fromUtf8(TextIn(language, def.caption));
      if (caption.isEmpty() || def.kind == ControlKind::GroupBox) continue;
      const QRect box = ToPixels(def, h.window.Units());
      int needed = metrics.horizontalAdvance(caption);
      if (def.kind == ControlKind::CheckBox) {
        QStyleOptionButton option;
        needed += h.window.style()->pixelMetric(QStyle::PM_IndicatorWidth, &option) +
                  h.window.style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option);
      }
      if (def.kind == ControlKind::PushButton) needed += 4;  // the frame
      EXPECT_LE(needed, box.width()) << caption.toStdString();
      EXPECT_LE(metrics.height(), box.height() + 2) << caption.toStdString();
    }
  }
}

TEST(ByteLimitValidator, CutsWholeCharactersBeforeTheCursorToFitTheBytes) {
  TestApp();
  const ByteLimitValidator validator(10);
  struct Case {
    QString input;
    int pos;
    QString expected;
    int expectedPos;
  };
  const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");  // 4 bytes, two UTF-16 units
  const Case cases[] = {
      {"abcdefghij", 10, "abcdefghij", 10},              // exactly the limit
      {"abcdefghijk", 11, "abcdefghij", 10},             // one typed key too many: dropped
      {"abXYZcdefghij", 5, "abcdefghij", 2},             // pasted in the middle: the pasted part is cut
      {"中文字", 3, "中文字", 3},                        // 9 bytes
      {"中文字a中", 5, "中文字a", 4},                    // 13 bytes: the last character goes whole
      {"ab" + emoji + emoji + emoji, 8, "ab" + emoji + emoji, 6},  // never half a surrogate pair
      {"0123456789xyz", 0, "0123456789", 0},             // nothing before the cursor: the end goes
  };
  for (const Case& c : cases) {
    QString text = c.input;
    int pos = c.pos;
    EXPECT_EQ(validator.validate(text, pos), QValidator::Acceptable);
    EXPECT_EQ(text, c.expected) << c.input.toStdString();
    EXPECT_EQ(pos, c.expectedPos) << c.input.toStdString();
    EXPECT_LE(text.toUtf8().size(), 10);
  }
}

}  // namespace
}  // namespace kestrin::qt
