// Bytes shown readably in Qt's text widgets, and the way back from what is shown.
#include <gtest/gtest.h>

#include <string>

#include "ui/qt/byte_text.h"

namespace kestrin::qt {
namespace {

TEST(ShowBytes, ReadableFormAndWayBack) {
  struct Case {
    const char* name;
    std::string bytes;
    QString shown;
    TextBytes as;
  } cases[] = {
      {"ascii", "/tmp/a b\\c", QStringLiteral("/tmp/a b\\c"), TextBytes::Utf8},
      {"utf-8", "/res/\xE5\x8A\xA8\xE6\x80\x81/a", QStringLiteral("/res/动态/a"), TextBytes::Utf8},
      {"gbk", "/res/\xB6\xAF\xCC\xAC/PublicRes", QStringLiteral("/res/动态/PublicRes"), TextBytes::Gb18030},
      // A UTF-8 message around a GBK name: each stretch on its own.
      {"mixed", "\xE6\x8B\xB7\xE8\xB4\x9D:/\xB6\xAF\xCC\xAC.", QStringLiteral("拷贝:/动态."), TextBytes::Gb18030},
      // A GBK character whose second byte is an ASCII letter.
      {"gbk ascii trail", "\x81\x40x", QString(QChar(0x4E02)) + QStringLiteral("x"), TextBytes::Gb18030},
      // Neither: a cut-off character; backslashes then are escapes too, so the way back is unambiguous.
      {"escaped", "\\x41 caf\xE9", QStringLiteral("\\x5Cx41 caf\\xE9"), TextBytes::Escaped},
      {"utf-8 bom", "\xEF\xBB\xBFx", QStringLiteral("\uFEFFx"), TextBytes::Utf8},
      {"empty", "", QString(), TextBytes::Utf8},
  };
  for (const Case& c : cases) {
    const ShownText shown = ShowBytes(c.bytes);
    EXPECT_EQ(shown.text, c.shown) << c.name << ": " << shown.text.toStdString();
    EXPECT_EQ(shown.bytes, c.as) << c.name;
    // Edits of a mixed text (a status message, read-only) come back in one encoding.
    if (std::string_view(c.name) != "mixed") {
      EXPECT_EQ(BytesOf(shown.text, shown.bytes), c.bytes) << c.name << ": the way back";
    }
  }
}

}  // namespace
}  // namespace kestrin::qt
