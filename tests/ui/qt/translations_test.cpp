// The Qt window in each language: its captions, the texts the dialog writes and Qt's own file dialog
// follow the translators installed for the language, from the same list of translations as the table.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "qt_test_support.h"
#include "ui/layout.h"
#include "ui/qt/translations.h"
#include "ui/texts.h"
#include "ui/translation.h"

namespace kestrin::qt {
namespace {

bool HasChinese(const QString& text) {
  for (const QChar c : text) {
    if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF) return true;
  }
  return false;
}

// Every visible text of Qt's own folder chooser: its labels and buttons.
QStringList ChooserTexts() {
  QFileDialog chooser;
  chooser.setOption(QFileDialog::DontUseNativeDialog);
  chooser.setFileMode(QFileDialog::Directory);
  QStringList texts;
  for (const QLabel* label : chooser.findChildren<QLabel*>()) texts << label->text();
  for (const QAbstractButton* button : chooser.findChildren<QAbstractButton*>()) texts << button->text();
  texts.removeAll(QString());
  return texts;
}

TEST(QtTranslations, EnglishWindowFromTheCompiledList) {
  testing::TestApp();
  const Translations english(UiLanguage::English);
  testing::Harness h;
  // The compiled file and the table are the same list.
  for (const Translation& t : EnglishTranslations()) EXPECT_EQ(h.host.Translate(t.source), t.english) << t.source;
  EXPECT_EQ(h.window.windowTitle(), QStringLiteral("Kestrin"));
  EXPECT_EQ(h.window.Button(IDC_COPY)->text(), QStringLiteral("Copy files"));
  EXPECT_EQ(h.window.Button(IDC_RECURSIVE)->text(), QStringLiteral("Recursive"));
  for (const QWidget* w : h.window.findChildren<QWidget*>()) {
    QString caption;
    if (auto* box = qobject_cast<const QGroupBox*>(w)) caption = box->title();
    if (auto* label = qobject_cast<const QLabel*>(w)) caption = label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(w)) caption = button->text();
    EXPECT_FALSE(HasChinese(caption)) << caption.toStdString();
  }
  h.window.Edit(IDC_SEARCH_TEXT)->setText(QStringLiteral("x"));
  h.window.Button(IDC_SEARCH)->click();
  EXPECT_EQ(h.window.Edit(IDC_STATUS)->text(), QStringLiteral("No files to search."));
  for (const QString& text : ChooserTexts()) EXPECT_FALSE(HasChinese(text)) << text.toStdString();
}

TEST(QtTranslations, ChineseWindowAndQtsOwnDialogsInChinese) {
  testing::TestApp();
  const Translations chinese(UiLanguage::Chinese);
  testing::Harness h;
  EXPECT_EQ(h.host.Translate(text::kCopySummary), text::kCopySummary);
  EXPECT_EQ(h.window.Button(IDC_COPY)->text(), QStringLiteral("拷贝文件"));
  const QStringList texts = ChooserTexts();
  EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), HasChinese)) << texts.join(u'|').toStdString();
}

}  // namespace
}  // namespace kestrin::qt
